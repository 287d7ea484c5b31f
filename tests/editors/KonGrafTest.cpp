// SPDX-License-Identifier: MIT
#include "common/PictureFiles.h"
#include "common/RequestLog.h"
#include "common/TestWorld.h"
#include "editors/Konf_graf.h"

#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>
#include <gtest/gtest.h>

#include <cmath>

namespace kx9 {
namespace {

const QString NoGraphic = QStringLiteral("Nie przypisano grafiki");

struct GrafWorld : test::BoardWorld {
    test::InFolder here;
    TKonGraf window{transfers};
    test::PictureFolder folder;
    // White left half, black right half.
    QString half = folder.Write(test::Blocks({Qt::white, Qt::black}, 20), "half.png");

    GrafWorld() {
        image.ResetImage(clock.now());
        window.FillAll();
    }
    void Assign(int slot, const QString& file) {
        window.TreeView1->setCurrentItem(window.Node(slot));
        dialogs.fileAnswers.push_back(file);
        window.BitBtn1Click();
    }
    int LitDots(int slot) const {
        const QImage& b = window.SlotBitmap(slot);
        int lit = 0;
        for (int y = 0; y < b.height(); ++y)
            for (int x = 0; x < b.width(); ++x)
                lit += b.pixelIndex(x, y) != 0;
        return lit;
    }
    void Run() {
        RunUntilIdle([this] { window.Timer1Timer(); }, [this] { return window.Timer1->isActive(); });
    }
};

TEST(KonGraf, AssignShowsRemoveBlanksAndTheTreeSelectsTheSlot) {
    GrafWorld w;
    EXPECT_EQ(w.window.windowTitle(), QStringLiteral("Konfiguracja Grafik"));
    w.Assign(3, w.half);
    EXPECT_EQ(w.window.SelectedSlot, 3);
    EXPECT_EQ(w.window.SlotFile(118), w.half);
    EXPECT_EQ(w.window.StatusPanel0->text(), w.half);
    EXPECT_TRUE(w.window.Image1->isVisibleTo(&w.window));
    EXPECT_EQ(w.LitDots(3), 60 * 40); // the white half of 120 x 40
    EXPECT_EQ(w.window.PaintBox1->Image(), w.window.SlotBitmap(3));
    EXPECT_EQ(w.window.SlotFile(114), QString());
    EXPECT_EQ(w.window.SlotFile(125), QString());

    // The root node selects page 115, which has no graphic.
    w.window.TreeView1->setCurrentItem(w.window.TreeView1->topLevelItem(0));
    EXPECT_EQ(w.window.SelectedSlot, 0);
    EXPECT_EQ(w.window.StatusPanel0->text(), NoGraphic);
    EXPECT_FALSE(w.window.Image1->isVisibleTo(&w.window));

    w.window.TreeView1->setCurrentItem(w.window.Node(3));
    w.window.BitBtn2Click();
    EXPECT_EQ(w.window.SlotFile(118), QString());
    EXPECT_EQ(w.window.StatusPanel0->text(), NoGraphic);
    EXPECT_FALSE(w.window.Image1->isVisibleTo(&w.window));
    EXPECT_EQ(w.LitDots(3), 0);
    EXPECT_TRUE(w.dialogs.boxes.empty());
}

TEST(KonGraf, AnAssignmentThatCannotBeKeptIsSaid) {
    GrafWorld w;
    ASSERT_TRUE(QDir().mkdir("grafika.ini")); // nothing can replace a folder
    w.Assign(3, w.half);
    EXPECT_EQ(w.window.SlotFile(118), w.half); // this run keeps it
    ASSERT_EQ(w.dialogs.boxes.size(), 1u);
    EXPECT_EQ(w.dialogs.boxes[0].title, QStringLiteral("Błąd zapisu pliku"));
    EXPECT_EQ(w.dialogs.boxes[0].text, QStringLiteral("Nie można zapisać pliku: grafika.ini"));
}

TEST(KonGraf, TheWindowActsOnTheSelectedRowHoweverItWasSelected) {
    GrafWorld w;
    // Selection alone, as keyboard navigation or assistive technology may move it.
    const QModelIndex row = w.window.TreeView1->indexFromItem(w.window.Node(6));
    w.window.TreeView1->selectionModel()->select(row, QItemSelectionModel::ClearAndSelect);
    EXPECT_EQ(w.window.SelectedSlot, 6);
    w.dialogs.fileAnswers.push_back(w.half);
    w.window.BitBtn1Click();
    EXPECT_EQ(w.window.SlotFile(121), w.half);
    EXPECT_EQ(w.window.SlotFile(115), QString());
}

TEST(KonGraf, AssignmentsOutliveTheRunAndAGoneFileIsSaid) {
    GrafWorld w;
    w.Assign(2, w.half);
    const QString gone = w.folder.Write(test::Blocks({Qt::white}), "gone.png");
    w.Assign(5, gone);
    QFile::remove(gone);

    TKonGraf next{w.transfers}; // the next run, in the same folder
    next.FillAll();
    EXPECT_EQ(next.SlotFile(117), w.half);
    EXPECT_EQ(next.SlotFile(120), gone);
    ASSERT_EQ(w.dialogs.boxes.size(), 1u);
    EXPECT_EQ(w.dialogs.boxes[0].text, "Nie znaleziono pliku graficznego:\n" + gone);
    next.TreeView1->setCurrentItem(next.Node(5));
    EXPECT_EQ(next.StatusPanel0->text(), "Nie znaleziono pliku graficznego: " + gone);
    next.FillAll();
    EXPECT_EQ(w.dialogs.boxes.size(), 1u) << "said once";
}

TEST(KonGraf, APictureBeyondTheReadersMemoryLimitIsReadSmaller) {
    GrafWorld w;
    // Four bytes a pixel once read: past the reader's limit at full size.
    const int side = int(std::sqrt(QImageReader::allocationLimit() * 1024.0 * 1024.0 / 4)) + 200;
    QImage big(side, side, QImage::Format_RGB32);
    big.fill(Qt::white);
    QImageWriter writer(w.folder.dir.filePath("big.png"));
    writer.setQuality(0);
    ASSERT_TRUE(writer.write(big));
    big = QImage();
    w.Assign(4, writer.fileName());
    EXPECT_TRUE(w.dialogs.boxes.empty());
    EXPECT_EQ(w.window.SlotFile(119), writer.fileName());
    EXPECT_EQ(w.LitDots(4), 120 * 40);
}

TEST(KonGraf, AFileThatDoesNotLoadIsSaidAndTheSlotKeepsItsPicture) {
    GrafWorld w;
    w.Assign(2, w.half);
    const QString bad = w.folder.WriteBytes("bad.png", "not a picture");
    w.Assign(2, bad);
    ASSERT_EQ(w.dialogs.boxes.size(), 1u);
    EXPECT_EQ(w.dialogs.boxes[0].text, "Nie można wczytać pliku graficznego:\n" + bad);
    EXPECT_EQ(w.dialogs.boxes[0].title, QStringLiteral("Błąd"));
    EXPECT_EQ(w.dialogs.boxes[0].icon, MsgIcon::Error);
    EXPECT_EQ(w.window.SlotFile(117), w.half);
    EXPECT_EQ(w.LitDots(2), 60 * 40);
}

// The send for each geometry: six frames a slot, register 600 only when the page reaches it;
// the board ends up with each slot's dots.
struct SendRow {
    int boardSize, lineLength;
    const char* lastFrame;
    int litBytes;
};
class KonGrafSend : public ::testing::TestWithParam<SendRow> {};

TEST_P(KonGrafSend, SendsSixFramesASlotAndTheBoardKeepsTheDots) {
    const SendRow& r = GetParam();
    GrafWorld w;
    w.image.SetReg(RegBoardSize, r.boardSize);
    w.image.SetReg(RegLineLength, r.lineLength);
    w.window.FillAll();
    w.Assign(4, w.half);
    w.window.BitBtn4Click();
    w.Run();

    std::vector<std::string> frames;
    for (int k = 0; k < dots::GraphicSlots; ++k)
        frames.insert(frames.end(), {"w0x101", "w100x100", "w200x100", "w300x100", "w400x100", r.lastFrame});
    EXPECT_EQ(test::RequestSummary(w.board.Requests()), frames);
    const QSize size = w.window.GraphicSize();
    for (int k = 0; k < dots::GraphicSlots; ++k) {
        const QByteArray& page = w.board.GraphicPages()[size_t(k)];
        // Each band's left half is lit: whole 0xFF bytes in the first half of every band.
        for (int i = 0; i < dots::MatrixBytes; ++i)
            ASSERT_EQ(uint8_t(page[i]),
                      k == 4 && i < r.litBytes && i % size.width() < size.width() / 2 ? 0xFF : 0)
                << "slot " << k << " byte " << i;
    }
    EXPECT_EQ(w.progress.titles, std::vector<QString>{QStringLiteral("Transmisja Grafiki")});
    ASSERT_EQ(w.progress.values.size(), 51u);
    EXPECT_EQ(w.progress.values[1], 2);
    EXPECT_EQ(w.progress.values.back(), 100);
    std::vector<int> pauses(51, 50);
    pauses[0] = 200; // the port opening
    EXPECT_EQ(w.clock.pauses, pauses);
    EXPECT_FALSE(w.progress.shown);
    EXPECT_FALSE(w.image.link.PortOpen);
    EXPECT_TRUE(w.dialogs.boxes.empty());
}

INSTANTIATE_TEST_SUITE_P(Geometries, KonGrafSend,
                         ::testing::Values(SendRow{414, 14, "w500x100", 600},
                                           SendRow{414, 29, "w500x101", 1200},
                                           SendRow{414, 149, "w500x101", 1200},
                                           SendRow{111, 11, "w500x100", 192}));

TEST(KonGraf, ATimeOutStopsTheSendAtThatFrameForGood) {
    GrafWorld w;
    w.window.BitBtn4Click();
    w.RunUntilIdle([&w] {
        if (w.board.Requests().size() == 7) // the eighth frame gets no reply
            w.board.SetFault(BoardModel::Fault::NoReply);
        w.window.Timer1Timer();
    });
    EXPECT_EQ(w.board.Requests().size(), 8u);
    EXPECT_EQ(w.dialogs.Texts(), std::vector<QString>{QStringLiteral("Błąd transmisji danych")});
    EXPECT_FALSE(w.window.Timer1->isActive());
    EXPECT_FALSE(w.progress.shown);
    w.board.SetFault(BoardModel::Fault::None);
    w.window.Timer1Timer();
    w.RunUntilIdle();
    EXPECT_EQ(w.board.Requests().size(), 8u);
}

TEST(KonGraf, AFileGoneBeforeTheSendIsSaidAfterItsBlankPageWent) {
    GrafWorld w;
    const QString gone = w.folder.Write(test::Blocks({Qt::white}), "gone.bmp");
    w.Assign(1, gone);
    QFile::remove(gone);
    w.window.BitBtn4Click();
    w.Run();
    EXPECT_EQ(w.board.Requests().size(), 60u);
    EXPECT_EQ(w.board.GraphicPages()[1], QByteArray(dots::MatrixBytes, '\0'));
    EXPECT_EQ(w.dialogs.Texts(), std::vector<QString>{"Nie można wczytać pliku graficznego:\n" + gone});
}

} // namespace
} // namespace kx9
