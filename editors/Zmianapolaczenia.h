// SPDX-License-Identifier: MIT
#pragma once

#include "config/ConfigImage.h"
#include "link/Dialogs.h"

#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <functional>

namespace kx9 {

// "Zmiana połączenia" - new address, frame and rate for the board itself.
class TfZmianaPolaczenia : public QDialog {
    Q_OBJECT
public:
    // `startLinkChange` is the main window's operation that applies registers 4000..4002.
    TfZmianaPolaczenia(ConfigImage& image, Dialogs& dialogs, std::function<void()> startLinkChange);

    void FormShow();
    void BitBtn1Click();
    void BitBtn2Click();

    QLineEdit* Edit1;
    QComboBox* ComboBox1;
    QComboBox* ComboBox2;
    QPushButton* BitBtn1;
    QPushButton* BitBtn2;

protected:
    void showEvent(QShowEvent* event) override;

private:
    ConfigImage& m_image;
    Dialogs& m_dialogs;
    std::function<void()> m_startLinkChange;
};

} // namespace kx9
