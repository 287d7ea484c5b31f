// SPDX-License-Identifier: MIT
#pragma once

#include "NetworkPort.h"
#include "PortMap.h"
#include "QtSerialPort.h"

namespace kx9 {

// The port a name leads to: a serial device, or a network line ("tcp://HOST:PORT",
// "modbus-tcp://HOST:PORT") named directly or chosen for a COM name in the user's mapping.
class RoutedPort : public SerialPort {
public:
    RoutedPort();
    // `map` must outlive the port.
    explicit RoutedPort(const PortMap& map);

    bool open(const QString& name, const LineSettings& line) override;
    void close() override { m_active->close(); }
    bool isOpen() const override { return m_active->isOpen(); }
    void purge() override { m_active->purge(); }
    int write(const uint8_t* data, int length) override { return m_active->write(data, length); }
    int bytesWaiting() override { return m_active->bytesWaiting(); }
    int read(uint8_t* buffer, int max) override { return m_active->read(buffer, max); }
    int peek(uint8_t* buffer, int max) override { return m_active->peek(buffer, max); }
    QString deviceName(const QString& name) const override { return m_serial.deviceName(name); }
    QString lastError() const override { return m_active->lastError(); }
    bool network() const override { return m_active->network(); }
    bool connecting() override { return m_active->connecting(); }
    QString noAnswerReason() const override { return m_active->noAnswerReason(); }
    void setTrace(Trace trace) override { m_network.setTrace(std::move(trace)); }

private:
    QtSerialPort m_serial;
    NetworkPort m_network;
    SerialPort* m_active = &m_serial;
};

} // namespace kx9
