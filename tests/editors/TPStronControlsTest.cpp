// SPDX-License-Identifier: MIT
// The text page editor's controls as the operator sees them, and what it keeps when it hides.
#include "common/TestWorld.h"
#include "editors/Edytor_stron.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QTest>
#include <gtest/gtest.h>

namespace kx9 {
namespace {

struct Editor : test::BoardWorld {
    Editor() { program.image.ResetImage(clock.now()); }
    TPStron window{transfers, ops};
};

TEST(TPStronControls, CaptionsAndHintsAreTheirOwn) {
    Editor w;
    struct Row {
        const char* name;
        const char* caption; // nullptr: a control without one
        const char* hint;
    };
    const Row rows[] = {
        {"GroupBox1", "Komunikaty okolicznościowe", ""},
        {"CheckBox1", "Zezwól na komunikaty okolicznościowe", "Włącza komunikaty okolicznościowe"},
        {"CheckBox2", "Włącz Komunikat", "Włącza wybrany komunikat okolicznościowy"},
        {"DateTimePicker1", nullptr, "Data komunikatu okolicznosciowego"},
        {"DateTimePicker2", nullptr, "Godzina rozpoczęcia wyświetlania komunikatu"},
        {"DateTimePicker3", nullptr, "Godzina zakończenia wyświetlania komunikatu"},
        {"BitBtn1", "Odczytaj Strony z KX9", "Odczytuje strony tekstowe z KX9"},
        {"BitBtn2", "Zapisz Strony do KX9", "Zapisuje strony tekstowe do KX9"},
        {"BitBtn3", "Zamknij", "Zamyka to okno"},
        {"BitBtn4", "Przewijanie ", ""},
        {"BitBtn7", "Edytor Grafik", ""},
        {"CheckBox4", "Podwójna wysokość znaku",
         "Zmienia wielkosc wyświetlanego tekstu. Wymaga ponownego zapisu stron lub konfiguracji."},
        {"GroupBox2", "Aktyalnie wyświetlana strona", ""},
        {"BitBtn5", "Zmień aktywną", ""},
        {"BitBtn6", "Odczytaj aktywną", ""},
        {"CheckBox3", "Śledzenie aktywnej strony", ""},
        {"Label1", "Rozmiar tablicy", nullptr},
        {"Edit7", nullptr, "Uwaga: Zapis tylko przez Serwis"},
        {"Button3", "Odczytaj", ""},
        {"Button4", "Zapisz", ""},
        {"Label2", "Ilość znaków", nullptr},
        {"Edit8", nullptr, "Ilość znaków w wierszu. Wilokrotność liczby 4"},
        {"Button1", "Odczytaj ", ""},
        {"Button2", "Zapisz", ""},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        auto* control = w.window.findChild<QWidget*>(QString::fromLatin1(r.name));
        ASSERT_NE(control, nullptr);
        if (r.caption) {
            QString caption;
            if (auto* button = qobject_cast<QAbstractButton*>(control))
                caption = button->text();
            else if (auto* group = qobject_cast<QGroupBox*>(control))
                caption = group->title();
            else if (auto* label = qobject_cast<QLabel*>(control))
                caption = label->text();
            EXPECT_EQ(caption, QString::fromUtf8(r.caption));
        }
        if (r.hint) {
            EXPECT_EQ(control->toolTip(), QString::fromUtf8(r.hint));
        }
    }
    EXPECT_EQ(w.window.windowTitle(), "Edytor Stron");
}

TEST(TPStronControls, TabFollowsTheLayoutAndTheSchedulePickersAreLabelled) {
    Editor w;
    const char* order[] = {"Edit2",     "Edit3",     "Edit4",           "Edit5",           "Edit6",
                           "CheckBox1", "CheckBox2", "DateTimePicker1", "DateTimePicker2", "DateTimePicker3",
                           "CheckBox4", "BitBtn1",   "BitBtn2",         "BitBtn4",         "BitBtn7",
                           "BitBtn3",   "Edit1",     "BitBtn5",         "BitBtn6",         "CheckBox3",
                           "Edit7",     "Button3",   "Button4",         "Edit8",           "Button1",
                           "Button2"};
    // The chain also passes through the pickers' own inner fields: keep the named controls.
    QStringList expected;
    for (const char* name : order)
        expected << QString::fromLatin1(name);
    QStringList seen;
    QWidget* at = w.window.TreeView1;
    for (int step = 0; step < 200 && seen.size() < expected.size(); ++step) {
        at = at->nextInFocusChain();
        const QString name = at->objectName();
        if (expected.contains(name) && (seen.isEmpty() || seen.back() != name))
            seen << name;
    }
    EXPECT_EQ(seen, expected);
    for (QWidget* picker :
         {static_cast<QWidget*>(w.window.DateTimePicker1), static_cast<QWidget*>(w.window.DateTimePicker2),
          static_cast<QWidget*>(w.window.DateTimePicker3)}) {
        bool labelled = false;
        for (QLabel* label : w.window.GroupBox1->findChildren<QLabel*>())
            labelled = labelled || (label->buddy() == picker && !label->text().isEmpty());
        EXPECT_TRUE(labelled) << picker->objectName().toStdString();
    }
}

TEST(TPStronControls, CheckBox1IsTickedOnlyWhenRegister4027IsExactlyOne) {
    const std::pair<int, bool> rows[] = {{0, false}, {1, true}, {2, false}, {257, false}, {0xFFFF, false}};
    for (const auto& [value, ticked] : rows) {
        Editor w;
        w.image.SetReg(RegOccasionalAllowed, value);
        w.window.FormActivate();
        EXPECT_EQ(w.window.CheckBox1->isChecked(), ticked) << value;
    }
}

TEST(TPStronControls, HidingStoresTheShownPageAndTheSchedule) {
    Editor w;
    w.window.show();
    w.window.TreeView1->setCurrentItem(w.window.PageNode(112));
    w.window.LineFields[0]->setText("Święto");
    w.window.CheckBox2->setChecked(true);
    w.window.DateTimePicker1->setDate(QDate(2003, 5, 3));
    w.window.DateTimePicker2->setTime(QTime(7, 15));
    w.window.DateTimePicker3->setTime(QTime(21, 40));
    w.window.hide();
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(w.image.pages[112].data()), 6),
              QByteArray("\x8cwi\xeato", 6)); // Windows-1250
    EXPECT_EQ(w.image.Reg(RegOccasionalDate + 2), 503);
    EXPECT_EQ(w.image.Reg(RegOccasionalStart + 2), 715);
    EXPECT_EQ(w.image.Reg(RegOccasionalEnd + 2), 2140);
}

