// SPDX-License-Identifier: MIT
#pragma once

#include "config/ConfigImage.h"

#include <QString>
#include <QStringList>
#include <vector>

// What the external-devices window edits, apart from its controls: the lists it offers, and
// the checks that take typed entries into the image.
namespace kx9::slave {

constexpr int Devices = 5;
constexpr int RecordSize = 9;
constexpr int LinkRegisters = 3; // 4003..4005

// Words of one device's record, in board order.
enum Word {
    Position,
    Address,
    BaseRegister,
    RegisterCount,
    ShownRegister,
    RegisterType,
    PollPeriod,
    Decimals,
    MaxChars
};

constexpr int RecordRegister(int device, int word) {
    return SlaveBase + RecordSize * device + word;
}

QStringList FrameItems();
QStringList BaudItems();
QStringList TypeItems();
QStringList FormatItems();

inline const QString MessageTitle = QStringLiteral("Błędna wartość");
inline const QString DeviceOn = QStringLiteral("Urządzenie włączone");
inline const QString DeviceOff = QStringLiteral("Urządzenie wyłączone");

// The link page as the controls hold it; -1 = no item selected.
struct LinkEntry {
    int frame = -1;
    int baud = -1;
    QString timeoutMs;
};

// One device page as the controls hold it; -1 = no item selected.
struct DeviceEntry {
    QString position;
    QString address;
    QString baseRegister;
    QString registerCount;
    QString shownRegister;
    int type = -1;
    QString pollPeriod;
    int decimals = -1;
    QString maxChars;
};

LinkEntry LinkFromImage(const ConfigImage& image);
DeviceEntry DeviceFromImage(const ConfigImage& image, int device);
const QString& DeviceState(const ConfigImage& image, int device);

// Store what passes its check, field by field in order, and return the message of every
// refused field in that order. A refused field keeps its image value (a shown-register
// number above the count falls back to 1). A list with no selection keeps its value, so a
// value the list does not offer survives until the operator picks an item.
std::vector<QString> StoreLink(const LinkEntry& entry, ConfigImage& image);
std::vector<QString> StoreDevice(int device, const DeviceEntry& entry, ConfigImage& image);

} // namespace kx9::slave
