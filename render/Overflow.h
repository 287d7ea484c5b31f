// SPDX-License-Identifier: MIT
#pragma once

#include "DisplayRender.h"

#include <QByteArray>
#include <array>
#include <vector>

namespace kx9::render {

// Characters of a text page line that the display will not show whole.
struct LineCut {
    int cut = 0;
    bool below = false; // the line lies (partly) under the display's bottom edge; else cut at the right
};

struct Overflow {
    int cut = 0;
    std::array<LineCut, 5> lines{};
};

// What of `lines` (a page's lines as typed, Windows-1250) the display cuts with the geometry,
// double height and scrolling of `source`: characters past the line length (the page drops
// them), lines past the page's rows, lines below the display, and characters past the right
// edge of a line that does not scroll.
Overflow MeasureOverflow(const std::vector<QByteArray>& lines, const DisplaySource& source);

} // namespace kx9::render
