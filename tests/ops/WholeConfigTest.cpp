// SPDX-License-Identifier: MIT
// The whole-configuration transfers against the simulated board, run after one another.
#include "common/TestWorld.h"

#include <gtest/gtest.h>

namespace kx9 {
namespace {

struct WholeConfig : ::testing::Test, test::BoardWorld {
    static void SetUpTestSuite() { test::EnsureCoreApplication(); }
    size_t Run(const std::function<bool()>& start) {
        board.ClearRequests();
        EXPECT_TRUE(start());
        RunUntilIdle();
        EXPECT_TRUE(dialogs.boxes.empty());
        EXPECT_FALSE(scheduler.JobRunning());
        return board.Requests().size();
    }
};

TEST_F(WholeConfig, WriteShowsItsProgressStepByStep) {
    ASSERT_TRUE(ops.StartConfigWrite());
    RunUntilIdle();
    const std::vector<int>& v = progress.values;
    ASSERT_EQ(v.size(), 6u + 1u + 115u + 2u);
    EXPECT_EQ(std::vector<int>(v.begin(), v.begin() + 6), (std::vector<int>{0, 20, 40, 60, 60, 80}));
    EXPECT_EQ(std::vector<int>(v.end() - 2, v.end()), (std::vector<int>{0, 100})); // the slave block
    EXPECT_EQ(progress.titles, (std::vector<QString>{QStringLiteral("Zapis Konfiguracji"),
                                                     QStringLiteral("Zapis Stron Tekstowych..."),
                                                     QStringLiteral("Zapis Konfiguracji Slave")}));
    EXPECT_FALSE(progress.shown);
}

TEST_F(WholeConfig, TwoReadsAndTwoWritesInOneRunEachGoThroughWhole) {
    const auto read = [this] { return ops.StartConfigRead(); };
    const auto write = [this] { return ops.StartConfigWrite(); };
    EXPECT_EQ(Run(read), 235u);
    EXPECT_EQ(Run(read), 235u);
    EXPECT_EQ(Run(write), 123u);
    EXPECT_EQ(Run(write), 123u);
}

} // namespace
} // namespace kx9
