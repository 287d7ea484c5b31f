// SPDX-License-Identifier: MIT
#include "Konfigslave.h"

namespace kx9 {

TfKonfigSlave::TfKonfigSlave(World& world) : m_world(world) {
    setObjectName("fKonfigSlave");
    setWindowTitle("Konfiguracja połączenia z zewnętrznymi urządzeniami");
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    resize(400, 300);
}

} // namespace kx9
