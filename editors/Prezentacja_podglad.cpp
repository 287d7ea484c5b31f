// SPDX-License-Identifier: MIT
// The presentation editor's previews, on the PC and of the board's active page, and its transfers.
#include "Prezentacja.h"

#include "Konf_graf.h"
#include "config/Cp1250.h"
#include "config/PageLayout.h"
#include "ops/DotMatrix.h"

#include <QPixmap>
#include <algorithm>
#include <utility>

namespace kx9 {

using namespace presentation;

namespace {

const QString BoardPreviewName = QStringLiteral("Podgląd tablicy");

} // namespace

void TfPrezentacja::ShowPreview(int page) {
    if (page >= 0 && page <= LastTextPage)
        ShowTextPreview(page);
    else if (page > LastTextPage && page <= LastPage && m_fillingList)
        m_deferredGraphic = page;
    else if (page > LastTextPage && page <= LastPage)
        ShowGraphicPreview(page);
}

void TfPrezentacja::ShowTextPreview(int page) {
    if (page < 0 || page > LastTextPage)
        return;
    m_previewedText = page;
    const ConfigImage& image = m_t.image;
    const auto lines =
        layout::PageToLines(image.pages[size_t(page)], image.Reg(RegBoardSize), image.Reg(RegLineLength));
    const size_t count = std::min(lines.size(), PreviewFields.size());
    for (size_t i = 0; i < count; ++i)
        PreviewFields[i]->setText(cp1250::ToUnicode(lines[i]));
}

void TfPrezentacja::ShowGraphicPreview(int page) {
    if (page <= LastTextPage || page > LastPage)
        return;
    const QString file = m_konGraf ? m_konGraf->SlotFile(page) : QString();
    if (file.size() < 2) {
        Image1->setVisible(false);
        return;
    }
    const QImage picture = dots::LoadPicture(file, PictureArea);
    if (picture.isNull()) {
        Image1->setVisible(false);
        m_t.dialogs.message(QStringLiteral("Nie można wczytać pliku graficznego:\n") + file, TitleError,
                            MsgIcon::Error);
        return;
    }
    const bool fits = picture.width() <= PictureArea.width() && picture.height() <= PictureArea.height();
    Image1->setPixmap(QPixmap::fromImage(fits ? picture : picture.scaled(PictureArea, Qt::KeepAspectRatio)));
    Image1->setVisible(true);
}

void TfPrezentacja::CheckBox1Click() {
    if (!CheckBox1->isChecked()) {
        StopPreview();
        return;
    }
    if (RadioButton2->isChecked()) {
        StartBoardPreview();
        return;
    }
    if (ShownCount(m_t.image) == 0) {
        m_t.dialogs.message(QStringLiteral("Brak stron do wyświetlenia."), TitleNote, MsgIcon::Information);
        CheckBox1->setChecked(false);
        return;
    }
    // An invalid switching time keeps the box checked, with no preview running.
    if (!StoreInterval())
        return;
    LockControls();
    PreviewPosition = 0;
    PrezentacjaStron->setInterval(m_t.image.Reg(RegPresentationTime) * 1000);
    PrezentacjaStron->start();
}

void TfPrezentacja::StartBoardPreview() {
    // Following the board is a transfer: refused while another one runs.
    if (!m_t.MayStart(BoardPreviewName) || !m_t.OpenPort()) {
        CheckBox1->setChecked(false);
        return;
    }
    m_t.ClearFailure();
    m_boardPreview = true;
    LockControls();
    PrezentacjaTablicy->start();
}

void TfPrezentacja::StopPreview() {
    PrezentacjaStron->stop();
    PrezentacjaTablicy->stop();
    UnlockControls();
    // Only the board preview opened the link; another transfer may be using it now.
    if (std::exchange(m_boardPreview, false))
        m_t.StopFollowing();
}

void TfPrezentacja::PrezentacjaStronTimer() {
    const std::optional<PreviewTick> tick = PreviewAt(m_t.image, PreviewPosition);
    if (!tick)
        return;
    // A graphic entry changes only the number.
    ShowTextPreview(tick->entry);
    Edit8->setText(QString::number(tick->entry));
    PreviewPosition = tick->next;
}

void TfPrezentacja::PrezentacjaTablicyTimer() {
    ConfigImage& image = m_t.image;
    if (m_t.Failed()) {
        PrezentacjaTablicy->stop();
        CheckBox1->setChecked(false);
        m_stron.ActiveReadPending = false;
        return;
    }
    if (m_stron.ActiveReadPending) {
        // The text page editor's single read is taken up here; the preview goes on.
        m_stron.ActiveReadPending = false;
        Edit8->setText(QString::number(image.Reg(RegActivePage)));
        m_shownActive.Take(image.RegsRevision(RegActivePage));
        return;
    }
    // Another transfer (or this preview's own read) runs: skip the tick without a word.
    if (m_t.StartQuietly(BoardPreviewName)) {
        if (!m_stron.RequestActivePage()) {
            CheckBox1->setChecked(false);
            return;
        }
    }
    const int active = image.Reg(RegActivePage);
    Edit8->setText(QString::number(active));
    m_shownActive.Take(image.RegsRevision(RegActivePage));
    ShowTextPreview(active);
}

void TfPrezentacja::BitBtn4Click() {
    if (!m_t.Single(Transfers::Kind::Read, RegPresentationTime, BlockCount,
                    QStringLiteral("Odczyt konfiguracji prezentacji")))
        return;
    m_t.ShowFromZero(QString());
    TestNadawania->start();
    RefreshWhenDone(m_t);
}

void TfPrezentacja::TestNadawaniaTimer() {
    if (m_t.ReplyAwaited())
        return;
    TestNadawania->stop();
    m_t.progress.HideProgress();
}

void TfPrezentacja::BitBtn5Click() {
    if (!StoreInterval())
        return;
    std::vector<ChainStep> steps;
    for (const WriteBlock& block : WriteBlocks()) {
        // The first block opens the link; the others only if it closed in between.
        const bool first = steps.empty();
        steps.push_back(RequestStep(m_t, Transfers::Kind::Write, block.first, block.count,
                                    first ? Transfers::Port::Open : Transfers::Port::OpenIfClosed,
                                    first ? -1 : block.progress));
    }
    const QString name = QStringLiteral("Zapis konfiguracji prezentacji");
    if (!m_chain.Start(
            std::move(steps), [this] { FinishWrite(); }, name))
        return;
    m_t.ShowFromZero(QString());
}

void TfPrezentacja::Timer1Timer() {
    m_chain.Tick();
}

void TfPrezentacja::FinishWrite() {
    m_t.progress.HideProgress();
    m_t.ClosePort();
}

} // namespace kx9
