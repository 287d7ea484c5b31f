// SPDX-License-Identifier: MIT
// Several boards on one line, each with its own address, rate, frame and registers.
#include "board/BoardBus.h"
#include "board/SimPort.h"
#include "config/ConfigImage.h"
#include "link/ModbusFrame.h"

#include <gtest/gtest.h>

#include <deque>

namespace kx9 {
namespace {

// Boards 3 and 17 at 115200 8N2, 9 at 9600 8O1 (board rate code 2).
class ThreeBoards : public ::testing::Test {
protected:
    ThreeBoards() {
        for (const auto& [address, frame, code] :
             {std::tuple{3, 1, 9}, std::tuple{9, 3, 2}, std::tuple{17, 1, 9}}) {
            BoardModel::Options o;
            o.address = address;
            o.frameIndex = frame;
            o.baudCode = code;
            boards.emplace_back(o);
        }
        for (BoardModel& b : boards)
            line.push_back(&b);
    }
    BoardModel& At(int address) {
        for (BoardModel& b : boards)
            if (b.Address() == address)
                return b;
        throw std::out_of_range("no board");
    }
    // The reply on the line to `request` sent at `frame`/`baud` (PC indexes).
    QByteArray Ask(const uint8_t* request, int length, int frame = 1, int baud = 7) {
        const LineSettings at = LineSettingsFor(frame, baud);
        const BusReply r = DeliverOnBus(
            line, QByteArray(reinterpret_cast<const char*>(request), length), [&](const LineSettings& want) {
                return want.baud == at.baud && want.parity == at.parity && want.stopBits == at.stopBits;
            });
        heard = r.heard;
        answered = r.answered;
        return r.reply;
    }
    QByteArray Identify(int address, int frame = 1, int baud = 7) {
        uint8_t out[frame::BufferSize];
        return Ask(out, frame::BuildIdentify(out, address), frame, baud);
    }
    QByteArray Write(int address, int first, const std::vector<int32_t>& values, int frame = 1,
                     int baud = 7) {
        uint8_t out[frame::BufferSize];
        return Ask(out, frame::BuildWrite(out, address, first, int(values.size()), values.data()), frame,
                   baud);
    }

