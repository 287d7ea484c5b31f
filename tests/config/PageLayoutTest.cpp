// SPDX-License-Identifier: MIT
#include "config/PageLayout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

using namespace kx9::layout;
using kx9::ConfigImage;
using Lines = std::vector<QByteArray>;

namespace {

ConfigImage::Page PageOf(const char* bytes, int size) {
    ConfigImage::Page page{};
    std::memcpy(page.data(), bytes, static_cast<size_t>(size));
    return page;
}

bool AllZeroFrom(const ConfigImage::Page& page, int from) {
    return std::all_of(page.begin() + from, page.end(), [](uint8_t b) { return b == 0; });
}

} // namespace

struct GeometryCase {
    int boardSizeCode;
    int rows, width, entry;
};

class Geometry : public testing::TestWithParam<GeometryCase> {};

TEST_P(Geometry, DecodesBoardSize) {
    const auto size = DecodeBoardSize(GetParam().boardSizeCode);
    EXPECT_EQ(size.rows, GetParam().rows);
    EXPECT_EQ(size.width, GetParam().width);
    EXPECT_EQ(size.entry, GetParam().entry);
    EXPECT_EQ(Rows(GetParam().boardSizeCode), GetParam().rows);
    EXPECT_EQ(BoardWidth(GetParam().boardSizeCode), GetParam().width);
}

INSTANTIATE_TEST_SUITE_P(Codes, Geometry,
                         testing::Values(GeometryCase{414, 5, 20, 520}, GeometryCase{111, 2, 16, 216},
                                         GeometryCase{2, 1, 4, 104}, GeometryCase{499, 5, 132, 632},
                                         GeometryCase{65535, 656, 48, 65648}));

struct LengthCase {
    int code, length;
};

class LineLengths : public testing::TestWithParam<LengthCase> {};

TEST_P(LineLengths, OneLengthForEveryCode) {
    EXPECT_EQ(LineLength(GetParam().code), GetParam().length);
}

// Codes where code + 1 is no multiple of 3 use (code + 1) * 4 / 3; code 65535 wraps to 0.
INSTANTIATE_TEST_SUITE_P(Codes, LineLengths,
                         testing::Values(LengthCase{14, 20}, LengthCase{29, 40}, LengthCase{2, 4},
                                         LengthCase{15, 21}, LengthCase{16, 22}, LengthCase{0, 1},
                                         LengthCase{65535, 0}, LengthCase{-1, 0}, LengthCase{65534, 87380}));

struct BoardEntry {
    int typed;
    std::optional<int> code;
};

class BoardSizeEntry : public testing::TestWithParam<BoardEntry> {};

TEST_P(BoardSizeEntry, EncodesOrRefuses) {
    EXPECT_EQ(EncodeBoardSize(GetParam().typed), GetParam().code);
    if (GetParam().code) {
        EXPECT_EQ(DecodeBoardSize(*GetParam().code).entry, GetParam().typed);
    }
}

INSTANTIATE_TEST_SUITE_P(Entries, BoardSizeEntry,
                         testing::Values(BoardEntry{216, 111}, BoardEntry{520, 414}, BoardEntry{104, 2},
                                         BoardEntry{200 + 48, 135}, BoardEntry{100 + 100, std::nullopt},
                                         BoardEntry{524, std::nullopt}, BoardEntry{600, std::nullopt},
                                         BoardEntry{99, std::nullopt}, BoardEntry{218, std::nullopt},
                                         BoardEntry{-1, std::nullopt}, BoardEntry{-480, std::nullopt},
                                         BoardEntry{0, std::nullopt}, BoardEntry{100, std::nullopt},
                                         BoardEntry{300, std::nullopt}, BoardEntry{500, std::nullopt},
                                         BoardEntry{196, 71}));

struct LineEntry {
    int typed, boardSizeCode;
    LineLengthRefusal refusal;
    int code;
};

class LineLengthEntry : public testing::TestWithParam<LineEntry> {};

TEST_P(LineLengthEntry, EncodesOrRefuses) {
    const auto result = EncodeLineLength(GetParam().typed, GetParam().boardSizeCode);
    EXPECT_EQ(result.refusal, GetParam().refusal);
    if (GetParam().refusal == LineLengthRefusal::None) {
        EXPECT_EQ(result.code, GetParam().code);
        EXPECT_EQ(LineLength(result.code), GetParam().typed);
    }
}

constexpr auto None = LineLengthRefusal::None;
constexpr auto Not4 = LineLengthRefusal::NotMultipleOf4;
constexpr auto Over = LineLengthRefusal::Over200;
constexpr auto Short = LineLengthRefusal::ShorterThanBoard;

