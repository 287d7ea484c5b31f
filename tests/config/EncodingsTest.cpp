// SPDX-License-Identifier: MIT
#include "config/Encodings.h"
#include "config/ConfigImage.h"

#include <gtest/gtest.h>

namespace kx9 {
namespace {

TEST(Encodings, BaudCodesAndIndexesConvertBothWays) {
    const int codes[8] = {0, 1, 2, 3, 4, 6, 7, 9};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(BaudCodeFromIndex(i), codes[i]);
        EXPECT_EQ(BoardBaudRates[size_t(codes[i])], BaudRates[size_t(i)]);
        EXPECT_EQ(BaudIndexFromCode(codes[i]), i);
    }
    // 28800 and 76800 have no PC rate: the rate below.
    EXPECT_EQ(BaudIndexFromCode(5), 4);
    EXPECT_EQ(BaudIndexFromCode(8), 6);
    for (int outside : {10, -1})
        EXPECT_EQ(BaudIndexFromCode(outside), -1);
    for (int outside : {8, -1})
        EXPECT_EQ(BaudCodeFromIndex(outside), -1);
}

TEST(Encodings, ClockRegistersKeepTheYearWithinItsCentury) {
    struct Row {
        QDateTime at;
        ClockRegisters expected;
    } rows[] = {{QDateTime(QDate(2026, 3, 7), QTime(9, 5)), {905, 26, 307}},
                {QDateTime(QDate(2026, 12, 7), QTime(14, 35, 59)), {1435, 26, 1207}},
                {QDateTime(QDate(2000, 1, 1), QTime(0, 0)), {0, 0, 101}}};
    for (const Row& r : rows) {
        const ClockRegisters got = EncodeClock(r.at);
        EXPECT_EQ(got.time, r.expected.time);
        EXPECT_EQ(got.year, r.expected.year);
        EXPECT_EQ(got.date, r.expected.date);
    }
}

} // namespace
} // namespace kx9
