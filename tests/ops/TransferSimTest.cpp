// SPDX-License-Identifier: MIT
// The page jobs against the simulated board, through the real link and the page codec.
#include "common/TestWorld.h"
#include "ops/PageCodec.h"

#include <gtest/gtest.h>

#include <array>

namespace kx9 {
namespace {

using Bytes = std::array<uint8_t, 200>;
using pagecodec::ConvertPageChar;
using pagecodec::Direction;

Bytes PagePattern(int p, int salt) {
    Bytes b{};
    for (int i = 0; i < 200; ++i)
        b[size_t(i)] = uint8_t(32 + (p * 3 + i * salt) % 114); // printable and board letters 128..145
    return b;
}

Bytes Converted(const Bytes& in, Direction direction) {
    Bytes out{};
    for (size_t i = 0; i < in.size(); ++i)
        out[i] = ConvertPageChar(in[i], direction);
    return out;
}

class TransferSimTest : public ::testing::Test, protected test::BoardWorld {
protected:
    static void SetUpTestSuite() { test::EnsureCoreApplication(); }
};

TEST_F(TransferSimTest, PageReadBringsEveryBoardPage) {
    for (int p = 0; p < 115; ++p)
        board.SetPage(p, PagePattern(p, 7));
    board.SetHolding(RegDoubleHeight, 3);
    ASSERT_TRUE(ops.StartPagesRead());
    RunUntilIdle();
    for (int p = 0; p < 115; ++p)
        EXPECT_EQ(image.pages[size_t(p)], Converted(PagePattern(p, 7), Direction::FromBoard)) << "page " << p;
    EXPECT_EQ(image.Reg(RegDoubleHeight), 3);
    EXPECT_EQ(board.Requests().size(), 231u);
    EXPECT_TRUE(dialogs.boxes.empty());
    EXPECT_FALSE(image.link.PortOpen);
}

TEST_F(TransferSimTest, PageWriteStoresEveryPageOnTheBoard) {
    for (int p = 0; p < 115; ++p)
        image.pages[size_t(p)] = PagePattern(p, 11);
    image.SetReg(RegDoubleHeight, 1);
    ASSERT_TRUE(ops.StartPagesWrite());
    RunUntilIdle();
    for (int p = 0; p < 115; ++p)
        EXPECT_EQ(board.Page(p), Converted(image.pages[size_t(p)], Direction::ToBoard)) << "page " << p;
    EXPECT_EQ(board.Holding(RegDoubleHeight), 1); // only the last page carries 4263..4264
    EXPECT_EQ(board.Requests().size(), 116u);
    EXPECT_TRUE(dialogs.boxes.empty());
}

} // namespace
} // namespace kx9
