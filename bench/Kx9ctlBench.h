// SPDX-License-Identifier: MIT
#pragma once

#include "config/ConfigImage.h"

#include <QString>
#include <QStringList>
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

// The transfers of the program that the benchmark times.
enum class Transfer { WholeWrite, WholeRead, PagesWrite, PagesRead };

// What a transfer must take at least, found by running it against a board in this process:
// `floorS` with the exchanges back to back (each its request on the wire, or the simulated
// board's silence when that is longer, its turnaround and its reply) and the pauses; `ticksS`
// as the program's timers send them, each request on the first 20 ms sequencer tick after the
// reply before it (a pause of a tick or more within a tick starts the ticks afresh).
struct Floor {
    int requests = 0;
    double wireS = 0;
    double floorS = 0;
    double ticksS = 0;
};
// Over a network line (`latencyMs` >= 0) each exchange is the request's and the reply's wire
// time on the board's line, its turnaround and the network's round trip: the converter passes a
// request on whole, so no end-of-frame silence is waited for.
Floor FloorOf(Transfer transfer, const ConfigImage& sample, int baudIndex, double latencyMs = -1);

// Runs `kx9ctl` from the current folder against the board there (COM1, 8N2, address 1) at
// `baudIndex`: read and write, as paced by the program and with --fast. `sample` is written.
std::vector<Kx9ctlRow> MeasureKx9ctl(const QString& kx9ctl, int baudIndex, const ConfigImage& sample,
                                     double configuratorReadS, double configuratorWriteS);

// kx9ctl's whole read over the network line `line` (RTU over TCP, the board's line at
// `baudIndex` behind it, `latencyMs` each round trip): paced by the program, beside its tick
// floor, and with --fast, beside its pause floor.
std::vector<Kx9ctlRow> MeasureNetworkRead(const QString& kx9ctl, const QString& line, int baudIndex,
                                          const ConfigImage& sample, double latencyMs);
// The table of those rows, against the same limits; whether every row kept its limit.
bool PrintNetwork(const std::vector<Kx9ctlRow>& rows, double latencyMs);

// The table, and whether every row kept its limit: --fast at most 1.15 x the floor, the
// program's pacing at most 1.05 x the program's own time.
bool PrintKx9ctl(const std::vector<Kx9ctlRow>& rows);

// kx9ctl write to a fleet: every board of every line at once, beside one board's write.
struct FleetRun {
    const char* kind = "ports"; // what the lines are, as printed
    int lines = 0;
    int boardsPerLine = 0;
    int baud = 0;
    double oneS = 0;   // one board
    double fleetS = 0; // every board: the lines side by side, each line's boards in a row
    int boardsOk = 0;
    bool ok = false;
};

// `links` are kx9-sim lines (8N2 at `baudIndex`), each with boards at addresses
// 1..`boardsPerLine`; `sample` is written to board 1 of the first line, then to all of them.
FleetRun MeasureFleet(const QString& kx9ctl, const QStringList& links, int boardsPerLine, int baudIndex,
                      const ConfigImage& sample);

// The fleet's time beside one board's, the ideal (one line's boards in a row) and the limit
// 1.1 x the ideal; whether it kept the limit.
bool PrintFleet(const FleetRun& run);

} // namespace kx9::bench
