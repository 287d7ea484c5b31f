// SPDX-License-Identifier: MIT
// Port names and the devices they lead to: the working folder's links, the user's mapping, the
// system's ports; and an open of a mapped device that is gone.
#include "link/PortMap.h"
#include "common/SchedulerTicks.h"
#include "common/TestSeams.h"
#include "config/ConfigImage.h"
#include "link/Modbus.h"
#include "link/QtSerialPort.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#ifdef Q_OS_UNIX
#include <unistd.h>

namespace kx9::test {
namespace {

// A folder standing for the working folder and /dev: "ttyUSB0" is the adapter, listed by the
// system (the seam) with its by-id link.
struct PortFolder : ::testing::Test {
    QTemporaryDir dir;
    QString previous = QDir::currentPath();
    QString Path(const QString& name) const { return QDir(dir.path()).absoluteFilePath(name); }
    QString adapter = Path("ttyUSB0");
    QString byId = Path("usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
    std::vector<SerialDevice> listed{{adapter, byId, "FT232R USB UART", "FTDI", "A50285BI"}};
    PortMap map{Path("cfg/porty.ini"), [this] { return listed; }};

    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        QFile device(adapter);
        ASSERT_TRUE(device.open(QIODevice::WriteOnly));
        ASSERT_EQ(::symlink(qPrintable(adapter), qPrintable(byId)), 0);
        ASSERT_TRUE(QDir::setCurrent(dir.path()));
    }
    void TearDown() override { QDir::setCurrent(previous); }
};

struct RouteCase {
    const char* what;
    const char* folderLink; // COM1 in the working folder points here ("" none; "@" the adapter)
    const char* mapped;     // the user's device for COM1 ("@" the adapter's by-id name)
    PortRoute::Via via;
    const char* device; // "@" the adapter, "#" the by-id name, "=" the folder's link
    const char* text;   // after "COM1 → "; "@" the adapter
};

const RouteCase RouteCases[] = {
    {"nothing chosen", "", "", PortRoute::Via::Default, "/dev/ttyS0", nullptr},
    {"the adapter by its stable name", "", "@", PortRoute::Via::User, "#", "@ (FT232R USB UART, A50285BI)"},
    {"a chosen device that is gone", "", "/nonexistent-kx9/by-id/usb-gone", PortRoute::Via::User,
     "/nonexistent-kx9/by-id/usb-gone", "/nonexistent-kx9/by-id/usb-gone (odłączone)"},
    {"the folder's link wins", "@", "/nonexistent-kx9/by-id/usb-gone", PortRoute::Via::Folder, "=",
     "@ (FT232R USB UART, A50285BI, łącze w folderze roboczym)"},
    {"the folder's dangling link wins", "/nonexistent-kx9/ttyUSB9", "@", PortRoute::Via::Folder, "=",
     "/nonexistent-kx9/ttyUSB9 (łącze w folderze roboczym, odłączone)"},
};

class Routes : public PortFolder, public ::testing::WithParamInterface<RouteCase> {
protected:
    QString Expand(const char* text) const {
        QString s = QString::fromUtf8(text);
        return s.replace("@", adapter).replace("#", byId).replace("=", Path("COM1"));
    }
};

TEST_P(Routes, LeadWhereTheRulesSay) {
    const RouteCase& c = GetParam();
    if (*c.folderLink) {
        ASSERT_EQ(::symlink(qPrintable(Expand(c.folderLink)), "COM1"), 0);
    }
    map.SetMapped("COM1", QString::fromUtf8(c.mapped) == "@" ? byId : QString::fromUtf8(c.mapped));
    const PortRoute route = map.Route("COM1");
    EXPECT_EQ(route.via, c.via);
    EXPECT_EQ(route.device, Expand(c.device));
    EXPECT_EQ(map.DeviceFor("COM1"), Expand(c.device));
    if (c.text) {
        EXPECT_EQ(RouteText(route), "COM1 → " + Expand(c.text));
    }
    // Another name keeps its own way.
    EXPECT_EQ(map.DeviceFor("COM2"), QString("/dev/ttyS1"));
}

INSTANTIATE_TEST_SUITE_P(PortMap, Routes, ::testing::ValuesIn(RouteCases), [](const auto& info) {
    std::string name;
    for (const char* c = info.param.what; *c; ++c)
        name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
    return name;
});

TEST_F(PortFolder, MappingSurvivesARestartAndOnlyComNamesAreKept) {
    map.SetMapped("COM1", listed[0].Preferred());
    map.SetMapped("COM8", "/dev/ttyACM0");
    map.SetMapped("COM9", "/dev/ttyACM1"); // no name the program offers
    ASSERT_TRUE(map.Save());

    PortMap again(map.File(), [this] { return listed; });
    ASSERT_TRUE(again.Load());
    EXPECT_EQ(again.Mapping(), (std::map<QString, QString>{{"COM1", byId}, {"COM8", "/dev/ttyACM0"}}));
    // Removing a choice removes it from the file.
    again.SetMapped("COM8", "");
    ASSERT_TRUE(again.Save());
    ASSERT_TRUE(map.Load());
    EXPECT_EQ(map.Mapping(), (std::map<QString, QString>{{"COM1", byId}}));
}

TEST_F(PortFolder, OpenOfAGoneDeviceFailsNamingItNeverAnother) {
    const QString gone = "/nonexistent-kx9/by-id/usb-FTDI_gone";
    map.SetMapped("COM2", gone);
    ConfigImage image;
    QtSerialPort port(map);
    RecordingDialogs dialogs;
    FakeClock clock;
    ModbusLink link(image, port, dialogs, clock);
    EXPECT_EQ(link.Open(1, 1, 7), -1);
    EXPECT_FALSE(port.isOpen());
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].title, QStringLiteral("Błąd otwarcia portu"));
    const QString details = dialogs.boxes[0].details;
    EXPECT_TRUE(details.contains("Port: COM2 (urządzenie " + gone + ")")) << details.toStdString();
    EXPECT_FALSE(details.contains("/dev/ttyS1")) << details.toStdString();

