// SPDX-License-Identifier: MIT
#pragma once

#include "RegularFile.h"

#include <QString>
#include <array>

namespace kx9 {

// The picture files assigned to the ten graphic pages are not part of a configuration file;
// they are kept between runs in a small settings file beside "def.cfg" (SettingsFiles.h).
inline constexpr char SlotFilesName[] = "grafika.ini";
inline constexpr int SlotFileCount = 10;
using SlotFileList = std::array<QString, SlotFileCount>;

// The assignments kept; none when the settings file is missing or is no small regular file
// (a pipe there would block the reader for ever), and then `problem` (may be null) says why.
SlotFileList LoadSlotFiles(FileProblem* problem = nullptr);
// "Pominięto plik przypisań grafik: grafika.ini: to nie jest zwykły plik ...".
QString SlotFilesProblemText(FileProblem problem);
// False when the settings file could not be written, or what stands there is no regular file;
// `path` is the file it went to.
bool SaveSlotFiles(const SlotFileList& files, QString* path = nullptr);

} // namespace kx9
