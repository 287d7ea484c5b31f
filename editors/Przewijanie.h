// SPDX-License-Identifier: MIT
#pragma once

#include "PlaceholderWindow.h"

namespace kx9 {

// "Scroll - przewijanie linii" - scrolling of the text lines.
class TfPrzewijanie : public PlaceholderWindow {
    Q_OBJECT
public:
    explicit TfPrzewijanie(World& world);
};

} // namespace kx9