    std::deque<BoardModel> boards;
    std::vector<BoardModel*> line;
    int heard = 0;
    int answered = 0;
};

struct AskRow {
    int address, frame, baud;
    bool answers;
    int heard; // boards that made sense of it at that frame and rate
};

class EachBoardHearsItsOwnLine : public ThreeBoards, public ::testing::WithParamInterface<AskRow> {};

TEST_P(EachBoardHearsItsOwnLine, AndOnlyItsAddressAnswers) {
    const AskRow& row = GetParam();
    const QByteArray reply = Identify(row.address, row.frame, row.baud);
    EXPECT_EQ(!reply.isEmpty(), row.answers);
    EXPECT_EQ(heard, row.heard);
    if (row.answers) {
        EXPECT_EQ(uint8_t(reply[0]), row.address);
        EXPECT_TRUE(
            frame::CrcMatches(reinterpret_cast<const uint8_t*>(reply.constData()), int(reply.size())));
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, EachBoardHearsItsOwnLine,
                         ::testing::Values(AskRow{3, 1, 7, true, 2}, AskRow{17, 1, 7, true, 2},
                                           AskRow{9, 1, 7, false, 2}, // 9 is at 9600 8O1
                                           AskRow{9, 3, 2, true, 1}, AskRow{3, 3, 2, false, 1},
                                           AskRow{9, 0, 2, false, 0}, // no board at 9600 8N1
                                           AskRow{5, 1, 7, false, 2}, // nobody at 5
                                           AskRow{0, 1, 7, false, 2}));

TEST_F(ThreeBoards, AWriteToOneLeavesTheOthers) {
    ASSERT_EQ(Write(17, RegDayBrightness, {77}).size(), 8);
    EXPECT_EQ(At(17).Holding(RegDayBrightness), 77);
    EXPECT_EQ(At(3).Holding(RegDayBrightness), 100);
    EXPECT_EQ(At(9).Holding(RegDayBrightness), 100);
    // Each keeps its own pages as well.
    std::vector<int32_t> window{4};
    window.resize(101, 0x4142);
    ASSERT_EQ(Write(3, RegPageSelector, window).size(), 8);
    EXPECT_EQ(At(3).Page(4)[0], 0x41);
    EXPECT_EQ(At(17).Page(4)[0], 0);
}

TEST_F(ThreeBoards, ALinkChangeMovesOnlyThatBoard) {
    // 3 goes to 23 at 9600 8O1, alongside 9; its reply still comes at the old settings.
    ASSERT_EQ(Write(3, RegBoardAddress, {23, 3, 2}).size(), 8);
    EXPECT_TRUE(Identify(3).isEmpty());
    EXPECT_TRUE(Identify(23).isEmpty()); // not at the old rate
    EXPECT_FALSE(Identify(23, 3, 2).isEmpty());
    EXPECT_EQ(heard, 2);
    EXPECT_FALSE(Identify(9, 3, 2).isEmpty());
    EXPECT_FALSE(Identify(17).isEmpty());
    EXPECT_EQ(At(17).Address(), 17);
    EXPECT_EQ(At(9).BaudCode(), 2);
}

TEST_F(ThreeBoards, TwoBoardsAtOneAddressCollide) {
    // 17 moves onto 3's address and line: both answer, and no reply survives.
    ASSERT_EQ(Write(17, RegBoardAddress, {3, 1, 9}).size(), 8);
    const QByteArray reply = Identify(3);
    EXPECT_EQ(answered, 2);
    ASSERT_FALSE(reply.isEmpty());
    EXPECT_FALSE(frame::CrcMatches(reinterpret_cast<const uint8_t*>(reply.constData()), int(reply.size())));
}

TEST_F(ThreeBoards, AFaultHitsOnlyItsBoard) {
    At(9).SetFault(BoardModel::Fault::NoReply);
    At(3).SetFault(BoardModel::Fault::Delay);
    At(3).SetDelayMs(100);
    const QByteArray late = Identify(3);
    EXPECT_FALSE(late.isEmpty());
    EXPECT_TRUE(Identify(9, 3, 2).isEmpty());
    EXPECT_FALSE(Identify(17).isEmpty());
    // The delay is the answering board's.
    uint8_t out[frame::BufferSize];
    const int n = frame::BuildIdentify(out, 3);
    const BusReply r =
        DeliverOnBus(line, QByteArray(reinterpret_cast<const char*>(out), n),
                     [](const LineSettings& l) { return l.baud == 115200 && l.stopBits == 2; });
    EXPECT_EQ(r.delayMs, 100);
    EXPECT_EQ(r.from, &At(3));
    EXPECT_EQ(r.line.baud, 115200);
    EXPECT_EQ(r.frameIndex, 1);
}

TEST_F(ThreeBoards, TheInProcessPortCarriesTheWholeLine) {
    SimPort port(line);
    ASSERT_TRUE(port.open("COM1", LineSettingsFor(3, 2)));
    uint8_t out[frame::BufferSize];
    port.write(out, frame::BuildIdentify(out, 3));
    EXPECT_EQ(port.bytesWaiting(), 0);  // 3 is at 115200 8N2
    EXPECT_EQ(port.MismatchCount(), 0); // 9 heard it, though
    port.write(out, frame::BuildIdentify(out, 9));
    EXPECT_EQ(port.bytesWaiting(), 12);
    port.close();
    ASSERT_TRUE(port.open("COM1", LineSettingsFor(0, 0)));
    port.write(out, frame::BuildIdentify(out, 9));
    EXPECT_EQ(port.MismatchCount(), 1); // nobody at 2400 8N1
}

} // namespace
} // namespace kx9
