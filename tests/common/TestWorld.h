// SPDX-License-Identifier: MIT
#pragma once

#include "../../app/BoardOps.h"
#include "../../app/Ppost.h"
#include "../../app/Status_kx91.h"
#include "../../link/QtSerialPort.h"
#include "../../link/World.h"
#include "BoardSeams.h"
#include "SchedulerTicks.h"

#include <utility>

namespace kx9::test {

// A real pseudo-terminal and the real clock.
struct LineSeams {
    QtSerialPort port;
    SystemClock clock;
    RecordingDialogs dialogs;
};

// The program's shared data and board operations, as the main window holds them, on the
// port, clock and dialogs of `Seams` (built first, so they outlive the world).
template <class Seams> struct ProgramWorld : Seams {
    template <class... Args> explicit ProgramWorld(Args&&... args) : Seams(std::forward<Args>(args)...) {}

    World world{this->port, this->dialogs, this->clock};
    TPpasek progress{world.scheduler.state};
    TPStatus status;
    BoardOperations ops{world, progress, status};

    bool Idle() const { return SchedulerIdle(world.scheduler); }
};

using BoardWorld = ProgramWorld<InProcessSeams>;
using LineWorld = ProgramWorld<LineSeams>;

} // namespace kx9::test
