// SPDX-License-Identifier: MIT
#include "Konf_graf.h"

namespace kx9 {

TKonGraf::TKonGraf(World& world) : PlaceholderWindow(world, "KonGraf", "Konfiguracja Grafik") {}

} // namespace kx9
