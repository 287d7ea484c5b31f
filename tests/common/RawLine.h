// SPDX-License-Identifier: MIT
#pragma once

#include "link/ModbusFrame.h"
#include "link/QtSerialPort.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QThread>
#include <map>
#include <vector>

namespace kx9::test {

// Requests of the test's own, past the program, to the board at `address` on the line at
// `device`, sent at `line`: what a board holds is looked at without the code under test.
class RawLine {
public:
    RawLine(QString device, int address, LineSettings line = LineSettingsFor(1, 7))
        : m_device(std::move(device)), m_address(address), m_line(line) {}

    // The whole reply, or empty when none came (in `waitMs`) or it failed its CRC.
    QByteArray Identify(int waitMs = 300) {
        uint8_t out[frame::BufferSize];
        return Exchange(out, frame::BuildIdentify(out, m_address), 12, waitMs);
    }
    std::vector<int> Read(int first, int count) {
        uint8_t out[frame::BufferSize];
        const QByteArray reply =
            Exchange(out, frame::BuildRead(out, m_address, first, count), 5 + 2 * count, 1000);
        std::vector<int> values;
        for (int k = 0; reply.size() == 5 + 2 * count && k < count; ++k)
            values.push_back(uint8_t(reply[3 + 2 * k]) * 256 + uint8_t(reply[4 + 2 * k]));
        return values;
    }
    bool Write(int first, const std::vector<int32_t>& values) {
        uint8_t out[frame::BufferSize];
        return Exchange(out, frame::BuildWrite(out, m_address, first, int(values.size()), values.data()), 8,
                        1000)
                   .size() == 8;
    }
    // Registers 0..600 and 4000..4344 as the board holds them; empty when it did not answer.
    std::map<int, int> Snapshot() {
        std::map<int, int> all;
        for (const auto& [first, last] : {std::pair{0, 600}, std::pair{4000, 4344}})
            for (int at = first; at <= last; at += 125) {
                const int count = std::min(125, last - at + 1);
                const std::vector<int> values = Read(at, count);
                if (int(values.size()) != count)
                    return {};
                for (size_t k = 0; k < values.size(); ++k)
                    all[at + int(k)] = values[k];
            }
        return all;
    }

private:
    QByteArray Exchange(const uint8_t* request, int length, int replyLength, int waitMs) {
        QtSerialPort port;
        if (!port.open(m_device, m_line))
            return {};
        port.write(request, length);
        QElapsedTimer t;
        t.start();
        while (port.bytesWaiting() < replyLength && !t.hasExpired(waitMs))
            QThread::msleep(2);
        QThread::msleep(5); // anything more that comes would spoil the reply
        QByteArray reply(frame::BufferSize, '\0');
        reply.resize(port.read(reinterpret_cast<uint8_t*>(reply.data()), frame::BufferSize));
        const bool good =
            reply.size() == replyLength &&
            frame::CrcMatches(reinterpret_cast<const uint8_t*>(reply.constData()), int(reply.size()));
        return good ? reply : QByteArray();
    }

    QString m_device;
    int m_address;
    LineSettings m_line;
};

} // namespace kx9::test
