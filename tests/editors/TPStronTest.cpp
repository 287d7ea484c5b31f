// SPDX-License-Identifier: MIT
#include "common/TestWorld.h"
#include "config/Cp1250.h"
#include "editors/Edytor_stron.h"

#include <QTest>
#include <cstring>
#include <gtest/gtest.h>

namespace kx9 {
namespace {

// One program world around the in-process board: ticks are fired by hand.
struct PagesWorld : test::BoardWorld {
    TPStron window{transfers, ops};

    PagesWorld() { program.image.ResetImage(clock.now()); }

    ConfigImage& image() { return program.image; }
    Scheduler& scheduler() { return program.scheduler; }

    template <class T> T* control(const char* name) {
        T* found = window.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QLineEdit* line(int i) { return window.LineFields[static_cast<size_t>(i)]; }

    // Types any text key by key (Qt Test's own typing knows only ASCII).
    static void type(QWidget* widget, const QString& text) {
        for (QChar c : text)
            QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }

    void select(int page) { window.TreeView1->setCurrentItem(window.PageNode(page)); }

    // Writes `text` (Latin-1 test text) as line `row` of a page laid out 20 characters a line.
    void putLine(int page, int row, const char* text) {
        auto& bytes = image().pages[static_cast<size_t>(page)];
        std::memcpy(bytes.data() + row * 20, text, std::strlen(text));
    }
    QByteArray pageBytes(int page, int from, int count) {
        const auto& bytes = image().pages[static_cast<size_t>(page)];
        return QByteArray(reinterpret_cast<const char*>(bytes.data()) + from, count);
    }

    // Fires the scheduler's timers until nothing is left to do.
    void runUntilIdle() { RunUntilIdle(); }
    // The one write request of `reg` the board took, as "register=value"; empty when none.
    std::vector<std::pair<int, int>> writes() {
        std::vector<std::pair<int, int>> found;
        for (const QByteArray& r : board.Requests())
            if (r.size() >= 9 && uint8_t(r[1]) == 16)
                found.push_back({uint8_t(r[2]) * 256 + uint8_t(r[3]), uint8_t(r[7]) * 256 + uint8_t(r[8])});
        return found;
    }
    std::vector<QString> boxTexts() const { return dialogs.Texts(); }
};

const QString Over200 = QStringLiteral(
    "Nieprawidłowa liczba znaków. Całkowita liczba znaków nie może przekraczać 200 znaków/strone.");
const QString Shorter =
    QStringLiteral("Nieprawidłowa liczba znaków. Uwaga liczba znaków jest mniejsza od rozmiaru tablicy.");
const QString BadSize = QStringLiteral(
    "Nieprawidłowy rozmiar tablicy. Zdefiniuj rozmiar tablicy jako wiersz*100 + liczba znaków w wierszu.");

TEST(TPStron, FirstShowFillsPageZeroWithoutSelectionAndTypingGoesToPageZero) {
    PagesWorld w;
    w.putLine(0, 0, "Start");
    w.window.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w.window));
    EXPECT_EQ(w.control<QLineEdit>("Edit2")->text(), "Start");
    EXPECT_TRUE(w.window.TreeView1->selectedItems().isEmpty());
    EXPECT_EQ(w.window.CurrentPage, 0);
    EXPECT_EQ(w.window.StatusPanel1->text(), "Maksymalna liczba znaków w wierszu: 20");

