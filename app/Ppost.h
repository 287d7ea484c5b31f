// SPDX-License-Identifier: MIT
#pragma once

#include "link/Transfer.h"
#include "ops/Views.h"

#include <QDialog>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>

namespace kx9 {

// "Transmisja..." - progress of a transfer, with "Przerwij" to stop the running jobs.
class TPpasek : public QDialog, public ProgressView {
    Q_OBJECT
public:
    explicit TPpasek(Scheduler& scheduler);

    void ShowProgress(const QString& title) override;
    void SetProgress(int percent) override;
    void HideProgress() override;

    void BitBtn1Click();

    QLabel* Label1;
    QProgressBar* ProgressBar1;
    QPushButton* BitBtn1;

    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    Scheduler& m_scheduler;
    QPointer<QWidget> m_underneath; // active when shown, activated again on hide
};

} // namespace kx9
