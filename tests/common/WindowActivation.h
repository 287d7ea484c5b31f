// SPDX-License-Identifier: MIT
#pragma once

#include <QLineEdit>
#include <QTest>
#include <QWidget>

namespace kx9::test {

constexpr int ActivationWaitMs = 2000;

// Brings `window` back to the front through the platform, as an operator's click does:
// `other` becomes the active window first, then `window`, which gets a real WindowActivate.
inline bool ActivateAgain(QWidget& window, QWidget& other) {
    other.show();
    other.activateWindow();
    if (!QTest::qWaitForWindowActive(&other, ActivationWaitMs))
        return false;
    window.activateWindow();
    return QTest::qWaitForWindowActive(&window, ActivationWaitMs);
}

// Replaces what `field` shows by typing, key by key.
inline void TypeInto(QLineEdit& field, const QString& text) {
    field.selectAll();
    QTest::keyClicks(&field, text);
}

} // namespace kx9::test
