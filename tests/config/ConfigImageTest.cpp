// SPDX-License-Identifier: MIT
#include "config/ConfigImage.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

#include <map>

using kx9::ConfigImage;

namespace {

const QDateTime Morning(QDate(2026, 12, 7), QTime(14, 35));

// Every register the defaults set, written out independently of the code under test.
std::map<int, int> ExpectedDefaults() {
    std::map<int, int> want;
    const int first[] = {1,   1,    9,   5,  1, 9,  1435, 26, 1207, 100, 50,
                         600, 2200, 414, 14, 0, 50, 100,  1,  100,  15};
    for (int i = 0; i < 21; ++i)
        want[4000 + i] = first[i];
    for (int r = 4021; r <= 4027; ++r)
        want[r] = 0;
    want[4028] = 10;
    for (int k = 0; k <= 114; ++k)
        want[4029 + k] = k;
    for (int r = 4144; r <= 4265; ++r)
        want[r] = 0;
    const int record[9] = {0, 0, 4000, 1, 1, 3, 1, 0, 3};
    for (int d = 0; d < 5; ++d)
        for (int j = 0; j < 9; ++j)
            want[4300 + 9 * d + j] = j == 1 ? d + 1 : record[j];
    return want;
}

} // namespace

TEST(ConfigImage, ResetPutsEveryDefaultAndLeavesTheRest) {
    ConfigImage image;
    for (auto& e : image.main)
        e = 0xABCD;
    for (auto& e : image.slave)
        e = 0xABCD;
    image.pages[7][3] = 'x';
    image.SetPageName(5, "pięć");
    image.link.BaudIndex = 2;

    image.ResetImage(Morning);

    const auto want = ExpectedDefaults();
    EXPECT_EQ(want.size(), 266u + 45u);
    for (const auto& [reg, value] : want)
        EXPECT_EQ(image.Reg(reg), value) << "register " << reg;
    for (int r = 4266; r <= 4299; ++r)
        EXPECT_EQ(image.Reg(r), 0xABCD) << "register " << r;
    EXPECT_EQ(image.pages[7][3], 'x');
    EXPECT_EQ(image.PageName(5), QByteArray("pięć"));
    EXPECT_EQ(image.link.BaudIndex, 2);
}

struct ClockCase {
    QDateTime now;
    int time, year, date;
};

class ResetClock : public testing::TestWithParam<ClockCase> {};

TEST_P(ResetClock, ClockRegistersFollowThePc) {
    ConfigImage image;
    image.ResetImage(GetParam().now);
    EXPECT_EQ(image.Reg(kx9::RegClockTime), GetParam().time);
    EXPECT_EQ(image.Reg(kx9::RegClockYear), GetParam().year);
    EXPECT_EQ(image.Reg(kx9::RegClockDate), GetParam().date);
}

INSTANTIATE_TEST_SUITE_P(
    Dates, ResetClock,
    testing::Values(ClockCase{Morning, 1435, 26, 1207},
                    ClockCase{QDateTime(QDate(2003, 1, 1), QTime(0, 0, 59)), 0, 3, 101},
                    ClockCase{QDateTime(QDate(2099, 2, 28), QTime(23, 59)), 2359, 99, 228},
                    ClockCase{QDateTime(QDate(2000, 10, 31), QTime(9, 5)), 905, 0, 1031}));

TEST(ConfigImage, RegistersHoldUnsigned16BitValues) {
    ConfigImage image;
    image.SetReg(4100, 0xFFFF);
    EXPECT_EQ(image.Reg(4100), 65535);
    image.SetReg(4301, -1);
    EXPECT_EQ(image.Reg(4301), 65535);
    image.SetReg(4000, 0x12345);
    EXPECT_EQ(image.Reg(4000), 0x2345);
}

struct BlockCase {
    int reg;
    bool slave; // otherwise main, unless `none`
    bool none;
    int slot, left;
};

class BlockFor : public testing::TestWithParam<BlockCase> {};

TEST_P(BlockFor, FindsTheBlockOfARegister) {
    ConfigImage image;
    const BlockCase c = GetParam();
    int slot = -7, left = -7;
    int32_t* block = image.BlockFor(c.reg, &slot, &left);
    EXPECT_EQ(ConfigImage::HasRegister(c.reg), !c.none);
    if (c.none) {
        EXPECT_EQ(block, nullptr);
        EXPECT_EQ(left, 0);
        image.SetReg(c.reg, 99);
        EXPECT_EQ(image.Reg(c.reg), 0);
        for (int r = 4000; r <= 4344; ++r)
            ASSERT_EQ(image.Reg(r), 0);
        return;
    }
    EXPECT_EQ(block, c.slave ? image.slave.data() : image.main.data());
    EXPECT_EQ(slot, c.slot);
    EXPECT_EQ(left, c.left);
    block[slot] = 4242;
    EXPECT_EQ(image.Reg(c.reg), 4242);
}

INSTANTIATE_TEST_SUITE_P(
    Addresses, BlockFor,
    testing::Values(BlockCase{4000, false, false, 0, 300}, BlockCase{4264, false, false, 264, 36},
                    BlockCase{4299, false, false, 299, 1}, BlockCase{4300, true, false, 0, 45},
                    BlockCase{4344, true, false, 44, 1}, BlockCase{3999, false, true, 0, 0},
                    BlockCase{4345, false, true, 0, 0}, BlockCase{0, false, true, 0, 0},
                    BlockCase{-4000, false, true, 0, 0}));

TEST(ConfigImage, PageNamesDefaultToThreeDigits) {
    ConfigImage image;
    EXPECT_EQ(image.PageName(0), QByteArray("000"));
    EXPECT_EQ(image.PageName(42), QByteArray("042"));
    EXPECT_EQ(image.PageName(100), QByteArray("100"));
    EXPECT_EQ(image.PageName(114), QByteArray("114"));
    EXPECT_TRUE(image.PageName(115).isEmpty());
    EXPECT_TRUE(image.PageName(-1).isEmpty());
}

TEST(ConfigImage, NameChangesAreSignalled) {
    ConfigImage image;
    QSignalSpy spy(&image, &ConfigImage::namesChanged);
    const QByteArray full(32, 'N');
    image.SetPageName(3, full);
    EXPECT_EQ(image.PageName(3), full);
    EXPECT_EQ(spy.count(), 1);
    image.SetPageName(3, full);
    EXPECT_EQ(spy.count(), 1) << "an unchanged name is no change";
    image.SetPageName(115, "x");
    EXPECT_EQ(spy.count(), 1);

    // The image keeps longer names; only the file cuts them.
    image.SetPageName(4, QByteArray(40, 'L'));
    EXPECT_EQ(image.PageName(4).size(), 40);

    std::array<QByteArray, kx9::PageCount> names;
    names[9] = "dziewięć";
    image.SetPageNames(names);
    EXPECT_EQ(spy.count(), 3);
    EXPECT_EQ(image.PageName(9), QByteArray("dziewięć"));
    EXPECT_TRUE(image.PageName(0).isEmpty());
}

TEST(ConfigImage, BaudTexts) {
    const char* want[] = {"2400bps",  "4800bps",  "9600bps",  "14400bps",
                          "19200bps", "38400bps", "57600bps", "115200bps"};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(kx9::BaudText(i), QString::fromLatin1(want[i]));
    EXPECT_TRUE(kx9::BaudText(8).isEmpty());
    EXPECT_TRUE(kx9::BaudText(-1).isEmpty());
}
