// SPDX-License-Identifier: MIT
#include "Konfigjasnosc.h"

namespace kx9 {

TfKonfigJasnosc::TfKonfigJasnosc(World& world)
    : PlaceholderWindow(world, "fKonfigJasnosc", "Konfiguracja jasności świecenia") {}

} // namespace kx9
