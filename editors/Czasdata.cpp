// SPDX-License-Identifier: MIT
#include "Czasdata.h"

namespace kx9 {

TfCzasData::TfCzasData(World& world) : PlaceholderWindow(world, "fCzasData", "Czas i Data") {}

} // namespace kx9
