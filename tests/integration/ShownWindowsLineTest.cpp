// SPDX-License-Identifier: MIT
// The whole program over a real pseudo-terminal: what shown windows hold goes out with
// "Zapisz Całość" and into a saved file, and a refusal sends nothing.
#include "SimProcess.h"
#include "app/Startup.h"
#include "common/TestWorld.h"
#include "config/ConfigFile.h"
#include "editors/SlaveFields.h"

#include <QTest>
#include <gtest/gtest.h>

namespace kx9::test {
namespace {

struct AppOnLine : LineSeams {
    Program program{port, dialogs, clock};
    Scheduler& scheduler = program.scheduler;
    std::unique_ptr<Kx9App> app = CreateApp(program);
};

class ShownWindowsLine : public OnTheLine<AppOnLine> {
protected:
    void SetUp() override {
        StartSim();
        program.image.ResetImage(clock.now());
        app->konfigJasnosc->show();
        app->konfigSlave->show();
        app->konfigSlave->TreeView1->setCurrentItem(app->konfigSlave->Node(1));
    }
    void Type(QLineEdit* edit, const char* text) {
        edit->selectAll();
        QTest::keyClicks(edit, QString::fromLatin1(text));
    }
    void Press(QToolButton* button) {
        button->click();
        ASSERT_TRUE(QTest::qWaitFor([this] { return scheduler.Idle() && !scheduler.Busy(); }, 30000))
            << sim->Log().constData();
    }
};

TEST_F(ShownWindowsLine, TypedValuesReachTheBoardAndTheFile) {
    Type(app->konfigJasnosc->Edit1, "66");
    Type(app->konfigSlave->Edit2, "44");
    Press(app->form1->SpeedButton7);
    EXPECT_TRUE(dialogs.boxes.empty());

    // Read back from the board over the line into an image that held other values.
    ConfigImage& image = program.image;
    image.SetReg(RegDayBrightness, 1);
    image.SetReg(slave::RecordRegister(1, slave::Address), 1);
    Press(app->form1->SpeedButton6);
    EXPECT_EQ(image.Reg(RegDayBrightness), 66);
    EXPECT_EQ(image.Reg(slave::RecordRegister(1, slave::Address)), 44);
    EXPECT_EQ(app->konfigJasnosc->Edit1->text(), "66");

    dialogs.fileAnswers.push_back(QDir::current().filePath("typed"));
    app->form1->SpeedButton17->click();
    ConfigImage saved;
    ASSERT_TRUE(ReadConfigFile(QDir::current().filePath("typed.cfg"), saved));
    EXPECT_EQ(saved.Reg(RegDayBrightness), 66);
    EXPECT_EQ(saved.Reg(slave::RecordRegister(1, slave::Address)), 44);
}

TEST_F(ShownWindowsLine, ARefusedFieldSendsNothing) {
    Type(app->konfigSlave->Edit2, "300");
    app->form1->SpeedButton7->click();
    QTest::qWait(200);
    EXPECT_TRUE(sim->Requests().empty()) << sim->Log().constData();
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].title, "Błędna wartość");
}

} // namespace
} // namespace kx9::test
