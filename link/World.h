// SPDX-License-Identifier: MIT
#pragma once

#include "../config/Clock.h"
#include "../config/ConfigImage.h"
#include "Dialogs.h"
#include "Modbus.h"
#include "SerialPort.h"
#include "Transfer.h"

namespace kx9 {

// The shared data of one program run: the image, the link and the transfer state.
// Created once at start-up and handed to every window by reference; tests build their own.
struct World {
    World(SerialPort& port, Dialogs& dialogs, Clock& clock)
        : port(port), dialogs(dialogs), clock(clock), link(image, port, dialogs, clock),
          scheduler(image, link, dialogs, clock) {}

    SerialPort& port;
    Dialogs& dialogs;
    Clock& clock;
    ConfigImage image;
    ModbusLink link;
    Scheduler scheduler;
};

} // namespace kx9
