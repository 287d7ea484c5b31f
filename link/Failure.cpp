// SPDX-License-Identifier: MIT
#include "Failure.h"

#include <QStringList>

namespace kx9 {

QString ExceptionMeaning(int code) {
    switch (code) {
    case 1:
        return QStringLiteral("niedozwolona funkcja");
    case 2:
        return QStringLiteral("niedozwolony adres rejestru");
    case 3:
        return QStringLiteral("niedozwolona wartość");
    case 4:
        return QStringLiteral("błąd urządzenia");
    default:
        return QStringLiteral("kod nieznany");
    }
}

namespace {

QString MismatchText(const LinkFailure& f) {
    using M = LinkFailure::Mismatch;
    switch (f.mismatch) {
    case M::Function:
        return QStringLiteral("funkcja %1 zamiast %2").arg(f.value).arg(f.expected);
    case M::ByteCount:
        return QStringLiteral("liczba bajtów danych %1 zamiast %2").arg(f.value).arg(f.expected);
    case M::Echo:
        return QStringLiteral("potwierdzenie innego rejestru lub innej liczby rejestrów");
    case M::Length:
        return QStringLiteral("%1 bajtów zamiast %2").arg(f.value).arg(f.expected);
    case M::None:
        break;
    }
    return QString();
}

} // namespace

QString DescribeCause(const LinkFailure& f) {
    using C = LinkFailure::Cause;
    switch (f.cause) {
    case C::None:
        break;
    case C::NoReply:
        if (!f.reason.isEmpty())
            return QStringLiteral("tablica nie odpowiedziała: ") + f.reason;
        return QStringLiteral("brak odpowiedzi w ciągu %1 ms").arg(f.value);
    case C::Incomplete:
        if (f.expected > 0)
            return QStringLiteral("odpowiedź niepełna: %1 z %2 bajtów w ciągu %3 ms")
                .arg(f.value)
                .arg(f.expected)
                .arg(f.ms);
        return QStringLiteral("odpowiedź niepełna: %1 bajtów w ciągu %2 ms").arg(f.value).arg(f.ms);
    case C::BadCrc:
        return QStringLiteral("odpowiedź z błędną sumą kontrolną CRC");
    case C::OtherAddress:
        return QStringLiteral("odpowiedź z adresu %1").arg(f.value);
    case C::Mismatch: {
        const QString what = MismatchText(f);
        return QStringLiteral("odpowiedź, która nie odpowiada na zapytanie") +
               (what.isEmpty() ? QString() : QStringLiteral(" (") + what + QStringLiteral(")"));
    }
    case C::Exception:
        return QStringLiteral("tablica odrzuciła zapytanie: wyjątek %1 (%2)")
            .arg(f.value)
            .arg(ExceptionMeaning(f.value));
    case C::PortLost:
        return QStringLiteral("port zniknął w trakcie transmisji") +
               (f.reason.isEmpty() ? QString() : QStringLiteral(" (") + f.reason + QStringLiteral(")"));
    case C::NetworkLost:
        return f.reason.isEmpty() ? QStringLiteral("połączenie sieciowe przerwane") : f.reason;
    case C::OpenFailed:
        return QStringLiteral("nie można otworzyć urządzenia") +
               (f.reason.isEmpty() ? QString() : QStringLiteral(": ") + f.reason);
    case C::BadAddress:
        return QStringLiteral("adres tablicy %1 spoza zakresu 1..247%2")
            .arg(f.value)
            .arg(f.value == 0 ? QStringLiteral(" (adres 0 to rozgłoszenie do wszystkich urządzeń)")
                              : QString());
    case C::BadFrame:
        return QStringLiteral("ramka nr %1 spoza tabeli 0..3").arg(f.value);
    case C::BadBaud:
        return QStringLiteral("prędkość nr %1 spoza tabeli 0..7").arg(f.value);
    case C::BadPort:
        return QStringLiteral("numer portu %1 spoza zakresu").arg(f.value);
    }
    return QString();
}

QString CheckAdvice(LinkFailure::Cause cause) {
    using C = LinkFailure::Cause;
    switch (cause) {
    case C::NoReply:
    case C::Incomplete:
        return QStringLiteral("kabel i zasilanie tablicy, prędkość i ramkę transmisji oraz adres tablicy.");
    case C::BadCrc:
        return QStringLiteral("kabel i jego połączenia (zakłócenia) oraz prędkość i ramkę transmisji.");
    case C::OtherAddress:
        return QStringLiteral(
            "adres tablicy w ustawieniach połączenia i czy na linii nie odpowiada inne urządzenie.");
    case C::Mismatch:
        return QStringLiteral("czy na linii nie odpowiada inne urządzenie oraz prędkość i ramkę transmisji.");
    case C::Exception:
        return QStringLiteral("czy tablica obsługuje tę operację i czy wysyłane wartości są poprawne.");
    case C::PortLost:
        return QStringLiteral("czy przejściówka jest podłączona; następna operacja otworzy port od nowa.");
    case C::NetworkLost:
        return QStringLiteral(
            "czy konwerter (bramka) jest włączony i osiągalny pod tym adresem i portem (sieć, zapora, "
            "tunel SSH); następna operacja połączy się od nowa.");
    case C::OpenFailed:
        return QStringLiteral("czy urządzenie jest podłączone i czy portu nie zajmuje inny program.");
    case C::BadAddress:
    case C::BadFrame:
    case C::BadBaud:
    case C::BadPort:
        return QStringLiteral("ustawienia połączenia (adres tablicy 1..247, prędkość i ramkę transmisji).");
    case C::None:
        break;
    }
    return QString();
}

QString DescribeRequest(int function, int firstRegister, int count) {
    const QString range =
        count == 1 ? QStringLiteral("rejestru %1").arg(firstRegister)
                   : QStringLiteral("rejestrów %1..%2").arg(firstRegister).arg(firstRegister + count - 1);
    switch (function) {
    case 3:
        return QStringLiteral("odczyt ") + range + QStringLiteral(" (funkcja 3)");
    case 16:
        return QStringLiteral("zapis ") + range + QStringLiteral(" (funkcja 16)");
    case 17:
        return QStringLiteral("identyfikacja (funkcja 17)");
    default:
        return QString();
    }
}

QString FailureDetails(const FailureReport& r) {
    QStringList lines;
    QString operation = r.operation;
    if (operation.isEmpty())
        operation = r.request.isEmpty() ? QStringLiteral("otwarcie portu") : r.request;
    lines << QStringLiteral("Operacja: ") + operation;
    if (!r.request.isEmpty() && r.request != operation)
        lines << QStringLiteral("Zapytanie: ") + r.request;
    if (!r.confirmed.isEmpty())
        lines << QStringLiteral("Potwierdzone przez tablicę: ") + r.confirmed;
    QString port = QStringLiteral("Port: ") + r.port;
    if (!r.device.isEmpty() && r.device != r.port)
        port += QStringLiteral(" (urządzenie ") + r.device + QStringLiteral(")");
    lines << port;
    const QString rate = r.baudIndex >= 0 && r.baudIndex < int(BaudRates.size())
                             ? QString::number(BaudRates[size_t(r.baudIndex)]) + QStringLiteral(" bit/s")
                             : QStringLiteral("nr %1 (spoza tabeli)").arg(r.baudIndex);
    const QString frame = r.frameIndex >= 0 && r.frameIndex < int(FrameNames.size())
                              ? QString::fromLatin1(FrameNames[size_t(r.frameIndex)])
                              : QStringLiteral("nr %1 (spoza tabeli)").arg(r.frameIndex);
    lines << QStringLiteral("Adres tablicy: %1, prędkość: %2, ramka: %3").arg(r.address).arg(rate, frame);
    lines << QStringLiteral("Przyczyna: ") + DescribeCause(r.failure);
    lines << QStringLiteral("Sprawdź: ") + CheckAdvice(r.failure.cause);
    return lines.join(QLatin1Char('\n'));
}

} // namespace kx9
