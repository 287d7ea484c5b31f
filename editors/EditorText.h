// SPDX-License-Identifier: MIT
#pragma once

#include <QLineEdit>
#include <QString>

// Texts and small helpers the text page editor's two files share.
namespace kx9::pagetext {

inline const QString TextRam = QStringLiteral("Strony w pamięci RAM");
inline const QString TextEeprom = QStringLiteral("Strony w pamięci EEPROM");
inline const QString TextOccasional = QStringLiteral("Strony okolicznościowe");
inline const QString TextNoPage = QStringLiteral("Nie wybrano tablicy");
inline const QString TextLineLimit = QStringLiteral("Maksymalna liczba znaków w wierszu: ");

inline const QString PageNumberText =
    QStringLiteral("Nieprawidłowa strona. Wpisz wartość z przedziału od 0 do 124 i spróbuj ponownie.");
inline const QString PageNumberTitle = QStringLiteral("Błąd numeru strony");
inline const QString LineLengthTitle = QStringLiteral("Błąd liczby znaków");
inline const QString Over200Text = QStringLiteral(
    "Nieprawidłowa liczba znaków. Całkowita liczba znaków nie może przekraczać 200 znaków/strone.");
inline const QString ShorterText =
    QStringLiteral("Nieprawidłowa liczba znaków. Uwaga liczba znaków jest mniejsza od rozmiaru tablicy.");
inline const QString BoardSizeText =
    QStringLiteral("Nieprawidłowy rozmiar tablicy. Zdefiniuj rozmiar tablicy jako "
                   "wiersz*100 + liczba znaków w wierszu.");
inline const QString BoardSizeQuestion =
    QStringLiteral("Uwaga: Zapis rozmiaru wymaga uprawnień serwisu.\n"
                   "Jeżeli nie masz tych uprawnień zapis nie powidzie się. \n"
                   "Kontynuować?");
inline const QString BoardSizeQuestionTitle = QStringLiteral("Zapisać rozmiar?");

constexpr int TrackingIntervalMs = 300;

constexpr int FirstEeprom = 100;
constexpr int FirstOccasional = 110;
constexpr int LastActivePage = 124;

inline bool ParseInt(const QLineEdit* field, int* value) {
    bool ok = false;
    *value = field->text().trimmed().toInt(&ok);
    return ok;
}

} // namespace kx9::pagetext
