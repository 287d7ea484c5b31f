// SPDX-License-Identifier: MIT
#pragma once

#include "LineTrace.h"

#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>

namespace kx9 {

enum class Parity { None, Even, Odd };

struct LineSettings {
    int baud = 115200;
    Parity parity = Parity::None;
    int stopBits = 2;
};

// Parity and stop bits of frames 0..3 (8N1, 8N2, 8E1, 8O1, as FrameNames); data bits are
// always 8. The link and the simulated board's bus both read it.
struct FrameShape {
    Parity parity;
    int stopBits;
};
inline constexpr std::array<FrameShape, 4> FrameShapes = {
    {{Parity::None, 1}, {Parity::None, 2}, {Parity::Even, 1}, {Parity::Odd, 1}}};

// Line settings for FrameIndex 0..3 and BaudIndex 0..7 (out-of-range indexes are clamped).
LineSettings LineSettingsFor(int frameIndex, int baudIndex);

// The serial port as the link needs it. Nothing here blocks except write(), which returns
// once the bytes have left the port.
class SerialPort {
public:
    virtual ~SerialPort() = default;
    // `name` is "COM1".."COM8"; the backend maps it to a device.
    virtual bool open(const QString& name, const LineSettings& line) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // Drops what waits in both directions.
    virtual void purge() = 0;
    // Returns the number of bytes written.
    virtual int write(const uint8_t* data, int length) = 0;
    // Bytes received and not yet read.
    virtual int bytesWaiting() = 0;
    // Moves at most `max` waiting bytes into `buffer`; never waits.
    virtual int read(uint8_t* buffer, int max) = 0;
    // Copies at most `max` waiting bytes without taking them; 0 where a port cannot look ahead.
    virtual int peek(uint8_t* /*buffer*/, int /*max*/) { return 0; }
    // The device `name` leads to, as failure details show it.
    virtual QString deviceName(const QString& name) const { return name; }
    // Why the last open failed or the port was lost, in the system's words; empty when not known.
    virtual QString lastError() const { return QString(); }
    // A line over the network: open() only starts the connection, which goes on while the
    // window runs; a request written meanwhile leaves once it is made.
    virtual bool network() const { return false; }
    virtual bool connecting() { return false; }
    // Why the board gave no answer to the request written last, when the far end of the line
    // (a gateway) said so; empty otherwise.
    virtual QString noAnswerReason() const { return QString(); }
    // What the port itself does with the bytes (an echo skipped, a reply dropped), for the
    // trace; empty when nobody watches.
    using Trace = std::function<void(LineTrace::Event, const QByteArray& bytes, const QString& note)>;
    virtual void setTrace(Trace /*trace*/) {}
};

} // namespace kx9
