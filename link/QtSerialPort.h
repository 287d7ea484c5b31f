// SPDX-License-Identifier: MIT
#pragma once

#include "PortMap.h"
#include "SerialPort.h"

#include <QSerialPort>
#include <QString>

namespace kx9 {

// The real serial port. Works without an event loop: every call pulls or pushes bytes itself.
class QtSerialPort : public SerialPort {
public:
    QtSerialPort();
    // Port names lead where `map` says (the user's mapping); it must outlive the port.
    explicit QtSerialPort(const PortMap& map);
    ~QtSerialPort() override;

    // Device that "COMn" stands for without a user's mapping: the port COMn on Windows; elsewhere
    // the file "COMn" in the current folder when there is one (a link to a tty or a
    // pseudo-terminal; a link that points nowhere stays itself, so opening it fails), else
    // /dev/ttyS<n-1>. Other names are device paths, or by-id names (see PortMap).
    static QString DeviceFor(const QString& comName);

    bool open(const QString& name, const LineSettings& line) override;
    void close() override;
    bool isOpen() const override;
    void purge() override;
    int write(const uint8_t* data, int length) override;
    int bytesWaiting() override;
    int read(uint8_t* buffer, int max) override;
    int peek(uint8_t* buffer, int max) override;
    QString deviceName(const QString& name) const override;
    QString lastError() const override { return m_lastError; }

private:
    // A vanished device (USB adapter pulled, or a line hung up) closes the port, so callers
    // see it closed.
    bool dropIfLost();
    bool hungUp() const;
    // The error Qt reports, in Polish with the system's own words after it.
    QString describeError() const;
    // Sets exactly the data bits, parity and stop bits of `line`, nothing left of an earlier
    // frame.
    void SetExactFrame(const LineSettings& line);
    // Pulls whatever the driver holds into Qt's buffer; never waits.
    void pull();

    const PortMap* m_map = nullptr;
    QSerialPort m_port;
    int m_baud = 9600;
    QString m_lastError;
};

} // namespace kx9