// Read and write of both geometry registers with no port: the box of the failed open, and the
// page is still stored and laid out again with the geometry in force.
TEST(TPStronControls, GeometryButtonsWithNoPortStillStoreAndShowThePage) {
    struct Row {
        const char* name;
        const char* entry; // typed into Edit8 / Edit7 first
        int lineLimit;
    };
    const Row rows[] = {
        {"Button1", nullptr, 20}, {"Button2", "24", 24}, {"Button3", nullptr, 20}, {"Button4", "520", 20}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        Editor w;
        w.port.SetMissing(QStringLiteral("COM1"));
        w.window.FormActivate();
        w.window.TreeView1->setCurrentItem(w.window.PageNode(2));
        w.window.LineFields[0]->setText("Tekst wpisany dalej");
        if (r.entry)
            (QString(r.name) == "Button2" ? w.window.Edit8 : w.window.Edit7)->setText(r.entry);
        w.window.findChild<QPushButton*>(r.name)->click();
        EXPECT_EQ(w.dialogs.boxes.back().title, QStringLiteral("Błąd otwarcia portu"));
        EXPECT_TRUE(w.board.Requests().empty());
        EXPECT_EQ(w.window.LineFields[0]->maxLength(), r.lineLimit);
        EXPECT_EQ(w.window.LineFields[0]->text(), QString("Tekst wpisany dalej").left(r.lineLimit));
        EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(w.image.pages[2].data()), 5), QByteArray("Tekst"));
    }
}

