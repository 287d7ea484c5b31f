// SPDX-License-Identifier: MIT
#include "Konf_graf.h"

namespace kx9 {

TKonGraf::TKonGraf([[maybe_unused]] Transfers& transfers) : PlaceholderWindow("KonGraf", "Konfiguracja Grafik") {}

} // namespace kx9
