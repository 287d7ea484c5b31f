// SPDX-License-Identifier: MIT
#pragma once

#include <QDialog>
#include <QLabel>
#include <QPushButton>

namespace kx9 {

// "Informacje o programie" - name, version and origin of the program.
class TfAbout : public QDialog {
    Q_OBJECT
public:
    TfAbout();

    void BitBtn1Click();

    QLabel* Image1;
    QLabel* Label1; // program name
    QLabel* Label2; // version
    QLabel* Label3; // project line
    QLabel* Label4; // web address
    QLabel* Label5; // year and town
    QPushButton* BitBtn1;

    // The 100 x 60 picture at the left: a small LED board showing "KX9".
    static QPixmap Picture();
};

} // namespace kx9