// 411 is 5 rows of a board 16 characters wide; 111 two rows of 16.
INSTANTIATE_TEST_SUITE_P(
    Entries, LineLengthEntry,
    testing::Values(LineEntry{40, 411, None, 29}, LineEntry{44, 411, Over, 0}, LineEntry{18, 411, Not4, 0},
                    LineEntry{16, 414, Short, 0}, LineEntry{20, 414, None, 14}, LineEntry{100, 111, None, 74},
                    LineEntry{104, 111, Over, 0}, LineEntry{-4, 414, Over, 0}, LineEntry{-3, 414, Not4, 0},
                    LineEntry{0, 414, Over, 0}, LineEntry{0, 2, Over, 0}, LineEntry{4, 2, None, 2},
                    LineEntry{INT32_MIN, 100, Over, 0}, LineEntry{INT32_MAX - 3, 100, Over, 0},
                    LineEntry{1 << 30, 64000, Over, 0}));

TEST(PageLayout, DefaultGeometryUsesTheFirstHundredBytes) {
    const Lines lines = {QByteArray(20, 'a'), QByteArray(20, 'b'), QByteArray(20, 'c'), QByteArray(20, 'd'),
                         QByteArray(20, 'e')};
    const auto page = LinesToPage(lines, 414, 14);
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(page[i], 'a' + i / 20) << i;
    EXPECT_TRUE(AllZeroFrom(page, 100));
    EXPECT_EQ(PageToLines(page, 414, 14), lines);
    EXPECT_EQ(DecodeBoardSize(414).entry, 520);
}

TEST(PageLayout, ShortLinesAreFollowedByZeros) {
    const auto page = LinesToPage({"Ala", "", "  ma"}, 414, 14);
    ConfigImage::Page want{};
    std::memcpy(want.data(), "Ala", 3);
    std::memcpy(want.data() + 40, "  ma", 4);
    EXPECT_EQ(page, want);
}

TEST(PageLayout, PageOfZerosGivesEmptyLines) {
    EXPECT_EQ(PageToLines(ConfigImage::Page{}, 414, 14), Lines(5));
    EXPECT_EQ(PageToLines(ConfigImage::Page{}, 0, 14), Lines(1));
}

TEST(PageLayout, LinesEndAtTheFirstZeroAndLoseTrailingSpaces) {
    // "ab  " then zero; "   " only; "  x" leading spaces; a line from the board padded with spaces.
    const char raw[] = "ab  \0zzzzzzzzzzzzzzz"
                       "   \0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0"
                       "  x\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0"
                       "tekst z tablicy     "
                       "\xA3\xF3\x64\xBC z \xB9 \x9C\x8C  \0\0\0\0\0\0\0";
    const auto page = PageOf(raw, 100);
    EXPECT_EQ(PageToLines(page, 414, 14),
              (Lines{"ab", "", "  x", "tekst z tablicy", QByteArray("\xA3\xF3\x64\xBC z \xB9 \x9C\x8C")}));
}

TEST(PageLayout, TrimLine) {
    EXPECT_EQ(TrimLine("ab  "), QByteArray("ab"));
    EXPECT_EQ(TrimLine("   "), QByteArray());
    EXPECT_EQ(TrimLine("  a b "), QByteArray("  a b"));
    EXPECT_EQ(TrimLine(""), QByteArray());
    EXPECT_EQ(TrimLine("a\t"), QByteArray("a\t"));
}

TEST(PageLayout, LongLinesAreCutToTheLineLength) {
    const QByteArray line25 = "abcdefghijklmnopqrstuvwxy";
    const auto page = LinesToPage({line25, "x"}, 414, 14);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(page.data()), 21),
              QByteArray("abcdefghijklmnopqrstx"));
    EXPECT_EQ(PageToLines(page, 414, 14)[0], line25.left(20));
}

TEST(PageLayout, RowsLimitTheLinesUsed) {
    const Lines five = {"jeden", "dwa", "trzy", "cztery", "pięć"};
    const auto page = LinesToPage(five, 111, 14);
    EXPECT_TRUE(AllZeroFrom(page, 40));
    EXPECT_EQ(PageToLines(page, 111, 14), (Lines{"jeden", "dwa"}));

    // Text already sitting in the slots of lines 3..5 is not shown with 2 rows.
    const auto full = LinesToPage(five, 414, 14);
    EXPECT_EQ(PageToLines(full, 111, 14), (Lines{"jeden", "dwa"}));
    // Fewer lines than rows are fine.
    EXPECT_EQ(PageToLines(LinesToPage({"a"}, 414, 14), 414, 14), (Lines{"a", "", "", "", ""}));
}

TEST(PageLayout, StoringRebuildsThePage) {
    auto page = LinesToPage({QByteArray(40, 'q'), QByteArray(40, 'q')}, 429, 29);
    page = LinesToPage({"nowe"}, 414, 14);
    EXPECT_TRUE(AllZeroFrom(page, 4));
}

TEST(PageLayout, OddLineLengthIsTheSameBothWays) {
    // Code 15: (15 + 1) * 4 / 3 = 21 characters per line.
    const Lines lines = {QByteArray(21, 'a'), QByteArray(21, 'b')};
    const auto page = LinesToPage(lines, 414, 15);
    EXPECT_EQ(page[20], 'a');
    EXPECT_EQ(page[21], 'b');
    EXPECT_EQ(PageToLines(page, 414, 15), (Lines{lines[0], lines[1], "", "", ""}));
}

