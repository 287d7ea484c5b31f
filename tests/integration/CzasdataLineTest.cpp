// SPDX-License-Identifier: MIT
// The time and date window's four transfers over a real pseudo-terminal, kx9-sim on the other side.
#include "SimProcess.h"
#include "common/RequestFrames.h"
#include "common/TestWorld.h"
#include "editors/Czasdata.h"

#include <QDir>
#include <QThread>
#include <gtest/gtest.h>

#include <memory>

namespace kx9::test {
namespace {

using Frames = std::vector<QByteArray>;

// A PC clock the test sets, with pauses that really wait as the line needs them to.
class SetPcClock : public FakeClock {
public:
    void pause(int ms) override { QThread::msleep(static_cast<unsigned long>(ms)); }
};

struct PtySeams {
    QtSerialPort port;
    SetPcClock clock;
    RecordingDialogs dialogs;
};

class CzasdataOnTheLine : public ::testing::Test, protected ProgramWorld<PtySeams> {
protected:
    void SetUp() override {
        sim = std::make_unique<SimProcess>(QStringList{QStringLiteral("--log")});
        ASSERT_TRUE(sim->Start()) << sim->Log().constData();
        m_oldDir = QDir::currentPath();
        QDir::setCurrent(sim->Dir());
        image.ResetImage(clock.now());
    }
    void TearDown() override {
        scheduler.Abandon();
        if (!m_oldDir.isEmpty())
            QDir::setCurrent(m_oldDir);
    }

    void Run() {
        ASSERT_TRUE(scheduler.WaitUntilIdle(10000)) << sim->Log().constData();
        EXPECT_TRUE(dialogs.boxes.empty()) << dialogs.boxes[0].text.toStdString();
    }
    // Every request the board took, from its traffic log.
    Frames Taken() const {
        Frames frames;
        for (const QByteArray& line : sim->Log().split('\n'))
            if (line.startsWith("rx "))
                frames.push_back(QByteArray::fromHex(line.mid(3)));
        return frames;
    }

    std::unique_ptr<SimProcess> sim;
    TfCzasData window{transfers, ops};

private:
    QString m_oldDir;
};

struct ClockRow {
    bool fromPc;
    QDateTime at; // chosen in the controls, or the PC clock
    std::vector<int32_t> regs;
    const char* shown[2]; // date and time read back
};

class CzasdataClockOnTheLine : public CzasdataOnTheLine, public ::testing::WithParamInterface<ClockRow> {};

TEST_P(CzasdataClockOnTheLine, TheBoardClockShowsWhatWasSent) {
    const ClockRow& row = GetParam();
    if (row.fromPc) {
        clock.current = row.at;
        window.BitBtn3Click();
    } else {
        window.MonthCalendar1->setDate(row.at.date());
        window.DateTimePicker1->setTime(row.at.time());
        window.BitBtn2Click();
    }
    Run();
    // What comes back must come from the board, not from what the image kept.
    for (int reg = RegClockTime; reg <= RegClockDate; ++reg)
        image.SetReg(reg, 0);
    window.BitBtn1Click();
    Run();
    window.FormActivate();
    EXPECT_EQ(Taken(), (Frames{WriteFrame(RegClockTime, row.regs), ReadFrame(RegClockTime, 3)}));
    EXPECT_EQ(window.MonthCalendar1->text(), row.shown[0]);
    EXPECT_EQ(window.DateTimePicker1->text(), row.shown[1]);
    EXPECT_FALSE(image.link.PortOpen);
}

INSTANTIATE_TEST_SUITE_P(
    Czasdata, CzasdataClockOnTheLine,
    ::testing::Values(ClockRow{false, QDateTime(QDate(2031, 8, 9), QTime(7, 8, 30)), {708, 31, 809}, {"2031-08-09", "07:08:00"}},
                      ClockRow{true, QDateTime(QDate(2044, 2, 29), QTime(23, 59, 10)), {2359, 44, 229}, {"2044-02-29", "23:59:00"}}));

TEST_F(CzasdataOnTheLine, DisplaySettingsGoToTheBoardAndComeBack) {
    window.Edit1->setText(QStringLiteral("212"));
    window.ComboBox1->setCurrentIndex(1);
    window.Edit2->setText(QStringLiteral("305"));
    window.ComboBox2->setCurrentIndex(2);
    window.BitBtn6Click();
    Run();
    for (int reg = RegTimePosition; reg <= RegDateFormat; ++reg)
        image.SetReg(reg, 0);
    window.BitBtn5Click();
    Run();
    window.FormActivate();
    EXPECT_EQ(Taken(), (Frames{WriteFrame(RegTimePosition, {212, 1, 305, 2}), ReadFrame(RegTimePosition, 4)}));
    EXPECT_EQ(window.Edit1->text(), "212");
    EXPECT_EQ(window.ComboBox1->currentIndex(), 1);
    EXPECT_EQ(window.Edit2->text(), "305");
    EXPECT_EQ(window.ComboBox2->currentIndex(), 2);
}

} // namespace
} // namespace kx9::test
