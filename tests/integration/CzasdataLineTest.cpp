// SPDX-License-Identifier: MIT
// The time and date window's four transfers over a real pseudo-terminal, kx9-sim on the other side.
#include "SimProcess.h"
#include "common/RequestFrames.h"
#include "common/TestWorld.h"
#include "editors/Czasdata.h"

#include <QDir>
#include <gtest/gtest.h>

#include <memory>

namespace kx9::test {
namespace {

using Frames = std::vector<QByteArray>;

// The real line with a PC clock the test sets.
struct PtySeams {
    QtSerialPort port;
    FakeClock clock;
    RecordingDialogs dialogs;
};

class CzasdataOnTheLine : public OnTheLine<ProgramWorld<PtySeams>, ::testing::TestWithParam<bool>> {
protected:
    void SetUp() override {
        StartSim();
        image.ResetImage(clock.now());
    }

    void Run() {
        ASSERT_TRUE(scheduler.WaitUntilIdle(10000)) << sim->Log().constData();
        EXPECT_TRUE(dialogs.boxes.empty()) << dialogs.boxes[0].text.toStdString();
    }
    Frames Taken() const { return sim->Requests(); }

    TfCzasData window{transfers, ops};
};

// The clock chosen in the controls ("Zapisz do KX9") or taken from the PC ("Synchronizuj").
TEST_P(CzasdataOnTheLine, EachTransferPutsItsRequestAndTheBoardKeepsWhatWasSent) {
    const bool fromPc = GetParam();
    const QDateTime at =
        fromPc ? QDateTime({2044, 2, 29}, {23, 59, 10}) : QDateTime({2031, 8, 9}, {7, 8, 30});
    const std::vector<int32_t> clockRegs =
        fromPc ? std::vector<int32_t>{2359, 44, 229} : std::vector<int32_t>{708, 31, 809};
    if (fromPc) {
        clock.current = at;
        window.BitBtn3Click();
    } else {
        window.MonthCalendar1->setDate(at.date());
        window.DateTimePicker1->setTime(at.time());
        window.BitBtn2Click();
    }
    Run();
    window.Edit1->setText(QStringLiteral("212"));
    window.ComboBox1->setCurrentIndex(1);
    window.Edit2->setText(QStringLiteral("305"));
    window.ComboBox2->setCurrentIndex(2);
    window.BitBtn6Click();
    Run();
    // What comes back must come from the board, not from what the image kept.
    for (int reg = RegClockTime; reg <= RegDateFormat; ++reg)
        image.SetReg(reg, 0);
    window.BitBtn1Click();
    Run();
    window.BitBtn5Click();
    Run();
    window.FormActivate();
    EXPECT_EQ(Taken(),
              (Frames{WriteFrame(RegClockTime, clockRegs), WriteFrame(RegTimePosition, {212, 1, 305, 2}),
                      ReadFrame(RegClockTime, 3), ReadFrame(RegTimePosition, 4)}));
    EXPECT_EQ(window.MonthCalendar1->text() + ' ' + window.DateTimePicker1->text(),
              at.toString(QStringLiteral("yyyy-MM-dd HH:mm:00")));
    EXPECT_EQ(window.Edit1->text() + window.Edit2->text(), "212305");
    EXPECT_EQ(window.ComboBox1->currentIndex() * 10 + window.ComboBox2->currentIndex(), 12);
    EXPECT_FALSE(image.link.PortOpen);
}

INSTANTIATE_TEST_SUITE_P(Czasdata, CzasdataOnTheLine, ::testing::Bool());

} // namespace
} // namespace kx9::test
