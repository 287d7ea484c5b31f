// SPDX-License-Identifier: MIT
// What the simulated board lights, fed through the board's own requests: pages through the page
// window, graphics through registers 0..600, settings through their registers.
#include "board/view/BoardRender.h"
#include "board/BoardModel.h"
#include "board/view/BoardDisplay.h"
#include "common/RequestFrames.h"
#include "config/ConfigImage.h"
#include "config/Cp1250.h"
#include "config/PageLayout.h"
#include "ops/PageCodec.h"
#include "render/DotFont.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace kx9::test {
namespace {

using render::DisplayTime;
using render::DotFrame;

const QDateTime Noon(QDate(2026, 12, 7), QTime(12, 0, 0));

void Write(BoardModel& board, int first, const std::vector<int32_t>& values) {
    ASSERT_FALSE(board.Handle(WriteFrame(first, values)).isEmpty()) << "write of " << first << " refused";
}

// The page as the configurator writes it: laid out for the board's geometry, translated into
// the board's codes, selected and stored through the page window in one request.
void WritePage(BoardModel& board, int page, const std::vector<QString>& lines) {
    ConfigImage image;
    const int size = board.Holding(RegBoardSize), length = board.Holding(RegLineLength);
    std::vector<QByteArray> bytes;
    for (const QString& line : lines)
        bytes.push_back(*cp1250::FromUnicode(line));
    image.SetPage(page, layout::LinesToPage(bytes, size, length));
    ASSERT_EQ(pagecodec::PageToWindow(image, page), 1);
    std::vector<int32_t> window;
    for (int reg = RegPageSelector; reg < RegPageWindow + 100; ++reg)
        window.push_back(image.Reg(reg));
    Write(board, RegPageSelector, window);
}

DotFrame Compose(const BoardModel& board, const DisplayTime& time = {0, Noon}) {
    DotFrame f;
    view::ComposeDisplay(board, time, f);
    return f;
}

// "#####" rows, as a glyph reads on paper.
std::vector<std::string> Cells(const DotFrame& f, int x0, int y0, int width, int height) {
    std::vector<std::string> rows;
    for (int y = y0; y < y0 + height; ++y) {
        std::string row;
        for (int x = x0; x < x0 + width; ++x)
            row += f.Lit(x, y) ? '#' : '.';
        rows.push_back(row);
    }
    return rows;
}

int LitCount(const DotFrame& f, int y0, int y1) {
    int n = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = 0; x < f.width; ++x)
            n += f.Lit(x, y);
    return n;
}

// ---- Text, double height ----

struct GlyphCase {
    const char* name;
    int index; // character of "Zażółć"
    std::vector<std::string> rows;
};
void PrintTo(const GlyphCase& c, std::ostream* os) {
    *os << c.name;
}

class ZazolcGlyphs : public ::testing::TestWithParam<GlyphCase> {};

TEST_P(ZazolcGlyphs, StandAtTheirCellsOfLineOne) {
    BoardModel board;
    Write(board, RegBoardSize, {414, 14}); // 5 lines of 20 characters: 120 x 40 dots
    WritePage(board, 0, {QStringLiteral("Zażółć")});
    const DotFrame f = Compose(board);
    ASSERT_EQ(f.width, 120);
    ASSERT_EQ(f.height, 40);
    const GlyphCase& c = GetParam();
    EXPECT_EQ(Cells(f, 6 * c.index, 0, 6, 8), c.rows);
    EXPECT_EQ(LitCount(f, 8, 40), 0) << "nothing below line 1";
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ZazolcGlyphs,
    ::testing::Values(
        GlyphCase{"Z", 0, {"#####.", "....#.", "...#..", "..#...", ".#....", "#.....", "#####.", "......"}},
        GlyphCase{"a", 1, {"......", "......", ".###..", "....#.", ".####.", "#...#.", ".####.", "......"}},
        GlyphCase{
            "zDot", 2, {"..#...", "......", "#####.", "...#..", "..#...", ".#....", "#####.", "......"}},
        GlyphCase{
            "oAcute", 3, {"...#..", "..#...", ".###..", "#...#.", "#...#.", "#...#.", ".###..", "......"}},
        GlyphCase{
            "lStroke", 4, {".##...", "..#...", "..##..", ".##...", "..#...", "..#...", ".###..", "......"}},
        GlyphCase{
            "cAcute", 5, {"...#..", "..#...", ".###..", "#.....", "#.....", "#...#.", ".###..", "......"}}),
    [](const auto& info) { return std::string(info.param.name); });

