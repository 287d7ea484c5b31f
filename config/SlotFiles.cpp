// SPDX-License-Identifier: MIT
#include "SlotFiles.h"

#include <QSettings>

namespace kx9 {

namespace {

QString Key(int slot) {
    return QStringLiteral("Grafika/Strona%1").arg(115 + slot);
}

} // namespace

SlotFileList LoadSlotFiles() {
    SlotFileList files;
    const QSettings settings(QString::fromLatin1(SlotFilesName), QSettings::IniFormat);
    for (int k = 0; k < SlotFileCount; ++k)
        files[size_t(k)] = settings.value(Key(k)).toString();
    return files;
}

bool SaveSlotFiles(const SlotFileList& files) {
    QSettings settings(QString::fromLatin1(SlotFilesName), QSettings::IniFormat);
    for (int k = 0; k < SlotFileCount; ++k)
        if (files[size_t(k)].isEmpty())
            settings.remove(Key(k));
        else
            settings.setValue(Key(k), files[size_t(k)]);
    settings.sync();
    return settings.status() == QSettings::NoError;
}

} // namespace kx9
