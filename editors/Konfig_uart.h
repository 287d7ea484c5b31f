// SPDX-License-Identifier: MIT
#pragma once

#include "config/ConfigImage.h"
#include "link/Dialogs.h"

#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>

namespace kx9 {

// "Port Szeregowy" - the PC side of the link: port, frame, rate, reply time-out, board address.
class TfKonUart : public QDialog {
    Q_OBJECT
public:
    TfKonUart(LinkSettings& settings, Dialogs& dialogs);

    // Puts the list items in; runs once, at creation.
    void FormActivate();
    void OdswiezPola();
    void Button1Click();
    void Button2Click();

    QComboBox* ComboBox1;
    QComboBox* ComboBox2;
    QComboBox* ComboBox3;
    QLineEdit* Edit1;
    QLineEdit* Edit2;
    QPushButton* Button1;
    QPushButton* Button2;

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    LinkSettings& m_settings;
    Dialogs& m_dialogs;
};

} // namespace kx9
