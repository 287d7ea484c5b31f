// SPDX-License-Identifier: MIT
// One transfer at a time: whatever starts while another runs is refused with the message and
// sends nothing; request chains end for good on a failure.
#include "common/TestWorld.h"
#include "ops/RequestChain.h"

#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

namespace kx9 {
namespace {

const QString Busy =
    QStringLiteral("Trwa transmisja danych. Poczekaj na jej zakończenie i spróbuj ponownie.");

struct Overlap : ::testing::Test, test::BoardWorld {
    static void SetUpTestSuite() { test::EnsureCoreApplication(); }

    // Runs the ticks until `stop` holds.
    void RunUntil(const std::function<bool()>& stop) { test::TickUntilIdle(scheduler, port, stop); }
    void ExpectRefused(size_t boxesBefore) {
        ASSERT_EQ(dialogs.boxes.size(), boxesBefore + 1);
        EXPECT_EQ(dialogs.boxes.back().text, Busy);
        EXPECT_EQ(dialogs.boxes.back().title, QStringLiteral("Uwaga"));
        EXPECT_EQ(dialogs.boxes.back().icon, MsgIcon::Information);
    }
};

struct Starter {
    const char* name;
    std::function<bool(Program&)> start;
};

const Starter Starters[] = {
    {"identification", [](Program& p) { return p.ops.StartIdentification(); }},
    {"status", [](Program& p) { return p.ops.StartStatusRead(); }},
    {"whole read", [](Program& p) { return p.ops.StartConfigRead(); }},
    {"whole write", [](Program& p) { return p.ops.StartConfigWrite(); }},
    {"pages read", [](Program& p) { return p.ops.StartPagesRead(); }},
    {"pages write", [](Program& p) { return p.ops.StartPagesWrite(); }},
    {"link change", [](Program& p) { return p.ops.StartLinkChange(); }},
    {"clock read", [](Program& p) { return p.ops.StartClockRead(); }},
    {"clock write", [](Program& p) { return p.ops.StartClockWrite(true); }},
    {"time display read", [](Program& p) { return p.ops.StartTimeDisplayRead(); }},
    {"time display write", [](Program& p) { return p.ops.StartTimeDisplayWrite(); }},
    {"slave write", [](Program& p) { return p.ops.StartSlaveWrite(); }},
    {"editor's single request",
     [](Program& p) { return p.transfers.Single(Transfers::Kind::Write, RegActivePage, 1); }},
};

class EveryOperation : public Overlap, public ::testing::WithParamInterface<Starter> {};

// Both while a reply is awaited and between two requests of the whole read.
TEST_P(EveryOperation, IsRefusedDuringAWholeRead) {
    ASSERT_TRUE(ops.StartConfigRead());
    for (const char* moment : {"reply awaited", "between requests"}) {
        SCOPED_TRACE(moment);
        const size_t sent = board.Requests().size();
        const size_t boxes = dialogs.boxes.size();
        const LinkSettings link = image.link;
        EXPECT_FALSE(GetParam().start(program));
        ExpectRefused(boxes);
        EXPECT_EQ(board.Requests().size(), sent);
        EXPECT_EQ(image.link.BoardAddress, link.BoardAddress);
        EXPECT_EQ(image.link.BaudIndex, link.BaudIndex);
        scheduler.TestOdpowiedziTimer(); // the reply comes in; the job goes on
    }
    RunUntilIdle();
    EXPECT_EQ(board.Requests().size(), 4u + 231u); // the read itself went through whole
    EXPECT_FALSE(scheduler.TransferError());
}

INSTANTIATE_TEST_SUITE_P(Operations, EveryOperation, ::testing::ValuesIn(Starters), [](const auto& info) {
    std::string name = info.param.name;
    for (char& c : name)
        if (c == ' ' || c == '\'')
            c = '_';
    return name;
});

TEST_F(Overlap, StatusDuringAPageReadLeavesPageTenItsOwnText) {
    std::array<uint8_t, 200> ten{};
    ten.fill('T');
    board.SetPage(10, ten);
    board.SetHolding(RegStatus, 5);
    ASSERT_TRUE(ops.StartPagesRead());
    // The selection of page 10 is on its way.
    RunUntil([&] { return board.Requests().size() == 21; });
    ASSERT_NE(scheduler.ReplyEnd(), 0);
    EXPECT_FALSE(ops.StartStatusRead());
    ExpectRefused(0);
    RunUntilIdle();
    EXPECT_EQ(image.pages[10][0], 'T');
    EXPECT_EQ(image.pages[9][0], ' ');
    EXPECT_TRUE(status.shown.empty());
}

TEST_F(Overlap, ADoubleClickStartsTheReadOnce) {
    EXPECT_TRUE(ops.StartConfigRead());
    EXPECT_FALSE(ops.StartConfigRead());
    ExpectRefused(0);
    RunUntilIdle();
    EXPECT_EQ(board.Requests().size(), 4u + 231u);
    EXPECT_EQ(dialogs.boxes.size(), 1u); // no transmission error follows
}

// A chain of three writes whose board stops answering after the first.
struct ChainFixture : Overlap {
    QTimer timer;
    RequestChain chain{transfers, timer};
    int finished = 0;
    bool Start() {
        auto write = [this](int reg) {
            return ChainStep{[this, reg] {
                                 if (scheduler.OpenLink() != 1)
                                     return false;
                                 scheduler.SendWrite(reg, 1);
                                 return true;
                             },
                             -1};
        };
        return chain.Start({write(4020), write(4021), write(4022)}, [this] { ++finished; });
    }
    void Run() {
        RunUntilIdle([this] { chain.Tick(); }, [this] { return timer.isActive(); });
    }
};

TEST_F(ChainFixture, RunsItsStepsOneReplyAtATimeAndRefusesOthersMeanwhile) {
    ASSERT_TRUE(Start());
    EXPECT_TRUE(scheduler.Busy());
    EXPECT_FALSE(ops.StartIdentification());
    ExpectRefused(0);
    Run();
    EXPECT_EQ(finished, 1);
    EXPECT_EQ(board.Requests().size(), 3u);
    EXPECT_FALSE(scheduler.Busy());
}

TEST_F(ChainFixture, StoppedByATimeOutStaysStoppedAfterALaterTransfer) {
    ASSERT_TRUE(Start());
    board.SetFault(BoardModel::Fault::NoReply);
    Run();
    EXPECT_EQ(dialogs.Texts(), std::vector<QString>{QStringLiteral("Błąd transmisji danych")});
    EXPECT_FALSE(chain.Running());
    EXPECT_FALSE(timer.isActive());
    EXPECT_FALSE(scheduler.Busy());

    board.SetFault(BoardModel::Fault::None);
    const size_t sent = board.Requests().size();
    ASSERT_TRUE(ops.StartTimeDisplayWrite()); // clears the error as it sends
    RunUntilIdle();
    EXPECT_FALSE(scheduler.TransferError());
    chain.Tick(); // a stray tick finds nothing to resume
    EXPECT_EQ(board.Requests().size(), sent + 1);
    EXPECT_EQ(finished, 0);
}

TEST_F(ChainFixture, StoppedByAPortThatWillNotOpenHidesTheProgress) {
    ASSERT_TRUE(Start());
    progress.ShowProgress(QString());
    port.SetMissing(QStringLiteral("COM1"));
    Run();
    EXPECT_FALSE(chain.Running());
    EXPECT_FALSE(progress.shown);
    EXPECT_EQ(board.Requests().size(), 1u);
    EXPECT_EQ(finished, 0);
}

} // namespace
} // namespace kx9
