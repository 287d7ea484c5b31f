// SPDX-License-Identifier: MIT
// What a window shows, what the image holds, what a saved file and the board get: one truth.
#include "AppTestWorld.h"
#include "config/ConfigFile.h"
#include "editors/SlaveFields.h"

#include <QLineEdit>
#include <QTest>
#include <functional>

namespace kx9 {
namespace {

using test::AppWorld;

// A field of a shown window, typed and not stored by the window itself.
struct TypedField {
    const char* name;
    std::function<EditorWindow*(Kx9App&)> window;
    std::function<QLineEdit*(Kx9App&)> field;
    int reg;
    const char* valid;
    const char* refused;
    const char* refusalTitle;
};

const TypedField Fields[] = {
    {"ExternalDevice2Address", [](Kx9App& a) { return a.konfigSlave.get(); },
     [](Kx9App& a) {
         a.konfigSlave->TreeView1->setCurrentItem(a.konfigSlave->Node(1));
         return a.konfigSlave->Edit2;
     },
     slave::RecordRegister(1, slave::Address), "44", "300", "Błędna wartość"},
    {"DayBrightness", [](Kx9App& a) { return a.konfigJasnosc.get(); },
     [](Kx9App& a) { return a.konfigJasnosc->Edit1; }, RegDayBrightness, "66", "101",
     "Niwłaściwa wartość jsności dla dnia"},
    {"ScrollSpeed", [](Kx9App& a) { return a.przewijanie.get(); },
     [](Kx9App& a) { return a.przewijanie->Edit1; }, RegScrollSpeed, "5", "1001", nullptr},
};

class ShownWindow : public ::testing::TestWithParam<TypedField> {
protected:
    void SetUp() override {
        w.start();
        w.activate();
        const TypedField& row = GetParam();
        window = row.window(*w.app);
        window->show();
        edit = row.field(*w.app);
    }
    void type(const char* text) {
        edit->selectAll();
        QTest::keyClicks(edit, QString::fromLatin1(text));
    }
    void writeWhole() {
        w.form().SpeedButton7->click();
        test::TickUntilIdle(w.program.scheduler, w.port);
    }
    bool saveFile(const QString& name) {
        w.dialogs.fileAnswers.push_back(w.path(name));
        w.form().SpeedButton17->click();
        return QFileInfo::exists(w.path(name + ".cfg"));
    }