    QTest::keyClicks(w.line(1), "Druga");
    w.select(3);
    EXPECT_EQ(w.pageBytes(0, 20, 6), QByteArray("Druga\0", 6));
    EXPECT_EQ(w.window.CurrentPage, 3);
    w.window.hide();
}

struct StatusRow {
    int page;
    const char* text;
    bool occasional;
};
class TPStronStatus : public ::testing::TestWithParam<StatusRow> {};

TEST_P(TPStronStatus, SelectingAPageNamesItsKind) {
    PagesWorld w;
    w.select(GetParam().page);
    EXPECT_EQ(w.window.StatusPanel0->text(), QString::fromUtf8(GetParam().text));
    EXPECT_EQ(w.control<QGroupBox>("GroupBox1")->isHidden(), !GetParam().occasional);
    EXPECT_EQ(w.window.CurrentPage, GetParam().page);
}

INSTANTIATE_TEST_SUITE_P(Pages, TPStronStatus,
                         ::testing::Values(StatusRow{5, "Tablica pamięci RAM nr: 5", false},
                                           StatusRow{105, "Tablica pamięci EEPROM nr: 105", false},
                                           StatusRow{110, "Tablica okolicznościowa nr: 110", true}));

TEST(TPStron, HeadingStoresEmptiesAndDisablesTheLines) {
    PagesWorld w;
    w.select(2);
    w.line(0)->setText("Tekst");
    w.window.TreeView1->setCurrentItem(w.window.HeadingNode(1));
    EXPECT_EQ(w.window.StatusPanel0->text(), "Nie wybrano tablicy");
    EXPECT_EQ(w.window.CurrentPage, -1);
    EXPECT_EQ(w.pageBytes(2, 0, 5), "Tekst");
    for (QLineEdit* field : w.window.LineFields) {
        EXPECT_TRUE(field->text().isEmpty());
        EXPECT_FALSE(field->isEnabled());
    }
    // Nothing is stored while no page is selected.
    w.line(0)->setText("X");
    w.window.StoreShownPage();
    w.select(2);
    EXPECT_EQ(w.line(0)->text(), "Tekst");
}

TEST(TPStron, LineFieldsTakeLineLengthAndRefuseForeignCharacters) {
    PagesWorld w;
    w.window.FormActivate();
    w.select(1);
    QTest::keyClicks(w.line(0), "abcdefghijklmnopqrstuvwxy");
    EXPECT_EQ(w.line(0)->text(), "abcdefghijklmnopqrst");

    // Neither a character Windows-1250 lacks nor one the board would bring back as a Polish
    // letter ("€" as "Ą") is taken; Ś and Ź, whose codes lie among those, are.
    PagesWorld::type(w.line(1), QStringLiteral("aжę€„…†‡‰Š‹ŤŽ‘ŚŹb"));
    EXPECT_EQ(w.line(1)->text(), QStringLiteral("aęŚŹb"));
    w.line(2)->insert(QStringLiteral("Zażółć ж"));
    EXPECT_TRUE(w.line(2)->text().isEmpty());
    w.line(2)->insert(QStringLiteral("Zażółć"));
    EXPECT_EQ(w.line(2)->text(), QStringLiteral("Zażółć"));
    w.select(4);
    EXPECT_EQ(w.pageBytes(1, 40, 6), *cp1250::FromUnicode(QStringLiteral("Zażółć")));
}

TEST(TPStron, TwoRowsKeepLinesThreeToFiveOutOfThePage) {
    PagesWorld w;
    w.image().SetReg(RegBoardSize, 111); // 2 lines of 16
    w.putLine(6, 2, "Ukryta");
    w.window.FormActivate();
    w.select(5);
    EXPECT_TRUE(w.line(1)->isEnabled());
    EXPECT_FALSE(w.line(2)->isEnabled());
    w.line(0)->setText("Jeden");
    w.line(2)->setText("Trzecia");
    w.line(4)->setText("Piata");
    w.select(6);
    EXPECT_EQ(w.pageBytes(5, 0, 5), "Jeden");
    EXPECT_EQ(w.pageBytes(5, 40, 160), QByteArray(160, '\0'));
    EXPECT_EQ(w.line(2)->text(), "Trzecia"); // not loaded from page 6 either
}

TEST(TPStron, OccasionalPageWithoutDateKeepsTimesAndSwitchingOffClearsTheDate) {
    PagesWorld w;
    w.image().SetReg(RegOccasionalDate + 1, 0);
    w.image().SetReg(RegOccasionalStart + 1, 805);
    w.image().SetReg(RegOccasionalEnd + 1, 1730);
    w.image().SetReg(RegOccasionalDate + 2, 1015);
    w.image().SetReg(RegOccasionalStart + 2, 900);
    w.image().SetReg(RegOccasionalEnd + 2, 1000);

    w.select(111);
    EXPECT_FALSE(w.window.CheckBox2->isChecked());
    EXPECT_FALSE(w.window.DateTimePicker1->isEnabled());
    EXPECT_FALSE(w.window.DateTimePicker3->isEnabled());
    EXPECT_EQ(w.window.DateTimePicker2->time(), QTime(8, 5));
    EXPECT_EQ(w.window.DateTimePicker3->time(), QTime(17, 30));

    w.select(112);
    EXPECT_TRUE(w.window.CheckBox2->isChecked());
    EXPECT_TRUE(w.window.DateTimePicker1->isEnabled());
    EXPECT_EQ(w.window.DateTimePicker1->date(), QDate(2003, 10, 15));
    w.window.CheckBox2->setChecked(false);
    EXPECT_FALSE(w.window.DateTimePicker2->isEnabled());
    w.select(5);
    EXPECT_EQ(w.image().Reg(RegOccasionalDate + 2), 0);
    EXPECT_EQ(w.image().Reg(RegOccasionalStart + 2), 900);
    EXPECT_EQ(w.image().Reg(RegOccasionalEnd + 2), 1000);

    // Switching on stores the pickers, seconds and year dropped.
    w.select(111);
    w.window.CheckBox2->setChecked(true);
    w.window.DateTimePicker1->setDate(QDate(2020, 3, 7));
    w.window.DateTimePicker2->setTime(QTime(6, 45, 30));
    w.window.TreeView1->setCurrentItem(w.window.HeadingNode(0));
    EXPECT_EQ(w.image().Reg(RegOccasionalDate + 1), 307);
    EXPECT_EQ(w.image().Reg(RegOccasionalStart + 1), 645);
    EXPECT_EQ(w.image().Reg(RegOccasionalEnd + 1), 1730);
}

TEST(TPStron, ScheduleValuesNoPickerCanShowSurviveUntilChanged) {
    PagesWorld w;
    w.image().SetReg(RegOccasionalDate, 1340);
    w.image().SetReg(RegOccasionalStart, 2575);
    w.image().SetReg(RegOccasionalEnd, 1200);
    w.select(110);
    EXPECT_TRUE(w.window.DateTimePicker2->time().isValid());
    w.select(1);
    EXPECT_EQ(w.image().Reg(RegOccasionalDate), 1340);
    EXPECT_EQ(w.image().Reg(RegOccasionalStart), 2575);
    w.select(110);
    w.window.DateTimePicker2->setTime(QTime(7, 0));
    w.select(1);
    EXPECT_EQ(w.image().Reg(RegOccasionalStart), 700);
    EXPECT_EQ(w.image().Reg(RegOccasionalDate), 1340);
}

TEST(TPStron, ActivationReloadsTheScheduleOfTheSelectedOccasionalPage) {
    PagesWorld w;
    w.image().SetReg(RegOccasionalDate + 3, 0);
    w.select(113);
    // A file load or a read changes the schedule under the open window.
    w.image().SetReg(RegOccasionalDate + 3, 1224);
    w.image().SetReg(RegOccasionalStart + 3, 1800);
    w.window.FormActivate();
    EXPECT_TRUE(w.window.CheckBox2->isChecked());
    EXPECT_EQ(w.window.DateTimePicker2->time(), QTime(18, 0));
    w.select(0);
    EXPECT_EQ(w.image().Reg(RegOccasionalDate + 3), 1224);
    EXPECT_EQ(w.image().Reg(RegOccasionalStart + 3), 1800);
}

TEST(TPStron, ActivationKeepsScheduleEditsWhenTheRegistersDidNotChange) {
    // A page write re-activates the window when its progress window hides; the schedule
    // edited before it must survive until the page is left.
    PagesWorld w;
    w.image().SetReg(RegOccasionalDate + 1, 1015);
    w.image().SetReg(RegOccasionalStart + 1, 800);
    w.select(111);
    w.window.DateTimePicker2->setTime(QTime(9, 30));
    w.window.FormActivate();
    EXPECT_EQ(w.window.DateTimePicker2->time(), QTime(9, 30));
    w.select(0);
    EXPECT_EQ(w.image().Reg(RegOccasionalStart + 1), 930);
}

TEST(TPStron, ActivationRefreshesWhatChangedAndKeepsUnstoredTyping) {
    PagesWorld w;
    w.putLine(8, 0, "Zapisane");
    w.select(8);
    w.line(0)->setText("Wpisane");
    w.image().SetReg(RegOccasionalAllowed, 1);
    w.image().SetReg(RegDoubleHeight, 3);
    w.image().SetReg(RegActivePage, 42);
    w.window.FormActivate();
    EXPECT_EQ(w.line(0)->text(), "Wpisane"); // the page did not change under the field
    w.image().MarkPage(8);                   // as a read or a file load would
    w.window.FormActivate();
    EXPECT_EQ(w.line(0)->text(), "Zapisane");
    EXPECT_TRUE(w.window.CheckBox1->isChecked());
    EXPECT_TRUE(w.window.CheckBox4->isChecked());
    EXPECT_EQ(w.window.Edit1->text(), "42");
    EXPECT_EQ(w.window.Edit7->text(), "520");
    EXPECT_EQ(w.window.Edit8->text(), "20");

    w.window.CheckBox1->setChecked(false);
    w.window.CheckBox4->setChecked(false);
    EXPECT_EQ(w.image().Reg(RegOccasionalAllowed), 0);
    EXPECT_EQ(w.image().Reg(RegDoubleHeight), 0);
}

TEST(TPStron, TreeLabelsFollowTheNamesBothWays) {
    PagesWorld w;
    std::array<QByteArray, PageCount> names;
    for (int p = 0; p < PageCount; ++p)
        names[static_cast<size_t>(p)] = "N" + QByteArray::number(p);
    names[7] = *cp1250::FromUnicode(QStringLiteral("Żółw"));
    ASSERT_FALSE(w.window.isVisible());
    w.image().SetPageNames(names);
    EXPECT_EQ(w.window.PageNode(7)->text(0), QStringLiteral("Żółw"));
    EXPECT_EQ(w.window.PageNode(114)->text(0), "N114");

    w.window.PageNode(3)->setText(0, QStringLiteral("Święta"));
    EXPECT_EQ(w.image().PageName(3), *cp1250::FromUnicode(QStringLiteral("Święta")));
    w.window.PageNode(3)->setText(0, QStringLiteral("Ёлка"));
    EXPECT_EQ(w.window.PageNode(3)->text(0), QStringLiteral("Święta"));
    EXPECT_EQ(w.image().PageName(3), *cp1250::FromUnicode(QStringLiteral("Święta")));
}

class TPStronBadActivePage : public ::testing::TestWithParam<const char*> {};

TEST_P(TPStronBadActivePage, IsRefusedAndNothingIsSent) {
    PagesWorld w;
    w.image().SetReg(RegActivePage, 9);
    w.window.Edit1->setText(QString::fromLatin1(GetParam()));
    w.window.BitBtn5Click();
    ASSERT_EQ(w.dialogs.boxes.size(), 1u);
    EXPECT_EQ(w.dialogs.boxes[0].text,
              "Nieprawidłowa strona. Wpisz wartość z przedziału od 0 do 124 i spróbuj ponownie.");
    EXPECT_EQ(w.dialogs.boxes[0].title, "Błąd numeru strony");
    EXPECT_EQ(w.dialogs.boxes[0].icon, MsgIcon::Error);
    EXPECT_TRUE(w.board.Requests().empty());
    EXPECT_EQ(w.image().Reg(RegActivePage), 9);
}

INSTANTIATE_TEST_SUITE_P(Entries, TPStronBadActivePage, ::testing::Values("125", "-1", "abc", ""));

TEST(TPStron, ActivePageIsWrittenAndReadOnce) {
    PagesWorld w;
    w.window.Edit1->setText("124");
    w.control<QPushButton>("BitBtn5")->click();
    EXPECT_TRUE(w.progress.shown);
    w.runUntilIdle();
    EXPECT_EQ(w.writes(), (std::vector<std::pair<int, int>>{{RegActivePage, 124}}));
    EXPECT_EQ(w.board.Holding(RegActivePage), 124);
    EXPECT_FALSE(w.image().link.PortOpen);
    EXPECT_FALSE(w.progress.shown);

    w.board.SetHolding(RegActivePage, 17);
    w.window.BitBtn6Click();
    EXPECT_TRUE(w.window.ActiveReadPending);
    EXPECT_TRUE(w.window.Timer1->isActive());
    w.runUntilIdle();
    w.window.Timer1Timer();
    EXPECT_EQ(w.window.Edit1->text(), "17");
    EXPECT_FALSE(w.window.ActiveReadPending);
    EXPECT_FALSE(w.window.Timer1->isActive());
}

TEST(TPStron, ActiveReadWithoutAPortSaysSo) {
    PagesWorld w;
    w.port.SetMissing("COM1");
    w.window.RequestActivePage();
    ASSERT_FALSE(w.dialogs.boxes.empty());
    EXPECT_EQ(w.dialogs.boxes.back().text, "Błąd otwarcia");
    EXPECT_TRUE(w.dialogs.boxes.back().title.isEmpty());
    EXPECT_EQ(w.dialogs.boxes.back().icon, MsgIcon::None);
    EXPECT_TRUE(w.board.Requests().empty());
}

struct LineLengthRow {
    const char* typed;
    int boardSizeCode;
    std::vector<QString> boxes;
};
class TPStronLineLength : public ::testing::TestWithParam<LineLengthRow> {};

TEST_P(TPStronLineLength, RefusalShowsItsBoxesAndSendsNothing) {
    PagesWorld w;
    w.image().SetReg(RegBoardSize, GetParam().boardSizeCode);
    w.window.Edit8->setText(QString::fromLatin1(GetParam().typed));
    w.window.Button2Click();
    EXPECT_EQ(w.boxTexts(), GetParam().boxes);
    for (const auto& box : w.dialogs.boxes) {
        EXPECT_EQ(box.title, "Błąd liczby znaków");
        EXPECT_EQ(box.icon, MsgIcon::Error);
    }
    EXPECT_EQ(w.image().Reg(RegLineLength), 14);
    EXPECT_TRUE(w.board.Requests().empty());
}

INSTANTIATE_TEST_SUITE_P(Entries, TPStronLineLength,
                         ::testing::Values(LineLengthRow{"18", 414, {Over200}},
                                           LineLengthRow{"44", 414, {Over200, Over200}},
                                           LineLengthRow{"16", 414, {Shorter, Over200}},
                                           LineLengthRow{"x", 414, {Over200}}));

TEST(TPStron, NewLineLengthIsWrittenAndThePageLaidOutAgain) {
    PagesWorld w;
    w.image().SetReg(RegBoardSize, 111); // 2 x 16: a line of 16 fits
    w.window.FormActivate();
    w.select(0);
    w.line(0)->setText("abcdefghijklmnopqrst");
    w.window.Edit8->setText("16");
    w.window.Button2Click();
    EXPECT_TRUE(w.dialogs.boxes.empty());
    EXPECT_EQ(w.image().Reg(RegLineLength), 11);
    EXPECT_EQ(w.line(0)->maxLength(), 16);
    EXPECT_EQ(w.line(0)->text(), "abcdefghijklmnop");
    EXPECT_EQ(w.pageBytes(0, 0, 17), QByteArray("abcdefghijklmnop\0", 17));
    w.runUntilIdle();
    EXPECT_EQ(w.board.Holding(RegLineLength), 11);
}

TEST(TPStron, BoardSizeConfirmation) {
    PagesWorld w;
    w.select(4);
    w.window.Edit7->setText("216");
    w.line(0)->setText("Wpisane");
    w.dialogs.confirmAnswers = {false};
    w.window.Button4Click();
    ASSERT_EQ(w.dialogs.boxes.size(), 1u);
    EXPECT_TRUE(w.dialogs.boxes[0].confirmation);
    EXPECT_EQ(w.dialogs.boxes[0].title, "Zapisać rozmiar?");
    EXPECT_EQ(w.dialogs.boxes[0].text,
              "Uwaga: Zapis rozmiaru wymaga uprawnień serwisu.\nJeżeli nie masz tych "
              "uprawnień zapis nie powidzie się. \nKontynuować?");
    EXPECT_EQ(w.dialogs.boxes[0].icon, MsgIcon::Question);
    EXPECT_TRUE(w.board.Requests().empty());
    EXPECT_EQ(w.pageBytes(4, 0, 7), "Wpisane");
    EXPECT_EQ(w.line(0)->text(), "Wpisane");

    w.dialogs.boxes.clear();
    w.window.Edit7->setText("5x");
    w.window.Button4Click();
    EXPECT_EQ(w.boxTexts(), (std::vector<QString>{w.dialogs.boxes[0].text, BadSize, BadSize}));
    w.dialogs.boxes.clear();
    w.window.Edit7->setText("600");
    w.window.Button4Click();
    EXPECT_EQ(w.boxTexts(), (std::vector<QString>{w.dialogs.boxes[0].text, BadSize}));
    EXPECT_EQ(w.image().Reg(RegBoardSize), 414);
    EXPECT_TRUE(w.board.Requests().empty());

    w.dialogs.boxes.clear();
    w.window.Edit7->setText("216");
    w.line(0)->setText("Nowe"); // typed and not stored yet: survives the new geometry
    w.window.Button4Click();
    EXPECT_EQ(w.dialogs.boxes.size(), 1u);
    EXPECT_EQ(w.image().Reg(RegBoardSize), 111);
    w.runUntilIdle();
    EXPECT_EQ(w.writes(), (std::vector<std::pair<int, int>>{{RegBoardSize, 111}}));
    EXPECT_EQ(w.line(0)->text(), "Nowe");
    EXPECT_EQ(w.pageBytes(4, 0, 5), QByteArray("Nowe\0", 5));
}

TEST(TPStron, GeometryReadsFetchTheRegisterAndStoreThePage) {
    PagesWorld w;
    w.board.SetHolding(RegLineLength, 29);
    w.board.SetHolding(RegBoardSize, 111);
    w.select(9);
    w.line(0)->setText("Tekst");
    w.window.Button1Click();
    w.runUntilIdle();
    w.window.Button3Click();
    w.runUntilIdle();
    EXPECT_EQ(w.pageBytes(9, 0, 5), "Tekst");
    EXPECT_EQ(w.image().Reg(RegLineLength), 29);
    EXPECT_EQ(w.image().Reg(RegBoardSize), 111);
    w.window.FormActivate();
    EXPECT_EQ(w.window.Edit8->text(), "40");
    EXPECT_EQ(w.window.Edit7->text(), "216");
}

TEST(TPStron, TrackingShowsTheBoardPageButNeverStoresItIntoTheSelectedOne) {
    PagesWorld w;
    w.putLine(0, 0, "Wybrana");
    w.putLine(7, 0, "Tablica");
    w.board.SetHolding(RegActivePage, 7);
    w.window.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w.window));
    w.select(0);
    w.window.CheckBox3->setChecked(true);
    EXPECT_FALSE(w.window.TreeView1->isEnabled());
    EXPECT_TRUE(w.window.Timer1->isActive());

    w.window.Timer1Timer(); // asks
    w.scheduler().TestOdpowiedziTimer();
    w.window.Timer1Timer(); // shows
    EXPECT_EQ(w.window.Edit1->text(), "7");
    EXPECT_EQ(w.line(0)->text(), "Tablica");
    EXPECT_EQ(w.window.CurrentPage, 0);

    w.window.StoreShownPage();
    w.window.Button3Click();
    EXPECT_EQ(w.pageBytes(0, 0, 8), QByteArray("Wybrana\0", 8));
    w.window.Timer1Timer();
    w.window.hide();
    EXPECT_FALSE(w.window.CheckBox3->isChecked());
    EXPECT_FALSE(w.window.Timer1->isActive());
    EXPECT_TRUE(w.window.TreeView1->isEnabled());
    EXPECT_EQ(w.line(0)->text(), "Wybrana");
    EXPECT_EQ(w.pageBytes(0, 0, 8), QByteArray("Wybrana\0", 8));
    EXPECT_EQ(w.pageBytes(7, 0, 8), QByteArray("Tablica\0", 8));
    EXPECT_FALSE(w.image().link.PortOpen);
    EXPECT_EQ(w.clock.pauses.back(), 300);
}

