// SPDX-License-Identifier: MIT
// kx9ctl for several boards against kx9-sim on pseudo-terminals: boards of one line, two lines
// at once with a board that never answers, a manifest that names a missing file, and a picture
// whose text needs fonts.
#include "common/Kx9ctlRun.h"
#include "common/SchedulerTicks.h"
#include "config/ConfigFile.h"
#include "integration/SimProcess.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include <bitset>
#include <set>
#include <tuple>

namespace kx9::test {
namespace {

class FleetOnTheLine : public ::testing::Test {
protected:
    static void SetUpTestSuite() { EnsureCoreApplication(); }

    static void Start(SimProcess& sim) { ASSERT_TRUE(sim.Start()) << sim.Log().constData(); }

    // A configuration whose night starts at 23:30 (a fresh board's at 22:00).
    static void Hall(const QString& path) {
        ConfigImage image;
        image.ResetImage(QDateTime(QDate(2026, 12, 7), QTime(14, 35)));
        image.SetReg(RegNightStart, 2330);
        ASSERT_TRUE(WriteConfigFile(path, image));
    }

    static std::set<int> AddressesAsked(const SimProcess& sim) {
        std::set<int> addresses;
        for (const QByteArray& frame : sim.Requests())
            addresses.insert(uint8_t(frame[0]));
        return addresses;
    }

    static QJsonArray Boards(const Ran& run) {
        return QJsonDocument::fromJson(run.out).object().value("boards").toArray();
    }
};

TEST_F(FleetOnTheLine, WritesAndVerifiesTheListedBoardsOfOneLineAndLeavesTheOthersAlone) {
    SimProcess sim({"--address", "3,9,17", "--log"});
    Start(sim);
    Hall(QDir(sim.Dir()).filePath("hall.cfg"));

    const Ran write = RunKx9ctl(sim.Dir(), {"--fast", "--address", "3,9", "write", "hall.cfg"});
    EXPECT_EQ(write.code, 0) << write.err.toStdString();
    const QStringList table = QString::fromUtf8(write.out).split('\n');
    EXPECT_TRUE(table.contains(QStringLiteral("Tablic: 2, bez błędów: 2, z błędem: 0")))
        << write.out.constData();
    EXPECT_EQ(table.filter(QRegularExpression("^COM1 +[39]  OK ")).size(), 2) << write.out.constData();

    const Ran verify = RunKx9ctl(sim.Dir(), {"--fast", "--json", "--address", "3,9", "verify", "hall.cfg"});
    EXPECT_EQ(verify.code, 0) << verify.err.toStdString();
    const QJsonArray boards = Boards(verify);
    ASSERT_EQ(boards.size(), 2) << verify.out.constData();
    for (int k = 0; k < 2; ++k) {
        EXPECT_EQ(boards[k].toObject().value("address").toInt(), k == 0 ? 3 : 9);
        EXPECT_EQ(boards[k].toObject().value("result").toString(), "ok");
    }
    // Nothing went to 17, and 17 keeps a fresh board's night.
    EXPECT_EQ(AddressesAsked(sim), (std::set<int>{3, 9}));
    const Ran read = RunKx9ctl(sim.Dir(), {"--fast", "--address", "17", "read", "b17.cfg"});
    ASSERT_EQ(read.code, 0) << read.err.toStdString();
    ConfigImage b17;
    ASSERT_TRUE(ReadConfigFile(QDir(sim.Dir()).filePath("b17.cfg"), b17));
    EXPECT_EQ(b17.Reg(RegNightStart), 2200);
}

TEST_F(FleetOnTheLine, TwoLinesRunSideBySideAndABoardThatNeverAnswersIsNamedWithItsCause) {
    SimProcess good({"--address", "3,9", "--log"});
    SimProcess faulty({"--address", "3,9", "--fault", "noreply@9", "--log"});
    Start(good);
    Start(faulty);
    QTemporaryDir here;
    Hall(QDir(here.path()).filePath("hall.cfg"));

    // 9 first: a board that fails must not stop the next one on its line.
    const Ran run =
        RunKx9ctl(here.path(), {"--fast", "--timeout", "200", "--json", "--port", good.LinkPath(), "--port",
                                faulty.LinkPath(), "--address", "9,3", "write", "hall.cfg"});
    EXPECT_EQ(run.code, 1) << run.err.toStdString();
    const QJsonObject json = QJsonDocument::fromJson(run.out).object();
    const QJsonArray boards = json.value("boards").toArray();
    ASSERT_EQ(boards.size(), 4) << run.out.constData();
    double boardSeconds = 0;
    for (const QJsonValue& value : boards) {
        const QJsonObject b = value.toObject();
        const bool bad = b.value("port").toString() == faulty.LinkPath() && b.value("address").toInt() == 9;
        EXPECT_EQ(b.value("result").toString(), bad ? "failed" : "ok")
            << b.value("port").toString().toStdString() << " " << b.value("address").toInt();
        EXPECT_EQ(b.value("cause").toString(),
                  bad ? QStringLiteral("brak odpowiedzi w ciągu 200 ms") : QString());
        boardSeconds += b.value("seconds").toDouble();
    }
    EXPECT_EQ(json.value("summary").toObject().value("failed").toInt(), 1);
    EXPECT_TRUE(run.err.contains(
        QStringLiteral("kx9ctl: [%1, adres 9] Błąd: Błąd transmisji danych").arg(faulty.LinkPath())))
        << run.err.toStdString();
    // Two whole writes on the good line, one beside them on the other: about two thirds of their
    // sum; in a row it would be all of it.
    EXPECT_LT(json.value("seconds").toDouble(), 0.85 * boardSeconds) << run.out.constData();
    EXPECT_EQ(AddressesAsked(good), (std::set<int>{3, 9}));
}

TEST_F(FleetOnTheLine, AManifestThatNamesAMissingFileEndsWithTwoBeforeAnythingIsSent) {
    SimProcess sim({"--address", "1,2", "--log"});
    Start(sim);
    const QDir dir(sim.Dir());
    Hall(dir.filePath("hall.cfg"));
    QFile manifest(dir.filePath("fleet.json"));
    ASSERT_TRUE(manifest.open(QIODevice::WriteOnly));
    manifest.write(R"({"boards": [{"port": "COM1", "address": 1, "config": "hall.cfg"},
                                 {"port": "COM1", "address": 2, "config": "gate.cfg", "clock": "sync"}]})");
    manifest.close();

