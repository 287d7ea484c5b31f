// SPDX-License-Identifier: MIT
// The preview equals the board: a page typed in the text page editor, drawn by the preview, is
// pixel for pixel what kx9-sim's snapshot shows once the page is written and made active.
#include "SimProcess.h"
#include "common/TestWorld.h"
#include "editors/Edytor_stron.h"
#include "editors/Konf_graf.h"
#include "editors/Podglad_tablicy.h"

#include <QImage>
#include <QTest>
#include <gtest/gtest.h>

namespace kx9::test {
namespace {

constexpr int Dot = 3;

class PreviewOnTheLine : public OnTheLine<LineWorld> {
protected:
    void SetUp() override {
        image.ResetImage(clock.now());
        StartSim({"--snapshot", "board.png", "--dot", QString::number(Dot)});
        ASSERT_TRUE(QTest::qWaitFor([&] { return !Shot().isNull(); }, 5000)) << sim->Log().constData();
    }
    QImage Shot() const { return QImage(sim->Dir() + "/board.png"); }
    void Send(bool started) {
        ASSERT_TRUE(started);
        ASSERT_TRUE(QTest::qWaitFor([&] { return scheduler.Idle(); }, 20000)) << sim->Log().constData();
        ASSERT_TRUE(dialogs.boxes.empty()) << qPrintable(dialogs.boxes.front().text);
    }
};

TEST_F(PreviewOnTheLine, PageWithPolishLettersAndDoubleHeightDrawsAsTheBoard) {
    TPStron pages(transfers, ops);
    TKonGraf graphics(transfers);
    EditorEdits edits(pages, graphics, EditorEdits::Windows{});
    TfPodgladTablicy preview(image, edits, dialogs, clock);
    preview.DotBox->setValue(Dot);
    preview.show();
    pages.show();
    pages.TreeView1->setCurrentItem(pages.PageNode(6));
    pages.CheckBox4->setChecked(true); // double height
    for (QChar c : QStringLiteral("Żółw Ąę"))
        QTest::sendKeyEvent(QTest::Click, pages.Edit3, Qt::Key_unknown, QString(c), Qt::NoModifier);
    const QImage typed = preview.Picture().copy();
    ASSERT_EQ(preview.ShownPage(), 6);

    // Stored, written, made active; by night the board shows the day's level too.
    pages.StoreShownPage();
    Send(ops.StartPagesWrite());
    image.SetReg(RegNightBrightness, image.Reg(RegDayBrightness));
    image.SetReg(RegActivePage, 6);
    Send(transfers.Single(Transfers::Kind::Write, RegNightBrightness, 1));
    const QImage before = Shot();
    Send(transfers.Single(Transfers::Kind::Write, RegActivePage, 1));
    QImage board;
    const bool same = QTest::qWaitFor(
        [&] { return (board = Shot().convertToFormat(QImage::Format_RGB32)) == typed; }, 5000);
    EXPECT_TRUE(same) << "board " << board.width() << "x" << board.height() << ", preview " << typed.width()
                      << "x" << typed.height()
                      << (board == before ? ", the board still shows the page before" : "");
    EXPECT_EQ(typed.size(), QSize(120 * Dot, 40 * Dot));
}

} // namespace
} // namespace kx9::test
