// SPDX-License-Identifier: MIT
// The scheduler's page jobs against the simulated board, through the real link.
#include "common/BoardSeams.h"
#include "common/SchedulerTicks.h"
#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace kx9 {
namespace {

using Bytes = std::array<uint8_t, 200>;

// Copies the page window as raw board bytes, so the test sees exactly what travelled.
class WindowActions : public JobActions {
public:
    explicit WindowActions(World& w) : m_w(w) {}
    int PageFromWindow() override {
        int p = m_w.image.Reg(RegPageSelector);
        if (p > 114)
            return -1;
        for (int i = 0; i < 100; ++i) {
            int v = m_w.image.Reg(RegPageWindow + i);
            read[size_t(p)][size_t(2 * i)] = uint8_t(v >> 8);
            read[size_t(p)][size_t(2 * i + 1)] = uint8_t(v);
        }
        return 1;
    }
    int PageToWindow(int page) override {
        if (page > 114)
            return -1;
        m_w.image.SetReg(RegPageSelector, page);
        for (int i = 0; i < 100; ++i)
            m_w.image.SetReg(RegPageWindow + i, toBoard[size_t(page)][size_t(2 * i)] * 256 +
                                                    toBoard[size_t(page)][size_t(2 * i + 1)]);
        return 1;
    }
    void ShowStatus() override {}
    void ConfigWriteStep(int) override {}
    void StartPagesRead() override { test::BeginPagesRead(m_w); }
    void StartPagesWrite() override { test::BeginPagesWrite(m_w); }

    std::array<Bytes, 115> read{};
    std::array<Bytes, 115> toBoard{};

private:
    World& m_w;
};

Bytes PagePattern(int p, int salt) {
    Bytes b{};
    for (int i = 0; i < 200; ++i)
        b[size_t(i)] = uint8_t(32 + (p * 3 + i * salt) % 114); // printable and board letters 128..145
    return b;
}

class TransferSimTest : public ::testing::Test, protected test::InProcessSeams {
protected:
    static void SetUpTestSuite() { test::EnsureCoreApplication(); }
    void SetUp() override { s.SetJobActions(&actions); }

    // Reply poll and sequencer alternately until every timer has stopped; a time-out fails.
    void Run() {
        for (int i = 0; i < 5000; ++i) {
            if (s.TestOdpowiedzi.isActive())
                s.TestOdpowiedziTimer();
            if (s.TestOdpowiedzi.isActive()) {
                s.TimeOutTimer();
                ADD_FAILURE() << "no reply from the board";
            }
            if (s.TransmisjaWr.isActive())
                s.TransmisjaWrTimer();
            if (!s.TransmisjaWr.isActive() && !s.TestOdpowiedzi.isActive())
                return;
        }
        ADD_FAILURE() << "the job did not end";
    }

    World world{port, dialogs, clock};
    Scheduler& s = world.scheduler;
    WindowActions actions{world};
};

TEST_F(TransferSimTest, PageReadBringsEveryBoardPage) {
    for (int p = 0; p < 115; ++p)
        board.SetPage(p, PagePattern(p, 7));
    board.SetHolding(RegDoubleHeight, 3);
    actions.StartPagesRead();
    Run();
    for (int p = 0; p < 115; ++p)
        EXPECT_EQ(actions.read[size_t(p)], PagePattern(p, 7)) << "page " << p;
    EXPECT_EQ(world.image.Reg(RegDoubleHeight), 3);
    EXPECT_EQ(board.Requests().size(), 231u);
    EXPECT_TRUE(dialogs.boxes.empty());
    EXPECT_FALSE(world.image.link.PortOpen);
}

TEST_F(TransferSimTest, PageWriteStoresEveryPageOnTheBoard) {
    for (int p = 0; p < 115; ++p)
        actions.toBoard[size_t(p)] = PagePattern(p, 11);
    world.image.SetReg(RegDoubleHeight, 1);
    actions.StartPagesWrite();
    Run();
    for (int p = 0; p < 115; ++p)
        EXPECT_EQ(board.Page(p), PagePattern(p, 11)) << "page " << p;
    EXPECT_EQ(board.Holding(RegDoubleHeight), 1); // only the last page carries 4263..4264
    EXPECT_EQ(board.Requests().size(), 116u);
    EXPECT_TRUE(dialogs.boxes.empty());
}

} // namespace
} // namespace kx9
