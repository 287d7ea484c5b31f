// SPDX-License-Identifier: MIT
#pragma once

#include "../config/RegularFile.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <map>
#include <optional>
#include <vector>

namespace kx9 {

// A serial device the system has.
struct SerialDevice {
    QString device;     // where the system has it: "/dev/ttyUSB0", "COM3"
    QString stableName; // "/dev/serial/by-id/..." where the system has one; it survives re-plugging
    QString description;
    QString manufacturer;
    QString serialNumber;

    // What a mapping keeps.
    QString Preferred() const { return stableName.isEmpty() ? device : stableName; }
    bool operator==(const SerialDevice&) const = default;
};

// Where a port name leads, and why.
struct PortRoute {
    enum class Via {
        Folder,  // the file "COMn" in the working folder (a link such as kx9-sim's)
        User,    // the user's mapping
        Default, // the system's own port of that number
        Path,    // not a COM name: a device path or a by-id name as given
    };
    QString name;
    QString device;    // what opening `name` opens
    QStringList tried; // the places looked at for `name`, in order, when none of them is there
    Via via = Via::Default;
    bool present = false; // the device is there now (a network line: not known before connecting)
    bool network = false; // `device` is a network line ("tcp://HOST:PORT", "modbus-tcp://HOST:PORT")
    std::optional<SerialDevice> known; // the system's device it is, when listed
};

// The names COM1..COM8 and the devices they lead to. On Windows "COMn" is the user's mapping
// (any COM port, COM12 say, as USB adapters get high numbers), else the port COMn; ports are
// known there by their name, whatever their location is spelt as ("\\.\COM12"). Elsewhere
// "COMn" is, in this order: the file COMn in the working folder when there is one (a link that
// points nowhere included: an unplugged adapter is a failed open, never another device), the
// user's mapping, /dev/ttyS<n-1>. A network line ("tcp://HOST:PORT", "modbus-tcp://HOST:PORT")
// is a name of its own, or the user's choice for a COM name on every system. The mapping lives
// in a settings file of the user's; the configuration files keep only the port number.
class PortMap {
public:
    using DeviceLister = std::function<std::vector<SerialDevice>()>;

    // `file` empty: a map that is never saved. `lister` empty: the system's devices.
    explicit PortMap(QString file = QString(), DeviceLister lister = {});

    static constexpr int Names = 8;
    static QString Name(int index) { return QStringLiteral("COM%1").arg(index + 1); }
    // The user's mapping file in the user's configuration folder, shared by the program and kx9ctl.
    static QString UserFile();
    // The serial devices of this system, with their by-id names where there are some.
    static std::vector<SerialDevice> SystemDevices();
    // This system's ports are Windows COM ports.
    static bool WindowsPorts();
    // Windows' rules or the others', whatever this system is (the system's by default).
    void SetWindowsPorts(bool windows) { m_windows = windows; }

    // False when the file exists and cannot be read, or is no small regular file (a pipe there
    // would block the reader for ever); the mapping is then empty and LoadProblem() says why.
    bool Load();
    FileProblem LoadProblem() const { return m_loadProblem; }
    // False when the file could not be written, or what stands there is no regular file.
    bool Save() const;
    const QString& File() const { return m_file; }

    // The device the user chose for `name`; empty when none.
    QString Mapped(const QString& name) const;
    // Empty `device` removes the choice.
    void SetMapped(const QString& name, const QString& device);
    const std::map<QString, QString>& Mapping() const { return m_mapping; }
    void SetMapping(std::map<QString, QString> mapping) { m_mapping = std::move(mapping); }

    std::vector<SerialDevice> Devices() const;
    // Where `name` leads: a COM name by the rules above; anything else is a device path, or a
    // by-id name or a device's bare name ("ttyUSB0") when such a device exists.
    PortRoute Route(const QString& name) const;
    // The same with `devices` as the system's list, so that one listing serves many routes.
    PortRoute Route(const QString& name, const std::vector<SerialDevice>& devices) const;
    QString DeviceFor(const QString& name) const { return Route(name, {}).device; }

private:
    QString m_file;
    DeviceLister m_lister;
    bool m_windows = WindowsPorts();
    std::map<QString, QString> m_mapping;
    FileProblem m_loadProblem = FileProblem::None;
};

// "Pominięto plik ustawień ...: to nie jest zwykły plik ...", for a file Load() refused.
QString LoadProblemText(const PortMap& map);

// "/dev/ttyUSB0 (FT232R USB UART, A50285BI)".
QString DeviceText(const SerialDevice& device);
// "COM1 → /dev/ttyUSB0 (FT232R USB UART, A50285BI)", "COM2 → /dev/ttyS1 (brak urządzenia)".
QString RouteText(const PortRoute& route);

} // namespace kx9