TEST(PageLayout, OverfullGeometryIsCutAtTheEndOfThePage) {
    // 5 lines of 48 characters: the fifth slot starts at 192, the last line is cut to 8 bytes.
    const Lines lines(5, QByteArray(48, 'w'));
    const auto page = LinesToPage(lines, 435, 35);
    EXPECT_TRUE(std::all_of(page.begin(), page.end(), [](uint8_t b) { return b == 'w'; }));
    const auto back = PageToLines(page, 435, 35);
    ASSERT_EQ(back.size(), 5u);
    EXPECT_EQ(back[3], QByteArray(48, 'w'));
    EXPECT_EQ(back[4], QByteArray(8, 'w'));

    // Lines of 88 characters: the third line has no room at all and stays empty.
    const auto wide = LinesToPage(Lines(5, QByteArray(88, 'v')), 499, 65);
    EXPECT_EQ(PageToLines(wide, 499, 65),
              (Lines{QByteArray(88, 'v'), QByteArray(88, 'v'), QByteArray(24, 'v'), "", ""}));
}

TEST(PageLayout, ZeroLineLengthHoldsNoText) {
    EXPECT_EQ(PageToLines(PageOf("abc", 3), 414, 65535), Lines(5));
    EXPECT_EQ(LinesToPage({"abc"}, 414, 65535), ConfigImage::Page{});
}

// Geometry from a board or a file can be any 16-bit value; nothing may leave the page.
TEST(PageLayout, AnyGeometryStaysInsideThePage) {
    ConfigImage::Page page;
    for (int i = 0; i < kx9::PageSize; ++i)
        page[i] = static_cast<uint8_t>('A' + i % 26);
    const Lines lines(7, QByteArray(300, 'z'));
    std::vector<int> lengths = {0, 1, 65534, 65535};
    for (int c = 0; c <= 65535; c += 37)
        lengths.push_back(c);
    // Every row count is met below 600; above that only the size of Rows differs.
    std::vector<int> sizes = {65534, 65535};
    for (int c = 0; c < 600; c += 37)
        sizes.push_back(c);
    for (int c = 600; c <= 65535; c += 37 * 7)
        sizes.push_back(c);
    for (int size : sizes) {
        for (int length : lengths) {
            const auto shown = PageToLines(page, size, length);
            ASSERT_EQ(static_cast<int>(shown.size()), std::min(Rows(size), MaxLines))
                << size << "/" << length;
            int total = 0;
            for (const auto& l : shown)
                total += static_cast<int>(l.size());
            ASSERT_LE(total, kx9::PageSize);
            const auto stored = LinesToPage(lines, size, length);
            const int used = std::min(std::min(Rows(size), MaxLines) * LineLength(length), kx9::PageSize);
            ASSERT_TRUE(AllZeroFrom(stored, used)) << size << "/" << length;
        }
    }
}

struct TimeCase {
    int value;
    QTime shown;
};

class Times : public testing::TestWithParam<TimeCase> {};

TEST_P(Times, DecodeToAValidTime) {
    const QTime t = DecodeTimeOfDay(GetParam().value);
    ASSERT_TRUE(t.isValid());
    EXPECT_EQ(t, GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(Values, Times,
                         testing::Values(TimeCase{805, QTime(8, 5)}, TimeCase{0, QTime(0, 0)},
                                         TimeCase{2359, QTime(23, 59)}, TimeCase{2400, QTime(23, 0)},
                                         TimeCase{1075, QTime(10, 59)}, TimeCase{65535, QTime(23, 35)},
                                         TimeCase{-5, QTime(0, 0)}));

TEST(PageLayout, TimesAndDatesEncode) {
    EXPECT_EQ(EncodeTimeOfDay(8, 5), 805);
    EXPECT_EQ(EncodeTimeOfDay(23, 59), 2359);
    EXPECT_EQ(DecodeTimeOfDay(805).toString("HH:mm"), QString("08:05"));
    EXPECT_EQ(EncodeMonthDay(10, 15), 1015);
    EXPECT_EQ(EncodeMonthDay(1, 1), 101);
}

struct DateCase {
    int value;
    QDate shown;
};

class Dates : public testing::TestWithParam<DateCase> {};

TEST_P(Dates, DecodeToAValidDateIn2003) {
    const QDate d = DecodeMonthDay(GetParam().value);
    ASSERT_TRUE(d.isValid());
    EXPECT_EQ(d, GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(Values, Dates,
                         testing::Values(DateCase{1015, QDate(2003, 10, 15)},
                                         DateCase{101, QDate(2003, 1, 1)},
                                         DateCase{1231, QDate(2003, 12, 31)},
                                         DateCase{229, QDate(2003, 2, 28)}, DateCase{431, QDate(2003, 4, 30)},
                                         DateCase{1300, QDate(2003, 12, 1)}, DateCase{0, QDate(2003, 1, 1)},
                                         DateCase{65535, QDate(2003, 12, 31)},
                                         DateCase{-1, QDate(2003, 1, 1)}));
