// SPDX-License-Identifier: MIT
#pragma once

#include "PlaceholderWindow.h"

namespace kx9 {

// "Edytor Prezentacji Automatycznej" - the automatic presentation.
class TfPrezentacja : public PlaceholderWindow {
    Q_OBJECT
public:
    explicit TfPrezentacja(World& world);
};

} // namespace kx9
