// SPDX-License-Identifier: MIT
#pragma once

#include "NetworkLine.h"
#include "SerialPort.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QTcpSocket>

namespace kx9 {

// A network line behind the port seam. The link writes and reads RTU frames as on a serial
// port; over RTU over TCP they cross unchanged (an echo of the request just sent, which some
// half-duplex converters give, is skipped), and to a Modbus TCP gateway each request goes out
// with its MBAP header and each reply comes back as the RTU frame the link awaits. Works with
// or without an event loop: every call moves the connection and the bytes on itself. It only
// ever connects.
class NetworkPort : public SerialPort {
public:
    NetworkPort();
    ~NetworkPort() override;

    // `name` is a network line; anything else fails. Returns once the connection is started.
    bool open(const QString& name, const LineSettings& line) override;
    void close() override;
    // Open while connecting and connected; closed once the connection failed or broke.
    bool isOpen() const override { return m_open; }
    void purge() override;
    int write(const uint8_t* data, int length) override;
    int bytesWaiting() override;
    int read(uint8_t* buffer, int max) override;
    int peek(uint8_t* buffer, int max) override;
    QString lastError() const override { return m_error; }
    bool network() const override { return true; }
    bool connecting() override;
    QString noAnswerReason() const override { return m_noAnswer; }
    void setTrace(Trace trace) override { m_trace = std::move(trace); }

    // A connect that takes longer fails.
    static constexpr int ConnectTimeoutMs = 4000;

private:
    // Moves the connection on, sends a request that waited for it, takes in what arrived.
    void service();
    void sendFrame(const QByteArray& rtu);
    void takeIn();
    void takeGatewayFrames();
    void fail(const QString& why);
    QString farEnd() const;

    QTcpSocket m_socket;
    NetworkLine m_line;
    bool m_open = false;
    bool m_wasConnected = false;
    int m_baud = 115200;
    int m_bitsPerChar = 11;
    QElapsedTimer m_connectClock;
    QByteArray m_waiting; // a request written before the connection was made
    QByteArray m_sent;    // the request written last, as RTU
    bool m_echoPossible = false;
    QByteArray m_raw; // received and not yet judged
    QByteArray m_rx;  // RTU bytes for the link
    uint16_t m_transaction = 0;
    QString m_error;
    QString m_noAnswer;
    Trace m_trace;
};

} // namespace kx9
