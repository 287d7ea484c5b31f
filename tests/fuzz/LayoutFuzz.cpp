// SPDX-License-Identifier: MIT
// The page layout functions for any register values and any page bytes.
#include "config/PageLayout.h"

#include <cstdlib>
#include <cstring>

using namespace kx9;
using namespace kx9::layout;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 8)
        return 0;
    auto word = [&](int at) { return int(data[at] | (data[at + 1] << 8)); };
    const int sizeCode = word(0);
    const int lineCode = word(2);
    const int typed = int(uint32_t(word(4)) | (uint32_t(word(6)) << 16));
    ConfigImage::Page page{};
    std::memcpy(page.data(), data + 8, std::min<size_t>(size - 8, page.size()));

    const std::vector<QByteArray> lines = PageToLines(page, sizeCode, lineCode);
    if (int(lines.size()) > MaxLines || int(lines.size()) > Rows(sizeCode))
        std::abort();
    const ConfigImage::Page back = LinesToPage(lines, sizeCode, lineCode);
    // Lines taken from a page and put back give the lines again.
    if (PageToLines(back, sizeCode, lineCode) != lines)
        std::abort();
    for (const QByteArray& line : lines)
        if (TrimLine(line) != line || line.size() > LineLength(lineCode))
            std::abort();

    const BoardSize decoded = DecodeBoardSize(sizeCode);
    if (decoded.rows != Rows(sizeCode) || decoded.width != BoardWidth(sizeCode))
        std::abort();
    if (const std::optional<int> code = EncodeBoardSize(typed)) {
        const BoardSize again = DecodeBoardSize(*code);
        if (again.entry != typed)
            std::abort();
    }
    const LineLengthResult length = EncodeLineLength(typed, sizeCode);
    if (length.refusal == LineLengthRefusal::None && LineLength(length.code) != typed)
        std::abort();
    DecodeTimeOfDay(typed);
    DecodeMonthDay(typed);
    EncodeTimeOfDay(data[0], data[1]);
    EncodeMonthDay(data[2], data[3]);
    return 0;
}
