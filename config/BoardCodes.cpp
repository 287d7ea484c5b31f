// SPDX-License-Identifier: MIT
#include "BoardCodes.h"

#include <array>
#include <cstddef>

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

} // namespace kx9::pagecodec
