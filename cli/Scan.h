// SPDX-License-Identifier: MIT
#pragma once

#include "Outcome.h"
#include "ops/BoardScan.h"

// `kx9ctl scan`: the scan of the operations, driven to its end, its finds as text and JSON.
namespace kx9::cli {

using kx9::BoardDefaults;
using kx9::ProbeWindowMs;
using kx9::ScanOrder;
using kx9::ScanPoint;
using kx9::ScanWorstCaseMs;
using kx9::SweepWorstCaseMs;

// The line printed before the scan starts: how many probes at most, and how long it may take.
QString ScanPlanText(const BoardScan& scan, int probeMs);

Outcome RunScan(Session& session);

} // namespace kx9::cli
