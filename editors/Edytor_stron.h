// SPDX-License-Identifier: MIT
#pragma once

#include "../app/BoardOps.h"
#include "../app/Ppost.h"
#include "../link/World.h"

#include <QDialog>

namespace kx9 {

// "Edytor Stron" - text pages, their names, the occasional schedule, and the board's
// active page and display geometry.
class TPStron : public QDialog {
    Q_OBJECT
public:
    TPStron(World& world, BoardOperations& operations, TPpasek& progress);
    // The scrolling and graphics windows its buttons show.
    void SetWindows(QWidget* przewijanie, QWidget* konGraf);
};

} // namespace kx9