struct HeightCase {
    const char* name;
    int boardSize;
    int line; // 0-based line holding the text
};
void PrintTo(const HeightCase& c, std::ostream* os) {
    *os << c.name;
}

class DoubleHeight : public ::testing::TestWithParam<HeightCase> {};

TEST_P(DoubleHeight, DoublesEveryRowOfTheLine) {
    const HeightCase& c = GetParam();
    BoardModel board;
    Write(board, RegBoardSize, {c.boardSize, 14});
    std::vector<QString> lines(size_t(c.line + 1));
    lines.back() = QStringLiteral("Ąg|ł");
    WritePage(board, 0, lines);
    const DotFrame single = Compose(board);
    Write(board, RegDoubleHeight, {1});
    const DotFrame twice = Compose(board);
    ASSERT_GT(LitCount(single, 8 * c.line, 8 * c.line + 8), 0);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < single.width; ++x) {
            const bool lit = single.Lit(x, 8 * c.line + y);
            ASSERT_EQ(twice.Lit(x, 16 * c.line + 2 * y), lit) << x << "," << y;
            ASSERT_EQ(twice.Lit(x, 16 * c.line + 2 * y + 1), lit) << x << "," << y;
        }
    EXPECT_EQ(LitCount(twice, 0, 16 * c.line), 0);
}

