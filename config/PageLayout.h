// SPDX-License-Identifier: MIT
#pragma once

#include "ConfigImage.h"

#include <QByteArray>
#include <QDate>
#include <QTime>
#include <optional>
#include <vector>

// Display geometry, page layout and the occasional schedule, as pure functions.
namespace kx9::layout {

constexpr int MaxLines = 5;

int Rows(int boardSizeCode);
int BoardWidth(int boardSizeCode);
int LineLength(int lineLengthCode);
// Dots across a graphic page: as wide as a page line, 8 dots to each module.
int GraphicWidth(int lineLengthCode);

struct BoardSize {
    int rows = 0;
    int width = 0; // characters across the board
    int entry = 0; // rows * 100 + width, as the operator types it
};
BoardSize DecodeBoardSize(int boardSizeCode);

// New BoardSizeCode for the typed entry, or nothing when refused.
std::optional<int> EncodeBoardSize(int typed);

enum class LineLengthRefusal { None, NotMultipleOf4, Over200, ShorterThanBoard };
struct LineLengthResult {
    LineLengthRefusal refusal = LineLengthRefusal::None;
    int code = 0; // new LineLengthCode when accepted
};
LineLengthResult EncodeLineLength(int typed, int boardSizeCode);

// Lines 0..min(Rows, 5)-1 of a page, each without trailing spaces (Windows-1250 bytes).
std::vector<QByteArray> PageToLines(const ConfigImage::Page& page, int boardSizeCode, int lineLengthCode);
// A new page from the lines; lines beyond Rows and characters beyond LineLength are dropped.
ConfigImage::Page LinesToPage(const std::vector<QByteArray>& lines, int boardSizeCode, int lineLengthCode);
QByteArray TrimLine(const QByteArray& text);

int EncodeTimeOfDay(int hour, int minute);
QTime DecodeTimeOfDay(int value);
int EncodeMonthDay(int month, int day);
QDate DecodeMonthDay(int value); // in the year 2003

} // namespace kx9::layout
