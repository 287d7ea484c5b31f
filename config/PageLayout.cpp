// SPDX-License-Identifier: MIT
#include "PageLayout.h"

#include <algorithm>
#include <cstring>

namespace kx9::layout {

namespace {

// Only the low 16 bits of an entry are a register value.
unsigned Reg16(int code) {
    return static_cast<uint16_t>(code);
}

int LinesShown(int boardSizeCode) {
    return std::min(Rows(boardSizeCode), MaxLines);
}

// Modules across a page line (8 dots each). The sum wraps like the 16-bit register it comes
// from, so code 65535 is a line of none.
unsigned LineModules(int lineLengthCode) {
    return (Reg16(lineLengthCode) + 1) & 0xFFFF;
}

} // namespace

int Rows(int boardSizeCode) {
    return static_cast<int>(Reg16(boardSizeCode) / 100 + 1);
}

int BoardWidth(int boardSizeCode) {
    return static_cast<int>((Reg16(boardSizeCode) % 100 + 1) / 3 * 4);
}

// One length for reading and writing a page, also for codes where code + 1 is no multiple of 3.
int LineLength(int lineLengthCode) {
    return static_cast<int>(LineModules(lineLengthCode) * 4 / 3);
}

// The same modules as the text line, so both agree on odd codes.
int GraphicWidth(int lineLengthCode) {
    return static_cast<int>(LineModules(lineLengthCode) * 8);
}

BoardSize DecodeBoardSize(int boardSizeCode) {
    BoardSize size;
    size.rows = Rows(boardSizeCode);
    size.width = BoardWidth(boardSizeCode);
    size.entry = size.rows * 100 + size.width;
    return size;
}

std::optional<int> EncodeBoardSize(int typed) {
    const auto n = static_cast<uint32_t>(typed);
    const uint32_t rows = n / 100;
    const uint32_t width = n % 100;
    if (rows < 1 || rows > 5 || rows * width > 100 || width % 4 != 0)
        return std::nullopt;
    // A board no character wide would give a code ending in -1.
    if (width == 0)
        return std::nullopt;
    return static_cast<int>((rows - 1) * 100 + width / 4 * 3 - 1);
}

LineLengthResult EncodeLineLength(int typed, int boardSizeCode) {
    LineLengthResult result;
    if (typed % 4 != 0) {
        result.refusal = LineLengthRefusal::NotMultipleOf4;
        return result;
    }
    // 64 bits, so that no product wraps back under 200.
    const uint64_t total =
        uint64_t{static_cast<uint32_t>(typed)} * static_cast<uint64_t>(Rows(boardSizeCode));
    // A line of no characters is refused with the same answer as an overfull page.
    if (total > 200 || typed == 0) {
        result.refusal = LineLengthRefusal::Over200;
        return result;
    }
    const int code = typed / 4 * 3 - 1;
    if (static_cast<unsigned>(code) < Reg16(boardSizeCode) % 100) {
        result.refusal = LineLengthRefusal::ShorterThanBoard;
        return result;
    }
    result.code = code;
    return result;
}

std::vector<QByteArray> PageToLines(const ConfigImage::Page& page, int boardSizeCode, int lineLengthCode) {
    const int length = LineLength(lineLengthCode);
    const int lines = LinesShown(boardSizeCode);
    std::vector<QByteArray> result(static_cast<size_t>(lines));
    for (int i = 0; i < lines; ++i) {
        // A geometry too large for the page: the last lines are cut at its end or stay empty.
        const int start = i * length;
        if (start >= PageSize)
            break;
        const int room = std::min(length, PageSize - start);
        const char* slot = reinterpret_cast<const char*>(page.data()) + start;
        const void* zero = std::memchr(slot, 0, static_cast<size_t>(room));
        const int n = zero ? static_cast<int>(static_cast<const char*>(zero) - slot) : room;
        result[static_cast<size_t>(i)] = TrimLine(QByteArray(slot, n));
    }
    return result;
}

ConfigImage::Page LinesToPage(const std::vector<QByteArray>& lines, int boardSizeCode, int lineLengthCode) {
    ConfigImage::Page page{};
    const int length = LineLength(lineLengthCode);
    const int count = std::min(LinesShown(boardSizeCode), static_cast<int>(lines.size()));
    for (int i = 0; i < count; ++i) {
        const int start = i * length;
        if (start >= PageSize)
            break;
        const QByteArray& line = lines[static_cast<size_t>(i)];
        const int n = std::min({static_cast<int>(line.size()), length, PageSize - start});
        std::memcpy(page.data() + start, line.constData(), static_cast<size_t>(n));
    }
    return page;
}

QByteArray TrimLine(const QByteArray& text) {
    qsizetype end = text.size();
    while (end > 0 && text[end - 1] == ' ')
        --end;
    return text.left(end);
}

int EncodeTimeOfDay(int hour, int minute) {
    return hour * 100 + minute;
}

// Values no encoder produces (board or file) show as the nearest valid time.
QTime DecodeTimeOfDay(int value) {
    const int v = std::max(value, 0);
    return QTime(std::min(v / 100, 23), std::min(v % 100, 59));
}

int EncodeMonthDay(int month, int day) {
    return month * 100 + day;
}

// The date control shows the year 2003; impossible dates show as the nearest valid one.
QDate DecodeMonthDay(int value) {
    constexpr int Year = 2003;
    const int v = std::max(value, 0);
    const int month = std::clamp(v / 100, 1, 12);
    const int day = std::clamp(v % 100, 1, QDate(Year, month, 1).daysInMonth());
    return QDate(Year, month, day);
}

} // namespace kx9::layout
