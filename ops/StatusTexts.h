// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>

namespace kx9 {

// Bits 15..10 of the status register 4265, each with its text when clear and when set; the
// bits below are not shown and never changed.
struct StatusBit {
    int bit;
    const char* whenClear;
    const char* whenSet;
};
inline constexpr StatusBit StatusBits[6] = {
    {15, "Pamięć SRAM....OK", "Błąd pamięci SRAM"},
    {14, "Pamięć EEPROM...OK", "Błąd pamięci EEPROM"},
    {13, "Zegar RTC...OK", "Błąd nastaw zegara RTC"},
    {12, "Brak zmiany czasu...OK", "Została wykonana zmiana czasu"},
    {11, "Zenętrzny czujnik oświetlenia...OK", "Błąd zewnętrznego czujnika oświetlenia"},
    {10, "Brak przerw w zasilaniu...OK", "Przerwa w zasilaniu tablicy"},
};
inline constexpr uint16_t StatusErrorBits = 0xFC00;

// The six texts, bit 15 first.
inline QStringList StatusTexts(uint16_t status) {
    QStringList texts;
    for (const StatusBit& b : StatusBits)
        texts << QString::fromUtf8(((status >> b.bit) & 1u) ? b.whenSet : b.whenClear);
    return texts;
}

} // namespace kx9
