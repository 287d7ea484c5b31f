// SPDX-License-Identifier: MIT
#pragma once

#include "Commands.h"

#include <vector>

// Finding a board whose address, rate or frame nobody remembers: one identification request
// (function 17, never a broadcast) at each address, rate and frame, each waiting only as long
// as a reply at that rate takes.
namespace kx9::cli {

struct ScanPoint {
    int address = 1;
    int baudIndex = 7;
    int frameIndex = 1;
    bool operator==(const ScanPoint&) const = default;
};

// The board's own settings when it leaves the factory.
inline constexpr ScanPoint BoardDefaults{1, 7, 1};
// What a board may take to start its reply once a request has ended, beyond the line's
// silence of 3.5 characters.
constexpr double ProbeTurnaroundMs = 20;

// `first` (def.cfg's settings), the board's defaults, then addresses 1..247 at each of `rates`
// and `frames` in their order; each point once, and only at rates and frames of the lists.
std::vector<ScanPoint> ScanOrder(const ScanPoint& first, const std::vector<int>& rates,
                                 const std::vector<int>& frames);
// How long a probe waits for a reply to begin: the request and a KX9 reply on the wire, the
// line's silence, and the turnaround.
double ProbeWindowMs(int baudIndex, int frameIndex);
// The longest a scan of `rates` x `frames` takes: every probe waiting its whole window.
double ScanWorstCaseMs(const std::vector<int>& rates, const std::vector<int>& frames);

Outcome RunScan(Session& session);

} // namespace kx9::cli
