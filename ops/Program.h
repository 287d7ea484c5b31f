// SPDX-License-Identifier: MIT
#pragma once

#include "BoardOps.h"
#include "Transfers.h"
#include "Views.h"
#include "config/Clock.h"
#include "config/ConfigImage.h"
#include "link/Dialogs.h"
#include "link/Modbus.h"
#include "link/SerialPort.h"
#include "link/Transfer.h"

namespace kx9 {

// Everything one run of the program shares: the image, the link, the scheduler and the
// operations, on the port, dialogs and clock it is given. The windows, the tests, the bench
// and the headless tools all build it here; several may live in one process.
struct Program {
    Program(SerialPort& port, Dialogs& dialogs, Clock& clock);
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    SerialPort& port;
    Dialogs& dialogs;
    Clock& clock;
    ConfigImage image;
    ModbusLink link;
    Scheduler scheduler;
    // The progress window once one is attached.
    ProgressRelay progress;
    Transfers transfers;
    BoardOperations ops;
};

} // namespace kx9