// What the board size field held when "Zapisz" was clicked counts, not what it holds after
// the confirmation box.
TEST(TPStronControls, BoardSizeIsTakenBeforeTheConfirmationBox) {
    struct EditingDialogs : test::RecordingDialogs {
        QLineEdit* field = nullptr;
        bool confirm(const QString& text, const QString& title, MsgIcon icon) override {
            field->setText("999");
            return RecordingDialogs::confirm(text, title, icon);
        }
    };
    EditingDialogs dialogs;
    test::InProcessSeams seams;
    Program program(seams.port, dialogs, seams.clock);
    program.image.ResetImage(seams.clock.now());
    TPStron window(program.transfers, program.ops);
    dialogs.field = window.Edit7;
    window.Edit7->setText("520");
    window.Button4Click();
    EXPECT_EQ(dialogs.boxes.size(), 1u); // the confirmation only: 520 is a board size
    test::TickUntilIdle(program.scheduler, seams.port);
    EXPECT_EQ(seams.board.Holding(RegBoardSize), program.image.Reg(RegBoardSize));
}

TEST(TPStronControls, TrackingOverAPortThatCannotBeReopenedStopsAfterOnePairOfBoxes) {
    Editor w;
    w.window.CheckBox3->setChecked(true);
    ASSERT_TRUE(w.window.Timer1->isActive());
    w.scheduler.CloseLink(); // as a transfer's watchdog leaves it
    w.port.SetMissing(QStringLiteral("COM1"));
    for (int tick = 0; tick < 10 && w.window.Timer1->isActive(); ++tick)
        w.window.Timer1Timer();
    const std::vector<QString> titles = w.dialogs.Titles();
    ASSERT_EQ(titles.size(), 2u);
    EXPECT_EQ(titles[0], QStringLiteral("Błąd otwarcia portu"));
    EXPECT_EQ(w.dialogs.boxes[1].text, QStringLiteral("Błąd otwarcia"));
    EXPECT_FALSE(w.window.CheckBox3->isChecked());
    EXPECT_FALSE(w.window.Timer1->isActive());
    EXPECT_TRUE(w.window.TreeView1->isEnabled());
}

// Tracking is a transfer of its own: started while another runs it is refused and leaves that
// one's port alone; stopped while another runs, it leaves the port to that one.
TEST(TPStronControls, TrackingNeverTouchesThePortOfAnotherTransfer) {
    Editor w;
    ASSERT_TRUE(w.transfers.Single(Transfers::Kind::Write, RegScrollSpeed, 3));
    w.window.CheckBox3->setChecked(true);
    EXPECT_FALSE(w.window.CheckBox3->isChecked());
    EXPECT_FALSE(w.window.Timer1->isActive());
    ASSERT_EQ(w.dialogs.boxes.size(), 1u);
    EXPECT_EQ(w.dialogs.boxes[0].text,
              QStringLiteral("Trwa transmisja danych. Poczekaj na jej zakończenie i spróbuj ponownie."));
    EXPECT_TRUE(w.image.link.PortOpen);
    test::TickUntilIdle(w.scheduler, w.port);
    EXPECT_EQ(w.board.Requests().size(), 1u) << "the write went out once and was answered";
    EXPECT_FALSE(w.scheduler.TransferError());

    // Tracking on, then another transfer between two of its reads, then tracking off.
    w.dialogs.boxes.clear();
    w.window.CheckBox3->setChecked(true);
    ASSERT_TRUE(w.window.Timer1->isActive());
    ASSERT_TRUE(w.transfers.Single(Transfers::Kind::Write, RegScrollSpeed, 3));
    w.window.CheckBox3->setChecked(false);
    EXPECT_TRUE(w.image.link.PortOpen) << "the write's reply is still awaited";
    test::TickUntilIdle(w.scheduler, w.port);
    EXPECT_TRUE(w.dialogs.boxes.empty());
    EXPECT_FALSE(w.image.link.PortOpen);
    EXPECT_EQ(w.board.Requests().size(), 2u);
}

} // namespace
} // namespace kx9