    const Ran run = RunKx9ctl(sim.Dir(), {"apply", "fleet.json"});
    EXPECT_EQ(run.code, 2);
    EXPECT_TRUE(run.err.contains(QStringLiteral("Nie ma takiego pliku: ") + dir.filePath("gate.cfg")))
        << run.err.toStdString();
    EXPECT_TRUE(run.out.isEmpty()) << run.out.constData();
    QThread::msleep(100); // a request sent would be in the board's log by now
    EXPECT_TRUE(sim.Requests().empty()) << sim.Log().constData();
}

// Exit 2 means nothing was sent: a rate or frame outside the tables in one board's file stops
// the whole run before the first request, not after the other boards were written.
TEST_F(FleetOnTheLine, ABadLinkInOneBoardsFileStopsTheRunBeforeAnythingIsSent) {
    SimProcess sim({"--address", "1,2", "--log"});
    Start(sim);
    const QDir dir(sim.Dir());
    Hall(dir.filePath("hall.cfg"));
    for (const auto& [name, frame, baud] :
         {std::tuple{"badrate.cfg", 1, 9}, std::tuple{"badframe.cfg", 7, 7}}) {
        ConfigImage image;
        image.ResetImage(QDateTime(QDate(2026, 12, 7), QTime(14, 35)));
        image.link.FrameIndex = uint8_t(frame);
        image.link.BaudIndex = uint8_t(baud);
        ASSERT_TRUE(WriteConfigFile(dir.filePath(name), image));
    }
    QFile manifest(dir.filePath("fleet.json"));
    ASSERT_TRUE(manifest.open(QIODevice::WriteOnly));
    manifest.write(R"({"boards": [{"port": "COM1", "address": 1, "config": "hall.cfg"},
                                 {"port": "COM1", "address": 2, "config": "badrate.cfg"},
                                 {"port": "COM1", "address": 3, "config": "badframe.cfg"}]})");
    manifest.close();

    const Ran run = RunKx9ctl(sim.Dir(), {"--fast", "apply", "fleet.json"});
    EXPECT_EQ(run.code, 2);
    EXPECT_TRUE(run.err.contains("COM1, adres 2: Prędkość transmisji spoza tabeli (nr 9) (plik " +
                                 dir.filePath("badrate.cfg") + ")"))
        << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("COM1, adres 3: Ramka transmisji spoza tabeli (nr 7)"))
        << run.err.toStdString();
    QThread::msleep(100); // a request sent would be in the board's log by now
    EXPECT_TRUE(sim.Requests().empty()) << sim.Log().constData();
}

TEST_F(FleetOnTheLine, APictureWithTextIsDrawnWithItsLetters) {
    SimProcess sim({"--log"});
    Start(sim);
    QFile svg(QDir(sim.Dir()).filePath("text.svg"));
    ASSERT_TRUE(svg.open(QIODevice::WriteOnly));
    svg.write(R"(<svg xmlns="http://www.w3.org/2000/svg" width="120" height="40">)"
              R"(<rect width="120" height="40" fill="black"/>)"
              R"(<text x="4" y="32" font-family="sans-serif" font-size="30" fill="white">KX9</text></svg>)");
    svg.close();

    const Ran run = RunKx9ctl(sim.Dir(), {"--fast", "--json", "graphic", "115", "text.svg"});
    EXPECT_EQ(run.code, 0) << run.err.toStdString();
    EXPECT_EQ(QJsonDocument::fromJson(run.out).object().value("exitCode").toInt(-1), 0)
        << run.out.constData();
    // Only the letters are lit: some dots, far from all.
    size_t lit = 0, words = 0;
    for (const QByteArray& frame : sim.Requests()) {
        const int first = uint8_t(frame[2]) * 256 + uint8_t(frame[3]);
        const int count = uint8_t(frame[4]) * 256 + uint8_t(frame[5]);
        if (uint8_t(frame[1]) != 16 || first > 600 || frame.size() != 9 + 2 * count)
            continue;
        for (int k = first == 0 ? 1 : 0; k < count; ++k, ++words)
            lit += std::bitset<16>(uint8_t(frame[7 + 2 * k]) * 256 + uint8_t(frame[8 + 2 * k])).count();
    }
    EXPECT_EQ(words, 600u);
    EXPECT_GT(lit, 100u);
    EXPECT_LT(lit, 120u * 40 / 2);
}

} // namespace
} // namespace kx9::test
