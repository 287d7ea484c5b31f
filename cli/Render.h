// SPDX-License-Identifier: MIT
#pragma once

#include "Outcome.h"

namespace kx9::cli {

// render FILE.cfg PAGE OUT.png: page 0..124 of a configuration file drawn as the board's display
// shows it, without a board. Graphic pages take their picture from grafika.ini in the working
// folder, as the program does.
Outcome RenderPage(Session& session);

} // namespace kx9::cli
