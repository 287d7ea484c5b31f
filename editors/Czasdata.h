// SPDX-License-Identifier: MIT
#pragma once

#include "PlaceholderWindow.h"

namespace kx9 {

// "Czas i Data" - the board's clock and the time and date display.
class TfCzasData : public PlaceholderWindow {
    Q_OBJECT
public:
    explicit TfCzasData(World& world);
};

} // namespace kx9
