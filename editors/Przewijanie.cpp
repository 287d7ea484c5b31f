// SPDX-License-Identifier: MIT
#include "Przewijanie.h"

namespace kx9 {

TfPrzewijanie::TfPrzewijanie(World& world) : m_world(world) {
    setObjectName("fPrzewijanie");
    setWindowTitle("Scroll - przewijanie linii");
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    resize(400, 300);
}

} // namespace kx9
