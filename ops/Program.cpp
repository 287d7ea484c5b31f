// SPDX-License-Identifier: MIT
#include "Program.h"

namespace kx9 {

Program::Program(SerialPort& port, Dialogs& dialogs, Clock& clock)
    : port(port), dialogs(dialogs), clock(clock), link(image, port, dialogs, clock),
      scheduler(image, link, dialogs), transfers(image, scheduler, dialogs, clock, progress),
      ops(transfers, link) {
    scheduler.SetProgressHider([this] { progress.HideProgress(); });
}

} // namespace kx9
