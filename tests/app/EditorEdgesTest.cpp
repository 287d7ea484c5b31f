// SPDX-License-Identifier: MIT
// Where the shown editors' store ends: a page write takes the pages only, the end of the
// program refuses nothing, and an activation keeps what was typed.
#include "AppTestWorld.h"
#include "common/WindowActivation.h"
#include "config/ConfigFile.h"
#include "config/PageLayout.h"
#include "editors/SlaveFields.h"

#include <QTest>

namespace kx9 {
namespace {

using test::AppWorld;
using test::TypeInto;

// An editor left open with a value its check refuses, and a value it takes.
struct RefusedRow {
    const char* name;
    void (*type)(Kx9App&); // shows the window and types both
    int refusedReg;
    QLineEdit* (*refusedField)(Kx9App&);
    int keptReg; // what the accepted value puts into the image
    int keptValue;
};

const RefusedRow Refused[] = {
    {"Brightness",
     [](Kx9App& a) {
         a.konfigJasnosc->show();
         TypeInto(*a.konfigJasnosc->Edit1, "150");
         TypeInto(*a.konfigJasnosc->Edit2, "33");
     },
     RegDayBrightness, [](Kx9App& a) { return a.konfigJasnosc->Edit1; }, RegNightBrightness, 33},
    {"SwitchingTimeAndPreview",
     [](Kx9App& a) {
         a.prezentacja->show();
         a.prezentacja->TreeView1->setCurrentItem(a.prezentacja->Node(1));
         a.prezentacja->BitBtn1->click(); // page 0 added to the list
         TypeInto(*a.prezentacja->Edit6, "0");
         a.prezentacja->CheckBox1->click(); // refused at once, with its box; the box stays checked
     },
     RegPresentationTime, [](Kx9App& a) { return a.prezentacja->Edit6; }, RegPresentationCount, 1},
    {"ClockDatePicked",
     [](Kx9App& a) {
         a.czasData->show();
         a.czasData->MonthCalendar1->setDate(QDate(2031, 5, 17));
         TypeInto(*a.czasData->Edit1, "100");
         a.czasData->ComboBox1->setCurrentIndex(1);
     },
     RegTimePosition, [](Kx9App& a) { return a.czasData->Edit1; }, RegTimeFormat, 1},
    {"ScrollSpeed",
     [](Kx9App& a) {
         a.przewijanie->show();
         TypeInto(*a.przewijanie->Edit1, "1001");
         a.przewijanie->CheckBox1->setChecked(true);
     },
     RegScrollSpeed, [](Kx9App& a) { return a.przewijanie->Edit1; }, RegScrollLines, 1},
    {"SlaveAddress",
     [](Kx9App& a) {
         a.konfigSlave->show();
         a.konfigSlave->TreeView1->setCurrentItem(a.konfigSlave->Node(1));
         TypeInto(*a.konfigSlave->Edit2, "300");
         TypeInto(*a.konfigSlave->Edit7, "9");
     },
     slave::RecordRegister(1, slave::Address), [](Kx9App& a) { return a.konfigSlave->Edit2; },
     slave::RecordRegister(1, slave::PollPeriod), 9},
};

class RefusedElsewhere : public ::testing::TestWithParam<RefusedRow> {
protected:
    void SetUp() override {
        w.start();
        w.activate();
        w.form().show();
        w.form().SpeedButton9->click(); // the text page editor, at page 0
        before = w.image().Reg(GetParam().refusedReg);
        GetParam().type(*w.app);
        w.dialogs.boxes.clear();
    }
    void typePage(const char* text) { TypeInto(*w.app->stron->Edit2, QString::fromLatin1(text)); }
    QByteArray boardPage() const {
        const auto& page = w.board.Page(0);
        return QByteArray(reinterpret_cast<const char*>(page.data()), int(page.size()));
    }
    QString refusedShown() { return GetParam().refusedField(*w.app)->text(); }