TEST(TPStron, TransferErrorStopsTracking) {
    PagesWorld w;
    w.window.CheckBox3->setChecked(true);
    ASSERT_TRUE(w.window.Timer1->isActive());
    w.scheduler().TimeOutTimer(); // a request of the tracking went unanswered
    w.window.Timer1Timer();
    EXPECT_FALSE(w.window.CheckBox3->isChecked());
    EXPECT_TRUE(w.window.TreeView1->isEnabled());
    EXPECT_FALSE(w.window.Timer1->isActive());
    EXPECT_FALSE(w.window.ActiveReadPending);
}

TEST(TPStron, SingleReadDuringTrackingKeepsTracking) {
    PagesWorld w;
    w.window.CheckBox3->setChecked(true);
    w.window.BitBtn6Click();
    w.scheduler().TestOdpowiedziTimer();
    w.window.Timer1Timer();
    EXPECT_FALSE(w.window.ActiveReadPending);
    EXPECT_TRUE(w.window.CheckBox3->isChecked());
    EXPECT_TRUE(w.window.Timer1->isActive());
    w.window.CheckBox3->setChecked(false);
    EXPECT_FALSE(w.window.Timer1->isActive());
}

TEST(TPStron, TrackingSkipsItsTickWhileAnotherTransferRuns) {
    PagesWorld w;
    w.window.CheckBox3->setChecked(true);
    ASSERT_TRUE(w.ops.StartConfigRead());
    for (const char* what : {"reply awaited", "job between its requests"}) {
        SCOPED_TRACE(what);
        const size_t sent = w.board.Requests().size();
        w.window.Timer1Timer();
        EXPECT_EQ(w.board.Requests().size(), sent);
        EXPECT_TRUE(w.window.CheckBox3->isChecked());
        w.scheduler().TestOdpowiedziTimer(); // the read's reply is in, its job goes on
    }
    EXPECT_TRUE(w.dialogs.boxes.empty());
}