INSTANTIATE_TEST_SUITE_P(Rows, DoubleHeight,
                         ::testing::Values(HeightCase{"FirstLine", 414, 0}, HeightCase{"SecondLine", 414, 1},
                                           HeightCase{"ThirdLineOfSix", 514, 2}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- Graphic pages ----

struct GraphicCase {
    const char* name;
    int boardSize;
    int lineLength; // the graphic is as wide as a page line, which may be wider than the board
    int slot;
};
void PrintTo(const GraphicCase& c, std::ostream* os) {
    *os << c.name;
}

class GraphicDots : public ::testing::TestWithParam<GraphicCase> {};

TEST_P(GraphicDots, EqualTheBitsSent) {
    const GraphicCase& c = GetParam();
    BoardModel board;
    Write(board, RegBoardSize, {c.boardSize, c.lineLength});
    std::vector<uint8_t> bytes(1200);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = uint8_t(i * 37 + (i >> 3) * 11 + 5);
    // As the graphics window sends it: the slot, then 600 words in frames of 100.
    std::vector<int32_t> words(601);
    words[0] = c.slot;
    for (int j = 1; j <= 600; ++j)
        words[size_t(j)] = bytes[size_t(2 * j - 2)] * 256 + bytes[size_t(2 * j - 1)];
    for (int first = 0; first <= 500; first += 100)
        Write(board, first,
              std::vector<int32_t>(words.begin() + first, words.begin() + first + (first ? 100 : 101)));
    Write(board, RegActivePage, {115 + c.slot});

    const DotFrame f = Compose(board);
    const int graphicWidth = (c.lineLength + 1) * 8;
    int lit = 0;
    for (int y = 0; y < f.height; ++y)
        for (int x = 0; x < f.width; ++x) {
            const size_t at = size_t(graphicWidth * (y / 8) + x);
            const bool sent = x < graphicWidth && at < bytes.size() && (bytes[at] >> (7 - y % 8)) & 1;
            ASSERT_EQ(f.Lit(x, y), sent) << "dot " << x << "," << y;
            lit += sent;
        }
    EXPECT_GT(lit, 100);
}

INSTANTIATE_TEST_SUITE_P(Rows, GraphicDots,
                         ::testing::Values(GraphicCase{"Defaults", 414, 14, 0},
                                           GraphicCase{"LineWiderThanBoard", 209, 14, 3},
                                           GraphicCase{"LastSlot", 111, 11, 9}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- Brightness ----

struct BrightnessCase {
    const char* name;
    int reg;    // the register that sets the level in force
    int sensor; // 4015
    QTime clock;
};
void PrintTo(const BrightnessCase& c, std::ostream* os) {
    *os << c.name;
}

class Brightness : public ::testing::TestWithParam<BrightnessCase> {};

// The centre of the I's stem on page 0: column 2 of the first cell, row 1.
QRgb StemCentre(const QImage& shot, int pitch) {
    return shot.pixel(2 * pitch + pitch / 2, 1 * pitch + pitch / 2);
}

TEST_P(Brightness, LevelInForceDimsTheDots) {
    const BrightnessCase& c = GetParam();
    BoardModel board;
    WritePage(board, 0, {QStringLiteral("I")});
    Write(board, RegLightSensorOn, {c.sensor});
    const DisplayTime time{0, QDateTime(Noon.date(), c.clock)};
    constexpr int Pitch = 6;
    const auto centreRed = [&](int level) {
        Write(board, c.reg, {level});
        const DotFrame f = Compose(board, time);
        EXPECT_EQ(f.level, level);
        return qRed(StemCentre(view::RenderBoard(board, time, Pitch), Pitch));
    };
    const int full = centreRed(100), half = centreRed(50);
    EXPECT_EQ(full, qRed(render::LitColour));
    EXPECT_EQ(half, qRed(render::DotColour(true, 50)));
    EXPECT_LT(half, full);
}
INSTANTIATE_TEST_SUITE_P(Rows, Brightness,
                         ::testing::Values(BrightnessCase{"Day", RegDayBrightness, 0, QTime(12, 0)},
                                           BrightnessCase{"Night", RegNightBrightness, 0, QTime(23, 30)},
                                           BrightnessCase{"NightBeforeDawn", RegNightBrightness, 0,
                                                          QTime(5, 59)},
                                           BrightnessCase{"Sensor", RegCurrentBrightness, 1, QTime(12, 0)}),
                         [](const auto& info) { return std::string(info.param.name); });

// A lit dot at each level stands clearly above a dot that is off and below the next level up:
// the eye sees 1 % duty as a dim glow, not as darkness.
class DimmedDots : public ::testing::TestWithParam<int> {};

TEST_P(DimmedDots, StayClearlyLit) {
    const int level = GetParam();
    const QRgb off = render::DotColour(false, level), lit = render::DotColour(true, level);
    const int floor = qRed(render::UnlitColour) +
                      int(render::DimFloor * (qRed(render::LitColour) - qRed(render::UnlitColour)));
    EXPECT_GE(qRed(lit), floor) << "red of a lit dot at " << level << " %";
    EXPECT_GT(qRed(lit) - qRed(off), 60);
    EXPECT_LE(qRed(lit), qRed(render::DotColour(true, level + 1)));
    EXPECT_EQ(qRed(render::DotColour(true, 0)), qRed(off)) << "0 % is off";
}

INSTANTIATE_TEST_SUITE_P(Levels, DimmedDots, ::testing::Values(1, 2, 10, 20, 30, 50, 99, 100));

// One renderer kept across a brightness change draws what a fresh one draws, in both directions.
TEST(BoardRendererReused, RedrawsItsDotsAfterABrightnessChange) {
    BoardModel board;
    WritePage(board, 0, {QStringLiteral("I")});
    constexpr int Pitch = 6;
    view::BoardRenderer renderer(Pitch);
    for (const int level : {100, 20, 1, 100}) {
        Write(board, RegDayBrightness, {level});
        const QImage reused = renderer.Render(board, {0, Noon});
        EXPECT_EQ(reused, view::RenderBoard(board, {0, Noon}, Pitch)) << level << " %";
        EXPECT_EQ(StemCentre(reused, Pitch), render::DotColour(true, level)) << level << " %";
    }
}

// --dot 32 over the largest display would need 25600 x 4096 pixels: the view draws it smaller.
struct PitchCase {
    const char* name;
    int asked;
    QSize dots;
    int pitch;
};
void PrintTo(const PitchCase& c, std::ostream* os) {
    *os << c.name;
}

class ViewPitch : public ::testing::TestWithParam<PitchCase> {};

TEST_P(ViewPitch, KeepsThePictureWithinTheCap) {
    const PitchCase& c = GetParam();
    const int pitch = view::BoardDisplay::ViewPitch(c.asked, c.dots);
    EXPECT_EQ(pitch, c.pitch);
    EXPECT_LE(int64_t(c.dots.width()) * pitch * c.dots.height() * pitch, view::BoardDisplay::MaxViewPixels);
}

INSTANTIATE_TEST_SUITE_P(Rows, ViewPitch,
                         ::testing::Values(PitchCase{"AskedFits", 32, {120, 40}, 32},
                                           PitchCase{"ByTheWidth", 0, {120, 40}, 8},
                                           PitchCase{"LargestDisplayAt32", 32, {800, 128}, 12},
                                           PitchCase{"LargestDisplayByWidth", 0, {800, 128}, 2}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- Which page, where it moves ----

struct PageCase {
    const char* name;
    std::vector<std::pair<int, int>> regs;
    int64_t ms;
    QTime clock;
    int page;
};
void PrintTo(const PageCase& c, std::ostream* os) {
    *os << c.name;
}

class Shown : public ::testing::TestWithParam<PageCase> {};

TEST_P(Shown, PageOfTheMoment) {
    const PageCase& c = GetParam();
    BoardModel board;
    for (const auto& [reg, value] : c.regs)
        Write(board, reg, {value});
    EXPECT_EQ(view::ShownPage(board, {c.ms, QDateTime(Noon.date(), c.clock)}), c.page);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Shown,
    ::testing::Values(PageCase{"Active", {{RegActivePage, 7}}, 0, QTime(12, 0), 7},
                      PageCase{"NoSuchPage", {{RegActivePage, 125}}, 0, QTime(12, 0), render::NoPage},
                      // Three entries, 2 s each: 9, 118, 4, then 9 again.
                      PageCase{"PresentationFirst",
                               {{4029, 9}, {4030, 118}, {4031, 4}, {4145, 3}, {4028, 2}},
                               1999,
                               QTime(12, 0),
                               9},
                      PageCase{"PresentationSecond",
                               {{4029, 9}, {4030, 118}, {4031, 4}, {4145, 3}, {4028, 2}},
                               2000,
                               QTime(12, 0),
                               118},
                      PageCase{"PresentationAgain",
                               {{4029, 9}, {4030, 118}, {4031, 4}, {4145, 3}, {4028, 2}},
                               6500,
                               QTime(12, 0),
                               9},
                      PageCase{"OccasionalInItsHours",
                               {{4027, 1}, {4149, 1207}, {4154, 1100}, {4159, 1300}},
                               0,
                               QTime(12, 0),
                               112},
                      PageCase{"OccasionalAfterItsEnd",
                               {{4027, 1}, {4149, 1207}, {4154, 1100}, {4159, 1200}, {4146, 3}},
                               0,
                               QTime(12, 0),
                               3},
                      PageCase{"OccasionalOtherDay",
                               {{4027, 1}, {4149, 1208}, {4154, 0}, {4159, 2359}, {4146, 3}},
                               0,
                               QTime(12, 0),
                               3},
                      PageCase{"OccasionalNotAllowed",
                               {{4149, 1207}, {4154, 1100}, {4159, 1300}, {4146, 3}},
                               0,
                               QTime(12, 0),
                               3},
                      PageCase{"OccasionalOverPresentation",
                               {{4029, 9}, {4145, 1}, {4027, 1}, {4147, 1207}},
                               0,
                               QTime(12, 0),
                               110}),
    [](const auto& info) { return std::string(info.param.name); });

struct ScrollCase {
    const char* name;
    int direction;
    int64_t ms;
    int x; // where the first character's left column stands
};
void PrintTo(const ScrollCase& c, std::ostream* os) {
    *os << c.name;
}

class Scrolling : public ::testing::TestWithParam<ScrollCase> {};

// "I" on line 2 of a 120-dot board, 10 ms a step; the glyph's stem is its column 2.
TEST_P(Scrolling, LineMovesAtItsSpeed) {
    const ScrollCase& c = GetParam();
    BoardModel board;
    WritePage(board, 0, {QStringLiteral("A"), QStringLiteral("I")});
    Write(board, RegScrollSpeed, {10, c.direction, 0b10});
    const DotFrame f = Compose(board, {c.ms, Noon});
    std::vector<int> stem;
    for (int x = 0; x < f.width; ++x)
        if (f.Lit(x, 8 + 3))
            stem.push_back(x);
    EXPECT_EQ(stem, std::vector<int>{c.x + 2});
    EXPECT_EQ(Cells(f, 0, 0, 6, 1), std::vector<std::string>{".###.."}) << "line 1 stands still";
}

INSTANTIATE_TEST_SUITE_P(Rows, Scrolling,
                         ::testing::Values(ScrollCase{"LeftEntersAtTheRight", 0, 30, 117},
                                           ScrollCase{"LeftAfter50Steps", 0, 509, 70},
                                           ScrollCase{"RightEntersAtTheLeft", 1, 50, -1},
                                           ScrollCase{"AlternatingStartsRight", 2, 0, 114},
                                           ScrollCase{"AlternatingTurnsAtTheLeft", 2, 1150, 1}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ClockOnTheDisplay, TimeAndDateStandWherePlaced) {
    BoardModel board;
    WritePage(board, 0, {QStringLiteral("xxxxxxxxxxxxxxxxxxxx"), QStringLiteral("xxxxxxxxxxxxxxxxxxxx")});
    Write(board, RegTimePosition,
          {103, 1, 201, 3}); // time at line 1 char 3 "GG:MM"; date at line 2 "DD:MM:RR"
    const DotFrame f = Compose(board, {0, QDateTime(QDate(2026, 12, 7), QTime(9, 5, 42))});
    DotFrame expected;
    BoardModel text;
    WritePage(text, 0, {QStringLiteral("xx09:05xxxxxxxxxxxxx"), QStringLiteral("07:12:26xxxxxxxxxxxx")});
    view::ComposeDisplay(text, {0, Noon}, expected);
    EXPECT_EQ(f.dots, expected.dots);
}

// ---- The font ----

TEST(DotFont, EveryCharacterThePageEditorTakesHasAGlyph) {
    int printing = 0;
    for (char16_t c = 1; c < 0xFFFF; ++c) {
        if (QChar(c).isSurrogate() || !pagecodec::BoardText(QString(QChar(c))))
            continue;
        const std::optional<render::Glyph> g = render::FindGlyph(c);
        ASSERT_TRUE(g.has_value()) << "U+" << std::hex << int(c);
        const bool ink = *g != render::Glyph{};
        if (QChar(c).isPrint() && !QChar(c).isSpace()) {
            EXPECT_TRUE(ink) << "U+" << std::hex << int(c) << " prints nothing";
            ++printing;
        }
    }
    EXPECT_GE(printing, 94 + 90);
}

TEST(DotFont, PolishLettersDifferFromTheirBaseAndFromEachOther) {
    const QString letters = QStringLiteral("AĄCĆEĘLŁNŃOÓSŚZŹŻaącćeęlłnńoóśszźż");
    for (qsizetype i = 0; i < letters.size(); ++i)
        for (qsizetype j = i + 1; j < letters.size(); ++j)
            EXPECT_NE(*render::FindGlyph(letters[i].unicode()), *render::FindGlyph(letters[j].unicode()))
                << qPrintable(QString(letters[i])) << " " << qPrintable(QString(letters[j]));
}

TEST(DotFont, BoardCodesAreThePolishLettersAndZeroIsBlank) {
    const QString polish = QStringLiteral("ĄĆĘŁŃÓŚŹŻąćęłńóśźż");
    for (int k = 0; k < 18; ++k)
        EXPECT_EQ(render::BoardGlyph(uint8_t(128 + k)), *render::FindGlyph(polish[k].unicode())) << k;
    EXPECT_EQ(render::BoardGlyph(0), render::Glyph{});
    EXPECT_EQ(render::BoardGlyph('Z'), *render::FindGlyph(u'Z'));
}

} // namespace
} // namespace kx9::test
