// SPDX-License-Identifier: MIT
#pragma once

#include "board/BoardModel.h"

#include <QDateTime>
#include <QImage>
#include <cstdint>
#include <vector>

// What the simulated board lights, drawn from its registers, pages and graphics: one pure
// renderer for kx9-sim's window and its snapshots.
namespace kx9::view {

// When the display is drawn: a monotonic time for what moves (scrolling, the presentation) and
// the board's own clock for what it tells (time, date, occasional pages, day or night).
struct DisplayTime {
    int64_t ms = 0;
    QDateTime clock; // invalid: the clock registers 4006..4008 as they stand, seconds 0
};

// The dots of the display, row by row, 1 = lit, and the brightness they are lit at.
struct DotFrame {
    int width = 0;
    int height = 0;
    int level = 100; // per cent
    std::vector<uint8_t> dots;

    bool Lit(int x, int y) const { return dots[size_t(y) * size_t(width) + size_t(x)] != 0; }
    bool operator==(const DotFrame&) const = default;
};

// Displays taller than this many text lines are cut; no page could fill them anyway.
constexpr int MaxDisplayRows = 16;
// Page numbers beyond the board's (the display stays dark for them).
constexpr int NoPage = -1;

// The page on the display at `time`: an occasional page within its hours on its day, else the
// presentation's page of the moment, else the active page; NoPage for a number the board lacks.
int ShownPage(const BoardModel& board, const DisplayTime& time);
// Brightness in force, 0..100: by the light sensor's reading, or by day and night.
int BrightnessInForce(const BoardModel& board, const DisplayTime& time);
// Dots across and down for a board size code (register 4013).
QSize DisplayDots(int sizeCode);
// Fills `out` (its storage is reused from frame to frame).
void ComposeDisplay(const BoardModel& board, const DisplayTime& time, DotFrame& out);

// Colours of the panel: lit dots at full brightness are LitColour; a dimmed dot lies between
// UnlitColour and LitColour as the eye sees its duty cycle, at least DimFloor of the way up
// from level 1 (level 0 is off).
constexpr QRgb PanelColour = 0xFF0E0E10;
constexpr QRgb UnlitColour = 0xFF34120E;
constexpr QRgb LitColour = 0xFFFF3018;
constexpr double DimFloor = 0.3;
QRgb DotColour(bool lit, int level);

// Draws frames as round dots, `dotPitch` pixels apart; keeps the dot sprites and the image
// between frames, so that drawing allocates nothing while the display keeps its size.
class BoardRenderer {
public:
    explicit BoardRenderer(int dotPitch = 6);

    // The image stays valid (and is reused) until the next call.
    const QImage& Paint(const DotFrame& frame);
    const QImage& Render(const BoardModel& board, const DisplayTime& time);
    const DotFrame& Frame() const { return m_frame; }
    int DotPitch() const { return m_pitch; }

private:
    void MakeSprites(int level);

    int m_pitch;
    int m_spriteLevel = -1;
    std::vector<uint32_t> m_sprites[2]; // unlit, lit: pitch x pitch pixels
    DotFrame m_frame;
    DotFrame m_painted;
    QImage m_image;
};

// One frame as a picture of its own.
QImage RenderBoard(const BoardModel& board, const DisplayTime& time, int dotPitch = 6);

} // namespace kx9::view
