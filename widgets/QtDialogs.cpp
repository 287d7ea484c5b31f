// SPDX-License-Identifier: MIT
#include "QtDialogs.h"

#include <QFileDialog>
#include <QImageReader>
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
    QMessageBox box(toQt(icon), title, text, QMessageBox::Ok, nullptr);
    box.exec();
}

bool QtDialogs::confirm(const QString& text, const QString& title, MsgIcon icon) {
    QMessageBox box(toQt(icon), title, text, QMessageBox::Ok | QMessageBox::Cancel, nullptr);
    box.setDefaultButton(QMessageBox::Ok);
    return box.exec() == QMessageBox::Ok;
}

QString QtDialogs::openFile(const QString& filter) {
    return QFileDialog::getOpenFileName(nullptr, QString(), QString(), filter);
}

QString QtDialogs::saveFile(const QString& filter) {
    return QFileDialog::getSaveFileName(nullptr, QString(), QString(), filter);
}

QString QtDialogs::openPicture() {
    // Whatever the installed image plugins can read (BMP, ICO, PNG, JPEG, GIF, SVG ...).
    QStringList patterns;
    for (const QByteArray& format : QImageReader::supportedImageFormats())
        patterns << "*." + QString::fromLatin1(format).toLower();
    patterns.removeDuplicates();
    QString filter = "Obrazy (" + patterns.join(' ') + ");;Wszystkie pliki (*)";
    return QFileDialog::getOpenFileName(nullptr, QString(), QString(), filter);
}

} // namespace kx9