TEST(TPStron, SingleReadTakenUpElsewhereStopsTheTimer) {
    // The presentation preview clears the same pending flag; without tracking the timer
    // must not go on polling the board.
    PagesWorld w;
    w.window.BitBtn6Click();
    w.scheduler().TestOdpowiedziTimer();
    w.window.ActiveReadPending = false;
    const size_t sent = w.board.Requests().size();
    w.window.Timer1Timer();
    EXPECT_FALSE(w.window.Timer1->isActive());
    EXPECT_EQ(w.board.Requests().size(), sent);
}

TEST(TPStron, TrackingWithoutAPortNeverStarts) {
    PagesWorld w;
    w.port.SetMissing("COM1");
    w.window.CheckBox3->setChecked(true);
    EXPECT_FALSE(w.window.CheckBox3->isChecked());
    EXPECT_FALSE(w.window.Timer1->isActive());
    EXPECT_TRUE(w.window.TreeView1->isEnabled());
}

TEST(TPStron, PolishLettersSurviveAPageWriteAndRead) {
    PagesWorld w;
    const QString text = QStringLiteral("Zażółć gęślą jaźń");
    w.window.FormActivate();
    w.select(0);
    w.line(0)->setText(text);
    w.line(4)->setText(QStringLiteral("ĄĆĘŁŃÓŚŹŻ"));
    w.window.BitBtn2Click();
    w.runUntilIdle();
    EXPECT_EQ(w.board.Page(0)[0], 'Z');
    EXPECT_EQ(w.board.Page(0)[2], 145);  // ż in the board's codes
    EXPECT_EQ(w.board.Page(0)[80], 128); // Ą

    w.image().pages[0].fill(0);
    w.window.BitBtn1Click();
    w.runUntilIdle();
    w.window.FormActivate();
    EXPECT_EQ(w.line(0)->text(), text);
    EXPECT_EQ(w.line(4)->text(), QStringLiteral("ĄĆĘŁŃÓŚŹŻ"));
    EXPECT_TRUE(w.dialogs.boxes.empty());
}

