// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

namespace kx9 {

// Where the program and kx9ctl keep their own files ("def.cfg", "grafika.ini"): the working
// folder, as always, when a file can be made there; otherwise (a shortcut into a folder such as
// Program Files) the user's data folder. A file that only the working folder has is read from
// there until the data folder gets its own.
struct SettingsPlaces {
    QString working; // the working folder
    QString data;    // UserDataFolder()
    bool workingWritable = true;
};

// The user's data folder for them: QStandardPaths' GenericDataLocation + "/kx9-konfigurator"
// (%LOCALAPPDATA%\kx9-konfigurator on Windows, ~/.local/share/kx9-konfigurator elsewhere).
QString UserDataFolder();
// True when a file can be made in `folder`; tried, as permissions do not tell on Windows.
bool CanWriteIn(const QString& folder);
// The working folder as it is now, tried.
SettingsPlaces CurrentSettingsPlaces();

// The file `name` is written to: its bare name in a working folder that can be written, as
// before; otherwise the data folder's.
QString SettingsFileToWrite(const QString& name, const SettingsPlaces& places);
// The file `name` is read from.
QString SettingsFileToRead(const QString& name, const SettingsPlaces& places, bool (*exists)(const QString&));

// The same for the current folder; the data folder is made when it is to be written.
QString SettingsFileToWrite(const char* name);
QString SettingsFileToRead(const char* name);

} // namespace kx9
