// SPDX-License-Identifier: MIT
// Windows' port rules on any system: ports known by name whatever their location is spelt as,
// and the user's mapping reaching COM ports above the eight names.
#include "link/PortMap.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace kx9::test {
namespace {

struct WindowsRouteCase {
    const char* name;   // the name routed
    const char* mapped; // the user's device for it ("" none)
    PortRoute::Via via;
    const char* device; // what opening the name opens
    const char* text;
};

// What Qt lists on Windows: locations, not names.
const std::vector<SerialDevice> Listed{{"\\\\.\\COM1", {}, "Port komunikacyjny", {}, {}},
                                       {"\\\\.\\COM12", {}, "USB Serial Port", "FTDI", "A50285BI"}};

const WindowsRouteCase WindowsRouteCases[] = {
    {"COM1", "", PortRoute::Via::Default, "COM1", "COM1 → \\\\.\\COM1 (Port komunikacyjny)"},
    {"COM3", "", PortRoute::Via::Default, "COM3", "COM3 → COM3 (brak urządzenia)"},
    {"COM1", "COM12", PortRoute::Via::User, "COM12", "COM1 → \\\\.\\COM12 (USB Serial Port, A50285BI)"},
    {"COM8", "\\\\.\\com12", PortRoute::Via::User, "COM12",
     "COM8 → \\\\.\\COM12 (USB Serial Port, A50285BI)"},
    {"COM2", "COM14", PortRoute::Via::User, "COM14", "COM2 → COM14 (odłączone)"},
    {"COM12", "", PortRoute::Via::Default, "COM12", "COM12 → \\\\.\\COM12 (USB Serial Port, A50285BI)"},
    {"\\\\.\\COM12", "", PortRoute::Via::Path, "COM12",
     "\\\\.\\COM12 → \\\\.\\COM12 (USB Serial Port, A50285BI)"},
};

class WindowsRoutes : public ::testing::TestWithParam<WindowsRouteCase> {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(QDir::setCurrent(dir.path()));
        // A file "COM1" in the working folder means nothing on Windows.
        QFile file(QStringLiteral("COM1"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    void TearDown() override { QDir::setCurrent(previous); }

    QTemporaryDir dir;
    QString previous = QDir::currentPath();
};

TEST_P(WindowsRoutes, LeadToThePortOfThatName) {
    const WindowsRouteCase& c = GetParam();
    PortMap map({}, [] { return Listed; });
    map.SetWindowsPorts(true);
    map.SetMapped(QString::fromUtf8(c.name), QString::fromUtf8(c.mapped));
    const PortRoute route = map.Route(QString::fromUtf8(c.name));
    EXPECT_EQ(route.via, c.via);
    EXPECT_EQ(route.device, QString::fromUtf8(c.device));
    EXPECT_EQ(map.DeviceFor(QString::fromUtf8(c.name)), QString::fromUtf8(c.device));
    EXPECT_EQ(RouteText(route), QString::fromUtf8(c.text));
}

INSTANTIATE_TEST_SUITE_P(PortMap, WindowsRoutes, ::testing::ValuesIn(WindowsRouteCases));

TEST(WindowsPortMap, MappingToAHighPortSurvivesARestart) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    PortMap map(dir.filePath(QStringLiteral("porty.ini")), [] { return Listed; });
    map.SetWindowsPorts(true);
    map.SetMapped(QStringLiteral("COM1"), QStringLiteral("COM12"));
    ASSERT_TRUE(map.Save());

    PortMap again(map.File(), [] { return Listed; });
    again.SetWindowsPorts(true);
    ASSERT_TRUE(again.Load());
    const PortRoute route = again.Route(QStringLiteral("COM1"));
    EXPECT_EQ(route.device, QStringLiteral("COM12"));
    EXPECT_TRUE(route.present);
}

} // namespace
} // namespace kx9::test