TEST(TPStron, ButtonsShowTheOtherWindows) {
    PagesWorld w;
    QDialog scrolling;
    QDialog graphics;
    w.window.SetWindows(&scrolling, &graphics);
    EXPECT_EQ(w.window.BitBtn4->text(), "Przewijanie ");
    EXPECT_EQ(w.window.Button1->text(), "Odczytaj ");
    w.window.BitBtn4->click();
    EXPECT_TRUE(scrolling.isVisible());
    w.window.BitBtn7->click();
    EXPECT_TRUE(graphics.isVisible());
    w.window.SetWindows(nullptr, nullptr);
    w.window.BitBtn4Click(); // no window yet: nothing happens
}

} // namespace
} // namespace kx9

namespace kx9 {
namespace {

TEST(TPStron, ButtonDuringAMainWindowJobIsRefusedAndSendsNothing) {
    PagesWorld w;
    ASSERT_TRUE(w.ops.StartConfigRead());
    const size_t sent = w.board.Requests().size();
    w.window.Edit1->setText("5");
    for (QPushButton* button : {w.window.BitBtn5, w.window.BitBtn6, w.window.Button1, w.window.Button3}) {
        SCOPED_TRACE(button->objectName().toStdString());
        const size_t boxes = w.dialogs.boxes.size();
        button->click();
        ASSERT_EQ(w.dialogs.boxes.size(), boxes + 1);
        EXPECT_EQ(w.dialogs.boxes.back().text,
                  "Trwa transmisja danych. Poczekaj na jej zakończenie i spróbuj ponownie.");
        EXPECT_EQ(w.board.Requests().size(), sent);
    }
    EXPECT_FALSE(w.window.ActiveReadPending);
}

TEST(TPStron, TypingSurvivesTheMessageBoxWhileAWholeReadStillRefreshes) {
    PagesWorld w;
    w.window.FormActivate();
    w.select(3);
    w.line(0)->setText("Wpisane");
    w.window.Edit1->setText("125");
    w.window.BitBtn5Click(); // refused with its box
    w.window.FormActivate(); // the box has closed and the window is active again
    EXPECT_EQ(w.line(0)->text(), "Wpisane");
    EXPECT_EQ(w.window.Edit1->text(), "125");

    std::array<uint8_t, 200> fromBoard{};
    fromBoard.fill(' ');
    std::memcpy(fromBoard.data(), "Z tablicy", 9);
    w.board.SetPage(3, fromBoard);
    w.board.SetHolding(RegActivePage, 7);
    ASSERT_TRUE(w.ops.StartConfigRead());
    w.runUntilIdle();
    w.window.FormActivate();
    EXPECT_EQ(w.line(0)->text(), "Z tablicy");
    EXPECT_EQ(w.window.Edit1->text(), "7");
}

} // namespace
} // namespace kx9
