// SPDX-License-Identifier: MIT
#pragma once

#include "link/ModbusFrame.h"

#include <QByteArray>
#include <cstdint>
#include <vector>

namespace kx9::test {

// The request frames a board should take, built as the link builds them.
inline QByteArray ReadFrame(int first, int count, int address = 1) {
    uint8_t out[frame::BufferSize];
    return QByteArray(reinterpret_cast<const char*>(out), frame::BuildRead(out, address, first, count));
}

inline QByteArray WriteFrame(int first, const std::vector<int32_t>& values, int address = 1) {
    uint8_t out[frame::BufferSize];
    const int length = frame::BuildWrite(out, address, first, static_cast<int>(values.size()), values.data());
    return QByteArray(reinterpret_cast<const char*>(out), length);
}

} // namespace kx9::test
