// SPDX-License-Identifier: MIT
#pragma once

#include <QDialog>

namespace kx9 {

// A window whose body comes later: named, captioned and sized.
class PlaceholderWindow : public QDialog {
protected:
    PlaceholderWindow(const char* objectName, const char* caption) {
        setObjectName(QString::fromUtf8(objectName));
        setWindowTitle(QString::fromUtf8(caption));
        setWindowFlag(Qt::WindowContextHelpButtonHint, false);
        resize(400, 300);
    }
};

} // namespace kx9
