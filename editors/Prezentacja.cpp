// SPDX-License-Identifier: MIT
#include "Prezentacja.h"

namespace kx9 {

TfPrezentacja::TfPrezentacja([[maybe_unused]] Transfers& transfers, [[maybe_unused]] TPStron& stron)
    : PlaceholderWindow("fPrezentacja", "Edytor Prezentacji Automatycznej") {}

} // namespace kx9
