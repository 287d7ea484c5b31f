// SPDX-License-Identifier: MIT
#pragma once

#include "../../board/BoardModel.h"
#include "../../board/SimPort.h"
#include "TestSeams.h"

namespace kx9::test {

// The in-process board behind its port, a clock that stands still and recorded boxes.
struct InProcessSeams {
    explicit InProcessSeams(const BoardModel::Options& options = {}) : board(options) {}
    BoardModel board;
    SimPort port{board};
    FakeClock clock;
    RecordingDialogs dialogs;
};

} // namespace kx9::test
