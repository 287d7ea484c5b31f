// SPDX-License-Identifier: MIT
#include "editors/Czasdata.h"
#include "common/RequestFrames.h"
#include "common/TestWorld.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

namespace kx9 {
namespace {

using test::ReadFrame;
using test::WriteFrame;
using Frames = std::vector<QByteArray>;

const QString TimeRefused =
    QStringLiteral("Nieprawidłowa pozycja wyświetlania. Wprowadź wartość od 101 do 529 "
                   "lub 0, aby wyłączyć wyświetlanie czasu|Błąd Adresu");
const QString DateRefused =
    QStringLiteral("Nieprawidłowa pozycja wyświetlania. Wprowadź wartość od 101 do 529 "
                   "lub 0, aby wyłączyć wyświetlanie daty|Błąd Adresu");

// The window, shown, on the in-process board, whose clock stands still unless written.
struct CzasWorld : test::BoardWorld {
    TfCzasData win{transfers, ops};
    CzasWorld() {
        image.ResetImage(clock.now());
        board.SetTicker([] { return int64_t(0); });
        win.show();
    }
    void at(int h, int m, int s, QDate d = QDate(2026, 12, 7)) {
        clock.current = QDateTime(d, QTime(h, m, s));
    }
    void tick(int h, int m, int s) {
        at(h, m, s);
        win.Timer1Timer();
    }
    // "text|title" of every box, error icons only.
    std::vector<QString> Boxes() const {
        std::vector<QString> out;
        for (const auto& b : dialogs.boxes)
            out.push_back(b.icon == MsgIcon::Error ? b.text + '|' + b.title : QStringLiteral("?"));
        return out;
    }
};

TEST(TfCzasData, ShowingTakesThePcTimeAndTheDisplayRegisters) {
    CzasWorld w;
    w.at(14, 35, 59);
    const int regs[] = {212, 1, 305, 9}; // 9: no such date format
    for (int i = 0; i < 4; ++i)
        w.image.SetReg(RegTimePosition + i, regs[i]);
    w.win.FillAll();
    EXPECT_EQ(w.win.MonthCalendar1->text() + ' ' + w.win.DateTimePicker1->text(), "2026-12-07 14:35:59");
    EXPECT_EQ(w.win.Edit1->text() + w.win.Edit2->text(), "212305");
    EXPECT_EQ(w.win.ComboBox1->currentIndex(), 1);
    EXPECT_EQ(w.win.ComboBox2->currentIndex(), -1);
    w.win.BitBtn4Click();
    EXPECT_EQ(w.image.Reg(RegDateFormat), 9) << "a format no item shows is kept";
    // The board takes every year as 20xx: no other can be chosen.
    EXPECT_EQ(w.win.MonthCalendar1->minimumDate(), QDate(2000, 1, 1));
    EXPECT_EQ(w.win.MonthCalendar1->maximumDate(), QDate(2099, 12, 31));
}

// "Zapisz do KX9" with the chosen date and time, and "Synchronizuj" at the same PC time.
struct EncodeRow {
    QDateTime at;
    std::vector<int32_t> regs;
};
class CzasdataEncoding : public ::testing::TestWithParam<EncodeRow> {};

TEST_P(CzasdataEncoding, ChosenAndPcClockGiveTheSameRegisters) {
    const auto& [at, regs] = GetParam();
    for (const bool fromPc : {false, true}) {
        CzasWorld w;
        w.at(1, 2, 3, QDate(2010, 5, 5));
        if (fromPc) {
            w.clock.current = at;
            w.win.BitBtn3Click();
        } else {
            w.win.MonthCalendar1->setDate(at.date());
            w.win.DateTimePicker1->setTime(at.time());
            w.win.BitBtn2Click();
        }
        EXPECT_TRUE(w.progress.shown);
        w.RunUntilIdle();
        EXPECT_EQ(w.board.Requests(), Frames{WriteFrame(RegClockTime, regs)}) << fromPc;
        EXPECT_FALSE(w.progress.shown);
        EXPECT_TRUE(w.dialogs.boxes.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(TfCzasData, CzasdataEncoding,
                         ::testing::Values(EncodeRow{{{2026, 12, 7}, {14, 35, 59}}, {1435, 26, 1207}},
                                           EncodeRow{{{2000, 1, 1}, {0, 0}}, {0, 0, 101}},
                                           EncodeRow{{{2099, 12, 31}, {23, 59, 30}}, {2359, 99, 1231}}));

// A clock read, shown once it is over; registers that form no date or time leave the controls.
struct DecodeRow {
    std::vector<int> regs;
    QString shown; // date and time after the read; empty: refused
};
class CzasdataClockRead : public ::testing::TestWithParam<DecodeRow> {};

TEST_P(CzasdataClockRead, ShowsTheBoardClockOnceTheReadIsOver) {
    const auto& [regs, shown] = GetParam();
    CzasWorld w;
    for (int i = 0; i < 3; ++i)
        w.board.SetHolding(RegClockTime + i, uint16_t(regs[size_t(i)]));
    w.win.DateTimePicker1->setTime(QTime(10, 20, 30));
    const auto controls = [&w] { return w.win.MonthCalendar1->text() + ' ' + w.win.DateTimePicker1->text(); };
    w.win.BitBtn1Click();
    w.win.FormActivate(); // the operator clicks the window while the reply is awaited
    EXPECT_TRUE(w.win.ClockReadPending);
    EXPECT_EQ(controls(), "2026-12-07 10:20:30");
    w.RunUntilIdle();
    w.win.FormActivate();
    EXPECT_FALSE(w.win.ClockReadPending);
    EXPECT_EQ(w.board.Requests(), Frames{ReadFrame(RegClockTime, 3)});
    EXPECT_EQ(controls(), shown.isEmpty() ? "2026-12-07 10:20:30" : shown);
    EXPECT_EQ(w.Boxes(), shown.isEmpty()
                             ? std::vector<QString>{"Odczytana data lub czas są nieprawidłowe|Błąd"}
                             : std::vector<QString>{});
}

INSTANTIATE_TEST_SUITE_P(TfCzasData, CzasdataClockRead,
                         ::testing::Values(DecodeRow{{905, 3, 101}, "2003-01-01 09:05:00"},
                                           DecodeRow{{2359, 99, 1231}, "2099-12-31 23:59:00"},
                                           DecodeRow{{905, 3, 1332}, ""}, DecodeRow{{2575, 3, 101}, ""},
                                           DecodeRow{{905, 3, 230}, ""}, DecodeRow{{2400, 3, 101}, ""},
                                           DecodeRow{{905, 100, 101}, ""}));

// Positions on "Zapisz do KX9" of the display tab, or on closing; 4023 and 4025 hold 202 and 303.
struct PositionRow {
    const char* time;
    const char* date;
    bool close;
    int timeReg;
    int dateReg;
    QString box;
};
class CzasdataPositions : public ::testing::TestWithParam<PositionRow> {};

TEST_P(CzasdataPositions, OnlyZeroOr101To529AreStored) {
    const PositionRow& row = GetParam();
    CzasWorld w;
    w.image.SetReg(RegTimePosition, 202);
    w.image.SetReg(RegDatePosition, 303);
    w.win.ComboBox1->setCurrentIndex(1);
    w.win.ComboBox2->setCurrentIndex(3);
    w.win.Edit1->setText(row.time);
    w.win.Edit2->setText(row.date);
    row.close ? w.win.BitBtn4Click() : w.win.BitBtn6Click();
    w.RunUntilIdle();
    EXPECT_EQ(w.win.isVisible(), !row.close);
    EXPECT_EQ(w.image.Reg(RegTimePosition), row.timeReg);
    EXPECT_EQ(w.image.Reg(RegDatePosition), row.dateReg);
    EXPECT_EQ(w.image.Reg(RegTimeFormat) * 10 + w.image.Reg(RegDateFormat), 13) << "formats are stored first";
    EXPECT_EQ(w.Boxes(), row.box.isEmpty() ? std::vector<QString>{} : std::vector<QString>{row.box});
    const bool sent = !row.close && row.box.isEmpty();
    EXPECT_EQ(w.board.Requests(),
              sent ? Frames{WriteFrame(RegTimePosition, {row.timeReg, 1, row.dateReg, 3})} : Frames{});
    EXPECT_EQ(w.win.Edit1->text(), row.time) << "refused typing stays";
}

INSTANTIATE_TEST_SUITE_P(TfCzasData, CzasdataPositions,
                         ::testing::Values(PositionRow{"0", "529", false, 0, 529, {}},
                                           PositionRow{"101", "150", false, 101, 150, {}},
                                           PositionRow{"529", "0", true, 529, 0, {}},
                                           PositionRow{"100", "0", false, 202, 303, TimeRefused},
                                           PositionRow{"530", "0", false, 202, 303, TimeRefused},
                                           PositionRow{"-1", "0", false, 202, 303, TimeRefused},
                                           PositionRow{"abc", "0", false, 202, 303, TimeRefused},
                                           PositionRow{"101", "1x", false, 101, 303, DateRefused},
                                           PositionRow{"100", "200", true, 202, 303, TimeRefused}));

// "Synchronizuj Sek" from second 43; the window closed meanwhile, another transfer at second 0.
class CzasdataSync : public ::testing::TestWithParam<std::tuple<bool, bool>> {};

TEST_P(CzasdataSync, SendsThePcClockAtTheFullMinute) {
    const auto [hidden, busy] = GetParam();
    CzasWorld w;
    w.at(14, 35, 43);
    w.win.BitBtn7Click();
    EXPECT_EQ(w.win.Edit3->isHidden() ? QString() : w.win.Edit3->text(), "Pozostało: 17 s");
    w.tick(14, 35, 44);
    EXPECT_EQ(w.win.Edit3->text(), "Pozostało: 16 s");
    if (hidden) {
        w.win.BitBtn4Click();
        EXPECT_TRUE(w.win.Edit3->isHidden());
        w.win.show(); // the countdown comes back with the window
        EXPECT_FALSE(w.win.Edit3->isHidden());
        w.win.BitBtn4Click();
    }
    Frames expected;
    int minute = 36;
    if (busy) {
        ASSERT_TRUE(w.transfers.Single(Transfers::Kind::Read, RegDayBrightness, 1));
        expected.push_back(ReadFrame(RegDayBrightness, 1));
        w.tick(14, 36, 0);
        EXPECT_EQ(w.win.Edit3->text(), "Pozostało: 60 s");
        EXPECT_EQ(w.board.Requests(), expected);
        w.RunUntilIdle();
        w.tick(14, 36, 1);
        EXPECT_EQ(w.win.Edit3->text(), "Pozostało: 59 s");
        minute = 37;
    }
    w.tick(14, minute, 0);
    EXPECT_FALSE(w.win.Timer1->isActive());
    EXPECT_TRUE(w.win.Edit3->isHidden());
    w.RunUntilIdle();
    expected.push_back(WriteFrame(RegClockTime, {1400 + minute, 26, 1207}));
    EXPECT_EQ(w.board.Requests(), expected);
    EXPECT_TRUE(w.dialogs.boxes.empty());
    EXPECT_EQ(w.progress.titles.size(), 1u);
    EXPECT_FALSE(w.progress.shown);
}

INSTANTIATE_TEST_SUITE_P(TfCzasData, CzasdataSync, ::testing::Combine(::testing::Bool(), ::testing::Bool()));

TEST(TfCzasData, DisplayReadShowsTheBoardAfterTheTransferAndTypingSurvivesOtherwise) {
    CzasWorld w;
    const uint16_t onBoard[] = {212, 1, 305, 2};
    for (int i = 0; i < 4; ++i)
        w.board.SetHolding(RegTimePosition + i, onBoard[i]);
    w.win.Edit1->setText("999");
    w.win.FormActivate();
    w.win.BitBtn5Click();
    w.win.FormActivate(); // the reply is still awaited
    EXPECT_EQ(w.win.Edit1->text(), "999");
    w.RunUntilIdle();
    QEvent activate(QEvent::WindowActivate); // as the progress window hands the focus back
    QApplication::sendEvent(&w.win, &activate);
    EXPECT_FALSE(w.win.DisplayReadPending);
    EXPECT_EQ(w.board.Requests(), Frames{ReadFrame(RegTimePosition, 4)});
    EXPECT_EQ(w.win.Edit1->text() + w.win.Edit2->text(), "212305");
    EXPECT_EQ(w.win.ComboBox1->currentIndex() * 10 + w.win.ComboBox2->currentIndex(), 12);
}

// The port cannot be opened: the progress window this window showed does not stay behind.
TEST(TfCzasData, APortThatDoesNotOpenLeavesNoProgressWindow) {
    for (auto click : {&TfCzasData::BitBtn1Click, &TfCzasData::BitBtn2Click, &TfCzasData::BitBtn3Click,
                       &TfCzasData::BitBtn5Click, &TfCzasData::BitBtn6Click}) {
        CzasWorld w;
        w.port.SetMissing(QStringLiteral("COM1"));
        (w.win.*click)();
        w.RunUntilIdle();
        EXPECT_EQ(w.dialogs.Titles(), std::vector<QString>{"Błąd otwarcia portu"});
        EXPECT_FALSE(w.progress.shown);
        EXPECT_TRUE(w.board.Requests().empty());
    }
}

} // namespace
} // namespace kx9

namespace kx9 {
namespace {

// A date field takes typed digits in the section the cursor is in, as an operator types them.
struct DateTyping {
    QDateEdit::Section section;
    const char* keys;
    QDate expected;
};

class DateFieldTyping : public ::testing::TestWithParam<DateTyping> {};

TEST_P(DateFieldTyping, DigitsReplaceTheSection) {
    const DateTyping& row = GetParam();
    CzasWorld w;
    w.win.show();
    QDateEdit* field = w.win.MonthCalendar1;
    field->setDate(QDate(2026, 12, 7));
    field->setFocus();
    field->setCurrentSection(row.section);
    // The cursor stands in the section without selecting it, as after a click.
    QLineEdit* line = field->findChild<QLineEdit*>();
    line->setCursorPosition(line->cursorPosition());
    QTest::keyClicks(field, QString::fromLatin1(row.keys));
    field->interpretText();
    EXPECT_EQ(field->date(), row.expected) << field->text().toStdString();
}

INSTANTIATE_TEST_SUITE_P(Czasdata, DateFieldTyping,
                         ::testing::Values(DateTyping{QDateEdit::DaySection, "15", QDate(2026, 12, 15)},
                                           DateTyping{QDateEdit::MonthSection, "03", QDate(2026, 3, 7)},
                                           DateTyping{QDateEdit::YearSection, "2031", QDate(2031, 12, 7)}));

} // namespace
} // namespace kx9
