// SPDX-License-Identifier: MIT
#pragma once

#include "../link/World.h"

#include <QDialog>

namespace kx9 {

// "Edytor Prezentacji Automatycznej" - the automatic presentation.
class TfPrezentacja : public QDialog {
    Q_OBJECT
public:
    explicit TfPrezentacja(World& world);

private:
    [[maybe_unused]] World& m_world; // the body of this window comes later
};

} // namespace kx9
