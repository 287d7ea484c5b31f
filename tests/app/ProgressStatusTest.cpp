// SPDX-License-Identifier: MIT
#include "AppTestWorld.h"
#include "app/Ppost.h"
#include "app/Status_kx91.h"

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <functional>

namespace kx9 {
namespace {

// A program with nothing on its line, for the windows that only need its scheduler.
struct Bare : test::InProcessSeams {
    Program program{port, dialogs, clock};
};

// --- Progress window ------------------------------------------------------------------------

TEST(ProgressWindow, LooksAsSpecifiedWhenIdle) {
    Bare bare;
    TPpasek pasek(bare.program.scheduler);
    EXPECT_EQ(pasek.windowTitle(), "Transmisja...");
    EXPECT_TRUE(pasek.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(pasek.Label1->text(), "Transmisja danych...");
    EXPECT_EQ(pasek.ProgressBar1->minimum(), 0);
    EXPECT_EQ(pasek.ProgressBar1->maximum(), 100);
    EXPECT_EQ(pasek.BitBtn1->toolTip(), "Przerywa transmisjse");
    EXPECT_EQ(pasek.findChild<QPushButton*>("BitBtn1"), pasek.BitBtn1);
    EXPECT_EQ(pasek.findChild<QLabel*>("Label1"), pasek.Label1);
    EXPECT_EQ(pasek.findChild<QProgressBar*>("ProgressBar1"), pasek.ProgressBar1);
}

TEST(ProgressWindow, ShowsTheTitleOrTheIdleTextAndKeepsTheBar) {
    Bare bare;
    TPpasek pasek(bare.program.scheduler);
    pasek.SetProgress(0);
    pasek.ShowProgress("Odczyt Stron Tekstowych");
    EXPECT_TRUE(pasek.isVisible());
    EXPECT_FALSE(pasek.isModal());
    EXPECT_EQ(pasek.Label1->text(), "Odczyt Stron Tekstowych");
    EXPECT_EQ(pasek.BitBtn1->text(), "&Przerwij");
    pasek.SetProgress(33);
    EXPECT_EQ(pasek.ProgressBar1->value(), 33);
    pasek.HideProgress();

    pasek.SetProgress(12);
    pasek.ShowProgress(QString());
    EXPECT_EQ(pasek.Label1->text(), "Transmisja danych...");
    EXPECT_EQ(pasek.ProgressBar1->value(), 12);
}

TEST(ProgressWindow, HidingResetsTitleAndBarWhoeverHidesIt) {
    const std::pair<const char*, std::function<void(test::AppWorld&)>> hiders[] = {
        {"HideProgress", [](test::AppWorld& w) { w.app->pasek->HideProgress(); }},
        {"hide", [](test::AppWorld& w) { w.app->pasek->hide(); }},
        {"idle watchdog", [](test::AppWorld& w) { w.program.scheduler.TransmisjaWrTimer(); }},
        {"time-out",
         [](test::AppWorld& w) {
             w.program.scheduler.OpenLink();
             w.program.scheduler.TimeOutTimer();
         }},
    };
    for (const auto& [who, hide] : hiders) {
        SCOPED_TRACE(who);
        test::AppWorld w;
        w.start();
        TPpasek& pasek = *w.app->pasek;
        pasek.SetProgress(0);
        pasek.ShowProgress("Zapis Stron Tekstowych...");
        pasek.SetProgress(57);
        hide(w);
        EXPECT_FALSE(pasek.isVisible());
        EXPECT_EQ(pasek.Label1->text(), "Transmisja danych...");
        EXPECT_EQ(pasek.ProgressBar1->value(), 0);
    }
}

TEST(ProgressWindow, EscapeAndTheCloseBoxDoNotEndATransfer) {
    test::AppWorld w;
    w.start();
    TPpasek& pasek = *w.app->pasek;
    pasek.ShowProgress("Odczyt Konfiguracji");
    pasek.SetProgress(62);
    QTest::keyClick(&pasek, Qt::Key_Escape);
    EXPECT_FALSE(pasek.close());
    EXPECT_TRUE(pasek.isVisible());
    EXPECT_EQ(pasek.Label1->text(), "Odczyt Konfiguracji");
    EXPECT_EQ(pasek.ProgressBar1->value(), 62);
}

TEST(ProgressWindow, AbortDropsTheJobOnlyAndTheRequestInFlightStillCompletes) {
    Bare bare;
    Scheduler& s = bare.program.scheduler;
    TPpasek pasek(s);
    bare.program.progress.Attach(&pasek);
    ASSERT_TRUE(bare.program.ops.StartPagesWrite());
    pasek.SetProgress(34);

    QTest::mouseClick(pasek.BitBtn1, Qt::LeftButton);

    EXPECT_FALSE(s.JobRunning());
    EXPECT_EQ(s.ReplyEnd(), 7);
    EXPECT_TRUE(s.PollActive());
    EXPECT_TRUE(pasek.isVisible());
    EXPECT_EQ(pasek.Label1->text(), "Zapis Stron Tekstowych...");
    EXPECT_EQ(pasek.ProgressBar1->value(), 34);
    test::TickUntilIdle(s, bare.port);
    EXPECT_EQ(bare.board.Requests().size(), 1u);
    EXPECT_FALSE(pasek.isVisible());
    bare.program.progress.Attach(nullptr);
}

TEST(ProgressWindow, HidingActivatesTheWindowThatWasActiveBefore) {
    Bare bare;
    TPpasek pasek(bare.program.scheduler);
    QDialog editor;
    editor.setWindowTitle("editor");
    editor.show();
    editor.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&editor));

