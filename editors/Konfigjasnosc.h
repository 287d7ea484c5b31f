// SPDX-License-Identifier: MIT
#pragma once

#include "PlaceholderWindow.h"

namespace kx9 {

// "Konfiguracja jasności świecenia" - brightness of the board.
class TfKonfigJasnosc : public PlaceholderWindow {
    Q_OBJECT
public:
    explicit TfKonfigJasnosc(World& world);
};

} // namespace kx9
