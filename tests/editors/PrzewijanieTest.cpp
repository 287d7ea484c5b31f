// SPDX-License-Identifier: MIT
#include "editors/Przewijanie.h"
#include "common/RequestLog.h"
#include "common/TestWorld.h"

#include <gtest/gtest.h>

namespace kx9 {
namespace {

using Requests = std::vector<std::string>;

struct ScrollWorld : test::BoardWorld {
    TfPrzewijanie window{transfers};
    ScrollWorld() {
        image.ResetImage(clock.now());
        window.FillControls();
    }
    Requests requests() const { return test::RequestSummary(board.Requests()); }
};

struct SpeedRow {
    const char* typed;
    bool accepted;
};
class ScrollSpeed : public ::testing::TestWithParam<SpeedRow> {};

TEST_P(ScrollSpeed, WriteStoresTheLinesAlwaysAndSendsOnlyAValidSpeed) {
    const SpeedRow row = GetParam();
    ScrollWorld w;
    for (QCheckBox* box : {w.window.CheckBox1, w.window.CheckBox3, w.window.CheckBox5})
        box->setChecked(true);
    w.window.Edit1->setText(row.typed);
    w.window.ComboBox1->setCurrentIndex(2);
    w.window.BitBtn3Click();
    w.RunUntilIdle();

    EXPECT_EQ(w.image.Reg(RegScrollLines), 21);
    const int speed = row.accepted ? QString(row.typed).toInt() : 15;
    EXPECT_EQ(w.image.Reg(RegScrollSpeed), speed);
    EXPECT_EQ(w.image.Reg(RegScrollDirection), row.accepted ? 2 : 0);
    EXPECT_EQ(w.requests(), row.accepted ? Requests{"w4020x3"} : Requests{});
    if (row.accepted) {
        EXPECT_EQ(w.board.Holding(RegScrollSpeed), speed);
        EXPECT_EQ(w.board.Holding(RegScrollDirection), 2);
        EXPECT_EQ(w.board.Holding(RegScrollLines), 21);
        EXPECT_TRUE(w.dialogs.boxes.empty());
        EXPECT_FALSE(w.image.link.PortOpen);
    } else {
        ASSERT_EQ(w.dialogs.boxes.size(), 1u);
        EXPECT_EQ(w.dialogs.boxes[0].text,
                  "Niewłaściwa wartość prędkości. Wpisz wartość z przedziału od 1 do "
                  "1000 i spróbuj ponownie");
        EXPECT_EQ(w.dialogs.boxes[0].title, "Błędna wartość");
        EXPECT_EQ(w.dialogs.boxes[0].icon, MsgIcon::Error);
    }
}

INSTANTIATE_TEST_SUITE_P(Typed, ScrollSpeed,
                         ::testing::Values(SpeedRow{"1", true}, SpeedRow{"1000", true}, SpeedRow{"0", false},
                                           SpeedRow{"1001", false}, SpeedRow{"abc", false},
                                           SpeedRow{"", false}));

TEST(TfPrzewijanie, ReadShowsTheBoardValuesWithoutHighBitsAndOtherwiseKeepsTyping) {
    ScrollWorld w;
    w.board.SetHolding(RegScrollSpeed, 250);
    w.board.SetHolding(RegScrollDirection, 1);
    w.board.SetHolding(RegScrollLines, 0xFFE5); // lines 1 and 3, and bits no line has
    w.window.Edit1->setText("77");
    w.window.FormActivate(); // nothing changed under the window
    EXPECT_EQ(w.window.Edit1->text(), "77");

    w.window.BitBtn2Click();
    EXPECT_TRUE(w.progress.shown);
    w.RunUntilIdle();
    w.window.FormActivate(); // as the progress window hands the focus back
    EXPECT_EQ(w.requests(), Requests{"r4020x3"});
    EXPECT_EQ(w.window.Edit1->text(), "250");
    EXPECT_EQ(w.window.ComboBox1->currentIndex(), 1);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(w.window.LineBoxes[size_t(i)]->isChecked(), i == 0 || i == 2) << "line " << i + 1;
    EXPECT_EQ(w.progress.values, std::vector<int>{0});
    EXPECT_FALSE(w.progress.shown);
    EXPECT_FALSE(w.image.link.PortOpen);

    w.window.BitBtn1Click();
    EXPECT_EQ(w.image.Reg(RegScrollLines), 5);
}

TEST(TfPrzewijanie, ADirectionTheListLacksIsKeptAndZamknijHides) {
    ScrollWorld w;
    w.image.SetReg(RegScrollDirection, 7);
    w.window.show();
    EXPECT_EQ(w.window.ComboBox1->currentIndex(), -1);
    w.window.BitBtn1Click();
    EXPECT_EQ(w.image.Reg(RegScrollDirection), 7);
    EXPECT_FALSE(w.window.isVisible());
}

} // namespace
} // namespace kx9
