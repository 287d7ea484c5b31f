// SPDX-License-Identifier: MIT
#pragma once

#include "config/RegularFile.h"
#include "ops/DotMatrix.h"
#include "ops/RequestChain.h"
#include "ops/Transfers.h"
#include "widgets/EditorWindow.h"

#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QTreeWidget>
#include <QWidget>
#include <array>

namespace kx9 {

// A picture drawn at its top-left corner, one screen pixel per dot.
class PaintBox : public QWidget {
public:
    using QWidget::QWidget;
    void SetImage(const QImage& image);
    const QImage& Image() const { return m_image; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage m_image;
};

// "Konfiguracja Grafik": a picture file for each graphic page 115..124, its preview at the
// board's resolution, and the send of all ten pages.
class TKonGraf : public EditorWindow {
    Q_OBJECT
public:
    explicit TKonGraf(Transfers& transfers);

    // The picture file of graphic page 115..124; empty when none is assigned or no such page.
    QString SlotFile(int page) const;
    // Slot k's bitmap (W x H, cube palette, entry 0 dark) and the size it was made for.
    const QImage& SlotBitmap(int slot) const { return m_bitmaps[size_t(slot)]; }
    QSize GraphicSize() const { return m_size; }
    // Why the kept assignments were left unread at creation; None when they were read.
    FileProblem SlotFilesProblem() const { return m_slotFilesProblem; }
    QTreeWidgetItem* Node(int slot) const { return m_nodes[size_t(slot)]; }

    void RecreateSlotBitmaps();
    void KeepSlotFiles();
    void ShowSelectedSlot();
    void ConvertSlot(int slot);

    // Handlers.
    void FormShow() override;
    void FormActivate() override;
    void FormHide() override {}
    // The slots' files are not part of the image: nothing to store.
    bool StoreControls() override { return true; }
    void TreeView1Change();
    void BitBtn1Click();
    void BitBtn2Click();
    void BitBtn4Click();
    void BitBtn5Click();
    void Timer1Timer();

    int SelectedSlot = 0;

    QTreeWidget* TreeView1;
    QLabel* Image1;
    PaintBox* PaintBox1;
    QStatusBar* StatusBar1;
    QLabel* StatusPanel0;
    QPushButton* BitBtn1;
    QPushButton* BitBtn2;
    QPushButton* BitBtn4;
    QPushButton* BitBtn5;
    QTimer* Timer1;

private:
    void BuildControls();
    bool SendFrame(int slot, int first, int count, bool firstOfSlot);
    void FinishSend();

    Transfers& m_t;
    RequestChain m_chain;
    std::array<QString, dots::GraphicSlots> m_files;
    QStringList m_reportedGone;
    std::array<QImage, dots::GraphicSlots> m_bitmaps;
    std::array<QTreeWidgetItem*, dots::GraphicSlots> m_nodes{};
    QSize m_size;
    dots::Matrix m_matrix{};
    dots::Buffer m_buffer{};
    // Files that did not load during a send; their pages went out blank.
    QStringList m_unreadable;
    FileProblem m_slotFilesProblem = FileProblem::None;
};

} // namespace kx9
