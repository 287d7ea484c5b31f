// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cstdint>
#include <optional>

// The dot font of the board view and the preview: 5 x 7 characters in a cell 6 dots wide and
// 8 dots high (a text line), the eighth row taking descenders and the ogonek. Accented capitals
// give up one row of their height to the accent, as dot-matrix fonts do.
namespace kx9::render {

constexpr int CellWidth = 6;  // four characters take three 8-dot columns
constexpr int CellHeight = 8; // one text line

// Rows top to bottom; in each, bit 5 is the leftmost dot and bit 0 the sixth, which is
// normally the gap to the next character.
using Glyph = std::array<uint8_t, CellHeight>;

constexpr bool GlyphDot(const Glyph& g, int x, int y) {
    return (g[size_t(y)] >> (CellWidth - 1 - x)) & 1;
}

// The glyph of a character; nothing when the font has none. Characters that print nothing
// (blanks, controls) have an empty glyph.
std::optional<Glyph> FindGlyph(char16_t c);

// The glyph of a byte of a page as the board holds it: codes 128..145 are its Polish letters,
// 0 an empty cell, every other byte the Windows-1250 character of that number.
const Glyph& BoardGlyph(uint8_t code);

} // namespace kx9::render
