// SPDX-License-Identifier: MIT
#include "SerialPort.h"

#include "../config/ConfigImage.h"

#include <algorithm>

namespace kx9 {

LineSettings LineSettingsFor(int frameIndex, int baudIndex) {
    struct Frame {
        Parity parity;
        int stopBits;
    };
    // 8N1, 8N2, 8E1, 8O1; data bits are always 8.
    static constexpr Frame frames[4] = {{Parity::None, 1}, {Parity::None, 2}, {Parity::Even, 1}, {Parity::Odd, 1}};

    const int f = std::clamp(frameIndex, 0, 3);
    const int b = std::clamp(baudIndex, 0, static_cast<int>(BaudRates.size()) - 1);
    LineSettings line;
    line.baud = BaudRates[b];
    line.parity = frames[f].parity;
    line.stopBits = frames[f].stopBits;
    return line;
}

} // namespace kx9
