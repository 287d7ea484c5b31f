// SPDX-License-Identifier: MIT
#pragma once

#include <QDateTime>

// How the board encodes rates and its clock in registers.
namespace kx9 {

// Board baud code (registers 4002 and 4005: 0..9 = 2400 .. 115200) and the PC's BaudIndex
// (0..7). The board also has 28800 (code 5) and 76800 (code 8), which the PC lacks: they fall
// to the rate below. -1 for a value outside its table.
int BaudIndexFromCode(int code);
int BaudCodeFromIndex(int index);

// The clock registers 4006..4008: hour * 100 + minute, the year within its century,
// month * 100 + day.
struct ClockRegisters {
    int time = 0;
    int year = 0;
    int date = 0;
};
ClockRegisters EncodeClock(const QDateTime& at);

} // namespace kx9
