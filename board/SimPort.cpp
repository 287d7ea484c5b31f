// SPDX-License-Identifier: MIT
#include "SimPort.h"

#include <algorithm>

namespace kx9 {

SimPort::SimPort(BoardModel& board) : m_boards{&board} {}

SimPort::SimPort(std::vector<BoardModel*> boards) : m_boards(std::move(boards)) {}

bool SimPort::open(const QString& name, const LineSettings& line) {
    if (m_open)
        return false; // in use
    if (!m_missing.isEmpty() && name == m_missing)
        return false;
    m_open = true;
    ++m_openCount;
    m_name = name;
    m_line = line;
    m_input.clear();
    return true;
}

void SimPort::close() {
    if (!m_open)
        return;
    m_open = false;
    ++m_closeCount;
    m_input.clear();
}

bool SimPort::isOpen() const {
    return m_open;
}

void SimPort::purge() {
    m_input.clear();
}

int SimPort::write(const uint8_t* data, int length) {
    if (!m_open || !data || length <= 0)
        return 0;
    const auto hears = [this](const LineSettings& want) {
        return m_line.baud == want.baud && m_line.parity == want.parity && m_line.stopBits == want.stopBits;
    };
    const BusReply r = DeliverOnBus(m_boards, QByteArray(reinterpret_cast<const char*>(data), length), hears);
    // At the wrong rate or frame a board sees only garbage and stays silent.
    if (r.heard == 0)
        ++m_mismatches;
    m_input += r.reply;
    if (r.vanish) {
        // The adapter is pulled as the request goes out; it opens again afterwards.
        m_open = false;
        m_input.clear();
    }
    return length;
}

int SimPort::bytesWaiting() {
    return m_open ? int(m_input.size()) : 0;
}

int SimPort::read(uint8_t* buffer, int max) {
    if (!m_open || !buffer || max <= 0)
        return 0;
    const int n = std::min(max, int(m_input.size()));
    std::copy_n(m_input.constData(), n, reinterpret_cast<char*>(buffer));
    m_input.remove(0, n);
    return n;
}

int SimPort::peek(uint8_t* buffer, int max) {
    if (!m_open || !buffer || max <= 0)
        return 0;
    const int n = std::min(max, int(m_input.size()));
    std::copy_n(m_input.constData(), n, reinterpret_cast<char*>(buffer));
    return n;
}

bool SimPort::Mismatched() const {
    return m_mismatches > 0;
}

} // namespace kx9
