// SPDX-License-Identifier: MIT
#include "DisplayRender.h"

#include "DotFont.h"
#include "config/ConfigImage.h"
#include "config/PageLayout.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace kx9::render {

namespace {

constexpr int TextPages = 115;
constexpr int GraphicSlots = 10;
constexpr int OccasionalPages = 5;
constexpr int MaxPresentation = 114;

int Reg(const DisplaySource& source, int reg) {
    return source.Reg(reg);
}

// The clock as the display tells it; from the registers when the board's clock is stopped.
struct ClockFields {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    int TimeOfDay() const { return hour * 100 + minute; }
    int MonthDay() const { return month * 100 + day; }
};

ClockFields ClockOf(const DisplaySource& board, const DisplayTime& time) {
    ClockFields c;
    if (time.clock.isValid()) {
        const QDate d = time.clock.date();
        const QTime t = time.clock.time();
        c = {d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second()};
    } else {
        const int hm = Reg(board, RegClockTime), md = Reg(board, RegClockDate);
        c = {2000 + Reg(board, RegClockYear), md / 100, md % 100, hm / 100, hm % 100, 0};
    }
    return c;
}

// From `start` up to `end`, across midnight when it ends before it starts; all day when both
// are the same.
bool Within(int t, int start, int end) {
    if (start == end)
        return true;
    if (start < end)
        return t >= start && t < end;
    return t >= start || t < end;
}

void DrawText(DotFrame& f, const char* codes, int count, int x0, int y0, int scale) {
    for (int k = 0; k < count; ++k) {
        const int gx = x0 + k * CellWidth;
        if (gx >= f.width)
            break;
        if (gx + CellWidth <= 0)
            continue;
        const Glyph& g = BoardGlyph(uint8_t(codes[k]));
        for (int gy = 0; gy < CellHeight; ++gy) {
            if (!g[size_t(gy)])
                continue;
            for (int s = 0; s < scale; ++s) {
                const int y = y0 + gy * scale + s;
                if (y < 0 || y >= f.height)
                    continue;
                uint8_t* row = f.dots.data() + size_t(y) * size_t(f.width);
                for (int col = 0; col < CellWidth; ++col) {
                    const int x = gx + col;
                    if (x >= 0 && x < f.width && GlyphDot(g, col, gy))
                        row[x] = 1;
                }
            }
        }
    }
}

void Clear(DotFrame& f, int x0, int y0, int width, int height) {
    for (int y = std::max(0, y0); y < std::min(f.height, y0 + height); ++y)
        for (int x = std::max(0, x0); x < std::min(f.width, x0 + width); ++x)
            f.dots[size_t(y) * size_t(f.width) + size_t(x)] = 0;
}

// Where a scrolling line of `textWidth` dots starts at scroll step `step`.
int ScrollX(int direction, int64_t step, int width, int textWidth) {
    if (direction == 1) { // right: in from the left edge, out at the right
        return int(step % (width + textWidth)) - textWidth;
    }
    if (direction == 2) { // back and forth between the two edges
        const int span = std::abs(width - textWidth);
        if (span == 0)
            return 0;
        const int phase = int(step % (2 * span));
        const int offset = phase <= span ? phase : 2 * span - phase;
        return textWidth <= width ? span - offset : -offset;
    }
    // left, also for a direction the board does not know: in from the right edge
    return width - int(step % (width + textWidth));
}

void DrawTextPage(const DisplaySource& board, int page, const DisplayTime& time, DotFrame& f,
                  int lineHeight) {
    const int sizeCode = Reg(board, RegBoardSize), lengthCode = Reg(board, RegLineLength);
    const uint8_t* bytes = board.TextPage(page);
    if (!bytes)
        return;
    ConfigImage::Page text;
    std::copy(bytes, bytes + text.size(), text.begin());
    const std::vector<QByteArray> lines = layout::PageToLines(text, sizeCode, lengthCode);
    const int scrolled = Reg(board, RegScrollLines);
    const int64_t step = std::max<int64_t>(0, time.ms) / std::max(1, Reg(board, RegScrollSpeed));
    for (size_t i = 0; i < lines.size(); ++i) {
        const int y0 = int(i) * lineHeight;
        if (y0 >= f.height)
            break;
        const QByteArray& line = lines[i];
        if (line.isEmpty())
            continue;
        const int textWidth = int(line.size()) * CellWidth;
        const int x0 =
            (scrolled >> i) & 1 ? ScrollX(Reg(board, RegScrollDirection), step, f.width, textWidth) : 0;
        DrawText(f, line.constData(), int(line.size()), x0, y0, lineHeight / CellHeight);
    }
}

// Graphic pages are as wide as a page line and cut into bands of 8 rows, bit 7 on top.
void DrawGraphicPage(const DisplaySource& board, int page, DotFrame& f) {
    const int slot = page - FirstGraphicPage;
    if (slot < 0 || slot >= GraphicSlots)
        return;
    const QByteArrayView bytes = board.GraphicPage(slot);
    const int graphicWidth = layout::GraphicWidth(Reg(board, RegLineLength));
    const int width = std::min(f.width, graphicWidth);
    for (int y = 0; y < f.height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int64_t at = int64_t(graphicWidth) * (y / 8) + x;
            if (at >= bytes.size())
                return;
            if ((uint8_t(bytes[qsizetype(at)]) >> (7 - y % 8)) & 1)
                f.dots[size_t(y) * size_t(f.width) + size_t(x)] = 1;
        }
    }
}

