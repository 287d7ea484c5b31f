// SPDX-License-Identifier: MIT
#include "editors/Konfigjasnosc.h"
#include "common/RequestLog.h"
#include "common/TestWorld.h"

#include <gtest/gtest.h>

namespace kx9 {
namespace {

using Requests = std::vector<std::string>;

struct BrightnessWorld : test::BoardWorld {
    TfKonfigJasnosc window{transfers};
    BrightnessWorld() {
        image.ResetImage(clock.now());
        window.LoadBrightnessControls();
    }
    Requests requests() const { return test::RequestSummary(board.Requests()); }

    // Scheduler ticks and Timer1's, Timer1 seeing each reply before or after the sequencer.
    void run(bool timer1First) {
        auto timer1 = [&] {
            if (window.Timer1->isActive())
                window.Timer1Timer();
        };
        for (int i = 0; i < 1000 && (!scheduler.Idle() || window.Timer1->isActive()); ++i) {
            if (scheduler.PollActive())
                scheduler.TestOdpowiedziTimer();
            if (scheduler.TimeOutActive() && scheduler.ReplyEnd() > 0 &&
                port.bytesWaiting() <= scheduler.ReplyEnd())
                scheduler.TimeOutTimer();
            if (timer1First)
                timer1();
            if (scheduler.SequencerActive())
                scheduler.TransmisjaWrTimer();
            timer1();
        }
        ASSERT_FALSE(window.Timer1->isActive());
    }
};

struct LevelRow {
    const char* edit;
    int reg;
    const char* title;
    const char* typed;
    bool accepted;
};
class BrightnessLevel : public ::testing::TestWithParam<LevelRow> {};

TEST_P(BrightnessLevel, OnlyOneToAHundredIsStoredAndTheOtherFieldsStillAre) {
    const LevelRow row = GetParam();
    BrightnessWorld w;
    const int before = w.image.Reg(row.reg);
    w.window.findChild<QLineEdit*>(row.edit)->setText(row.typed);
    w.window.DateTimePicker2->setTime(QTime(21, 15));
    w.window.StoreBrightnessControls();

    EXPECT_EQ(w.image.Reg(row.reg), row.accepted ? QString(row.typed).toInt() : before);
    EXPECT_EQ(w.image.Reg(RegNightStart), 2115);
    ASSERT_EQ(w.dialogs.boxes.size(), row.accepted ? 0u : 1u);
    if (!row.accepted) {
        EXPECT_EQ(w.dialogs.boxes[0].text, "Wpisz wartość z przedziału od 1 do 100 i spróbuj ponownie");
        EXPECT_EQ(w.dialogs.boxes[0].title, QString::fromUtf8(row.title));
        EXPECT_EQ(w.dialogs.boxes[0].icon, MsgIcon::Information);
    }
}

std::vector<LevelRow> LevelRows() {
    const LevelRow fields[] = {{"Edit1", 4009, "Niwłaściwa wartość jsności dla dnia", "", false},
                               {"Edit2", 4010, "Niwłaściwa wartość jsności dla nocy", "", false},
                               {"Edit3", 4016, "Niwłaściwa wartość minimalnej jsności", "", false},
                               {"Edit4", 4017, "Niwłaściwa wartość maksymalnej jsności", "", false}};
    const std::pair<const char*, bool> typed[] = {{"0", false},   {"101", false}, {"-5", false},
                                                  {"abc", false}, {"1", true},    {"100", true}};
    std::vector<LevelRow> rows;
    for (LevelRow field : fields)
        for (auto [text, accepted] : typed)
            rows.push_back({field.edit, field.reg, field.title, text, accepted});
    return rows;
}
INSTANTIATE_TEST_SUITE_P(Fields, BrightnessLevel, ::testing::ValuesIn(LevelRows()));

struct TimeRow {
    int stored;   // register value loaded
    QTime shown;  // what both pickers show
    QTime picked; // what the operator then picks
    int encoded;
};
class BrightnessTime : public ::testing::TestWithParam<TimeRow> {};

TEST_P(BrightnessTime, PickersShowTheNearestTimeAndStoreOnlyWhatIsPicked) {
    const TimeRow row = GetParam();
    BrightnessWorld w;
    w.image.SetReg(RegDayStart, row.stored);
    w.image.SetReg(RegNightStart, row.stored);
    w.window.LoadBrightnessControls();
    EXPECT_EQ(w.window.DateTimePicker1->time(), row.shown);
    EXPECT_EQ(w.window.DateTimePicker2->text(), row.shown.toString("hh:mm"));
    w.window.DateTimePicker2->setTime(row.picked);
    w.window.StoreBrightnessControls();
    EXPECT_EQ(w.image.Reg(RegDayStart), row.stored);
    EXPECT_EQ(w.image.Reg(RegNightStart), row.encoded);
}

INSTANTIATE_TEST_SUITE_P(Times, BrightnessTime,
                         ::testing::Values(TimeRow{2200, QTime(22, 0), QTime(23, 59), 2359},
                                           TimeRow{600, QTime(6, 0), QTime(0, 0), 0},
                                           TimeRow{2575, QTime(23, 59), QTime(6, 5), 605},
                                           TimeRow{1299, QTime(12, 59), QTime(12, 58), 1258}));

class BrightnessOrder : public ::testing::TestWithParam<bool> {};

TEST_P(BrightnessOrder, ReadRefreshesEveryControlAndReplacesTheRegistersBetween) {
    BrightnessWorld w;
    const int board[] = {80, 30, 715, 2130, 309, 16, 1, 20, 90, 7, 87};
    for (int i = 0; i < 11; ++i)
        w.board.SetHolding(RegDayBrightness + i, uint16_t(board[i]));
    w.window.Edit1->setText("55");
    w.window.BitBtn1Click();
    EXPECT_TRUE(w.window.ReadPending());
    w.run(GetParam());

    EXPECT_EQ(w.requests(), Requests{"r4009x11"});
    for (int i = 0; i < 11; ++i)
        EXPECT_EQ(w.image.Reg(RegDayBrightness + i), board[i]) << RegDayBrightness + i;
    const QLineEdit* edits[] = {w.window.Edit1, w.window.Edit2, w.window.Edit3, w.window.Edit4,
                                w.window.Edit5};
    const char* texts[] = {"80", "30", "20", "90", "87%"};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(edits[i]->text(), texts[i]);
    EXPECT_EQ(w.window.DateTimePicker1->time(), QTime(7, 15));
    EXPECT_EQ(w.window.DateTimePicker2->time(), QTime(21, 30));
    EXPECT_TRUE(w.window.CheckBox1->isChecked());
    EXPECT_EQ(w.window.Notebook1->currentWidget()->objectName(), "CzZewnOn");
    EXPECT_EQ(w.progress.values, (std::vector<int>{0, 100, 0}));
    EXPECT_EQ(w.clock.pauses.back(), 500);
    EXPECT_FALSE(w.progress.shown || w.window.ReadPending() || w.image.link.PortOpen);
    EXPECT_TRUE(w.dialogs.boxes.empty());
}

TEST_P(BrightnessOrder, SensorBoxStoresAtOnceAndTheWriteSendsBothGroupsOnAReopenedLink) {
    BrightnessWorld w;
    EXPECT_EQ(w.window.Notebook1->currentWidget()->objectName(), "CzZewnOff");
    w.window.CheckBox1->setChecked(true);
    EXPECT_EQ(w.image.Reg(RegLightSensorOn), 1);
    EXPECT_EQ(w.window.Notebook1->currentWidget()->objectName(), "CzZewnOn");
    w.window.Edit1->setText("70");
    w.window.DateTimePicker1->setTime(QTime(5, 45));
    w.window.Edit4->setText("95");
    w.window.BitBtn2Click();
    EXPECT_EQ(w.window.WriteStep(), 1);
    w.run(GetParam());

    EXPECT_EQ(w.requests(), (Requests{"w4009x4", "w4015x3"}));
    const int expected[] = {70, 50, 545, 2200, 414, 14, 1, 50, 95};
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(w.board.Holding(RegDayBrightness + i), expected[i]) << RegDayBrightness + i;
    EXPECT_EQ(w.port.OpenCount(), 2);
    EXPECT_EQ(w.progress.values, (std::vector<int>{0, 50, 100}));
    EXPECT_FALSE(w.progress.shown || w.window.WriteStep() || w.image.link.PortOpen);
    EXPECT_TRUE(w.dialogs.boxes.empty());
}

INSTANTIATE_TEST_SUITE_P(Timer1FirstOrNot, BrightnessOrder, ::testing::Bool());

class BrightnessFailure : public ::testing::TestWithParam<bool> {};

TEST_P(BrightnessFailure, TimeOutOrFailedSecondOpenEndsTheWriteForGood) {
    const bool noReply = GetParam();
    BrightnessWorld w;
    if (noReply)
        w.board.SetFault(BoardModel::Fault::NoReply, 1);
    w.window.BitBtn2Click();
    if (!noReply) {
        w.scheduler.TestOdpowiedziTimer(); // the first reply is in
        w.port.SetMissing("COM1");
    }
    w.run(false);
    EXPECT_EQ(w.dialogs.Titles(), std::vector<QString>{noReply ? "Błąd" : "Błąd otwarcia portu"});
    EXPECT_FALSE(w.progress.shown);

    w.port.SetMissing(QString()); // an unrelated transfer clears the error
    ASSERT_TRUE(w.ops.StartClockRead());
    w.run(false);
    EXPECT_EQ(w.requests(), (Requests{"w4009x4", "r4006x3"}));
}

INSTANTIATE_TEST_SUITE_P(NoReplyOrPortGone, BrightnessFailure, ::testing::Bool());

TEST(TfKonfigJasnosc, WriteDuringAWholeReadIsRefusedAndSendsNothing) {
    BrightnessWorld w;
    ASSERT_TRUE(w.ops.StartConfigRead());
    w.window.BitBtn2Click();
    EXPECT_EQ(w.requests(), Requests{"r4000x100"});
    EXPECT_FALSE(w.window.Timer1->isActive());
    EXPECT_EQ(
        w.dialogs.Texts(),
        std::vector<QString>{"Trwa transmisja danych. Poczekaj na jej zakończenie i spróbuj ponownie."});
}

TEST(TfKonfigJasnosc, ClosingPutsBackNoValueThatCameInBehindTheWindow) {
    BrightnessWorld w;
    w.window.show();
    w.window.Edit3->setText("33");
    w.image.SetReg(RegDayBrightness, 80); // a whole read, say
    w.window.BitBtn3Click();
    EXPECT_EQ(w.image.Reg(RegDayBrightness), 80);
    EXPECT_EQ(w.window.Edit1->text(), "80");
    EXPECT_EQ(w.image.Reg(RegSensorMinBrightness), 33);
}

} // namespace
} // namespace kx9
