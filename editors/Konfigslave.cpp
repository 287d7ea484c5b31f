// SPDX-License-Identifier: MIT
#include "Konfigslave.h"

namespace kx9 {

TfKonfigSlave::TfKonfigSlave(World& world)
    : PlaceholderWindow(world, "fKonfigSlave", "Konfiguracja połączenia z zewnętrznymi urządzeniami") {}

} // namespace kx9