    AppWorld w;
    EditorWindow* window = nullptr;
    QLineEdit* edit = nullptr;
};

TEST_P(ShownWindow, TypingGoesToTheBoardAndTheFileAndStaysShown) {
    const TypedField& row = GetParam();
    type(row.valid);
    writeWhole();
    const int value = QString::fromLatin1(row.valid).toInt();
    EXPECT_EQ(w.board.Holding(row.reg), value);
    ASSERT_TRUE(saveFile("typed"));
    ConfigImage saved;
    ASSERT_TRUE(ReadConfigFile(w.path("typed.cfg"), saved));
    EXPECT_EQ(saved.Reg(row.reg), value);
    EXPECT_EQ(edit->text(), QString::fromLatin1(row.valid));
    EXPECT_TRUE(w.dialogs.boxes.empty());
}

TEST_P(ShownWindow, ARefusedFieldStopsTheWriteAndTheSaveWithItsMessage) {
    const TypedField& row = GetParam();
    const int before = w.image().Reg(row.reg);
    type(row.refused);
    w.form().SpeedButton7->click();
    EXPECT_TRUE(w.board.Requests().empty()) << "nothing is sent";
    EXPECT_FALSE(w.program.scheduler.Busy());
    ASSERT_FALSE(w.dialogs.boxes.empty());
    if (row.refusalTitle) {
        EXPECT_EQ(w.dialogs.boxes.front().title, QString::fromUtf8(row.refusalTitle));
    }
    EXPECT_FALSE(saveFile("refused")) << "nothing is saved";
    EXPECT_EQ(w.image().Reg(row.reg), before);
    EXPECT_EQ(edit->text(), QString::fromLatin1(row.refused)) << "the typing stays for the operator to mend";
}

TEST_P(ShownWindow, ShownAgainShowsTheImageNotWhatWasTypedBeforeTheHide) {
    const TypedField& row = GetParam();
    const QString inImage = QString::number(w.image().Reg(row.reg));
    type(row.refused);
    window->reject(); // the title bar's X or Escape
    w.dialogs.boxes.clear();
    window->show();
    EXPECT_EQ(row.field(*w.app)->text(), inImage);
}

INSTANTIATE_TEST_SUITE_P(Windows, ShownWindow, ::testing::ValuesIn(Fields),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ShownWindows, UntouchedWindowsStoreNothingAndSayNothing) {
    AppWorld w;
    w.start();
    w.activate();
    w.image().SetReg(RegScrollSpeed, 999); // from a file: no field would take it
    for (QDialog* window : std::initializer_list<QDialog*>{
             w.app->przewijanie.get(), w.app->konfigJasnosc.get(), w.app->konfigSlave.get(),
             w.app->czasData.get(), w.app->stron.get(), w.app->prezentacja.get()})
        window->show();
    w.form().SpeedButton7->click();
    test::TickUntilIdle(w.program.scheduler, w.port);
    EXPECT_TRUE(w.dialogs.boxes.empty());
    EXPECT_EQ(w.board.Holding(RegScrollSpeed), 999);
}

TEST(ShownWindows, AReadTheWindowStartedShowsWhenItEndsWithoutAnActivation) {
    AppWorld w;
    w.start();
    w.activate();
    TfPrzewijanie& scroll = *w.app->przewijanie;
    scroll.show();
    w.board.SetHolding(RegScrollSpeed, 7);
    scroll.BitBtn2Click();
    test::TickUntilIdle(w.program.scheduler, w.port);
    EXPECT_TRUE(QTest::qWaitFor([&] { return scroll.Edit1->text() == "7"; }, 2000))
        << scroll.Edit1->text().toStdString();
}

// Closing the main window while a transfer runs: a write asks first, a read does not.
struct CloseRow {
    const char* name;
    QToolButton* TForm1::*button;
    std::vector<bool> answers; // to the question; empty: none expected
    bool keepsRunning;
};

class CloseDuringTransfer : public ::testing::TestWithParam<CloseRow> {};

TEST_P(CloseDuringTransfer, AsksOnlyBeforeStoppingAWrite) {
    const CloseRow& row = GetParam();
    AppWorld w;
    w.start();
    w.activate();
    (w.form().*row.button)->click();
    test::TickUntilIdle(w.program.scheduler, w.port, [&] { return w.board.Requests().size() >= 5; });
    ASSERT_TRUE(w.program.scheduler.Busy());
    w.dialogs.confirmAnswers.assign(row.answers.begin(), row.answers.end());
    w.form().close();
    size_t asked = 0;
    for (const auto& box : w.dialogs.boxes)
        asked += box.text == "Trwa zapis do tablicy. Przerwać i zamknąć program?";
    EXPECT_EQ(asked, row.answers.size());
    EXPECT_EQ(w.program.scheduler.Busy(), row.keepsRunning);
    if (row.keepsRunning) {
        test::TickUntilIdle(w.program.scheduler, w.port);
        EXPECT_GT(w.board.Requests().size(), 100u) << "the whole write went on to its end";
        EXPECT_FALSE(w.program.scheduler.TransferError());
    } else {
        EXPECT_FALSE(w.image().link.PortOpen);
        EXPECT_TRUE(QFileInfo::exists(w.path("def.cfg")));
    }
}

INSTANTIATE_TEST_SUITE_P(MainWindow, CloseDuringTransfer,
                         ::testing::Values(CloseRow{"WriteNo", &TForm1::SpeedButton7, {false}, true},
                                           CloseRow{"WriteYes", &TForm1::SpeedButton7, {true}, false},
                                           CloseRow{"Read", &TForm1::SpeedButton6, {}, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ShownWindows, TheStatusBarAndDefCfgFollowTheLinkSettings) {
    AppWorld w;
    auto write = [&w](const QString& name, int port, int baud, int brightness) {
        ConfigImage file;
        file.ResetImage(w.clock.now());
        file.link.PortIndex = uint8_t(port);
        file.link.BaudIndex = uint8_t(baud);
        file.SetReg(RegDayBrightness, brightness);
        ASSERT_TRUE(WriteConfigFile(w.path(name), file));
    };
    write("def.cfg", 0, 7, 61);
    write("com2.cfg", 1, 2, 33);
    w.start();
    w.activate();
    w.dialogs.fileAnswers.push_back(w.path("com2.cfg"));
    ASSERT_TRUE(w.form().LoadConfigFile());
    EXPECT_EQ(w.panel(0), "COM2");
    EXPECT_EQ(w.panel(1), BaudText(2));

    // The link reaches "def.cfg" at once; the rest of it waits for the end of the run.
    ConfigImage kept;
    ASSERT_TRUE(LoadDefaultFile(kept));
    EXPECT_EQ(kept.link.PortIndex, 1);
    EXPECT_EQ(kept.link.BaudIndex, 2);
    EXPECT_EQ(kept.Reg(RegDayBrightness), 61);
}

} // namespace
} // namespace kx9
