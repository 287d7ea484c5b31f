// SPDX-License-Identifier: MIT
#include "SlotFiles.h"

#include "SettingsFiles.h"

#include <QSettings>

namespace kx9 {

namespace {

QString Key(int slot) {
    return QStringLiteral("Grafika/Strona%1").arg(115 + slot);
}

} // namespace

SlotFileList LoadSlotFiles(FileProblem* problem) {
    SlotFileList files;
    const QString name = SettingsFileToRead(SlotFilesName);
    // Looked at before QSettings, which opens whatever stands there and would block on a pipe.
    const FileProblem why = CheckInputFile(name, MaxSettingsFileBytes);
    if (problem)
        *problem = why == FileProblem::Missing ? FileProblem::None : why;
    if (why != FileProblem::None)
        return files;
    const QSettings settings(name, QSettings::IniFormat);
    for (int k = 0; k < SlotFileCount; ++k)
        files[size_t(k)] = settings.value(Key(k)).toString();
    return files;
}

QString SlotFilesProblemText(FileProblem problem) {
    return QStringLiteral("Pominięto plik przypisań grafik: ") + QString::fromLatin1(SlotFilesName) +
           QStringLiteral(": ") + FileProblemText(problem);
}

bool SaveSlotFiles(const SlotFileList& files, QString* path) {
    const QString file = SettingsFileToWrite(SlotFilesName);
    if (path)
        *path = file;
    // QSettings reads the file before it writes it.
    if (CheckOutputFile(file) != FileProblem::None)
        return false;
    QSettings settings(file, QSettings::IniFormat);
    for (int k = 0; k < SlotFileCount; ++k)
        if (files[size_t(k)].isEmpty())
            settings.remove(Key(k));
        else
            settings.setValue(Key(k), files[size_t(k)]);
    settings.sync();
    return settings.status() == QSettings::NoError;
}

} // namespace kx9