// The time or the date at position y * 100 + x (text line y, character x, both from 1),
// over whatever the page shows there.
void DrawClockField(DotFrame& f, int position, const char* text, int lineHeight) {
    const int line = position / 100, column = position % 100;
    if (line < 1 || column < 1)
        return;
    const int x0 = (column - 1) * CellWidth, y0 = (line - 1) * lineHeight;
    const int count = int(std::strlen(text));
    Clear(f, x0, y0, count * CellWidth, lineHeight);
    DrawText(f, text, count, x0, y0, lineHeight / CellHeight);
}

void DrawClock(const DisplaySource& board, const DisplayTime& time, DotFrame& f, int lineHeight) {
    const int timePosition = Reg(board, RegTimePosition), datePosition = Reg(board, RegDatePosition);
    if (!timePosition && !datePosition)
        return;
    const ClockFields c = ClockOf(board, time);
    char text[32];
    if (timePosition) {
        if (Reg(board, RegTimeFormat) == 1)
            std::snprintf(text, sizeof text, "%02d:%02d", c.hour, c.minute);
        else
            std::snprintf(text, sizeof text, "%02d:%02d:%02d", c.hour, c.minute, c.second);
        DrawClockField(f, timePosition, text, lineHeight);
    }
    if (datePosition) {
        const int yy = c.year % 100;
        switch (Reg(board, RegDateFormat)) {
        case 1:
            std::snprintf(text, sizeof text, "%02d:%02d:%02d", yy, c.month, c.day);
            break;
        case 2:
            std::snprintf(text, sizeof text, "%02d:%02d:%04d", c.day, c.month, c.year);
            break;
        case 3:
            std::snprintf(text, sizeof text, "%02d:%02d:%02d", c.day, c.month, yy);
            break;
        default:
            std::snprintf(text, sizeof text, "%04d:%02d:%02d", c.year, c.month, c.day);
            break;
        }
        DrawClockField(f, datePosition, text, lineHeight);
    }
}

// Sprite coverage of a round dot over one pixel, sampled 4 x 4.
double Coverage(int px, int py, int pitch) {
    if (pitch <= 2)
        return 1.0;
    const double centre = pitch / 2.0, radius = pitch * 0.42;
    int inside = 0;
    for (int sy = 0; sy < 4; ++sy)
        for (int sx = 0; sx < 4; ++sx) {
            const double dx = px + (sx + 0.5) / 4 - centre, dy = py + (sy + 0.5) / 4 - centre;
            if (dx * dx + dy * dy <= radius * radius)
                ++inside;
        }
    return inside / 16.0;
}

} // namespace

int OccasionalPage(const DisplaySource& board, const DisplayTime& time) {
    if (Reg(board, RegOccasionalAllowed) != 1)
        return NoPage;
    const ClockFields c = ClockOf(board, time);
    for (int n = 0; n < OccasionalPages; ++n) {
        const int date = Reg(board, RegOccasionalDate + n);
        if (date != 0 && date == c.MonthDay() &&
            Within(c.TimeOfDay(), Reg(board, RegOccasionalStart + n), Reg(board, RegOccasionalEnd + n)))
            return TextPages - OccasionalPages + n;
    }
    return NoPage;
}

int ShownPage(const DisplaySource& board, const DisplayTime& time) {
    const int occasional = OccasionalPage(board, time);
    return occasional != NoPage ? occasional : PresentationPage(board, time.ms);
}

int PresentationPage(const DisplaySource& board, int64_t ms) {
    int page = Reg(board, RegActivePage);
    const int count = std::min(Reg(board, RegPresentationCount), MaxPresentation);
    if (count > 0) {
        const int64_t switchMs = int64_t(std::clamp(Reg(board, RegPresentationTime), 1, 240)) * 1000;
        page = Reg(board, RegPresentationFirst + int((std::max<int64_t>(0, ms) / switchMs) % count));
    }
    return page <= LastPage ? page : NoPage;
}

