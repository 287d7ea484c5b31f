// SPDX-License-Identifier: MIT
#include "board/SimPort.h"
#include "link/ModbusFrame.h"

#include <gtest/gtest.h>

using kx9::BoardModel;
using kx9::LineSettings;
using kx9::LineSettingsFor;
using kx9::SimPort;

namespace {

int SendRead(SimPort& port, int addr, int first, int count) {
    uint8_t buf[kx9::frame::BufferSize];
    const int n = kx9::frame::BuildRead(buf, addr, first, count);
    return port.write(buf, n);
}

// Default board: 115200 bit/s (BaudIndex 7), 8N2 (FrameIndex 1).
const LineSettings BoardDefault = LineSettingsFor(1, 7);

} // namespace

TEST(SimPort, ReplyWaitsUntilRead) {
    BoardModel board;
    SimPort port(board);
    ASSERT_TRUE(port.open("COM1", BoardDefault));
    EXPECT_EQ(SendRead(port, 1, 4000, 3), 8);
    ASSERT_EQ(port.bytesWaiting(), 11);
    uint8_t buf[300];
    EXPECT_EQ(port.read(buf, 4), 4);
    EXPECT_EQ(port.bytesWaiting(), 7);
    EXPECT_EQ(port.read(buf + 4, 300), 7);
    EXPECT_TRUE(kx9::frame::CrcMatches(buf, 11));
    EXPECT_EQ(port.read(buf, 300), 0);
    EXPECT_FALSE(port.Mismatched());
}

TEST(SimPort, PurgeAndCloseDropWhatWaits) {
    BoardModel board;
    SimPort port(board);
    port.open("COM1", BoardDefault);
    SendRead(port, 1, 4000, 1);
    port.purge();
    EXPECT_EQ(port.bytesWaiting(), 0);
    SendRead(port, 1, 4000, 1);
    port.close();
    EXPECT_EQ(port.bytesWaiting(), 0);
    uint8_t buf[8] = {};
    EXPECT_EQ(port.write(buf, 8), 0);
    EXPECT_TRUE(board.Requests().size() == 2u);
}

TEST(SimPort, OpensExclusivelyAndFailsOnTheMissingName) {
    BoardModel board;
    SimPort port(board);
    port.SetMissing("COM3");
    EXPECT_FALSE(port.open("COM3", BoardDefault));
    EXPECT_FALSE(port.isOpen());
    ASSERT_TRUE(port.open("COM2", BoardDefault));
    EXPECT_FALSE(port.open("COM2", BoardDefault)); // still open: in use
    port.close();
    EXPECT_TRUE(port.open("COM2", BoardDefault));
    EXPECT_EQ(port.OpenCount(), 2);
    EXPECT_EQ(port.CloseCount(), 1);
    EXPECT_EQ(port.LastName(), "COM2");
}

struct LineCase {
    int frameIndex;
    int baudIndex;
    bool understood;
};

class SimPortLine : public ::testing::TestWithParam<LineCase> {};

TEST_P(SimPortLine, BoardHearsOnlyItsOwnFrameAndRate) {
    BoardModel board; // 8N2 at 115200
    SimPort port(board);
    port.open("COM1", LineSettingsFor(GetParam().frameIndex, GetParam().baudIndex));
    SendRead(port, 1, 4000, 1);
    EXPECT_EQ(port.bytesWaiting() > 0, GetParam().understood);
    EXPECT_EQ(port.Mismatched(), !GetParam().understood);
}

INSTANTIATE_TEST_SUITE_P(Table, SimPortLine,
                         ::testing::Values(LineCase{1, 7, true}, LineCase{0, 7, false}, LineCase{2, 7, false},
                                           LineCase{3, 7, false}, LineCase{1, 6, false},
                                           LineCase{1, 2, false}));

TEST(SimPort, AfterALinkChangeOnlyTheNewSettingsWork) {
    BoardModel board;
    SimPort port(board);
    port.open("COM1", BoardDefault);
    uint8_t buf[kx9::frame::BufferSize];
    const int32_t values[3] = {7, 2, 2}; // address 7, 8E1, 9600 bit/s
    port.write(buf, kx9::frame::BuildWrite(buf, 1, 4000, 3, values));
    EXPECT_EQ(port.bytesWaiting(), 8); // the reply came at the old settings
    port.close();

    port.open("COM1", BoardDefault);
    SendRead(port, 7, 4000, 1);
    EXPECT_EQ(port.bytesWaiting(), 0);
    EXPECT_EQ(port.MismatchCount(), 1);
    port.close();

    port.open("COM1", LineSettingsFor(2, 2));
    SendRead(port, 1, 4000, 1);
    EXPECT_EQ(port.bytesWaiting(), 0); // old address: silent
    SendRead(port, 7, 4000, 1);
    EXPECT_EQ(port.bytesWaiting(), 7);
    EXPECT_EQ(port.MismatchCount(), 1);
}
