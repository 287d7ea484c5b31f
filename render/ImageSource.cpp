// SPDX-License-Identifier: MIT
#include "ImageSource.h"

namespace kx9::render {

int ImageSource::Reg(int reg) const {
    const int slot = ConfigImage::RegisterIndex(reg);
    if (slot < 0)
        return 0;
    return m_shown[size_t(slot)] ? m_regs[size_t(slot)] : m_image.Reg(reg);
}

const uint8_t* ImageSource::TextPage(int page) const {
    if (page < 0 || page >= PageCount)
        return nullptr;
    return page == m_page ? m_text.data() : m_image.pages[size_t(page)].data();
}

QByteArrayView ImageSource::GraphicPage(int slot) const {
    if (slot < 0 || slot >= int(m_graphics.size()))
        return {};
    return m_graphics[size_t(slot)];
}

void ImageSource::ShowReg(int reg, int value) {
    const int slot = ConfigImage::RegisterIndex(reg);
    if (slot < 0)
        return;
    m_regs[size_t(slot)] = value & 0xFFFF;
    m_shown[size_t(slot)] = true;
}

void ImageSource::ShowPage(int page, const ConfigImage::Page& text) {
    m_page = page;
    m_text = text;
}

void ImageSource::ClearShown() {
    m_shown.fill(false);
    m_page = -1;
}

void ImageSource::SetGraphic(int slot, const QByteArray& dots) {
    if (slot >= 0 && slot < int(m_graphics.size()))
        m_graphics[size_t(slot)] = dots;
}

} // namespace kx9::render
