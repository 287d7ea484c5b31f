// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <string>
#include <vector>

namespace kx9::test {

// Requests as "r4020x3" (function 3) or "w4009x4" (function 16), in order; others as "f17".
inline std::vector<std::string> RequestSummary(const std::vector<QByteArray>& requests) {
    std::vector<std::string> out;
    for (const QByteArray& r : requests) {
        const int f = r.size() > 5 ? uint8_t(r[1]) : -1;
        const auto word = [&r](int at) { return std::to_string(uint8_t(r[at]) * 256 + uint8_t(r[at + 1])); };
        out.push_back(f == 3 || f == 16 ? (f == 3 ? "r" : "w") + word(2) + "x" + word(4)
                                        : "f" + std::to_string(f));
    }
    return out;
}

} // namespace kx9::test
