// SPDX-License-Identifier: MIT
#include "SimPort.h"

#include <algorithm>
#include <array>

namespace kx9 {

namespace {
constexpr std::array<int, 10> BoardRates = {2400, 4800, 9600, 14400, 19200, 28800, 38400, 57600, 76800, 115200};
}

SimPort::SimPort(BoardModel& board) : m_board(board) {}

LineSettings SimPort::BoardLine(const BoardModel& board) {
    LineSettings line;
    line.baud = BoardRates[size_t(std::clamp(board.BaudCode(), 0, 9))];
    switch (board.FrameIndex()) {
    case 0: line.parity = Parity::None; line.stopBits = 1; break;
    case 2: line.parity = Parity::Even; line.stopBits = 1; break;
    case 3: line.parity = Parity::Odd; line.stopBits = 1; break;
    default: line.parity = Parity::None; line.stopBits = 2; break;
    }
    return line;
}

bool SimPort::open(const QString& name, const LineSettings& line) {
    if (m_open) return false; // in use
    if (!m_missing.isEmpty() && name == m_missing) return false;
    m_open = true;
    ++m_openCount;
    m_name = name;
    m_line = line;
    m_input.clear();
    return true;
}

void SimPort::close() {
    if (!m_open) return;
    m_open = false;
    ++m_closeCount;
    m_input.clear();
}

bool SimPort::isOpen() const { return m_open; }

void SimPort::purge() { m_input.clear(); }

int SimPort::write(const uint8_t* data, int length) {
    if (!m_open || !data || length <= 0) return 0;
    const LineSettings want = BoardLine(m_board);
    if (m_line.baud != want.baud || m_line.parity != want.parity || m_line.stopBits != want.stopBits) {
        // At the wrong rate or frame the board sees only garbage and stays silent.
        ++m_mismatches;
        return length;
    }
    m_input += m_board.Handle(QByteArray(reinterpret_cast<const char*>(data), length));
    if (m_board.LastReplyVanishes()) {
        // The adapter is pulled as the request goes out; it opens again afterwards.
        m_open = false;
        m_input.clear();
    }
    return length;
}

int SimPort::bytesWaiting() { return m_open ? int(m_input.size()) : 0; }

int SimPort::read(uint8_t* buffer, int max) {
    if (!m_open || !buffer || max <= 0) return 0;
    const int n = std::min(max, int(m_input.size()));
    std::copy_n(m_input.constData(), n, reinterpret_cast<char*>(buffer));
    m_input.remove(0, n);
    return n;
}

int SimPort::peek(uint8_t* buffer, int max) {
    if (!m_open || !buffer || max <= 0) return 0;
    const int n = std::min(max, int(m_input.size()));
    std::copy_n(m_input.constData(), n, reinterpret_cast<char*>(buffer));
    return n;
}

bool SimPort::Mismatched() const { return m_mismatches > 0; }

} // namespace kx9