    AppWorld w;
    int before = 0;
};

TEST_P(RefusedElsewhere, APageWriteSendsTheTypedPageAndLeavesTheOtherWindowAlone) {
    const QString refused = refusedShown();
    struct {
        const char* typed;
        std::function<void()> click;
    } writes[] = {{"Glowne", [&] { w.form().SpeedButton15->click(); }},
                  {"Edytor", [&] { w.app->stron->BitBtn2->click(); }}};
    for (const auto& write : writes) {
        typePage(write.typed);
        write.click();
        test::TickUntilIdle(w.program.scheduler, w.port);
        EXPECT_TRUE(boardPage().startsWith(write.typed)) << write.typed;
        EXPECT_TRUE(w.dialogs.boxes.empty()) << w.dialogs.boxes.front().text.toStdString();
        EXPECT_EQ(w.image().Reg(GetParam().refusedReg), before);
        EXPECT_EQ(refusedShown(), refused) << "the other window keeps its typing";
    }
}

TEST_P(RefusedElsewhere, ClosingSavesWhatPassesWithoutAWord) {
    typePage("Koniec");
    EXPECT_TRUE(w.form().close());
    EXPECT_TRUE(w.dialogs.boxes.empty()) << w.dialogs.boxes.front().text.toStdString();
    ConfigImage saved;
    ASSERT_TRUE(ReadConfigFile(w.path("def.cfg"), saved));
    EXPECT_EQ(saved.Reg(GetParam().refusedReg), before) << "the refused field is left out";
    EXPECT_EQ(saved.Reg(GetParam().keptReg), GetParam().keptValue);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(saved.pages[0].data()), 6), QByteArray("Koniec"));
}

INSTANTIATE_TEST_SUITE_P(Editors, RefusedElsewhere, ::testing::ValuesIn(Refused),
                         [](const auto& info) { return std::string(info.param.name); });

// A control that stores nothing, changed over a value no check takes (from a file): the
// window holds no change to store and a whole write says nothing.
struct NotDataRow {
    const char* name;
    int reg;
    int value;
    void (*change)(Kx9App&);
};

TEST(ShownEditors, ControlsThatStoreNothingAreNoChange) {
    const NotDataRow rows[] = {
        {"PreviewKind", RegPresentationTime, 0,
         [](Kx9App& a) {
             a.prezentacja->show();
             a.prezentacja->RadioButton2->setChecked(true);
         }},
        {"ClockDate", RegTimePosition, 100,
         [](Kx9App& a) {
             a.czasData->show();
             a.czasData->MonthCalendar1->setDate(QDate(2031, 5, 17));
         }},
        {"LightSensor", RegDayBrightness, 150,
         [](Kx9App& a) {
             a.konfigJasnosc->show();
             a.konfigJasnosc->CheckBox1->click();
         }},
    };
    for (const NotDataRow& row : rows) {
        SCOPED_TRACE(row.name);
        AppWorld w;
        w.start();
        w.activate();
        w.image().SetReg(row.reg, row.value);
        row.change(*w.app);
        w.form().SpeedButton7->click();
        test::TickUntilIdle(w.program.scheduler, w.port);
        EXPECT_TRUE(w.dialogs.boxes.empty()) << w.dialogs.boxes.front().text.toStdString();
        EXPECT_EQ(w.board.Holding(row.reg), row.value);
    }
}

// An editor activated again through the window system while it holds typing: the typing
// stays, and what changed under it shows.
struct ActivationRow {
    const char* name;
    EditorWindow* (*show)(Kx9App&); // shows the window at the page holding `typedInto`
    QLineEdit* (*typedInto)(Kx9App&);
    const char* typed;
    void (*changeElsewhere)(Kx9App&);
    QString (*changedShown)(Kx9App&);
    const char* expected;
};

