// SPDX-License-Identifier: MIT
#include "SerialPort.h"

#include "../config/ConfigImage.h"

#include <algorithm>

namespace kx9 {

LineSettings LineSettingsFor(int frameIndex, int baudIndex) {
    static_assert(FrameShapes.size() == FrameNames.size());
    const int f = std::clamp(frameIndex, 0, int(FrameShapes.size()) - 1);
    const int b = std::clamp(baudIndex, 0, static_cast<int>(BaudRates.size()) - 1);
    LineSettings line;
    line.baud = BaudRates[b];
    line.parity = FrameShapes[size_t(f)].parity;
    line.stopBits = FrameShapes[size_t(f)].stopBits;
    return line;
}

} // namespace kx9
