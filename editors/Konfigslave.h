// SPDX-License-Identifier: MIT
#pragma once

#include "../link/World.h"

#include <QDialog>

namespace kx9 {

// "Konfiguracja połączenia z zewnętrznymi urządzeniami" - the external devices the board polls.
class TfKonfigSlave : public QDialog {
    Q_OBJECT
public:
    explicit TfKonfigSlave(World& world);

private:
    [[maybe_unused]] World& m_world; // the body of this window comes later
};

} // namespace kx9
