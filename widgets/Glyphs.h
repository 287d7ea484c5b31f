// SPDX-License-Identifier: MIT
#pragma once

#include <QPixmap>

namespace kx9 {

// The 16 x 16 glyphs of the main window's buttons and tray (0..20), drawn at run time.
QPixmap Glyph(int index);
// The greyed form a disabled button shows.
QPixmap DisabledGlyph(const QPixmap& normal);

} // namespace kx9
