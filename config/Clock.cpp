// SPDX-License-Identifier: MIT
#include "Clock.h"

#include <QThread>

namespace kx9 {

QDateTime SystemClock::now() const {
    return QDateTime::currentDateTime();
}

void SystemClock::pause(int ms) {
    if (ms > 0)
        QThread::msleep(static_cast<unsigned long>(ms));
}

} // namespace kx9
