// SPDX-License-Identifier: MIT
#include "Ppost.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QShowEvent>
#include <QStyle>
#include <QVBoxLayout>
#include <QWindow>

namespace kx9 {

namespace {
const char* const IdleTitle = "Transmisja danych...";
}

TPpasek::TPpasek(Scheduler& scheduler) : m_scheduler(scheduler) {
    setObjectName("Ppasek");
    setWindowTitle("Transmisja...");
    setWindowFlag(Qt::WindowStaysOnTopHint);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    Label1 = new QLabel(IdleTitle, this);
    Label1->setObjectName("Label1");
    Label1->setAlignment(Qt::AlignCenter);

    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName("ProgressBar1");
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setMinimumWidth(260);

    BitBtn1 = new QPushButton("Przerwij", this);
    BitBtn1->setObjectName("BitBtn1");
    BitBtn1->setToolTip("Przerywa transmisjse");
    BitBtn1->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));
    BitBtn1->setAutoDefault(false);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(BitBtn1);
    buttons->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(ProgressBar1);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize); // dialog border: not resizable

    connect(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
}

void TPpasek::ShowProgress(const QString& title) {
    Label1->setText(title.isEmpty() ? QString(IdleTitle) : title);
    // Over a modal window (the connection window searching the line) "Przerwij" must still
    // take clicks: this window belongs to that one while it is open.
    if (!isVisible()) {
        QWidget* modal = QApplication::activeModalWidget();
        winId();
        windowHandle()->setTransientParent(modal && modal != this ? modal->windowHandle() : nullptr);
    }
    show();
    raise();
    activateWindow();
}

void TPpasek::SetProgress(int percent) {
    ProgressBar1->setValue(percent);
}

void TPpasek::HideProgress() {
    hide();
}

// Stops the jobs only; the request in flight still completes or times out, and the
// scheduler's watchdog hides this window afterwards.
void TPpasek::BitBtn1Click() {
    m_scheduler.AbortJob();
}

// Only the transfer hides this window: Escape or the close box would leave the jobs running
// and refresh the editor underneath from a half-read image.
void TPpasek::reject() {}

void TPpasek::closeEvent(QCloseEvent* event) {
    event->ignore();
}

void TPpasek::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    BitBtn1->setText("&Przerwij");
    QWidget* active = QApplication::activeWindow();
    if (active != this)
        m_underneath = active;
    repaint();
}

void TPpasek::hideEvent(QHideEvent* event) {
    QDialog::hideEvent(event);
    // A minimised window is hidden by the window system while its transfer goes on.
    if (event->spontaneous())
        return;
    Label1->setText(IdleTitle);
    ProgressBar1->setValue(0);
    // Window systems do not reliably hand the focus back; editors refresh on activation.
    if (m_underneath) {
        QWidget* underneath = m_underneath;
        m_underneath = nullptr;
        if (underneath->isVisible())
            underneath->activateWindow();
    }
}

} // namespace kx9
