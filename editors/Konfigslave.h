// SPDX-License-Identifier: MIT
#pragma once

#include "PlaceholderWindow.h"

namespace kx9 {

// "Konfiguracja połączenia z zewnętrznymi urządzeniami" - the external devices the board polls.
class TfKonfigSlave : public PlaceholderWindow {
    Q_OBJECT
public:
    explicit TfKonfigSlave(World& world);
};

} // namespace kx9
