// SPDX-License-Identifier: MIT
#include "SlaveFields.h"

#include "widgets/FieldHelpers.h"

#include <limits>

namespace kx9::slave {

namespace {

const QString TimeoutText = QStringLiteral(
    "Niewłaściwa wartość TimeOut. Wpisz wartość z przedziału od 100 do 500 i spróbuj ponownie");
const QString PositionText =
    QStringLiteral("Niewłaściwa pozycja wyświetlania. Wpisz wartość z przedziału od 101 do 529lub 0, aby "
                   "wyłączyć wyświetlanie i spróbuj ponownie");
const QString AddressText =
    QStringLiteral("Niewłaściwy adres. Wpisz wartość z przedziału od 1 do 247 i spróbuj ponownie");
const QString BaseText =
    QStringLiteral("Niewłaściwy adres bazowy. Wpisz wartość z przedzialu od 0 do 65535 i spróbuj ponownie");
const QString CountText =
    QStringLiteral("Niewłaściwa liczba rejestrow. Wpisz wartość z przedziału od 1 do 10 i spróbuj ponownie");
const QString ShownText = QStringLiteral(
    "Niewłaściwy numer rejestru. Wpisz wartość z przedziału od 1 do Liczba Rejestów i spróbuj ponownie");
const QString PeriodText = QStringLiteral(
    "Niewłaściwy okres przeglądania. Wpisz wartość z przedziału od 1 do 60 i spróbuj ponownie");
const QString CharsText =
    QStringLiteral("Niewłaściwa liczba znaków. Wpisz wartość z przedziału od 3 do 39 i spróbuj ponownie");

// The time-out is kept in hundreds of milliseconds: 100..5099 ms give 1..50.
constexpr int TimeoutLowMs = 100;
constexpr int TimeoutHighMs = 5099;
constexpr int TimeoutUnitMs = 100;

QStringList FromLatin1(std::initializer_list<const char*> items) {
    QStringList list;
    for (const char* item : items)
        list << QString::fromLatin1(item);
    return list;
}

// Takes the entry into `reg` when it lies in [low, high]; otherwise notes `message`.
void Take(ConfigImage& image, int reg, const QString& text, int low, int high, const QString& message,
          std::vector<QString>& messages) {
    if (const auto value = DecimalIn(text, low, high))
        image.SetReg(reg, *value);
    else
        messages.push_back(message);
}

void TakeIndex(ConfigImage& image, int reg, int index) {
    if (index >= 0)
        image.SetReg(reg, index);
}

QString Decimal(const ConfigImage& image, int reg) {
    return QString::number(image.Reg(reg));
}

} // namespace

QStringList FrameItems() {
    return FromLatin1({"RTU8N1", "RTU8N2", "RTU8E1", "RTU8O1"});
}

QStringList BaudItems() {
    QStringList list;
    for (int rate : BoardBaudRates)
        list << QString::number(rate) + QStringLiteral("bps");
    return list;
}

QStringList TypeItems() {
    return FromLatin1(
        {"char", "unsigned char", "integer", "unsigned integer", "long", "unsigned long", "float"});
}

QStringList FormatItems() {
    return FromLatin1({"0", "0,0", "0,00", "0,000"});
}

LinkEntry LinkFromImage(const ConfigImage& image) {
    return {image.Reg(RegSlaveFrame), image.Reg(RegSlaveBaud),
            QString::number(image.Reg(RegSlaveTimeout) * TimeoutUnitMs)};
}

DeviceEntry DeviceFromImage(const ConfigImage& image, int device) {
    auto reg = [device](int word) { return RecordRegister(device, word); };
    DeviceEntry entry;
    entry.position = Decimal(image, reg(Position));
    entry.address = Decimal(image, reg(Address));
    entry.baseRegister = Decimal(image, reg(BaseRegister));
    entry.registerCount = Decimal(image, reg(RegisterCount));
    entry.shownRegister = Decimal(image, reg(ShownRegister));
    entry.type = image.Reg(reg(RegisterType));
    entry.pollPeriod = Decimal(image, reg(PollPeriod));
    entry.decimals = image.Reg(reg(Decimals));
    entry.maxChars = Decimal(image, reg(MaxChars));
    return entry;
}

const QString& DeviceState(const ConfigImage& image, int device) {
    return image.Reg(RecordRegister(device, Position)) != 0 ? DeviceOn : DeviceOff;
}

std::vector<QString> StoreLink(const LinkEntry& entry, ConfigImage& image) {
    std::vector<QString> messages;
    TakeIndex(image, RegSlaveFrame, entry.frame);
    TakeIndex(image, RegSlaveBaud, entry.baud);
    if (const auto ms = DecimalIn(entry.timeoutMs, TimeoutLowMs, TimeoutHighMs))
        image.SetReg(RegSlaveTimeout, *ms / TimeoutUnitMs);
    else
        messages.push_back(TimeoutText);
    return messages;
}

std::vector<QString> StoreDevice(int device, const DeviceEntry& entry, ConfigImage& image) {
    std::vector<QString> messages;
    if (device < 0 || device >= Devices)
        return messages;
    auto reg = [device](int word) { return RecordRegister(device, word); };

    if (DecimalIn(entry.position, 0, 0))
        image.SetReg(reg(Position), 0);
    else
        Take(image, reg(Position), entry.position, 101, 529, PositionText, messages);
    Take(image, reg(Address), entry.address, 1, 247, AddressText, messages);
    Take(image, reg(BaseRegister), entry.baseRegister, 0, 65535, BaseText, messages);
    Take(image, reg(RegisterCount), entry.registerCount, 1, 10, CountText, messages);

    // Checked against the count the image holds now: just stored, or kept after a refusal.
    const int count = image.Reg(reg(RegisterCount));
    if (const auto shown = DecimalIn(entry.shownRegister, 1, count)) {
        image.SetReg(reg(ShownRegister), *shown);
    } else {
        // A number out of range falls back to the first register; a text that is no number
        // leaves the stored one alone.
        if (DecimalIn(entry.shownRegister, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()))
            image.SetReg(reg(ShownRegister), 1);
        messages.push_back(ShownText);
    }

    TakeIndex(image, reg(RegisterType), entry.type);
    Take(image, reg(PollPeriod), entry.pollPeriod, 1, 60, PeriodText, messages);
    TakeIndex(image, reg(Decimals), entry.decimals);
    Take(image, reg(MaxChars), entry.maxChars, 3, 39, CharsText, messages);
    return messages;
}

} // namespace kx9::slave
