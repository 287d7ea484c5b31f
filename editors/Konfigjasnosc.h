// SPDX-License-Identifier: MIT
#pragma once

#include "../link/World.h"

#include <QDialog>

namespace kx9 {

// "Konfiguracja jasności świecenia" - brightness of the board.
class TfKonfigJasnosc : public QDialog {
    Q_OBJECT
public:
    explicit TfKonfigJasnosc(World& world);

private:
    [[maybe_unused]] World& m_world; // the body of this window comes later
};

} // namespace kx9
