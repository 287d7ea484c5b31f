// SPDX-License-Identifier: MIT
#pragma once

#include "../link/World.h"

#include <QDialog>

namespace kx9 {

// "Scroll - przewijanie linii" - scrolling of the text lines.
class TfPrzewijanie : public QDialog {
    Q_OBJECT
public:
    explicit TfPrzewijanie(World& world);

private:
    [[maybe_unused]] World& m_world; // the body of this window comes later
};

} // namespace kx9
