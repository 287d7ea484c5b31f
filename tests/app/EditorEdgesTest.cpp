// SPDX-License-Identifier: MIT
// Where the shown editors' store ends: a page write takes the pages only, and the end of the
// program refuses nothing.
#include "AppTestWorld.h"
#include "common/WindowActivation.h"
#include "config/ConfigFile.h"
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

} // namespace
} // namespace kx9
