// SPDX-License-Identifier: MIT
#include "QtDialogs.h"

#include "ops/DotMatrix.h"

#include <QAbstractButton>
#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>

namespace kx9 {

namespace {

QMessageBox::Icon toQt(MsgIcon icon) {
    switch (icon) {
    case MsgIcon::Information:
        return QMessageBox::Information;
    case MsgIcon::Warning:
        return QMessageBox::Warning;
    case MsgIcon::Error:
        return QMessageBox::Critical;
    case MsgIcon::Question:
        return QMessageBox::Question;
    case MsgIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

} // namespace

// No owner window: the boxes stand on their own, whichever window asked.
void QtDialogs::message(const QString& text, const QString& title, MsgIcon icon) {
    messageWithDetails(text, title, icon, QString());
}

void QtDialogs::messageWithDetails(const QString& text, const QString& title, MsgIcon icon,
                                   const QString& details) {
    QMessageBox box(toQt(icon), title, text, QMessageBox::Ok, nullptr);
    box.setWindowFlag(Qt::WindowStaysOnTopHint); // boxes come over the progress window
    // Qt's own button ("Pokaż szczegóły..." with the Polish catalogue) opens the details.
    if (!details.isEmpty())
        box.setDetailedText(details);
    box.exec();
}

bool QtDialogs::confirm(const QString& text, const QString& title, MsgIcon icon) {
    QMessageBox box(toQt(icon), title, text, QMessageBox::Ok | QMessageBox::Cancel, nullptr);
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    box.setDefaultButton(QMessageBox::Ok);
    return box.exec() == QMessageBox::Ok;
}

bool QtDialogs::ask(const QString& text, const QString& title) {
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No, nullptr);
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    box.button(QMessageBox::Yes)->setText(QStringLiteral("Tak"));
    box.button(QMessageBox::No)->setText(QStringLiteral("Nie"));
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

QString QtDialogs::openFile(const QString& filter) {
    return QFileDialog::getOpenFileName(nullptr, QString(), QString(), filter);
}

QString QtDialogs::saveFile(const QString& filter) {
    return QFileDialog::getSaveFileName(nullptr, QString(), QString(), filter);
}

QString QtDialogs::openPicture() {
    // Exactly the formats the graphic pages load, as far as the installed readers take them.
    const QString filter = "Obrazy (" + dots::PictureFilePatterns().join(' ') + ")";
    return QFileDialog::getOpenFileName(nullptr, QString(), QString(), filter);
}

} // namespace kx9
