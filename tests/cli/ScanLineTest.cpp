// SPDX-License-Identifier: MIT
// kx9ctl scan against kx9-sim with several boards on its line.
#include "common/Kx9ctlRun.h"
#include "common/SchedulerTicks.h"
#include "integration/SimProcess.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include <memory>

#ifdef Q_OS_UNIX
#include <csignal>
#endif

namespace kx9::test {
namespace {

class ScanOnTheLine : public ::testing::Test {
protected:
    static void SetUpTestSuite() { EnsureCoreApplication(); }

    void StartSim(const QStringList& args) {
        sim = std::make_unique<SimProcess>(args);
        ASSERT_TRUE(sim->Start()) << sim->Log().constData();
    }
    Ran Kx9ctl(const QStringList& args) { return RunKx9ctl(sim->Dir(), args); }

    std::unique_ptr<SimProcess> sim;
};

TEST_F(ScanOnTheLine, AllListsEveryBoardOnceWithItsAddressRateAndFrame) {
    StartSim({"--address", "3,9,17", "--frame", "8N2,8O1,8N2"});
    const Ran scan =
        Kx9ctl({"--json", "scan", "--all", "--rates", "115200", "--frames", "8N2,8O1", "--probe-ms", "100"});
    ASSERT_EQ(scan.code, 0) << scan.err.toStdString();
    // The plan first: 2 x 247 probes at most, and how long they may take (the sum is tested
    // apart). 100 ms a probe: kx9-sim may be held off the CPU for tens of ms on a loaded machine.
    static const QRegularExpression plan(
        QStringLiteral("^kx9ctl: Szukanie tablicy: zapytań najwyżej 494, najdłużej [0-9.]+ s, odpowiedź "
                       "oczekiwana do 100 ms po zapytaniu\n"));
    EXPECT_TRUE(plan.match(scan.err).hasMatch()) << scan.err.toStdString();
    const QJsonObject json = QJsonDocument::fromJson(scan.out).object();
    const QJsonArray found = json.value("found").toArray();
    ASSERT_EQ(found.size(), 3) << scan.out.constData();
    const struct {
        int address;
        const char* frame;
    } expected[] = {{3, "8N2"}, {9, "8O1"}, {17, "8N2"}}; // the usual addresses at both frames first
    for (int k = 0; k < 3; ++k) {
        const QJsonObject hit = found[k].toObject();
        EXPECT_EQ(hit.value("address").toInt(), expected[k].address) << k;
        EXPECT_EQ(hit.value("baud").toInt(), 115200) << k;
        EXPECT_EQ(hit.value("frame").toString(), expected[k].frame) << k;
        EXPECT_TRUE(hit.value("kx9").toBool()) << k;
    }
    // 3 and 17 are not asked again at 8O1.
    EXPECT_EQ(json.value("probes").toInt(), 2 * 247 - 2);
    EXPECT_EQ(json.value("probeMs").toInt(), 100);
}

#ifdef Q_OS_UNIX
TEST_F(ScanOnTheLine, PrintsEachBoardAsFoundAndWhatItFoundOnCtrlC) {
    StartSim({"--address", "3"});
    QProcess p;
    p.setWorkingDirectory(sim->Dir());
    p.start(QStringLiteral(KX9CTL_PATH), {"scan", "--all", "--rates", "115200,9600", "--probe-ms", "300"});
    ASSERT_TRUE(p.waitForStarted(5000));
    QByteArray out;
    QElapsedTimer t;
    t.start();
    while (!out.contains("Rozdzielczość tablicy") && p.state() == QProcess::Running && !t.hasExpired(30000)) {
        p.waitForReadyRead(100);
        out += p.readAllStandardOutput();
    }
    // On stdout while the scan goes on.
    ASSERT_EQ(p.state(), QProcess::Running) << out.constData();
    EXPECT_TRUE(out.startsWith("Adres: 3, 115200bps, 8N2\nUzyskano odpowiedź z KX9")) << out.constData();
    ::kill(pid_t(p.processId()), SIGINT);
    ASSERT_TRUE(p.waitForFinished(5000));
    out += p.readAllStandardOutput();
    const QString err = QString::fromUtf8(p.readAllStandardError());
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 130) << err.toStdString();
    EXPECT_EQ(out.count("Adres: "), 1) << out.constData(); // printed once, not again at the end
    EXPECT_TRUE(err.contains(QStringLiteral("kx9ctl: Przerwano po "))) << err.toStdString();
    EXPECT_TRUE(err.contains(QStringLiteral("znalezione urządzenia: 1"))) << err.toStdString();
}
#endif

} // namespace
} // namespace kx9::test
