// SPDX-License-Identifier: MIT
// The ten graphic pages sent over a real pseudo-terminal, kx9-sim on the other side.
#include "SimProcess.h"
#include "common/PictureFiles.h"
#include "common/RequestLog.h"
#include "common/TestWorld.h"
#include "editors/Konf_graf.h"

#include <QDir>
#include <QTest>
#include <gtest/gtest.h>

namespace kx9::test {
namespace {

class KonGrafOnTheLine : public OnTheLine<LineWorld> {
protected:
    void SetUp() override {
        image.ResetImage(clock.now());
        window.FillAll();
        StartSim();
    }
    void Assign(int slot, const QImage& picture) {
        window.TreeView1->setCurrentItem(window.Node(slot));
        dialogs.fileAnswers.push_back(folder.Write(picture, QStringLiteral("p%1.png").arg(slot)));
        window.BitBtn1Click();
    }
    std::vector<QByteArray> Frames() const { return sim->Requests(); }

    PictureFolder folder;
    InFolder here;
    TKonGraf window{transfers};
};

TEST_F(KonGrafOnTheLine, SendsSixtyFramesAndTheBoardHoldsEachSlotsDots) {
    Assign(0, Blocks({Qt::white, Qt::black}, 20)); // left half lit
    Assign(9, Blocks({Qt::yellow}));               // all lit
    window.BitBtn4Click();
    ASSERT_TRUE(QTest::qWaitFor([this] { return !window.Timer1->isActive() && scheduler.Idle(); }, 30000))
        << sim->Log().constData();

    const std::vector<QByteArray> frames = Frames();
    std::vector<std::string> expected;
    for (int k = 0; k < dots::GraphicSlots; ++k)
        expected.insert(expected.end(),
                        {"w0x101", "w100x100", "w200x100", "w300x100", "w400x100", "w500x100"});
    ASSERT_EQ(RequestSummary(frames), expected);
    // Each slot's first frame names it in register 0; replayed into a board, the frames leave its dots.
    BoardModel board;
    for (size_t i = 0; i < frames.size(); ++i) {
        if (i % 6 == 0) {
            EXPECT_EQ(uint8_t(frames[i][7]) * 256 + uint8_t(frames[i][8]), int(i / 6));
        }
        board.Handle(frames[i]);
    }
    for (int k = 0; k < dots::GraphicSlots; ++k)
        for (int b = 0; b < dots::MatrixBytes; ++b) {
            const bool lit = b < 600 && ((k == 0 && b % 120 < 60) || k == 9);
            ASSERT_EQ(uint8_t(board.GraphicPages()[size_t(k)][b]), lit ? 0xFF : 0)
                << "slot " << k << " byte " << b;
        }
    EXPECT_EQ(progress.values.back(), 100);
    EXPECT_FALSE(progress.shown);
    EXPECT_FALSE(image.link.PortOpen);
    EXPECT_TRUE(dialogs.boxes.empty());
}

} // namespace
} // namespace kx9::test
