// SPDX-License-Identifier: MIT
#include "SettingsFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace kx9 {

QString UserDataFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/kx9-konfigurator");
}

bool CanWriteIn(const QString& folder) {
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral("kx9-XXXXXX.tmp")));
    return probe.open();
}

SettingsPlaces CurrentSettingsPlaces() {
    const QString working = QDir::currentPath();
    return {working, UserDataFolder(), CanWriteIn(working)};
}

QString SettingsFileToWrite(const QString& name, const SettingsPlaces& places) {
    return places.workingWritable ? name : QDir(places.data).filePath(name);
}

QString SettingsFileToRead(const QString& name, const SettingsPlaces& places,
                           bool (*exists)(const QString&)) {
    const QString written = SettingsFileToWrite(name, places);
    if (places.workingWritable || exists(written))
        return written;
    return name;
}

QString SettingsFileToWrite(const char* name) {
    const SettingsPlaces places = CurrentSettingsPlaces();
    if (!places.workingWritable)
        QDir().mkpath(places.data); // a failure shows as the file's own
    return SettingsFileToWrite(QString::fromUtf8(name), places);
}

QString SettingsFileToRead(const char* name) {
    return SettingsFileToRead(QString::fromUtf8(name), CurrentSettingsPlaces(),
                              [](const QString& path) { return QFileInfo::exists(path); });
}

} // namespace kx9
