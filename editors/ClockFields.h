// SPDX-License-Identifier: MIT
#pragma once

#include "config/Encodings.h"

#include <QDateTime>
#include <QString>
#include <optional>

// What the time and date window makes of its fields and of the board's clock registers.
namespace kx9::clockfields {

// The years the board's clock can hold: it takes the century as 2000.
inline constexpr int FirstYear = 2000;
inline constexpr int LastYear = 2099;

// Where the time or the date appears: y * 100 + x, or 0 for not at all. Only the range is
// checked, so 150 (column 50) passes. Nothing for anything else.
std::optional<int> DisplayPosition(const QString& text);

// The clock registers as a date and a time to the minute; nothing when they form none.
std::optional<QDateTime> DecodeClock(const ClockRegisters& regs);

// Seconds to the next full minute: 60 - seconds, and 0 at a full minute.
int SecondsToFullMinute(const QTime& now);
QString CountdownText(int seconds);

} // namespace kx9::clockfields
