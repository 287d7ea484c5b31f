// SPDX-License-Identifier: MIT
#pragma once

#include "BoardModel.h"
#include "PtyBoard.h"

#include <QString>
#include <vector>

namespace kx9 {

// What can go wrong on the network between the PC and the converter.
struct NetFault {
    enum class Kind { None, Echo, OtherTransaction, Reset, Silent };
    Kind kind = Kind::None;
    int after = 0;  // requests answered soundly first
    int count = -1; // requests it hits; -1: every one after (a reset: one)
};

// How kx9-sim offers its boards on the network.
struct TcpOptions {
    QString listen;       // "127.0.0.1:5020", "5020" (loopback), "[::1]:5020"
    bool gateway = false; // Modbus TCP in front of the line, else RTU over TCP
    int latencyMs = 0;    // the network's delay, once a request
    NetFault fault;
};

// "echo", "othertid", "reset", "silent", each with ":N" for N sound requests first and
// ":N:COUNT" for the number it hits.
bool ParseNetFault(const QString& text, NetFault& fault);

// Serves `boards` on one RS-485 line behind a converter (or gateway) listening at
// tcp.listen, until SIGINT or SIGTERM. The converter's line runs at the first board's rate and
// frame; a board set to another no longer hears it. Returns the exit code. Only on POSIX
// systems.
int RunTcpBoard(const std::vector<BoardModel*>& boards, const SimOptions& options, const TcpOptions& tcp);

} // namespace kx9
