// SPDX-License-Identifier: MIT
#pragma once

#include "PlaceholderWindow.h"
#include "Edytor_stron.h"
#include "ops/Transfers.h"

namespace kx9 {

// "Edytor Prezentacji Automatycznej" - the automatic presentation.
class TfPrezentacja : public PlaceholderWindow {
    Q_OBJECT
public:
    TfPrezentacja(Transfers& transfers, TPStron& stron);
};

} // namespace kx9
