// SPDX-License-Identifier: MIT
#pragma once

#include "DisplayRender.h"
#include "config/ConfigImage.h"

#include <QByteArray>
#include <array>

namespace kx9::render {

// The configuration image as a display source, with what the editors show but have not stored
// laid over it: registers, one text page and the graphic pages (which the image lacks).
class ImageSource : public DisplaySource {
public:
    explicit ImageSource(const ConfigImage& image) : m_image(image) {}

    int Reg(int reg) const override;
    const uint8_t* TextPage(int page) const override;
    QByteArrayView GraphicPage(int slot) const override;

    // Over the image until ClearShown.
    void ShowReg(int reg, int value);
    void ShowPage(int page, const ConfigImage::Page& text);
    void ClearShown();
    // Graphic slot 0..9 in the board's form (bands of 8 rows, bit 7 on top).
    void SetGraphic(int slot, const QByteArray& dots);

private:
    const ConfigImage& m_image;
    std::array<int32_t, MainCount + SlaveCount> m_regs{};
    std::array<bool, MainCount + SlaveCount> m_shown{};
    int m_page = -1;
    ConfigImage::Page m_text{};
    std::array<QByteArray, 10> m_graphics;
};

} // namespace kx9::render