int BrightnessInForce(const DisplaySource& board, const DisplayTime& time) {
    int level;
    if (Reg(board, RegLightSensorOn) == 1) {
        level = Reg(board, RegCurrentBrightness);
    } else {
        const bool day =
            Within(ClockOf(board, time).TimeOfDay(), Reg(board, RegDayStart), Reg(board, RegNightStart));
        level = Reg(board, day ? RegDayBrightness : RegNightBrightness);
    }
    return std::clamp(level, 0, 100);
}

QSize DisplayDots(int sizeCode) {
    return {(sizeCode % 100 + 1) * 8, std::clamp(layout::Rows(sizeCode), 1, MaxDisplayRows) * CellHeight};
}

void ComposeDisplay(const DisplaySource& board, const DisplayTime& time, DotFrame& out) {
    ComposePage(board, ShownPage(board, time), time, out);
}

void ComposePage(const DisplaySource& board, int page, const DisplayTime& time, DotFrame& out) {
    const QSize dots = DisplayDots(Reg(board, RegBoardSize));
    out.width = dots.width();
    out.height = dots.height();
    out.level = BrightnessInForce(board, time);
    out.dots.assign(size_t(out.width) * size_t(out.height), 0);

    const int lineHeight = Reg(board, RegDoubleHeight) != 0 ? 2 * CellHeight : CellHeight;
    if (page > LastPage)
        page = NoPage;
    if (page >= FirstGraphicPage)
        DrawGraphicPage(board, page, out);
    else if (page >= 0)
        DrawTextPage(board, page, time, out, lineHeight);
    DrawClock(board, time, out, lineHeight);
}

QRgb DotColour(bool lit, int level) {
    const int l = std::clamp(level, 0, 100);
    if (!lit || l == 0)
        return UnlitColour;
    // LEDs are dimmed by duty cycle and the eye sees far more than the duty: 1 % is a dim
    // glow, not darkness. Follow the eye's square-root response above a floor that keeps every
    // level from 1 clearly lit against a dot that is off.
    const double seen = DimFloor + (1.0 - DimFloor) * std::sqrt(l / 100.0);
    const auto channel = [seen](int full, int off) { return off + int(std::lround((full - off) * seen)); };
    return qRgb(channel(qRed(LitColour), qRed(UnlitColour)), channel(qGreen(LitColour), qGreen(UnlitColour)),
                channel(qBlue(LitColour), qBlue(UnlitColour)));
}

DotRenderer::DotRenderer(int dotPitch) : m_pitch(std::clamp(dotPitch, 1, 32)) {}

void DotRenderer::MakeSprites(int level) {
    const int p = m_pitch;
    for (int lit = 0; lit < 2; ++lit) {
        const QRgb dot = DotColour(lit != 0, level);
        std::vector<uint32_t>& s = m_sprites[lit];
        s.resize(size_t(p) * size_t(p));
        for (int y = 0; y < p; ++y)
            for (int x = 0; x < p; ++x) {
                const double a = Coverage(x, y, p);
                const auto mix = [a](int on, int off) { return int(std::lround(on * a + off * (1 - a))); };
                s[size_t(y * p + x)] =
                    qRgb(mix(qRed(dot), qRed(PanelColour)), mix(qGreen(dot), qGreen(PanelColour)),
                         mix(qBlue(dot), qBlue(PanelColour)));
            }
    }
    m_spriteLevel = level;
}

const QImage& DotRenderer::Paint(const DotFrame& frame) {
    const int p = m_pitch;
    const QSize size(frame.width * p, frame.height * p);
    if (frame == m_painted && m_image.size() == size)
        return m_image;
    if (m_image.size() != size)
        m_image = QImage(size, QImage::Format_RGB32);
    if (m_image.isNull()) { // no memory for it: nothing is drawn, callers see a null image
        m_painted = {};
        return m_image;
    }
    if (m_spriteLevel != frame.level)
        MakeSprites(frame.level);
    const size_t rowBytes = size_t(p) * sizeof(uint32_t);
    for (int y = 0; y < frame.height; ++y) {
        const uint8_t* dots = frame.dots.data() + size_t(y) * size_t(frame.width);
        for (int r = 0; r < p; ++r) {
            auto* line = reinterpret_cast<uint32_t*>(m_image.scanLine(y * p + r));
            const uint32_t* spriteRow[2] = {m_sprites[0].data() + size_t(r * p),
                                            m_sprites[1].data() + size_t(r * p)};
            for (int x = 0; x < frame.width; ++x)
                std::memcpy(line + x * p, spriteRow[dots[x] != 0], rowBytes);
        }
    }
    m_painted = frame;
    return m_image;
}

const QImage& DotRenderer::Render(const DisplaySource& board, const DisplayTime& time) {
    ComposeDisplay(board, time, m_frame);
    return Paint(m_frame);
}

} // namespace kx9::render
