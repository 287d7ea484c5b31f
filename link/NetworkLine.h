// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <cstdint>
#include <optional>

namespace kx9 {

// A line to the boards through the network instead of a serial port of this PC:
// "tcp://HOST:PORT" (a converter that passes the RTU bytes through unchanged) or
// "modbus-tcp://HOST:PORT" (a gateway that speaks Modbus TCP and puts RTU on its line).
struct NetworkLine {
    enum class Kind { RtuOverTcp, ModbusTcp };
    Kind kind = Kind::RtuOverTcp;
    QString host;
    uint16_t port = 0;

    // "tcp://HOST:PORT"; an IPv6 host in brackets.
    QString Text() const;
    // "127.0.0.1:5020", as the details name the far end.
    QString HostPort() const;
    // "RTU przez TCP", "bramka Modbus TCP".
    QString KindText() const;
};

// The network line `text` names; nothing when it names none (a COM name, a device path).
std::optional<NetworkLine> ParseNetworkLine(const QString& text);
// `text` looks like a network line, well formed or not ("tcp:", "modbus-tcp:").
bool LooksLikeNetworkLine(const QString& text);
// Why `text` is no usable network line, in Polish; empty when it is one.
QString NetworkLineProblem(const QString& text);

} // namespace kx9
