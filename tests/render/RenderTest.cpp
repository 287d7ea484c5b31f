// SPDX-License-Identifier: MIT
// The shared renderer on the configuration image: what the display cuts of a page, and the
// editors' unsaved state laid over the image.
#include "config/ConfigImage.h"
#include "config/PageLayout.h"
#include "render/DisplayRender.h"
#include "render/ImageSource.h"
#include "render/Overflow.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace kx9::test {
namespace {

struct CutCase {
    const char* name;
    int boardSize, lineLength; // 4013, 4014
    int doubleHeight, scrolled;
    std::vector<QByteArray> lines;
    int cut;
    std::vector<int> cutLines; // lines with a mark
    bool below;                // marks at the bottom edge
};
void PrintTo(const CutCase& c, std::ostream* os) {
    *os << c.name;
}

class Overflow : public ::testing::TestWithParam<CutCase> {};

TEST_P(Overflow, CountsTheCharactersTheDisplayCuts) {
    const CutCase& c = GetParam();
    ConfigImage image;
    image.ResetImage(QDateTime(QDate(2026, 12, 9), QTime(12, 0)));
    image.SetReg(RegBoardSize, c.boardSize);
    image.SetReg(RegLineLength, c.lineLength);
    image.SetReg(RegDoubleHeight, c.doubleHeight);
    image.SetReg(RegScrollLines, c.scrolled);
    const render::Overflow o = render::MeasureOverflow(c.lines, render::ImageSource(image));
    EXPECT_EQ(o.cut, c.cut);
    std::vector<int> marked;
    for (size_t i = 0; i < o.lines.size(); ++i)
        if (o.lines[i].cut > 0) {
            marked.push_back(int(i));
            EXPECT_EQ(o.lines[i].below, c.below) << "line " << i;
        }
    EXPECT_EQ(marked, c.cutLines);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Overflow,
    ::testing::Values(
        // 5 lines of 20 characters on a board 20 wide.
        CutCase{"Fits", 414, 14, 0, 0, {"12345678901234567890", "ab  "}, 0, {}, false},
        CutCase{"PastTheLineLength", 414, 14, 0, 0, {"", "1234567890123456789012345"}, 5, {1}, false},
        // Lines of 20 characters on a board 13 wide (80 dots): 7 cut, unless the line scrolls.
        CutCase{"PastTheBoardsEdge", 209, 14, 0, 0, {"12345678901234567890"}, 7, {0}, false},
        CutCase{"ScrollingLineMovesThrough", 209, 14, 0, 1, {"12345678901234567890"}, 0, {}, false},
        // Double height on 40 dots: lines 3 (half shown), 4 and 5 fall below.
        CutCase{"DoubleHeightBelow", 414, 14, 1, 0, {"ab", "cd", "ef", "gh", "ij"}, 6, {2, 3, 4}, true},
        // Two rows: the page keeps no third line.
        CutCase{"PastThePagesRows", 111, 11, 0, 0, {"ab", "cd", "efg"}, 3, {2}, true}),
    [](const auto& info) { return std::string(info.param.name); });

// What an editor shows lies over the image until cleared; the image itself is not touched.
TEST(ImageSource, ShowsEditsOverTheImage) {
    ConfigImage image;
    image.ResetImage(QDateTime(QDate(2026, 12, 9), QTime(12, 0)));
    image.SetPage(3, layout::LinesToPage({"stored"}, 414, 14));
    render::ImageSource source(image);
    source.ShowPage(3, layout::LinesToPage({"typed"}, 414, 14));
    source.ShowReg(RegDayBrightness, 7);
    source.ShowReg(4299 + 1000, 1); // no such register: ignored
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(source.TextPage(3)), 5), "typed");
    EXPECT_EQ(source.Reg(RegDayBrightness), 7);
    EXPECT_EQ(image.Reg(RegDayBrightness), 100);
    source.ClearShown();
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(source.TextPage(3)), 6), "stored");
    EXPECT_EQ(source.Reg(RegDayBrightness), 100);
    EXPECT_EQ(source.TextPage(115), nullptr);
}

} // namespace
} // namespace kx9::test
