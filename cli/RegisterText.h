// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// Registers and pages in the words the windows use for them.
namespace kx9::cli {

// What board register `reg` (4000..4344) holds: "Jasność dla dnia", "Urządzenie nr 2: Adres
// Urządzenia"; empty for a register the board does not have.
QString Meaning(int reg);
// `value` as the windows show it ("06:00", "8N2", "wiersz 2, kolumna 5"); empty when the
// number itself is what is shown.
QString Decoded(int reg, int value);
// "06:00 (600)", or "600" when the number is all there is.
QString ValueText(int reg, int value);
// "strona RAM 5", "strona graficzna 115" ...
QString PageKind(int page);

} // namespace kx9::cli
