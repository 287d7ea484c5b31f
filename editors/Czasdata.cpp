// SPDX-License-Identifier: MIT
#include "Czasdata.h"

namespace kx9 {

TfCzasData::TfCzasData(World& world) : m_world(world) {
    setObjectName("fCzasData");
    setWindowTitle("Czas i Data");
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    resize(400, 300);
}

} // namespace kx9
