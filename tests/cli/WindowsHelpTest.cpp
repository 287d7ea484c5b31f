// SPDX-License-Identifier: MIT
// kx9ctl's help names the ports of the system it runs on.
#include "cli/CliOptions.h"

#include <gtest/gtest.h>

namespace kx9::cli {
namespace {

TEST(WindowsHelp, NamesComPortsAndNoDeviceFiles) {
    const QString windows = HelpText(true);
    const QString other = HelpText(false);
    EXPECT_TRUE(windows.contains("--port COMn|tcp://")) << windows.toStdString();
    EXPECT_TRUE(windows.contains("COM12")) << windows.toStdString();
    for (const char* posix : {"/dev/", "by-id", "the file COMn"})
        EXPECT_FALSE(windows.contains(posix)) << posix;
    EXPECT_TRUE(other.contains("/dev/ttyS<n-1>"));
    // Only the port paragraphs differ.
    EXPECT_EQ(windows.section("Commands:", 0, 0), other.section("Commands:", 0, 0));
    EXPECT_EQ(windows.section("--address", 1), other.section("--address", 1));
}

} // namespace
} // namespace kx9::cli