    pasek.ShowProgress("Transmisja Grafiki");
    ASSERT_TRUE(QTest::qWaitForWindowActive(&pasek));
    pasek.HideProgress();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&editor));
}

// --- Status window --------------------------------------------------------------------------

TEST(StatusWindow, HasSixNamedRowsAndTwoButtons) {
    TPStatus status;
    EXPECT_EQ(status.windowTitle(), "Rejestr Statusu KX9");
    for (int row = 0; row < 6; ++row) {
        auto* box = status.findChild<QCheckBox*>(QString("CheckBox%1").arg(row + 1));
        auto* edit = status.findChild<QLineEdit*>(QString("EditE%1").arg(15 - row));
        ASSERT_NE(box, nullptr);
        ASSERT_NE(edit, nullptr);
        EXPECT_EQ(box, status.CheckBox[static_cast<size_t>(row)]);
        EXPECT_EQ(edit, status.EditE[static_cast<size_t>(row)]);
        EXPECT_EQ(box->text(), "Kasuj Błąd");
        EXPECT_TRUE(edit->isReadOnly());
    }
    EXPECT_EQ(status.Button1->text(), "OK");
    EXPECT_EQ(status.Button2->text(), "Anuluj");
}

TEST(StatusWindow, TextsFollowTheBits) {
    const QStringList allClear = {"Pamięć SRAM....OK",
                                  "Pamięć EEPROM...OK",
                                  "Zegar RTC...OK",
                                  "Brak zmiany czasu...OK",
                                  "Zenętrzny czujnik oświetlenia...OK",
                                  "Brak przerw w zasilaniu...OK"};
    const QStringList allSet = {"Błąd pamięci SRAM",
                                "Błąd pamięci EEPROM",
                                "Błąd nastaw zegara RTC",
                                "Została wykonana zmiana czasu",
                                "Błąd zewnętrznego czujnika oświetlenia",
                                "Przerwa w zasilaniu tablicy"};
    const QStringList mixed = {allSet[0], allClear[1], allSet[2], allClear[3], allClear[4], allSet[5]};
    EXPECT_EQ(TPStatus::FillStatusTexts(0), allClear);
    EXPECT_EQ(TPStatus::FillStatusTexts(0x03FF), allClear); // bits 0..9 are not shown
    EXPECT_EQ(TPStatus::FillStatusTexts(0xFC00), allSet);
    EXPECT_EQ(TPStatus::FillStatusTexts(0xA400), mixed);

    TPStatus status;
    status.ShowTexts(mixed);
    for (int row = 0; row < 6; ++row)
        EXPECT_EQ(status.EditE[static_cast<size_t>(row)]->text(), mixed[row]);
}

