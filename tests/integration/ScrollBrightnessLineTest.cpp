// SPDX-License-Identifier: MIT
// The scrolling and brightness windows over a real pseudo-terminal, with kx9-sim on the other side.
#include "SimProcess.h"
#include "common/TestWorld.h"
#include "editors/Konfigjasnosc.h"
#include "editors/Przewijanie.h"

#include <QDir>
#include <QTest>
#include <gtest/gtest.h>

namespace kx9::test {
namespace {

class ScrollBrightnessLine : public OnTheLine<LineWorld> {
protected:
    void SetUp() override {
        StartSim({});
        image.ResetImage(clock.now());
    }
    // Real timers, until nothing runs any more (the window's Timer1 included).
    void Finish(const QTimer* timer1 = nullptr) {
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return scheduler.Idle() && !(timer1 && timer1->isActive()); }, 10000))
            << sim->Log().constData();
        EXPECT_TRUE(dialogs.boxes.empty());
        EXPECT_FALSE(image.link.PortOpen);
    }
};

TEST_F(ScrollBrightnessLine, ScrollingSettingsGoToTheBoardAndComeBack) {
    TfPrzewijanie window(transfers);
    window.FillControls();
    window.Edit1->setText("333");
    window.ComboBox1->setCurrentIndex(2);
    window.CheckBox2->setChecked(true);
    window.BitBtn3Click();
    Finish();

    for (int reg : {RegScrollSpeed, RegScrollDirection, RegScrollLines})
        image.SetReg(reg, 0);
    window.BitBtn2Click();
    Finish();
    window.FormActivate();
    EXPECT_EQ(image.Reg(RegScrollLines), 2);
    EXPECT_EQ(window.Edit1->text(), "333");
    EXPECT_EQ(window.ComboBox1->currentIndex(), 2);
    EXPECT_TRUE(window.CheckBox2->isChecked());
}

TEST_F(ScrollBrightnessLine, BrightnessGoesToTheBoardInTwoWritesAndComesBackInOneRead) {
    TfKonfigJasnosc window(transfers);
    window.Edit1->setText("75");
    window.DateTimePicker2->setTime(QTime(23, 59));
    window.CheckBox1->setChecked(true);
    window.Edit4->setText("88");
    image.SetReg(RegBoardSize, 305); // not the write's to send
    window.BitBtn2Click();
    Finish(window.Timer1);

    for (int reg = RegDayBrightness; reg <= RegCurrentBrightness; ++reg)
        image.SetReg(reg, 0);
    window.BitBtn1Click();
    Finish(window.Timer1);
    EXPECT_EQ(window.Edit1->text(), "75");
    EXPECT_EQ(window.DateTimePicker2->time(), QTime(23, 59));
    EXPECT_TRUE(window.CheckBox1->isChecked());
    EXPECT_EQ(window.Edit4->text(), "88");
    EXPECT_EQ(window.Edit5->text(), "100%");
    EXPECT_EQ(image.Reg(RegBoardSize), 414);
}

} // namespace
} // namespace kx9::test
