// SPDX-License-Identifier: MIT
#pragma once

#include "PlaceholderWindow.h"
#include "ops/Transfers.h"

namespace kx9 {

// "Konfiguracja Grafik" - the graphic pages.
class TKonGraf : public PlaceholderWindow {
    Q_OBJECT
public:
    explicit TKonGraf(Transfers& transfers);
};

} // namespace kx9
