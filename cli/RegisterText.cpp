// SPDX-License-Identifier: MIT
#include "RegisterText.h"

#include "Console.h"

#include "config/ConfigImage.h"
#include "config/Cp1250.h"
#include "config/PageLayout.h"
#include "ops/PageCodec.h"
#include "ops/StatusTexts.h"

#include <QDate>
#include <QStringList>
#include <iterator>

namespace kx9::cli {

namespace {

enum class Kind {
    Number,
    Frame,
    BoardBaud,
    Tenths,
    SlaveFrame,
    Time,
    Year,
    MonthDay,
    BoardSize,
    LineLength,
    OnOff,
    Percent,
    Direction,
    Lines,
    Position,
    TimeFormat,
    DateFormat,
    Allowed,
    Page,
    Occasional,
    Window,
    YesNo,
    Status,
    SlaveType,
    Decimals,
};

// A run of registers with one meaning; "%1" (and "%2") number the register within the run as
// the windows count it.
struct Entry {
    int first;
    int last;
    const char* meaning;
    Kind kind;
};

constexpr Entry Entries[] = {
    {4000, 4000, "Adres tablicy", Kind::Number},
    {4001, 4001, "Format ramki tablicy", Kind::Frame},
    {4002, 4002, "Prędkość transmisji tablicy", Kind::BoardBaud},
    {4003, 4003, "Urządzenia Slave: Time Out", Kind::Tenths},
    {4004, 4004, "Urządzenia Slave: Tryb Transmisji", Kind::SlaveFrame},
    {4005, 4005, "Urządzenia Slave: Prędkość Transmisji", Kind::BoardBaud},
    {4006, 4006, "Zegar: godzina", Kind::Time},
    {4007, 4007, "Zegar: rok", Kind::Year},
    {4008, 4008, "Zegar: data", Kind::MonthDay},
    {4009, 4009, "Jasność dla dnia", Kind::Number},
    {4010, 4010, "Jasność dla nocy", Kind::Number},
    {4011, 4011, "Początek dnia", Kind::Time},
    {4012, 4012, "Początek nocy", Kind::Time},
    {4013, 4013, "Rozmiar tablicy", Kind::BoardSize},
    {4014, 4014, "Ilość znaków w wierszu", Kind::LineLength},
    {4015, 4015, "Zewnętrzny czujnik oświetlenia", Kind::OnOff},
    {4016, 4016, "Minimalny poziom jasności", Kind::Number},
    {4017, 4017, "Maksymalny poziom jasności", Kind::Number},
    {4018, 4018, "nieużywany", Kind::Number},
    {4019, 4019, "Aktualny poziom jasności", Kind::Percent},
    {4020, 4020, "Prędkość przewijania [ms]", Kind::Number},
    {4021, 4021, "Kierunek przewijania", Kind::Direction},
    {4022, 4022, "Przewijanie linii", Kind::Lines},
    {4023, 4023, "Pozycja wyświetlania czasu", Kind::Position},
    {4024, 4024, "Format wyświetlania czasu", Kind::TimeFormat},
    {4025, 4025, "Pozycja wyświetlania daty", Kind::Position},
    {4026, 4026, "Format wyświetlania daty", Kind::DateFormat},
    {4027, 4027, "Komunikaty okolicznościowe", Kind::Allowed},
    {4028, 4028, "Czas przełączania prezentacji [s]", Kind::Number},
    {4029, 4142, "Prezentacja: pozycja %1", Kind::Page},
    {4143, 4144, "nieużywany", Kind::Number},
    {4145, 4145, "Liczba stron prezentacji", Kind::Number},
    {4146, 4146, "Aktywna strona", Kind::Page},
    {4147, 4151, "Strona %1: data komunikatu", Kind::Occasional},
    {4152, 4156, "Strona %1: początek wyświetlania", Kind::Time},
    {4157, 4161, "Strona %1: koniec wyświetlania", Kind::Time},
    {4162, 4162, "Wybór strony", Kind::Number},
    {4163, 4262, "Okno strony: znaki %1 i %2", Kind::Window},
    {4263, 4263, "nieużywany", Kind::Number},
    {4264, 4264, "Podwójna wysokość znaku", Kind::YesNo},
    {4265, 4265, "Rejestr statusu", Kind::Status},
    {4266, 4299, "nieużywany", Kind::Number},
};

// The nine words of each of the five slave records 4300 + 9d.
constexpr Entry SlaveWords[] = {
    {0, 0, "Pozycja Wyświetlania", Kind::Position},
    {1, 1, "Adres Urządzenia", Kind::Number},
    {2, 2, "Rejestr Bazowy", Kind::Number},
    {3, 3, "Liczba Rejestrów", Kind::Number},
    {4, 4, "Nr Rejestru Wyświetlanego", Kind::Number},
    {5, 5, "Typ Rejestru", Kind::SlaveType},
    {6, 6, "Okres przeglądania [s]", Kind::Number},
    {7, 7, "Format Wyświetlania", Kind::Decimals},
    {8, 8, "Liczba Znaków", Kind::Number},
};
constexpr int SlaveRecordSize = 9;

const char* const Directions[] = {"w lewo", "w prawo", "naprzemienne"};
const char* const TimeFormats[] = {"GG:MM:SS", "GG:MM"};
const char* const DateFormats[] = {"RRRR:MM:DD", "RR:MM:DD", "DD:MM:RRRR", "DD:MM:RR"};
const char* const SlaveTypes[] = {"char", "unsigned char", "integer", "unsigned integer",
                                  "long", "unsigned long", "float"};
const char* const DecimalFormats[] = {"0", "0,0", "0,00", "0,000"};

template <size_t N> QString Item(const char* const (&items)[N], int value) {
    return value >= 0 && size_t(value) < N ? QString::fromUtf8(items[value]) : QStringLiteral("poza listą");
}

const Entry* Find(int reg, int* within) {
    if (reg >= SlaveBase && reg < SlaveBase + SlaveCount) {
        *within = (reg - SlaveBase) / SlaveRecordSize;
        return &SlaveWords[(reg - SlaveBase) % SlaveRecordSize];
    }
    for (const Entry& e : Entries)
        if (reg >= e.first && reg <= e.last) {
            *within = reg - e.first;
            return &e;
        }
    return nullptr;
}

QString TimeText(int value) {
    const QTime time(value / 100, value % 100);
    return time.isValid() ? time.toString(QStringLiteral("HH:mm")) : QStringLiteral("nieprawidłowa godzina");
}

QString MonthDayText(int value) {
    // A leap year, so that 29 February is a day.
    const QDate date(2000, value / 100, value % 100);
    return date.isValid() ? date.toString(QStringLiteral("MM-dd")) : QStringLiteral("nieprawidłowa data");
}

QString Decode(Kind kind, int v) {
    switch (kind) {
    case Kind::Number:
        return {};
    case Kind::Frame:
        return v < int(FrameNames.size()) ? QString::fromLatin1(FrameNames[size_t(v)])
                                          : QStringLiteral("poza listą");
    case Kind::SlaveFrame:
        return v < int(FrameNames.size()) ? QStringLiteral("RTU") + QLatin1String(FrameNames[size_t(v)])
                                          : QStringLiteral("poza listą");
    case Kind::BoardBaud:
        return v < int(BoardBaudRates.size()) ? QStringLiteral("%1bps").arg(BoardBaudRates[size_t(v)])
                                              : QStringLiteral("poza listą");
    case Kind::Tenths:
        return QStringLiteral("%1 ms").arg(v * 100);
    case Kind::Time:
        return TimeText(v);
    case Kind::Year:
        return v < 100 ? QString::number(2000 + v) : QStringLiteral("nieprawidłowy rok");
    case Kind::MonthDay:
        return MonthDayText(v);
    case Kind::Occasional:
        return v == 0 ? QStringLiteral("komunikat wyłączony") : MonthDayText(v);
    case Kind::BoardSize: {
        const layout::BoardSize size = layout::DecodeBoardSize(v);
        return QStringLiteral("%1 x %2 znaków").arg(size.rows).arg(size.width);
    }
    case Kind::LineLength:
        return QStringLiteral("%1 znaków").arg(layout::LineLength(v));
    case Kind::OnOff:
        return v == 1   ? QStringLiteral("włączony")
               : v == 0 ? QStringLiteral("wyłączony")
                        : QStringLiteral("poza listą");
    case Kind::Percent:
        return QStringLiteral("%1%").arg(v);
    case Kind::Direction:
        return Item(Directions, v);
    case Kind::Lines: {
        QStringList lines;
        for (int n = 1; n <= layout::MaxLines; ++n)
            if (v & (1 << (n - 1)))
                lines << QString::number(n);
        return lines.isEmpty() ? QStringLiteral("żadna")
                               : QStringLiteral("linie ") + lines.join(QStringLiteral(", "));
    }
    case Kind::Position:
        if (v == 0)
            return QStringLiteral("nie wyświetlane");
        if (v < 101 || v > 529)
            return QStringLiteral("poza zakresem");
        return QStringLiteral("wiersz %1, kolumna %2").arg(v / 100).arg(v % 100);
    case Kind::TimeFormat:
        return Item(TimeFormats, v);
    case Kind::DateFormat:
        return Item(DateFormats, v);
    case Kind::Allowed:
        return v == 1 ? QStringLiteral("dozwolone") : QStringLiteral("niedozwolone");
    case Kind::Page:
        return PageKind(v);
    case Kind::Window: {
        using pagecodec::ConvertPageChar;
        using pagecodec::Direction;
        // A window from a file may hold any byte: none may reach the terminal as a control,
        // and an empty place is told from a blank.
        QString shown;
        for (const uint8_t c : {uint8_t(v >> 8), uint8_t(v & 0xFF)})
            shown += c == 0 ? QString(QChar(0x2400))
                            : PrintableLine(cp1250::ToUnicode(
                                  QByteArray(1, char(ConvertPageChar(c, Direction::FromBoard)))));
        return QLatin1Char('"') + shown + QLatin1Char('"');
    }
    case Kind::YesNo:
        return v != 0 ? QStringLiteral("tak") : QStringLiteral("nie");
    case Kind::Status: {
        QStringList set;
        for (const StatusBit& b : StatusBits)
            if ((v >> b.bit) & 1)
                set << QString::fromUtf8(b.whenSet);
        return set.isEmpty() ? QStringLiteral("OK") : set.join(QStringLiteral("; "));
    }
    case Kind::SlaveType:
        return Item(SlaveTypes, v);
    case Kind::Decimals:
        return Item(DecimalFormats, v);
    }
    return {};
}

} // namespace

QString PageKind(int page) {
    if (page < 0 || page > 124)
        return QStringLiteral("nieznana strona");
    if (page < 100)
        return QStringLiteral("strona RAM %1").arg(page);
    if (page < 110)
        return QStringLiteral("strona EEPROM %1").arg(page);
    if (page < PageCount)
        return QStringLiteral("strona okolicznościowa %1").arg(page);
    return QStringLiteral("strona graficzna %1").arg(page);
}

QString Meaning(int reg) {
    int within = 0;
    const Entry* e = Find(reg, &within);
    if (!e)
        return {};
    const QString meaning = QString::fromUtf8(e->meaning);
    if (reg >= SlaveBase)
        return QStringLiteral("Urządzenie nr %1: %2").arg(within + 1).arg(meaning);
    if (e->kind == Kind::Window)
        return meaning.arg(2 * within + 1).arg(2 * within + 2);
    if (!meaning.contains(QLatin1String("%1")))
        return meaning;
    // The occasional pages are counted by their page number, the presentation from 1.
    return meaning.arg(reg >= RegOccasionalDate ? 110 + within : within + 1);
}

QString Decoded(int reg, int value) {
    int within = 0;
    const Entry* e = Find(reg, &within);
    return e ? Decode(e->kind, value & 0xFFFF) : QString();
}

QString ValueText(int reg, int value) {
    const QString decoded = Decoded(reg, value);
    return decoded.isEmpty() ? QString::number(value) : QStringLiteral("%1 (%2)").arg(decoded).arg(value);
}

} // namespace kx9::cli
