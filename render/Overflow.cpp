// SPDX-License-Identifier: MIT
#include "Overflow.h"

#include "DotFont.h"
#include "config/ConfigImage.h"
#include "config/PageLayout.h"

#include <algorithm>

namespace kx9::render {

Overflow MeasureOverflow(const std::vector<QByteArray>& lines, const DisplaySource& source) {
    const int sizeCode = source.Reg(RegBoardSize), lengthCode = source.Reg(RegLineLength);
    const int rows = layout::Rows(sizeCode), length = layout::LineLength(lengthCode);
    const QSize dots = DisplayDots(sizeCode);
    const int lineHeight = source.Reg(RegDoubleHeight) != 0 ? 2 * CellHeight : CellHeight;
    const int across = dots.width() / CellWidth;
    const int scrolled = source.Reg(RegScrollLines);

    Overflow o;
    for (size_t i = 0; i < std::min(lines.size(), o.lines.size()); ++i) {
        const int typed = int(layout::TrimLine(lines[i]).size());
        if (typed == 0)
            continue;
        LineCut& c = o.lines[i];
        if (int(i) >= rows) {
            c = {typed, true};
        } else {
            // A page holds 200 bytes: with many rows of long lines the last have less room.
            const int room = std::clamp(PageSize - int(i) * length, 0, std::max(0, length));
            const int stored = std::min(typed, room);
            c.cut = typed - stored;
            if ((int(i) + 1) * lineHeight > dots.height())
                c = {typed, true};
            else if (!((scrolled >> i) & 1))
                c.cut += std::max(0, stored - across);
        }
        o.cut += c.cut;
    }
    return o;
}

} // namespace kx9::render
