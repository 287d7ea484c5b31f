// SPDX-License-Identifier: MIT
#include "Prezentacja.h"

namespace kx9 {

TfPrezentacja::TfPrezentacja(World& world) : m_world(world) {
    setObjectName("fPrezentacja");
    setWindowTitle("Edytor Prezentacji Automatycznej");
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    resize(400, 300);
}

} // namespace kx9