enum class Close { Ok, Cancel, Escape };

struct ClearRow {
    uint16_t status;
    std::vector<int> ticked; // rows 1..6
    Close close;
    int32_t expected;
};

class StatusClearing : public ::testing::TestWithParam<ClearRow> {};

// As the main window runs it: texts, exec(), then the cleared bits once it was accepted.
TEST_P(StatusClearing, ClearsTheTickedErrorBitsOnOkOnly) {
    const ClearRow& row = GetParam();
    TPStatus status;
    status.ShowTexts(TPStatus::FillStatusTexts(row.status));
    QTimer::singleShot(0, [&] {
        for (int r : row.ticked)
            QTest::mouseClick(status.CheckBox[static_cast<size_t>(r - 1)], Qt::LeftButton, {}, QPoint(4, 4));
        switch (row.close) {
        case Close::Ok:
            QTest::mouseClick(status.Button1, Qt::LeftButton);
            break;
        case Close::Cancel:
            QTest::mouseClick(status.Button2, Qt::LeftButton);
            break;
        case Close::Escape:
            QTest::keyClick(&status, Qt::Key_Escape);
            break;
        }
    });
    const int result = status.exec();
    EXPECT_FALSE(status.isVisible());
    EXPECT_EQ(result == QDialog::Accepted, row.close == Close::Ok);
    const int32_t after = result == QDialog::Accepted ? status.ApplyCleared(row.status) : row.status;
    EXPECT_EQ(after, row.expected);
    // Whatever closed it, what it reports keeps the register when nothing was confirmed.
    if (row.close != Close::Ok) {
        EXPECT_EQ(status.ApplyCleared(row.status), row.status);
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, StatusClearing,
                         ::testing::Values(ClearRow{0xA400, {1, 6}, Close::Ok, 0x2000},
                                           ClearRow{0xA400, {1, 6}, Close::Cancel, 0xA400},
                                           ClearRow{0xA400, {1, 2, 3, 4, 5, 6}, Close::Escape, 0xA400},
                                           ClearRow{0xA400, {2, 4, 5}, Close::Ok, 0xA400},
                                           ClearRow{0xA400, {}, Close::Ok, 0xA400},
                                           ClearRow{0xFFFF, {1, 2, 3, 4, 5, 6}, Close::Ok, 0x03FF},
                                           ClearRow{0xFCFF, {2, 3}, Close::Ok, 0x9CFF}));

TEST(StatusWindow, ShowingAgainStartsWithNoBoxTicked) {
    TPStatus status;
    QTimer::singleShot(0, [&] {
        status.CheckBox[0]->setChecked(true);
        status.CheckBox[5]->setChecked(true);
        status.Button1Click();
    });
    ASSERT_EQ(status.exec(), QDialog::Accepted);
    EXPECT_EQ(status.ApplyCleared(0xA400), 0x2000);

    bool noneTicked = false;
    QTimer::singleShot(0, [&] {
        noneTicked = true;
        for (QCheckBox* box : status.CheckBox)
            noneTicked = noneTicked && !box->isChecked();
        status.close();
    });
    EXPECT_EQ(status.exec(), QDialog::Rejected);
    EXPECT_TRUE(noneTicked);
    EXPECT_EQ(status.ApplyCleared(0xA400), 0xA400);
}

} // namespace
} // namespace kx9
