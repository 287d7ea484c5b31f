// SPDX-License-Identifier: MIT
#include "Konf_graf.h"

namespace kx9 {

TKonGraf::TKonGraf(World& world) : m_world(world) {
    setObjectName("KonGraf");
    setWindowTitle("Konfiguracja Grafik");
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    resize(400, 300);
}

} // namespace kx9
