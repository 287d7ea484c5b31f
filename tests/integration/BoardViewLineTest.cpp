// SPDX-License-Identifier: MIT
// kx9-sim's board view, seen through its snapshot: the program writes pages and changes the
// active page over a real pseudo-terminal, and the picture lights the line that holds the text.
#include "SimProcess.h"
#include "common/TestWorld.h"
#include "config/PageLayout.h"

#include <QFile>
#include <QImage>
#include <QTest>
#include <cstring>
#include <gtest/gtest.h>

#ifndef _WIN32
#include <csignal>
#endif

namespace kx9::test {
namespace {

constexpr int Dot = 4;        // pixels from dot to dot, as asked for on the command line
constexpr int Line = 8 * Dot; // pixel rows of a text line

class BoardViewOnTheLine : public OnTheLine<LineWorld> {
protected:
    void SetUp() override {
        image.ResetImage(clock.now());
        // The window on the offscreen platform (the runner's own), and the snapshot beside it.
        StartSim({"--show", "--snapshot", "board.png", "--dot", QString::number(Dot)});
        ASSERT_TRUE(QTest::qWaitFor([&] { return !Shot().isNull(); }, 5000)) << sim->Log().constData();
        blank = Shot();
    }
    QImage Shot() const { return QImage(sim->Dir() + "/board.png"); }
    // The next snapshot that differs from `before`; a null picture when none comes.
    QImage Changed(const QImage& before) const {
        QImage now;
        if (!QTest::qWaitFor([&] { return !(now = Shot()).isNull() && now != before; }, 5000))
            return {};
        return now;
    }
    void Send(bool started) {
        ASSERT_TRUE(started);
        ASSERT_TRUE(QTest::qWaitFor([&] { return scheduler.Idle(); }, 20000)) << sim->Log().constData();
        ASSERT_TRUE(dialogs.boxes.empty());
    }
    // Pixel rows of text line `line` (0-based) differ from the blank display, all others not.
    void ExpectOnlyLineLit(const QImage& shot, int line) const {
        ASSERT_EQ(shot.size(), blank.size());
        ASSERT_EQ(shot.size(), QSize(120 * Dot, 40 * Dot)); // 5 lines of 20 characters
        bool lineChanged = false;
        for (int y = 0; y < shot.height(); ++y) {
            const bool same =
                std::memcmp(shot.constScanLine(y), blank.constScanLine(y), size_t(shot.bytesPerLine())) == 0;
            if (y / Line == line)
                lineChanged = lineChanged || !same;
            else
                ASSERT_TRUE(same) << "pixel row " << y << " changed";
        }
        EXPECT_TRUE(lineChanged) << "line " << line + 1 << " stayed dark";
    }
    void SetPage(int page, const std::vector<QByteArray>& lines) {
        image.SetPage(page, layout::LinesToPage(lines, image.Reg(RegBoardSize), image.Reg(RegLineLength)));
    }

    QImage blank;
};

TEST_F(BoardViewOnTheLine, PageWriteAndActivePageChangeLightTheirLines) {
    SetPage(0, {"", "Za\xBF\xF3\xB3\xE6"}); // "Zażółć" on line 2 of the page the board shows
    SetPage(7, {"", "", "", "Strona 7"});
    Send(ops.StartPagesWrite());
    const QImage written = Changed(blank);
    ExpectOnlyLineLit(written, 1);

    image.SetReg(RegActivePage, 7);
    Send(transfers.Single(Transfers::Kind::Write, RegActivePage, 1));
    const QImage switched = Changed(written);
    ExpectOnlyLineLit(switched, 3);
    EXPECT_TRUE(sim->Running());
}

#ifndef _WIN32
TEST_F(BoardViewOnTheLine, SignalWritesTheSnapshotAgain) {
    ASSERT_TRUE(QFile::remove(sim->Dir() + "/board.png"));
    ASSERT_EQ(::kill(pid_t(sim->Pid()), SIGUSR1), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Shot().isNull(); }, 3000)) << sim->Log().constData();
    EXPECT_EQ(Shot(), blank);
    EXPECT_TRUE(sim->Stop()) << "ends with code 0";
}
#endif

} // namespace
} // namespace kx9::test
