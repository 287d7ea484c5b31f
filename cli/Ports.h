// SPDX-License-Identifier: MIT
#pragma once

#include "Outcome.h"
#include "link/PortMap.h"

// `kx9ctl ports`: where COM1..COM8 lead and the serial devices of the system.
namespace kx9::cli {

// Every port name with its device, then the system's devices; the same as JSON.
Outcome ListPorts(const PortMap& map);
// `kx9ctl ports`: the user's port names as the program keeps them, listed.
Outcome RunPorts(Session& session);

} // namespace kx9::cli
