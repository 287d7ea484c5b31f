// SPDX-License-Identifier: MIT
// Every fault kx9-sim injects against every operation of the main window, over a real
// pseudo-terminal: each ends in its message with details that say what happened, stores
// nothing the board did not send, leaves the port closed and no timer running, and the next
// operation works.
#include "SimProcess.h"
#include "common/TestWorld.h"

#include <QDir>
#include <gtest/gtest.h>

#include <functional>
#include <set>

namespace kx9::test {
namespace {

constexpr int BoardStatus = 0xC000; // two error bits, so the write-back has something to clear

// The PC's clock, whose pauses block; one of them held for a late reply when armed.
class HoldingClock : public SystemClock {
public:
    void pause(int ms) override {
        if (!hold.Hold())
            SystemClock::pause(ms);
    }
    LateReplyHold hold;
};
struct MatrixSeams {
    QtSerialPort port;
    HoldingClock clock;
    RecordingDialogs dialogs;
};
using MatrixWorld = ProgramWorld<MatrixSeams>;

struct Operation {
    const char* name;
    const char* title; // the operation the details name
    int soundReplies;  // replies before the one the fault hits
    std::function<bool(MatrixWorld&)> start;
};

const Operation Operations[] = {
    {"Identification", "Identyfikacja", 0, [](MatrixWorld& w) { return w.ops.StartIdentification(); }},
    {"StatusRead", "Odczyt Statusu", 0, [](MatrixWorld& w) { return w.ops.StartStatusRead(); }},
    {"StatusWriteBack", "Zapis Statusu", 1,
     [](MatrixWorld& w) {
         w.status.clear = 0xFFFF;
         return w.ops.StartStatusRead();
     }},
    {"WholeRead", "Odczyt Konfiguracji", 0, [](MatrixWorld& w) { return w.ops.StartConfigRead(); }},
    {"WholeWrite", "Zapis Konfiguracji", 0, [](MatrixWorld& w) { return w.ops.StartConfigWrite(); }},
    {"PageRead", "Odczyt Stron Tekstowych", 0, [](MatrixWorld& w) { return w.ops.StartPagesRead(); }},
    {"PageWrite", "Zapis Stron Tekstowych", 0, [](MatrixWorld& w) { return w.ops.StartPagesWrite(); }},
    // The board's link set to what it is: the identification at the "new" settings takes the fault.
    {"LinkChange", "Zmiana parametrów transmisji", 1,
     [](MatrixWorld& w) {
         w.image.SetReg(RegBoardAddress, 1);
         w.image.SetReg(RegBoardFrame, 1);
         w.image.SetReg(RegBoardBaud, 9);
         return w.ops.StartLinkChange();
     }},
};

// Registers the operations set themselves: the page selector, the PC's clock, the cleared status.
const std::set<int> SetByTheOperation = {RegPageSelector, RegClockTime,    RegClockYear,  RegClockDate,
                                         RegStatus,       RegBoardAddress, RegBoardFrame, RegBoardBaud};

class FaultMatrix : public OnTheLine<MatrixWorld, ::testing::TestWithParam<std::tuple<int, int>>> {
protected:
    // Values no board register holds after power-up, so anything the board sent stands out.
    void FillImage() {
        for (int r = MainBase; r < MainBase + MainCount; ++r)
            image.SetReg(r, 0x7000 + r % 1000);
        for (int r = SlaveBase; r < SlaveBase + SlaveCount; ++r)
            image.SetReg(r, 0x6000 + r % 1000);
        for (int p = 0; p < PageCount; ++p)
            image.pages[size_t(p)].fill(uint8_t('a' + p % 26));
    }
};

TEST_P(FaultMatrix, EndsInItsMessageAndTheNextOperationWorks) {
    const auto [f, o] = GetParam();
    const SimFault& fault = SimFaults[f];
    const Operation& op = Operations[o];
    StartSim(FaultCellArgs(fault, o, op.soundReplies, {"--status", QString::number(BoardStatus)}));
    image.link.ReplyTimeoutMs = MatrixReplyTimeoutMs;
    FillImage();
    const ConfigImage::Page firstPage = image.pages[0];
    const auto mainBefore = image.main;
    const auto slaveBefore = image.slave;
    const BoardModel factory(BoardModel::Options{1, 1, 9, 15, 5, BoardStatus});

    ASSERT_TRUE(op.start(*this));
    ASSERT_TRUE(scheduler.WaitUntilIdle(8000)) << sim->Log().constData();

    // The message, with details that say what happened.
    ASSERT_EQ(dialogs.boxes.size(), 1u) << sim->Log().constData();
    ExpectTransferErrorBox(dialogs.boxes[0], *sim, QString::fromUtf8(op.title), QString(),
                           FaultCause(fault, o));

    // Nothing stored that the board did not send.
    for (int r = MainBase; r < SlaveBase + SlaveCount; ++r) {
        if (!ConfigImage::HasRegister(r) || SetByTheOperation.count(r))
            continue;
        const int32_t before =
            r < SlaveBase ? mainBefore[size_t(r - MainBase)] : slaveBefore[size_t(r - SlaveBase)];
        EXPECT_TRUE(image.Reg(r) == before || image.Reg(r) == factory.Holding(r)) << r;
    }
    EXPECT_EQ(image.pages[0], firstPage);

    // Port closed, no timer left running, no job left.
    EXPECT_FALSE(image.link.PortOpen);
    EXPECT_FALSE(port.isOpen());
    EXPECT_TRUE(scheduler.Idle());
    EXPECT_FALSE(scheduler.JobRunning());
    EXPECT_FALSE(progress.shown);

    // The next operation works: the port opens afresh and the reply belongs to its request, also
    // when a late reply has come in on the open port just before its request goes out.
    dialogs.boxes.clear();
    if (IsLate(fault))
        clock.hold.Arm(port);
    ASSERT_TRUE(ops.StartIdentification());
    ASSERT_TRUE(scheduler.WaitUntilIdle(5000));
    if (IsLate(fault)) {
        EXPECT_GT(clock.hold.heard, 0) << "the late reply did not meet the next request\n"
                                       << sim->Log().constData();
    }
    ASSERT_EQ(dialogs.boxes.size(), 1u) << sim->Log().constData();
    EXPECT_EQ(dialogs.boxes[0].title, QStringLiteral("Identyfikacja"))
        << dialogs.boxes[0].details.toStdString();
    EXPECT_EQ(dialogs.boxes[0].text,
              QStringLiteral("Uzyskano odpowiedź z KX9 o rozdzielczości matrycowej: 15x5\n"
                             "Rozdzielczość tablicy :4800 punktów"));
}

INSTANTIATE_TEST_SUITE_P(Cells, FaultMatrix,
                         ::testing::Combine(::testing::Range(0, int(std::size(SimFaults))),
                                            ::testing::Range(0, int(std::size(Operations)))),
                         [](const auto& info) {
                             return std::string(SimFaults[std::get<0>(info.param)].name) + "_" +
                                    Operations[std::get<1>(info.param)].name;
                         });

} // namespace
} // namespace kx9::test
