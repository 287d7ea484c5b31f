// SPDX-License-Identifier: MIT
#pragma once

#include "../link/World.h"

#include <QDialog>

namespace kx9 {

// "Czas i Data" - the board's clock and the time and date display.
class TfCzasData : public QDialog {
    Q_OBJECT
public:
    explicit TfCzasData(World& world);

private:
    [[maybe_unused]] World& m_world; // the body of this window comes later
};

} // namespace kx9
