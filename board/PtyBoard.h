// SPDX-License-Identifier: MIT
#pragma once

#include "BoardModel.h"

#include <QString>
#include <functional>
#include <vector>

namespace kx9 {

// How kx9-sim runs its board on the line.
struct SimOptions {
    QString link = QStringLiteral("COM1"); // symlink to the line, made at start, removed at exit
    bool log = false;                      // hex of every request and reply on stderr
    bool pace = false;                     // take the wire time of each frame at the board's rate
    int turnaroundMs = 2;                  // silence between the request and the reply
    // Run between frames while the line is quiet (kx9-sim's board view): returns the longest
    // wait in ms before it wants to run again, or a negative number to end the run.
    std::function<int()> betweenFrames;
};

// Bits on the wire per byte: start, 8 data, parity or second stop bit, stop.
int BitsPerByte(int frameIndex);
// The RTU end-of-frame silence in ms: 3.5 characters, but at least 5 ms, because a
// pseudo-terminal delivers bytes in bursts, not at the rate of a line.
double FrameGapMs(int frameIndex, int baud);

// The output rate a terminal is set to, in bit/s, rates without a Bxxx constant (14400)
// included; 0 where it cannot be read.
int TerminalRate(int fd);

// Offers `boards` on one new pseudo-terminal linked at options.link, as boards chained on one
// RS-485 line, and answers requests until SIGINT or SIGTERM. Returns the exit code. Only on
// systems with pseudo-terminals.
int RunPtyBoard(const std::vector<BoardModel*>& boards, const SimOptions& options);
inline int RunPtyBoard(BoardModel& board, const SimOptions& options) {
    return RunPtyBoard(std::vector<BoardModel*>{&board}, options);
}

} // namespace kx9
