// SPDX-License-Identifier: MIT
#include "RoutedPort.h"

namespace kx9 {

RoutedPort::RoutedPort() = default;

RoutedPort::RoutedPort(const PortMap& map) : m_serial(map) {}

bool RoutedPort::open(const QString& name, const LineSettings& line) {
    m_active->close();
    const QString device = m_serial.deviceName(name);
    if (LooksLikeNetworkLine(device)) {
        m_active = &m_network;
        return m_network.open(device, line);
    }
    m_active = &m_serial;
    return m_serial.open(name, line);
}

} // namespace kx9
