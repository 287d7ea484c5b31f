// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

// The board's own character codes: 128..145 are its Polish letters, every other byte the
// Windows-1250 character of that number.
namespace kx9::pagecodec {

enum class Direction { ToBoard, FromBoard };
uint8_t ConvertPageChar(uint8_t c, Direction direction);

} // namespace kx9::pagecodec
