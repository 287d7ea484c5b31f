// SPDX-License-Identifier: MIT
#pragma once

#include "config/ConfigImage.h"

#include <QString>
#include <vector>

namespace kx9::bench {

// kx9ctl's whole read or write at one rate, beside the wire time of its frames and the pause
// floor: the wire time, the simulated board's end-of-frame silence and turnaround before each
// reply, and the pauses the program takes for the board (opens, page writes, read steps).
struct Kx9ctlRow {
    QString name;
    int baud = 0;
    double wallS = 0;
    int requests = 0;
    double wireS = 0;
    double floorS = 0;
    double configuratorS = 0; // the same transfer through the program's own timers, in process
    bool fast = false;
    bool ok = false;
};

// Runs `kx9ctl` from the current folder against the board there (COM1, 8N2, address 1) at
// `baudIndex`: read and write, as paced by the program and with --fast. `sample` is written.
std::vector<Kx9ctlRow> MeasureKx9ctl(const QString& kx9ctl, int baudIndex, const ConfigImage& sample,
                                     double configuratorReadS, double configuratorWriteS);

// The table, and whether every row kept its limit: --fast at most 1.15 x the floor, the
// program's pacing at most 1.05 x the program's own time.
bool PrintKx9ctl(const std::vector<Kx9ctlRow>& rows);

} // namespace kx9::bench
