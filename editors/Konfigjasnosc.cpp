// SPDX-License-Identifier: MIT
#include "Konfigjasnosc.h"

namespace kx9 {

TfKonfigJasnosc::TfKonfigJasnosc(World& world) : m_world(world) {
    setObjectName("fKonfigJasnosc");
    setWindowTitle("Konfiguracja jasności świecenia");
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    resize(400, 300);
}

} // namespace kx9
