// SPDX-License-Identifier: MIT
#include "Przewijanie.h"

namespace kx9 {

TfPrzewijanie::TfPrzewijanie(World& world)
    : PlaceholderWindow(world, "fPrzewijanie", "Scroll - przewijanie linii") {}

} // namespace kx9
