// SPDX-License-Identifier: MIT
#pragma once

#include "../config/ConfigImage.h"
#include "SerialPort.h"

#include <QString>

namespace kx9 {

// One line to one board as a value: where it goes, the frame and rate, and the board's
// address. Whoever opens the link hands one down; nothing is written back into the settings,
// so a scan or a link change tries other lines on copies of its own.
struct LineTarget {
    QString port = QStringLiteral("COM1"); // a COM name, a device path or a network line
    int frameIndex = 1;
    int baudIndex = 7;
    int address = 1;

    // The line of the settings in use: "COMn" by their port number.
    static LineTarget Of(const LinkSettings& settings);
    static QString ComName(int portIndex) { return QStringLiteral("COM") + QString::number(portIndex + 1); }
    LineSettings Settings() const { return LineSettingsFor(frameIndex, baudIndex); }
    bool operator==(const LineTarget&) const = default;
};

inline LineTarget LineTarget::Of(const LinkSettings& s) {
    return {ComName(s.PortIndex), s.FrameIndex, s.BaudIndex, s.BoardAddress};
}

} // namespace kx9
