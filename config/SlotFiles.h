// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <array>

namespace kx9 {

// The picture files assigned to the ten graphic pages are not part of a configuration file;
// they are kept between runs in a small settings file beside "def.cfg".
inline constexpr char SlotFilesName[] = "grafika.ini";
inline constexpr int SlotFileCount = 10;
using SlotFileList = std::array<QString, SlotFileCount>;

SlotFileList LoadSlotFiles();
// False when the settings file could not be written.
bool SaveSlotFiles(const SlotFileList& files);

} // namespace kx9
