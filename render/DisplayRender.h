// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArrayView>
#include <QDateTime>
#include <QImage>
#include <QSize>
#include <cstdint>
#include <vector>

// What a KX9 board lights, drawn from its registers, text pages and graphic pages: one renderer
// for the simulator's board view and the configurator's preview, so both draw the same picture.
namespace kx9::render {

// Registers, pages and graphics a display is drawn from: a board's, or an image's with what the
// editors show on top.
class DisplaySource {
public:
    virtual ~DisplaySource() = default;
    // Holding register 4000..4344; 0 for any other.
    virtual int Reg(int reg) const = 0;
    // Text page 0..114: 200 bytes in the board's codes or in Windows-1250 (the font reads both);
    // null for a page there is none of.
    virtual const uint8_t* TextPage(int page) const = 0;
    // Graphic slot 0..9 as the board receives it: bands of 8 rows, bit 7 on top; may be empty.
    virtual QByteArrayView GraphicPage(int slot) const = 0;
};

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
constexpr int FirstGraphicPage = 115;
constexpr int LastPage = 124;
// Page numbers beyond the board's (the display stays dark for them).
constexpr int NoPage = -1;

// The page on the display at `time`: an occasional page within its hours on its day, else the
// presentation's page of the moment, else the active page; NoPage for a number the board lacks.
int ShownPage(const DisplaySource& source, const DisplayTime& time);
// The occasional page within its hours on its day at `time`, when they are allowed; else NoPage.
int OccasionalPage(const DisplaySource& source, const DisplayTime& time);
// The presentation's page at `ms`, or the active page when the list is empty.
int PresentationPage(const DisplaySource& source, int64_t ms);
// Brightness in force, 0..100: by the light sensor's reading, or by day and night.
int BrightnessInForce(const DisplaySource& source, const DisplayTime& time);
// Dots across and down for a board size code (register 4013).
QSize DisplayDots(int sizeCode);
// Fills `out` with `page` as the display shows it (its storage is reused from frame to frame).
void ComposePage(const DisplaySource& source, int page, const DisplayTime& time, DotFrame& out);
// Fills `out` with what the display shows at `time`.
void ComposeDisplay(const DisplaySource& source, const DisplayTime& time, DotFrame& out);

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
class DotRenderer {
public:
    explicit DotRenderer(int dotPitch = 6);

    // The image stays valid (and is reused) until the next call; null when there is no memory
    // for it.
    const QImage& Paint(const DotFrame& frame);
    const QImage& Render(const DisplaySource& source, const DisplayTime& time);
    const QImage& Image() const { return m_image; }
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

} // namespace kx9::render
