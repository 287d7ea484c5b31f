// SPDX-License-Identifier: MIT
#include "Prezentacja.h"

namespace kx9 {

TfPrezentacja::TfPrezentacja(World& world)
    : PlaceholderWindow(world, "fPrezentacja", "Edytor Prezentacji Automatycznej") {}

} // namespace kx9
