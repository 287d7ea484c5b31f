// SPDX-License-Identifier: MIT
#pragma once

#include "../link/World.h"

#include <QDialog>

namespace kx9 {

// "Konfiguracja Grafik" - the graphic pages.
class TKonGraf : public QDialog {
    Q_OBJECT
public:
    explicit TKonGraf(World& world);

private:
    [[maybe_unused]] World& m_world; // the body of this window comes later
};

} // namespace kx9
