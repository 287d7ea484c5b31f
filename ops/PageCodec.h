// SPDX-License-Identifier: MIT
#pragma once

#include "config/BoardCodes.h"
#include "config/ConfigImage.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>

// Text pages between the image (Windows-1250) and the board's page window (its own codes
// 128..145 for the Polish letters).
namespace kx9::pagecodec {

// The Windows-1250 bytes of a text the board gives back as it went, or nothing when it holds a
// character Windows-1250 lacks or one whose byte the board takes for a Polish letter ("€" would
// come back as "Ą").
std::optional<QByteArray> BoardText(const QString& text);

// The page named by the selector 4162 from the window 4163..4262; -1 for no such page.
int PageFromWindow(ConfigImage& image);
// Selector := page, window := the page's text; -1 for no such page.
int PageToWindow(ConfigImage& image, int page);

} // namespace kx9::pagecodec