    // Once the adapter is back under that name the same port opens.
    map.SetMapped("COM2", adapter);
    EXPECT_EQ(port.deviceName("COM2"), adapter);
}

struct PathCase {
    const char* what;
    const char* name;      // as typed after --port
    const char* inFolder;  // what the working folder holds under `name` ("" nothing)
    const char* device;    // "=" the file in the working folder
    const char* triedFrom; // the places looked at when nothing is there, after the folder's
};

// A name that is no COM name: a file of that name in the working folder first (kx9-sim's
// --link LINE1), absolute from then on; a name that leads nowhere names every place looked at.
const PathCase PathCases[] = {
    {"a link in the working folder", "LINE1", "/nonexistent-kx9/pts", "=", nullptr},
    {"a link one folder down", "hall/LINE1", "/nonexistent-kx9/pts", "=", nullptr},
    {"nothing anywhere", "kx9-nope", "", "/dev/kx9-nope", "/dev/serial/by-id/kx9-nope, /dev/kx9-nope"},
    {"nothing one folder down", "hall/kx9-nope", "", "=", ""},
};

class PathNames : public PortFolder, public ::testing::WithParamInterface<PathCase> {};

TEST_P(PathNames, AreTheWorkingFolderFileOrNameWhereTheyLooked) {
    const PathCase& c = GetParam();
    const QString name = QString::fromUtf8(c.name);
    QDir().mkpath(Path("hall"));
    if (*c.inFolder) {
        ASSERT_EQ(::symlink(c.inFolder, c.name), 0);
    }
    const PortRoute route = map.Route(name);
    EXPECT_EQ(route.via, PortRoute::Via::Path);
    EXPECT_EQ(route.device, QString::fromUtf8(c.device) == "=" ? Path(name) : QString::fromUtf8(c.device));
    QStringList tried;
    if (c.triedFrom) {
        tried << Path(name);
        if (*c.triedFrom)
            tried << QString::fromUtf8(c.triedFrom).split(", ");
    }
    EXPECT_EQ(route.tried, tried);
    // The open names them too.
    EnsureCoreApplication();
    QtSerialPort port(map);
    EXPECT_FALSE(port.open(name, LineSettingsFor(1, 7)));
    if (c.triedFrom) {
        EXPECT_TRUE(port.lastError().endsWith(" (sprawdzono: " + tried.join(", ") + ")"))
            << port.lastError().toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(PortMap, PathNames, ::testing::ValuesIn(PathCases),
                         [](const auto& info) { return "Row" + std::to_string(info.index); });

} // namespace
} // namespace kx9::test
#endif
