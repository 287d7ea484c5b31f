// SPDX-License-Identifier: MIT
#pragma once

#include "config/ConfigImage.h"

#include <cstdint>

// Text pages between the image (Windows-1250) and the board's page window (its own codes
// 128..145 for the Polish letters).
namespace kx9::pagecodec {

enum class Direction { ToBoard, FromBoard };
uint8_t ConvertPageChar(uint8_t c, Direction direction);

// The page named by the selector 4162 from the window 4163..4262; -1 for no such page.
int PageFromWindow(ConfigImage& image);
// Selector := page, window := the page's text; -1 for no such page.
int PageToWindow(ConfigImage& image, int page);

} // namespace kx9::pagecodec
