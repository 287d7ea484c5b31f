// SPDX-License-Identifier: MIT
// kx9ctl ports: the port names with their devices, and --port by the names it lists.
#include "cli/Ports.h"
#include "common/SchedulerTicks.h"
#include "integration/SimProcess.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QProcessEnvironment>
#include <gtest/gtest.h>

#ifndef KX9CTL_PATH
#error "KX9CTL_PATH must name the kx9ctl program"
#endif

#ifdef Q_OS_UNIX
namespace kx9::test {
namespace {

QJsonObject PortNamed(const QJsonObject& json, const QString& name) {
    for (const QJsonValue& port : json.value("ports").toArray())
        if (port.toObject().value("name").toString() == name)
            return port.toObject();
    return {};
}

TEST(Ports, ListsTheSystemsDevicesAndTheNamesLeadingToThem) {
    QTemporaryDir dir;
    const QString adapter = dir.filePath("ttyUSB0");
    QFile device(adapter);
    ASSERT_TRUE(device.open(QIODevice::WriteOnly));
    PortMap map(dir.filePath("porty.ini"), [&] {
        return std::vector<SerialDevice>{{adapter, "", "FT232R USB UART", "FTDI", "A50285BI"}};
    });
    map.SetMapped("COM4", adapter);
    const cli::Outcome out = cli::ListPorts(map);
    EXPECT_EQ(out.code, cli::Done);
    EXPECT_TRUE(out.text.contains("COM4 → " + adapter + " (FT232R USB UART, A50285BI)\n"))
        << out.text.toStdString();
    EXPECT_TRUE(out.text.contains("  " + adapter + " (FT232R USB UART, A50285BI), FTDI\n"))
        << out.text.toStdString();
    const QJsonObject com4 = PortNamed(out.json, "COM4");
    EXPECT_EQ(com4.value("via").toString(), "user");
    EXPECT_EQ(com4.value("serialNumber").toString(), "A50285BI");
    EXPECT_EQ(out.json.value("devices").toArray().size(), 1);
}

// The program itself: the folder's link (kx9-sim's COM1) and the user's file, as both say.
TEST(Ports, Kx9ctlListsTheFoldersLinksAndTheUsersChoiceAndOpensWhatItLists) {
    EnsureCoreApplication();
    SimProcess sim({"--address", "9"});
    ASSERT_TRUE(sim.Start()) << sim.Log().constData();
    QTemporaryDir config;
    const QString gone = QStringLiteral("/nonexistent-kx9/by-id/usb-gone");
    PortMap user(config.filePath("kx9-konfigurator/porty.ini"));
    user.SetMapped("COM1", gone); // the folder's link wins over it
    user.SetMapped("COM2", gone);
    ASSERT_TRUE(user.Save());

    const auto run = [&](const QStringList& args, QByteArray* out = nullptr) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", config.path());
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(sim.Dir());
        p.start(QStringLiteral(KX9CTL_PATH), args);
        if (!p.waitForFinished(30000))
            return -1;
        if (out)
            *out = p.readAllStandardOutput();
        return p.exitCode();
    };
    QByteArray out;
    ASSERT_EQ(run({"--json", "ports"}, &out), 0);
    const QJsonObject json = QJsonDocument::fromJson(out).object();
    const QJsonObject com1 = PortNamed(json, "COM1"), com2 = PortNamed(json, "COM2");
    EXPECT_EQ(com1.value("via").toString(), "folder");
    EXPECT_EQ(com1.value("device").toString(), sim.LinkPath());
    EXPECT_TRUE(com1.value("present").toBool());
    EXPECT_EQ(com2.value("via").toString(), "user");
    EXPECT_EQ(com2.value("device").toString(), gone);
    EXPECT_FALSE(com2.value("present").toBool());
    EXPECT_EQ(json.value("file").toString(), user.File());

    // --port takes each name as listed.
    const struct {
        QString port;
        int code;
    } opens[] = {{"COM1", 0}, {sim.LinkPath(), 0}, {"COM2", 1}};
    for (const auto& o : opens)
        EXPECT_EQ(run({"--port", o.port, "--address", "9", "--json", "identify"}, &out), o.code)
            << o.port.toStdString() << out.constData();
    // The failure names the device the name leads to.
    EXPECT_TRUE(QString::fromUtf8(out).contains("urządzenie " + gone)) << out.constData();
}

} // namespace
} // namespace kx9::test
#endif
