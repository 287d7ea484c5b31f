// SPDX-License-Identifier: MIT
#pragma once

#include "SerialPort.h"

#include <QSerialPort>
#include <QString>

namespace kx9 {

// The real serial port. Works without an event loop: every call pulls or pushes bytes itself.
class QtSerialPort : public SerialPort {
public:
    QtSerialPort();
    ~QtSerialPort() override;

    // Device that "COMn" stands for: "\\.\COMn" on Windows; elsewhere the file "COMn" in the
    // current folder when it exists (a link to a tty or a pseudo-terminal), else /dev/ttyS<n-1>.
    // Other names are taken as device paths unchanged.
    static QString DeviceFor(const QString& comName);

    bool open(const QString& name, const LineSettings& line) override;
    void close() override;
    bool isOpen() const override;
    void purge() override;
    int write(const uint8_t* data, int length) override;
    int bytesWaiting() override;
    int read(uint8_t* buffer, int max) override;

private:
    // A vanished device (USB adapter pulled) closes the port, so callers see it closed.
    bool dropIfLost();
    // Pulls whatever the driver holds into Qt's buffer; never waits.
    void pull();

    QSerialPort m_port;
    int m_baud = 9600;
};

} // namespace kx9
