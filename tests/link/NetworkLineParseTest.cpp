// SPDX-License-Identifier: MIT
// Network lines as they are typed: which are lines, where they lead, and how a COM name gets
// to one.
#include "link/NetworkLine.h"
#include "link/PortMap.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace kx9 {
namespace {

struct ParseCase {
    const char* name;
    const char* text;
    bool valid;
    NetworkLine::Kind kind;
    const char* host;
    int port;
    const char* canonical; // Text() of the line
};

class ParseNetwork : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseNetwork, Line) {
    const ParseCase& c = GetParam();
    const std::optional<NetworkLine> line = ParseNetworkLine(QString::fromUtf8(c.text));
    ASSERT_EQ(line.has_value(), c.valid);
    EXPECT_EQ(NetworkLineProblem(QString::fromUtf8(c.text)).isEmpty(), c.valid);
    if (!c.valid)
        return;
    EXPECT_EQ(line->kind, c.kind);
    EXPECT_EQ(line->host, QString::fromUtf8(c.host));
    EXPECT_EQ(line->port, c.port);
    EXPECT_EQ(line->Text(), QString::fromUtf8(c.canonical));
}

using K = NetworkLine::Kind;
INSTANTIATE_TEST_SUITE_P(
    Texts, ParseNetwork,
    ::testing::Values(
        ParseCase{"rtu", "tcp://127.0.0.1:5020", true, K::RtuOverTcp, "127.0.0.1", 5020,
                  "tcp://127.0.0.1:5020"},
        ParseCase{"gateway", "modbus-tcp://gw.site-2.lan:502", true, K::ModbusTcp, "gw.site-2.lan", 502,
                  "modbus-tcp://gw.site-2.lan:502"},
        ParseCase{"ipv6", " tcp://[::1]:4001 ", true, K::RtuOverTcp, "::1", 4001, "tcp://[::1]:4001"},
        ParseCase{"highestPort", "tcp://h:65535", true, K::RtuOverTcp, "h", 65535, "tcp://h:65535"},
        ParseCase{"portZero", "tcp://h:0", false, K::RtuOverTcp, "", 0, ""},
        ParseCase{"portTooHigh", "tcp://h:65536", false, K::RtuOverTcp, "", 0, ""},
        ParseCase{"noPort", "tcp://h", false, K::RtuOverTcp, "", 0, ""},
        ParseCase{"noHost", "modbus-tcp://:502", false, K::RtuOverTcp, "", 0, ""},
        ParseCase{"otherScheme", "udp://h:502", false, K::RtuOverTcp, "", 0, ""},
        ParseCase{"blankInside", "tcp://h:5 0", false, K::RtuOverTcp, "", 0, ""},
        ParseCase{"pathAfter", "tcp://h:502/x", false, K::RtuOverTcp, "", 0, ""},
        ParseCase{"badIpv6", "tcp://[1.2.3]:502", false, K::RtuOverTcp, "", 0, ""},
        ParseCase{"comName", "COM1", false, K::RtuOverTcp, "", 0, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(NetworkRoute, AComNameLeadsToTheNetworkLineChosenUnlessAFolderLinkTakesIt) {
    QTemporaryDir dir;
    const QString back = QDir::currentPath();
    QDir::setCurrent(dir.path());
    PortMap map(QString(), [] { return std::vector<SerialDevice>{}; });
    map.SetMapped(QStringLiteral("COM2"), QStringLiteral("modbus-tcp://10.0.0.5:502"));
    map.SetMapped(QStringLiteral("COM3"), QStringLiteral("tcp://10.0.0.6:4001"));
    QFile::link(QStringLiteral("/dev/null"), QStringLiteral("COM3"));

    const PortRoute two = map.Route(QStringLiteral("COM2"));
    EXPECT_TRUE(two.network);
    EXPECT_EQ(two.device, QStringLiteral("modbus-tcp://10.0.0.5:502"));
    EXPECT_EQ(RouteText(two), QStringLiteral("COM2 → modbus-tcp://10.0.0.5:502 (bramka Modbus TCP)"));
    const PortRoute three = map.Route(QStringLiteral("COM3"));
    EXPECT_FALSE(three.network);
    EXPECT_EQ(three.via, PortRoute::Via::Folder);
    const PortRoute direct = map.Route(QStringLiteral("tcp://127.0.0.1:5020"));
    EXPECT_TRUE(direct.network);
    EXPECT_EQ(RouteText(direct),
              QStringLiteral("tcp://127.0.0.1:5020 → tcp://127.0.0.1:5020 (RTU przez TCP)"));
    QDir::setCurrent(back);
}

} // namespace
} // namespace kx9
