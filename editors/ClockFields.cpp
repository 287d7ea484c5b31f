// SPDX-License-Identifier: MIT
#include "ClockFields.h"

#include "widgets/FieldHelpers.h"

namespace kx9::clockfields {

namespace {

constexpr int FirstPosition = 101;
constexpr int LastPosition = 529;

} // namespace

std::optional<int> DisplayPosition(const QString& text) {
    const std::optional<int> value = DecimalIn(text, 0, LastPosition);
    if (!value || (*value != 0 && *value < FirstPosition))
        return std::nullopt;
    return value;
}

std::optional<QDateTime> DecodeClock(const ClockRegisters& regs) {
    if (regs.time < 0 || regs.year < 0 || regs.year > LastYear - FirstYear || regs.date < 0)
        return std::nullopt;
    const QTime time(regs.time / 100, regs.time % 100);
    const QDate date(FirstYear + regs.year, regs.date / 100, regs.date % 100);
    if (!time.isValid() || !date.isValid())
        return std::nullopt;
    return QDateTime(date, time);
}

int SecondsToFullMinute(const QTime& now) {
    return now.second() == 0 ? 0 : 60 - now.second();
}

QString CountdownText(int seconds) {
    return QStringLiteral("Pozostało: ") + QString::number(seconds) + QStringLiteral(" s");
}

} // namespace kx9::clockfields
