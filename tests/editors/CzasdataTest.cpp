// SPDX-License-Identifier: MIT
#include "common/RequestFrames.h"
#include "common/TestWorld.h"
#include "editors/Czasdata.h"

#include <QApplication>
#include <gtest/gtest.h>

#include <functional>

namespace kx9 {
namespace {

using test::ReadFrame;
using test::WriteFrame;
using Frames = std::vector<QByteArray>;

const QString TimeRefused = QStringLiteral(
    "Nieprawidłowa pozycja wyświetlania. Wprowadź wartość od 101 do 529 lub 0, aby wyłączyć wyświetlanie czasu");
const QString DateRefused = QStringLiteral(
    "Nieprawidłowa pozycja wyświetlania. Wprowadź wartość od 101 do 529 lub 0, aby wyłączyć wyświetlanie daty");
const QString BadClock = QStringLiteral("Odczytana data lub czas są nieprawidłowe");
const QString Refusal = QStringLiteral("Trwa transmisja danych. Poczekaj na jej zakończenie i spróbuj ponownie.");

// The window on the in-process board, whose clock stands still unless written.
struct CzasWorld : test::BoardWorld {
    TfCzasData window{transfers, ops};

    CzasWorld() {
        image.ResetImage(clock.now());
        board.SetTicker([] { return int64_t(0); });
        board.SetClock(clock.now());
    }
    void at(int h, int m, int s, QDate d = QDate(2026, 12, 7)) { clock.current = QDateTime(d, QTime(h, m, s)); }
    void tick(int h, int m, int s) {
        at(h, m, s);
        window.Timer1Timer();
    }
    std::vector<int> boardClock() const {
        return {board.Holding(RegClockTime), board.Holding(RegClockYear), board.Holding(RegClockDate)};
    }
};

TEST(TfCzasData, ControlsCarryTheirCaptionsHintsAndItems) {
    CzasWorld w;
    EXPECT_EQ(w.window.windowTitle(), "Czas i Data");
    struct Row {
        const char* name;
        const char* caption;
        const char* hint;
    };
    const Row buttons[] = {
        {"BitBtn1", "Odczytaj z KX9", "Odczytuje czas i date z KX9"},
        {"BitBtn2", "Zapisz do KX9", "Zapisuje czas i date do KX9"},
        {"BitBtn3", "Synchronizuj", "Synchronizuje czas i date PC-->KX9"},
        {"BitBtn7", "Synchronizuj Sek", "Synchronizuje czas i date PC-->KX9. Może długo potrwać"},
        {"BitBtn5", "Odczytaj z KX9", "Odczytuje konfiguracje z KX9"},
        {"BitBtn6", "Zapisz do KX9", "Zapisuje konfiguracje do KX9"},
        {"BitBtn4", "Zamknij", "Zamyka to okno"},
    };
    for (const Row& r : buttons) {
        auto* button = w.window.findChild<QPushButton*>(r.name);
        ASSERT_NE(button, nullptr) << r.name;
        EXPECT_EQ(button->text(), QString::fromUtf8(r.caption)) << r.name;
        EXPECT_EQ(button->toolTip(), QString::fromUtf8(r.hint)) << r.name;
    }
    const Row fields[] = {
        {"Edit1", "", "Pozycja wyświetlania czasu (y*100+x)"},
        {"ComboBox1", "GG:MM:SS|GG:MM", "Format wyświetlania czasu"},
        {"Edit2", "", "Pozycja wyświetlania daty (y*100+x)"},
        {"ComboBox2", "RRRR:MM:DD|RR:MM:DD|DD:MM:RRRR|DD:MM:RR", "Format wyświetlania daty"},
    };
    for (const Row& r : fields) {
        auto* field = w.window.findChild<QWidget*>(r.name);
        ASSERT_NE(field, nullptr) << r.name;
        EXPECT_EQ(field->toolTip(), QString::fromUtf8(r.hint)) << r.name;
        if (auto* box = qobject_cast<QComboBox*>(field)) {
            QStringList items;
            for (int i = 0; i < box->count(); ++i)
                items << box->itemText(i);
            EXPECT_EQ(items.join('|'), QString::fromUtf8(r.caption)) << r.name;
        }
    }
    EXPECT_EQ(w.window.PageControl1->tabText(0), "Czas i data");
    EXPECT_EQ(w.window.PageControl1->tabText(1), "Wyświetlanie czasu i daty");
    EXPECT_EQ(w.window.GroupBox1->title(), "Czas");
    EXPECT_EQ(w.window.GroupBox2->title(), "Data");
    EXPECT_TRUE(w.window.Edit3->isHidden());
    EXPECT_FALSE(w.window.Timer1->isActive());
    EXPECT_EQ(w.window.Timer1->interval(), 200);
    EXPECT_FALSE(w.window.ClockReadPending || w.window.DisplayReadPending);
    // The board takes every year as 20xx: no other can be chosen.
    EXPECT_EQ(w.window.MonthCalendar1->minimumDate(), QDate(2000, 1, 1));
    EXPECT_EQ(w.window.MonthCalendar1->maximumDate(), QDate(2099, 12, 31));
}

TEST(TfCzasData, ShowingFillsThePcTimeAndTheDisplaySettings) {
    CzasWorld w;
    w.at(14, 35, 59);
    w.image.SetReg(RegTimePosition, 212);
    w.image.SetReg(RegTimeFormat, 1);
    w.image.SetReg(RegDatePosition, 305);
    w.image.SetReg(RegDateFormat, 9); // no such format
    w.window.show();
    EXPECT_EQ(w.window.MonthCalendar1->text(), "2026-12-07");
    EXPECT_EQ(w.window.DateTimePicker1->text(), "14:35:59");
    EXPECT_EQ(w.window.Edit1->text(), "212");
    EXPECT_EQ(w.window.ComboBox1->currentIndex(), 1);
    EXPECT_EQ(w.window.Edit2->text(), "305");
    EXPECT_EQ(w.window.ComboBox2->currentIndex(), -1);
    w.window.BitBtn4Click();
    EXPECT_FALSE(w.window.isVisible());
    EXPECT_EQ(w.image.Reg(RegDateFormat), 9) << "a format no item shows is kept";
    EXPECT_TRUE(w.dialogs.boxes.empty());
}

// "Zapisz do KX9" takes the chosen date and time, "Synchronizuj" the PC's: both agree.
struct EncodeRow {
    QDate date;
    QTime time;
    std::vector<int> regs;
};

class CzasdataEncoding : public ::testing::TestWithParam<EncodeRow> {};

TEST_P(CzasdataEncoding, ChosenAndPcClockGiveTheSameRegisters) {
    const EncodeRow& row = GetParam();
    for (const bool fromPc : {false, true}) {
        CzasWorld w;
        w.window.show();
        if (fromPc) {
            w.clock.current = QDateTime(row.date, row.time);
            w.window.BitBtn3Click();
        } else {
            w.window.MonthCalendar1->setDate(row.date);
            w.window.DateTimePicker1->setTime(row.time);
            w.window.BitBtn2Click();
        }
        EXPECT_TRUE(w.progress.shown);
        w.RunUntilIdle();
        const std::vector<int32_t> sent(row.regs.begin(), row.regs.end());
        EXPECT_EQ(w.board.Requests(), Frames{WriteFrame(RegClockTime, sent)}) << fromPc;
        EXPECT_EQ(w.boardClock(), row.regs) << fromPc;
        EXPECT_FALSE(w.progress.shown);
        EXPECT_TRUE(w.dialogs.boxes.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(TfCzasData, CzasdataEncoding,
                         ::testing::Values(EncodeRow{QDate(2026, 12, 7), QTime(14, 35, 59), {1435, 26, 1207}},
                                           EncodeRow{QDate(2000, 1, 1), QTime(0, 0, 0), {0, 0, 101}},
                                           EncodeRow{QDate(2099, 12, 31), QTime(23, 59, 30), {2359, 99, 1231}},
                                           EncodeRow{QDate(2044, 2, 29), QTime(9, 5, 1), {905, 44, 229}}));

// What a clock read shows; registers that form no date or time leave the controls alone.
struct DecodeRow {
    std::vector<int> regs;
    const char* date; // empty: refused
    const char* time;
};

class CzasdataClockRead : public ::testing::TestWithParam<DecodeRow> {};

TEST_P(CzasdataClockRead, ShowsTheBoardClockOnceTheReadIsOver) {
    const DecodeRow& row = GetParam();
    CzasWorld w;
    for (int i = 0; i < 3; ++i)
        w.board.SetHolding(RegClockTime + i, uint16_t(row.regs[size_t(i)]));
    w.at(10, 20, 30);
    w.window.show();
    w.window.BitBtn1Click();
    EXPECT_TRUE(w.window.ClockReadPending);
    w.window.FormActivate(); // the operator clicks the window while the reply is awaited
    EXPECT_TRUE(w.window.ClockReadPending);
    EXPECT_EQ(w.window.DateTimePicker1->text(), "10:20:30");
    w.RunUntilIdle();
    w.window.FormActivate();
    EXPECT_FALSE(w.window.ClockReadPending);
    EXPECT_EQ(w.board.Requests(), Frames{ReadFrame(RegClockTime, 3)});
    const bool valid = *row.date != 0;
    EXPECT_EQ(w.window.MonthCalendar1->text(), valid ? row.date : "2026-12-07");
    EXPECT_EQ(w.window.DateTimePicker1->text(), valid ? row.time : "10:20:30");
    if (valid) {
        EXPECT_TRUE(w.dialogs.boxes.empty());
    } else {
        ASSERT_EQ(w.dialogs.boxes.size(), 1u);
        EXPECT_EQ(w.dialogs.boxes[0].text, BadClock);
        EXPECT_EQ(w.dialogs.boxes[0].title, "Błąd");
        EXPECT_EQ(w.dialogs.boxes[0].icon, MsgIcon::Error);
    }
}

INSTANTIATE_TEST_SUITE_P(TfCzasData, CzasdataClockRead,
                         ::testing::Values(DecodeRow{{905, 3, 101}, "2003-01-01", "09:05:00"},
                                           DecodeRow{{0, 0, 101}, "2000-01-01", "00:00:00"},
                                           DecodeRow{{2359, 99, 1231}, "2099-12-31", "23:59:00"},
                                           DecodeRow{{905, 3, 1332}, "", ""}, DecodeRow{{2575, 3, 101}, "", ""},
                                           DecodeRow{{905, 3, 230}, "", ""}, DecodeRow{{2400, 3, 101}, "", ""},
                                           DecodeRow{{905, 100, 101}, "", ""}, DecodeRow{{905, 3, 0}, "", ""}));

// Positions on "Zapisz do KX9" of the display tab, or on closing the window.
struct PositionRow {
    const char* time;
    const char* date;
    bool close;
    int timeReg; // what registers 4023 and 4025 hold afterwards (202 and 303 before)
    int dateReg;
    const QString* box;
};

class CzasdataPositions : public ::testing::TestWithParam<PositionRow> {};

TEST_P(CzasdataPositions, OnlyZeroOr101To529AreStored) {
    const PositionRow& row = GetParam();
    CzasWorld w;
    w.image.SetReg(RegTimePosition, 202);
    w.image.SetReg(RegDatePosition, 303);
    w.window.show();
    w.window.ComboBox1->setCurrentIndex(1);
    w.window.ComboBox2->setCurrentIndex(3);
    w.window.Edit1->setText(QString::fromUtf8(row.time));
    w.window.Edit2->setText(QString::fromUtf8(row.date));
    if (row.close)
        w.window.BitBtn4Click();
    else
        w.window.BitBtn6Click();
    w.RunUntilIdle();
    EXPECT_EQ(w.window.isVisible(), !row.close);
    EXPECT_EQ(w.image.Reg(RegTimePosition), row.timeReg);
    EXPECT_EQ(w.image.Reg(RegDatePosition), row.dateReg);
    EXPECT_EQ(w.image.Reg(RegTimeFormat), 1);
    EXPECT_EQ(w.image.Reg(RegDateFormat), 3);
    if (!row.box) {
        EXPECT_TRUE(w.dialogs.boxes.empty());
    } else {
        ASSERT_EQ(w.dialogs.boxes.size(), 1u);
        EXPECT_EQ(w.dialogs.boxes[0].text, *row.box);
        EXPECT_EQ(w.dialogs.boxes[0].title, "Błąd Adresu");
        EXPECT_EQ(w.dialogs.boxes[0].icon, MsgIcon::Error);
    }
    const bool sent = !row.close && !row.box;
    EXPECT_EQ(w.board.Requests(), sent ? Frames{WriteFrame(RegTimePosition, {row.timeReg, 1, row.dateReg, 3})}
                                       : Frames{});
    if (sent) {
        EXPECT_EQ(w.board.Holding(RegTimePosition), row.timeReg);
        EXPECT_EQ(w.board.Holding(RegDateFormat), 3);
    }
    if (!row.close) {
        EXPECT_EQ(w.window.Edit1->text(), QString::fromUtf8(row.time)) << "refused typing stays";
    }
}

INSTANTIATE_TEST_SUITE_P(
    TfCzasData, CzasdataPositions,
    ::testing::Values(PositionRow{"0", "529", false, 0, 529, nullptr}, PositionRow{"101", "150", false, 101, 150, nullptr},
                      PositionRow{" 529", "0", true, 529, 0, nullptr}, PositionRow{"100", "0", false, 202, 303, &TimeRefused},
                      PositionRow{"530", "0", false, 202, 303, &TimeRefused}, PositionRow{"-1", "0", false, 202, 303, &TimeRefused},
                      PositionRow{"abc", "0", false, 202, 303, &TimeRefused}, PositionRow{"", "0", false, 202, 303, &TimeRefused},
                      PositionRow{"101", "100", false, 101, 303, &DateRefused},
                      PositionRow{"101", "1x", false, 101, 303, &DateRefused},
                      PositionRow{"100", "200", true, 202, 303, &TimeRefused}));

// "Synchronizuj Sek": counts down and sends the PC clock at the next full minute.
struct SyncRow {
    bool hidden;   // the window is closed while it waits
    bool busy;     // another transfer runs at the full minute
};

class CzasdataSync : public ::testing::TestWithParam<SyncRow> {};

TEST_P(CzasdataSync, SendsThePcClockAtSecondZero) {
    const SyncRow& row = GetParam();
    CzasWorld w;
    w.window.show();
    w.at(14, 35, 43);
    w.window.BitBtn7Click();
    EXPECT_FALSE(w.window.Edit3->isHidden());
    EXPECT_EQ(w.window.Edit3->text(), "Pozostało: 17 s");
    EXPECT_TRUE(w.window.Timer1->isActive());
    w.tick(14, 35, 44);
    EXPECT_EQ(w.window.Edit3->text(), "Pozostało: 16 s");
    if (row.hidden) {
        w.window.BitBtn4Click();
        EXPECT_TRUE(w.window.Edit3->isHidden());
    }
    w.tick(14, 35, 59);
    EXPECT_EQ(w.window.Edit3->text(), "Pozostało: 1 s");
    Frames expected;
    int minute = 36;
    if (row.busy) {
        ASSERT_TRUE(w.transfers.Single(Transfers::Kind::Read, RegDayBrightness, 1));
        expected.push_back(ReadFrame(RegDayBrightness, 1));
        w.tick(14, 36, 0);
        EXPECT_EQ(w.window.Edit3->text(), "Pozostało: 60 s");
        EXPECT_TRUE(w.window.Timer1->isActive());
        EXPECT_EQ(w.board.Requests(), expected);
        w.RunUntilIdle();
        w.tick(14, 36, 1);
        EXPECT_EQ(w.window.Edit3->text(), "Pozostało: 59 s");
        minute = 37;
    }
    EXPECT_TRUE(w.dialogs.boxes.empty());
    w.tick(14, minute, 0);
    EXPECT_FALSE(w.window.Timer1->isActive());
    EXPECT_TRUE(w.window.Edit3->isHidden());
    EXPECT_TRUE(w.progress.shown);
    w.RunUntilIdle();
    expected.push_back(WriteFrame(RegClockTime, {1400 + minute, 26, 1207}));
    EXPECT_EQ(w.board.Requests(), expected);
    EXPECT_EQ(w.boardClock(), (std::vector<int>{1400 + minute, 26, 1207}));
    EXPECT_TRUE(w.dialogs.boxes.empty());
    EXPECT_FALSE(w.progress.shown);
    // Shown again after it went out: nothing is pending any more.
    w.window.show();
    EXPECT_TRUE(w.window.Edit3->isHidden());
}

INSTANTIATE_TEST_SUITE_P(TfCzasData, CzasdataSync,
                         ::testing::Values(SyncRow{false, false}, SyncRow{true, false}, SyncRow{false, true},
                                           SyncRow{true, true}));

TEST(TfCzasData, ReopeningWhileASyncWaitsShowsTheCountdownAgain) {
    CzasWorld w;
    w.window.show();
    w.at(14, 35, 50);
    w.window.BitBtn7Click();
    w.window.BitBtn4Click();
    w.window.show();
    EXPECT_FALSE(w.window.Edit3->isHidden());
}

TEST(TfCzasData, DisplayReadShowsTheBoardAfterTheTransferAndTypingSurvivesOtherwise) {
    CzasWorld w;
    const uint16_t onBoard[] = {212, 1, 305, 2};
    for (int i = 0; i < 4; ++i)
        w.board.SetHolding(RegTimePosition + i, onBoard[i]);
    w.window.show();
    w.window.Edit1->setText("999");
    w.window.FormActivate();
    EXPECT_EQ(w.window.Edit1->text(), "999") << "nothing changed under the window";
    w.window.BitBtn5Click();
    w.window.FormActivate();
    EXPECT_EQ(w.window.Edit1->text(), "999") << "the reply is still awaited";
    EXPECT_TRUE(w.window.DisplayReadPending);
    w.RunUntilIdle();
    QEvent activate(QEvent::WindowActivate); // as the progress window hands the focus back
    QApplication::sendEvent(&w.window, &activate);
    EXPECT_FALSE(w.window.DisplayReadPending);
    EXPECT_EQ(w.board.Requests(), Frames{ReadFrame(RegTimePosition, 4)});
    EXPECT_EQ(w.window.Edit1->text(), "212");
    EXPECT_EQ(w.window.ComboBox1->currentIndex(), 1);
    EXPECT_EQ(w.window.Edit2->text(), "305");
    EXPECT_EQ(w.window.ComboBox2->currentIndex(), 2);
}

// Every transfer button when the port cannot be opened, and while another transfer runs.
using Handler = void (TfCzasData::*)();
struct RefusalRow {
    Handler click;
    bool busy;
};

class CzasdataRefusals : public ::testing::TestWithParam<RefusalRow> {};

TEST_P(CzasdataRefusals, NothingGoesOutAndNoProgressStaysBehind) {
    const RefusalRow& row = GetParam();
    CzasWorld w;
    w.window.show();
    Frames expected;
    if (row.busy) {
        ASSERT_TRUE(w.transfers.Single(Transfers::Kind::Read, RegDayBrightness, 1));
        expected.push_back(ReadFrame(RegDayBrightness, 1));
    } else {
        w.port.SetMissing(QStringLiteral("COM1"));
    }
    (w.window.*row.click)();
    if (row.busy) {
        EXPECT_EQ(w.dialogs.Texts(), std::vector<QString>{Refusal});
        EXPECT_TRUE(w.progress.values.empty());
        EXPECT_FALSE(w.window.ClockReadPending || w.window.DisplayReadPending);
    } else {
        ASSERT_FALSE(w.dialogs.boxes.empty());
        EXPECT_EQ(w.dialogs.boxes[0].title, "Błąd otwarcia portu");
    }
    w.RunUntilIdle();
    EXPECT_FALSE(w.progress.shown);
    EXPECT_EQ(w.board.Requests(), expected);
}

INSTANTIATE_TEST_SUITE_P(TfCzasData, CzasdataRefusals, ::testing::ValuesIn([] {
                             std::vector<RefusalRow> rows;
                             for (Handler h : {&TfCzasData::BitBtn1Click, &TfCzasData::BitBtn2Click,
                                               &TfCzasData::BitBtn3Click, &TfCzasData::BitBtn5Click,
                                               &TfCzasData::BitBtn6Click})
                                 for (bool busy : {false, true})
                                     rows.push_back({h, busy});
                             return rows;
                         }()));

} // namespace
} // namespace kx9