const ActivationRow Activations[] = {
    {"TextPages", [](Kx9App& a) -> EditorWindow* { return a.stron.get(); },
     [](Kx9App& a) { return a.stron->Edit2; }, "abc",
     [](Kx9App& a) { a.program.image.SetReg(RegActivePage, 7); },
     [](Kx9App& a) { return a.stron->Edit1->text(); }, "7"},
    {"Slave",
     [](Kx9App& a) -> EditorWindow* {
         a.konfigSlave->TreeView1->setCurrentItem(a.konfigSlave->Node(1));
         return a.konfigSlave.get();
     },
     [](Kx9App& a) { return a.konfigSlave->Edit2; }, "12",
     [](Kx9App& a) { a.program.image.SetReg(RegSlaveTimeout, 7); },
     [](Kx9App& a) { return a.konfigSlave->Edit1->text(); }, "700"},
    {"Brightness", [](Kx9App& a) -> EditorWindow* { return a.konfigJasnosc.get(); },
     [](Kx9App& a) { return a.konfigJasnosc->Edit1; }, "77",
     [](Kx9App& a) { a.program.image.SetReg(RegNightBrightness, 44); },
     [](Kx9App& a) { return a.konfigJasnosc->Edit2->text(); }, "44"},
    {"ClockRead",
     [](Kx9App& a) -> EditorWindow* {
         a.czasData->PageControl1->setCurrentWidget(a.czasData->TabSheet2);
         return a.czasData.get();
     },
     [](Kx9App& a) { return a.czasData->Edit1; }, "205",
     [](Kx9App& a) { // a clock read just stored its reply
         ConfigImage& image = a.program.image;
         image.SetReg(RegClockTime, 905);
         image.SetReg(RegClockYear, 3);
         image.SetReg(RegClockDate, 101);
         a.czasData->ClockReadPending = true;
     },
     [](Kx9App& a) { return a.czasData->MonthCalendar1->date().toString(Qt::ISODate); }, "2003-01-01"},
    {"Scroll", [](Kx9App& a) -> EditorWindow* { return a.przewijanie.get(); },
     [](Kx9App& a) { return a.przewijanie->Edit1; }, "5",
     [](Kx9App& a) { a.program.image.SetReg(RegScrollDirection, 2); },
     [](Kx9App& a) { return a.przewijanie->ComboBox1->currentText(); }, "naprzemienne"},
    {"PresentationPreview",
     [](Kx9App& a) -> EditorWindow* {
         a.prezentacja->TreeView1->setCurrentItem(a.prezentacja->Node(1)); // page 0
         return a.prezentacja.get();
     },
     [](Kx9App& a) { return a.prezentacja->Edit6; }, "12",
     [](Kx9App& a) { // the text page editor stored a new line 1 of page 0
         ConfigImage& image = a.program.image;
         image.SetPage(0, layout::LinesToPage({"Nowy"}, image.Reg(RegBoardSize), image.Reg(RegLineLength)));
     },
     [](Kx9App& a) { return a.prezentacja->Edit1->text().trimmed(); }, "Nowy"},
};

class ActivatedAgain : public ::testing::TestWithParam<ActivationRow> {};

TEST_P(ActivatedAgain, KeepsTheTypingAndShowsWhatChanged) {
    const ActivationRow& row = GetParam();
    AppWorld w;
    w.start();
    w.activate();
    EditorWindow& window = *row.show(*w.app);
    window.show();
    ASSERT_TRUE(test::ActivateAgain(window, w.form()));
    QLineEdit& field = *row.typedInto(*w.app);
    TypeInto(field, QString::fromLatin1(row.typed));

    ASSERT_TRUE(test::ActivateAgain(w.form(), window)); // the operator goes elsewhere
    row.changeElsewhere(*w.app);
    ASSERT_TRUE(test::ActivateAgain(window, w.form())); // and comes back

    EXPECT_EQ(field.text(), QString::fromLatin1(row.typed));
    EXPECT_EQ(row.changedShown(*w.app), QString::fromLatin1(row.expected));
    EXPECT_TRUE(w.dialogs.boxes.empty());
}

INSTANTIATE_TEST_SUITE_P(Editors, ActivatedAgain, ::testing::ValuesIn(Activations),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace kx9
