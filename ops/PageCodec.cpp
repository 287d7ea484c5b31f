// SPDX-License-Identifier: MIT
#include "PageCodec.h"

#include "config/Cp1250.h"

#include <array>

namespace kx9::pagecodec {

namespace {

// Board codes 128..145 stand for these Windows-1250 letters, in this order:
// Ą Ć Ę Ł Ń Ó Ś Ź Ż ą ć ę ł ń ó ś ź ż.
constexpr int FirstBoardLetter = 128;
constexpr std::array<uint8_t, 18> PolishLetters = {165, 198, 202, 163, 209, 211, 140, 143, 175,
                                                   185, 230, 234, 179, 241, 243, 156, 159, 191};

} // namespace

uint8_t ConvertPageChar(uint8_t c, Direction direction) {
    if (direction == Direction::ToBoard) {
        for (size_t k = 0; k < PolishLetters.size(); ++k)
            if (PolishLetters[k] == c)
                return static_cast<uint8_t>(FirstBoardLetter + k);
        return c;
    }
    if (c >= FirstBoardLetter && c < FirstBoardLetter + static_cast<int>(PolishLetters.size()))
        return PolishLetters[static_cast<size_t>(c - FirstBoardLetter)];
    // An empty cell of the board's page reads as 0; in the editor it is a blank.
    if (c == 0)
        return ' ';
    return c;
}

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
        text[static_cast<size_t>(2 * i)] = ConvertPageChar(static_cast<uint8_t>((pair >> 8) & 0xFF), Direction::FromBoard);
        text[static_cast<size_t>(2 * i + 1)] = ConvertPageChar(static_cast<uint8_t>(pair & 0xFF), Direction::FromBoard);
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
