// SPDX-License-Identifier: MIT
#include "Encodings.h"

#include "ConfigImage.h"

namespace kx9 {

int BaudIndexFromCode(int code) {
    if (code < 0 || code >= static_cast<int>(BoardBaudRates.size()))
        return -1;
    return code - (code > 4 ? 1 : 0) - (code > 7 ? 1 : 0);
}

int BaudCodeFromIndex(int index) {
    if (index < 0 || index >= static_cast<int>(BaudRates.size()))
        return -1;
    return index + (index > 4 ? 1 : 0) + (index > 6 ? 1 : 0);
}

ClockRegisters EncodeClock(const QDateTime& at) {
    const QDate date = at.date();
    const QTime time = at.time();
    return {time.hour() * 100 + time.minute(), date.year() % 100, date.month() * 100 + date.day()};
}

} // namespace kx9
