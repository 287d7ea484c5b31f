// SPDX-License-Identifier: MIT
#pragma once

#include "ConfigImage.h"

#include <QByteArray>
#include <QString>

namespace kx9 {

constexpr int ConfigFileSize = 27386;
inline constexpr char ConfigFileHeader[] = "KX9-001.00"; // ten bytes, no terminator in the file
inline constexpr char DefaultFileName[] = "def.cfg";

// The 27386 bytes of a configuration file for the image.
QByteArray EncodeConfigFile(const ConfigImage& image);
// Checks size and header; on success loads registers, pages, names and link settings.
// A bad file changes nothing and returns false.
bool DecodeConfigFile(const QByteArray& bytes, ConfigImage& image);

// Reads and loads a file; false when it cannot be read or is bad.
bool ReadConfigFile(const QString& path, ConfigImage& image);
// Writes the file beside the target first and replaces the target only when complete.
// False when the file could not be written; `reason` then says why, in the system's words.
bool WriteConfigFile(const QString& path, const ConfigImage& image, QString* reason = nullptr);

// ".cfg" is appended unless it occurs in the path from its second character on.
QString ConfigFileName(const QString& chosen);

// "def.cfg" in the current folder, or in the user's data folder when the current one cannot be
// written (SettingsFiles.h); results for callers that care, nothing is shown. A failed save
// gives the file it went to and why, in the system's words, for a message.
bool LoadDefaultFile(ConfigImage& image);
bool SaveDefaultFile(const ConfigImage& image, QString* path = nullptr, QString* reason = nullptr);

} // namespace kx9
