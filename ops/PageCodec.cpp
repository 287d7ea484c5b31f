// SPDX-License-Identifier: MIT
#include "PageCodec.h"

#include "config/Cp1250.h"

#include <array>

namespace kx9::pagecodec {

std::optional<QByteArray> BoardText(const QString& text) {
    const std::optional<QByteArray> bytes = cp1250::FromUnicode(text);
    if (!bytes)
        return std::nullopt;
    for (char c : *bytes) {
        const auto byte = uint8_t(c);
        if (ConvertPageChar(ConvertPageChar(byte, Direction::ToBoard), Direction::FromBoard) != byte)
            return std::nullopt;
    }
    return bytes;
}

int PageFromWindow(ConfigImage& image) {
    const int32_t page = image.Reg(RegPageSelector);
    if (page < 0 || page >= PageCount)
        return -1;
    ConfigImage::Page text{};
    for (int i = 0; i < PageSize / 2; ++i) {
        const int32_t pair = image.Reg(RegPageWindow + i);
        text[static_cast<size_t>(2 * i)] =
            ConvertPageChar(static_cast<uint8_t>((pair >> 8) & 0xFF), Direction::FromBoard);
        text[static_cast<size_t>(2 * i + 1)] =
            ConvertPageChar(static_cast<uint8_t>(pair & 0xFF), Direction::FromBoard);
    }
    image.SetPage(page, text);
    return 1;
}

int PageToWindow(ConfigImage& image, int page) {
    if (page < 0 || page >= PageCount)
        return -1;
    const ConfigImage::Page& text = image.pages[static_cast<size_t>(page)];
    image.SetReg(RegPageSelector, page);
    for (int i = 0; i < PageSize / 2; ++i) {
        const int high = ConvertPageChar(text[static_cast<size_t>(2 * i)], Direction::ToBoard);
        const int low = ConvertPageChar(text[static_cast<size_t>(2 * i + 1)], Direction::ToBoard);
        image.SetReg(RegPageWindow + i, high * 256 + low);
    }
    return 1;
}

} // namespace kx9::pagecodec
