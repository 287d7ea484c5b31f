// SPDX-License-Identifier: MIT
#pragma once

#include "../link/World.h"

#include <QDialog>

namespace kx9 {

// A window whose body comes later: named, captioned, sized, and holding the world it will use.
class PlaceholderWindow : public QDialog {
protected:
    PlaceholderWindow(World& world, const char* objectName, const char* caption) : m_world(world) {
        setObjectName(QString::fromUtf8(objectName));
        setWindowTitle(QString::fromUtf8(caption));
        setWindowFlag(Qt::WindowContextHelpButtonHint, false);
        resize(400, 300);
    }

    [[maybe_unused]] World& m_world;
};

} // namespace kx9
