// SPDX-License-Identifier: MIT
#include "NetworkPort.h"

#include "ModbusFrame.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

#include <algorithm>

namespace kx9 {

namespace {

constexpr int MbapLength = 7; // transaction, protocol, length, unit
constexpr int MaxPdu = 253;
// As much as a serial driver would queue for us; a peer that floods is cut here.
constexpr int ReceiveLimit = 4096;
constexpr uint8_t GatewayPathUnavailable = 0x0A;
constexpr uint8_t GatewayTargetFailed = 0x0B;

// Nobody runs an event loop (kx9ctl's fast drive): what the socket needs from one is done here.
bool NoEventLoop() {
    return QThread::currentThread()->loopLevel() == 0;
}

} // namespace

NetworkPort::NetworkPort() {
    m_socket.setReadBufferSize(0);
}

NetworkPort::~NetworkPort() {
    close();
}

QString NetworkPort::farEnd() const {
    return m_line.HostPort();
}

bool NetworkPort::open(const QString& name, const LineSettings& line) {
    close();
    m_error.clear();
    const std::optional<NetworkLine> parsed = ParseNetworkLine(name);
    if (!parsed) {
        m_error = QStringLiteral("to nie jest linia sieciowa: ") + name;
        return false;
    }
    m_line = *parsed;
    // The board's line runs at these, behind the converter: they still pace the requests.
    m_baud = std::max(1, line.baud);
    m_bitsPerChar = 1 + 8 + (line.parity == Parity::None ? 0 : 1) + line.stopBits;
    m_open = true;
    m_wasConnected = false;
    m_connectClock.start();
    // Only started here: whether it is made or refused shows in the transfer, never in the open.
    m_socket.connectToHost(m_line.host, m_line.port);
    return true;
}

void NetworkPort::close() {
    if (m_open && !m_waiting.isEmpty())
        service(); // a request written just before closing still leaves when it can
    m_open = false;
    m_socket.abort();
    m_waiting.clear();
    m_sent.clear();
    m_raw.clear();
    m_rx.clear();
    m_noAnswer.clear();
    m_echoPossible = false;
}

void NetworkPort::fail(const QString& why) {
    if (m_trace)
        m_trace(LineTrace::Event::Connection, {}, why);
    m_error = why;
    m_open = false;
    m_socket.abort();
    m_waiting.clear();
}

bool NetworkPort::connecting() {
    service();
    return m_open && m_socket.state() != QAbstractSocket::ConnectedState;
}

void NetworkPort::service() {
    if (!m_open)
        return;
    // Without an event loop (kx9ctl's fast drive, a fleet's line) the socket's own events
    // are handled here: the name's lookup and the connect's outcome. Timers stay out, so no
    // handler of the program runs inside this one.
    if (m_socket.state() != QAbstractSocket::ConnectedState && NoEventLoop())
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents | QEventLoop::X11ExcludeTimers);
    QAbstractSocket::SocketState state = m_socket.state();
    if (state == QAbstractSocket::HostLookupState || state == QAbstractSocket::ConnectingState) {
        if (m_connectClock.elapsed() > ConnectTimeoutMs)
            fail(QStringLiteral("nie nawiązano połączenia z %1 w ciągu %2 s")
                     .arg(farEnd())
                     .arg(ConnectTimeoutMs / 1000));
        return;
    }
    if (state != QAbstractSocket::ConnectedState) {
        const QString system = m_socket.errorString();
        fail((m_wasConnected ? QStringLiteral("połączenie z %1 przerwane")
                             : QStringLiteral("nie można połączyć się z %1"))
                 .arg(farEnd()) +
             (system.isEmpty() ? QString() : QStringLiteral(": ") + system));
        return;
    }
    if (!m_wasConnected) {
        m_wasConnected = true;
        m_socket.setSocketOption(QAbstractSocket::LowDelayOption,
                                 1); // requests are small and go one at a time
    }
    if (!m_waiting.isEmpty()) {
        const QByteArray request = m_waiting;
        m_waiting.clear();
        sendFrame(request);
    }
    takeIn();
}

void NetworkPort::takeIn() {
    // Without an event loop nothing moves bytes into the socket's buffer; a zero wait asks once.
    if (m_socket.bytesAvailable() == 0)
        m_socket.waitForReadyRead(0);
    const QByteArray got = m_socket.readAll();
    if (m_socket.state() != QAbstractSocket::ConnectedState) {
        m_raw += got;
        const QString system = m_socket.errorString();
        fail(QStringLiteral("połączenie z %1 przerwane").arg(farEnd()) +
             (system.isEmpty() ? QString() : QStringLiteral(": ") + system));
    } else {
        m_raw += got;
    }
    if (m_line.kind == NetworkLine::Kind::ModbusTcp) {
        takeGatewayFrames();
        return;
    }
    if (m_echoPossible && !m_raw.isEmpty()) {
        // The request coming back whole is the converter's echo; while what came is still the
        // start of the request, wait and see.
        // A whole frame with its CRC is a reply that happens to begin as the request did.
        const bool wholeFrame =
            m_raw.size() >= 5 &&
            frame::CrcMatches(reinterpret_cast<const uint8_t*>(m_raw.constData()), int(m_raw.size()));
        if (m_raw.size() < m_sent.size() && m_sent.startsWith(m_raw) && !wholeFrame)
            return;
        if (m_raw.startsWith(m_sent)) {
            if (m_trace)
                m_trace(LineTrace::Event::EchoSkipped, m_sent, {});
            m_raw.remove(0, int(m_sent.size()));
        }
        m_echoPossible = false;
    }
    m_rx += m_raw;
    m_raw.clear();
    if (m_rx.size() > ReceiveLimit)
        m_rx.truncate(ReceiveLimit);
}

void NetworkPort::takeGatewayFrames() {
    while (m_raw.size() >= MbapLength) {
        const auto byte = [&](int at) { return uint8_t(m_raw[at]); };
        const int transaction = (byte(0) << 8) | byte(1);
        const int protocol = (byte(2) << 8) | byte(3);
        const int length = (byte(4) << 8) | byte(5); // unit and PDU
        if (protocol != 0 || length < 2 || length > MaxPdu + 1) {
            m_raw.clear(); // no Modbus TCP: nothing after it can be framed
            return;
        }
        if (m_raw.size() < 6 + length)
            return;
        const QByteArray adu = m_raw.mid(6, length);
        m_raw.remove(0, 6 + length);
        // A reply to an earlier request (one that timed out) is not this request's.
        if (transaction != m_transaction || m_sent.isEmpty()) {
            if (m_trace)
                m_trace(LineTrace::Event::Dropped, adu,
                        QStringLiteral("odpowiedź transakcji %1, oczekiwana %2")
                            .arg(transaction)
                            .arg(m_transaction));
            continue;
        }
        const uint8_t function = uint8_t(adu[1]);
        if ((function & 0x80) && adu.size() >= 3 &&
            (uint8_t(adu[2]) == GatewayPathUnavailable || uint8_t(adu[2]) == GatewayTargetFailed)) {
            m_noAnswer = QStringLiteral("bramka %1 zgłosiła wyjątek %2 (%3)")
                             .arg(farEnd())
                             .arg(uint8_t(adu[2]))
                             .arg(uint8_t(adu[2]) == GatewayPathUnavailable
                                      ? QStringLiteral("brak drogi do urządzenia")
                                      : QStringLiteral("urządzenie docelowe nie odpowiada"));
            if (m_trace)
                m_trace(LineTrace::Event::Dropped, adu, m_noAnswer);
            continue;
        }
        uint8_t rtu[frame::BufferSize];
        const int n = std::min<int>(int(adu.size()), frame::BufferSize - 2);
        std::copy_n(reinterpret_cast<const uint8_t*>(adu.constData()), n, rtu);
        const int withCrc = frame::AppendCrc(rtu, n);
        m_rx.append(reinterpret_cast<const char*>(rtu), withCrc);
    }
}

void NetworkPort::sendFrame(const QByteArray& rtu) {
    QElapsedTimer took;
    took.start();
    if (m_line.kind == NetworkLine::Kind::ModbusTcp) {
        // The RTU frame without its CRC is the unit and the PDU; the gateway adds its own.
        const int adu = int(rtu.size()) - 2;
        ++m_transaction;
        QByteArray out(6, '\0');
        out[0] = char(m_transaction >> 8);
        out[1] = char(m_transaction & 0xFF);
        out[4] = char(adu >> 8);
        out[5] = char(adu & 0xFF);
        out += rtu.left(adu);
        m_socket.write(out);
    } else {
        m_socket.write(rtu);
        m_echoPossible = true;
    }
    QDeadlineTimer deadline(1000);
    while (m_socket.bytesToWrite() > 0 && !deadline.hasExpired())
        if (!m_socket.waitForBytesWritten(int(std::max<qint64>(1, deadline.remainingTime()))))
            break;
    // The request takes its wire time on the board's line too; the reply's time-out counts
    // from its end, as on a serial port.
    const qint64 wireMs = qint64(rtu.size()) * m_bitsPerChar * 1000 / m_baud;
    if (took.elapsed() < wireMs)
        QThread::msleep(unsigned(wireMs - took.elapsed()));
}

void NetworkPort::purge() {
    service();
    m_waiting.clear();
    m_raw.clear();
    m_rx.clear();
    m_noAnswer.clear();
    m_echoPossible = false;
}

int NetworkPort::write(const uint8_t* data, int length) {
    if (!m_open || data == nullptr || length < 4)
        return 0;
    const QByteArray rtu(reinterpret_cast<const char*>(data), length);
    m_sent = rtu;
    m_noAnswer.clear();
    service();
    if (!m_open)
        return 0;
    if (m_socket.state() != QAbstractSocket::ConnectedState) {
        m_waiting = rtu; // leaves once connected; the reply's time-out waits for that
        return length;
    }
    sendFrame(rtu);
    return m_open ? length : 0;
}

int NetworkPort::bytesWaiting() {
    service();
    return int(m_rx.size());
}

int NetworkPort::peek(uint8_t* buffer, int max) {
    if (buffer == nullptr || max <= 0)
        return 0;
    service();
    const int n = std::min(max, int(m_rx.size()));
    std::copy_n(reinterpret_cast<const uint8_t*>(m_rx.constData()), n, buffer);
    return n;
}

int NetworkPort::read(uint8_t* buffer, int max) {
    const int n = peek(buffer, max);
    m_rx.remove(0, n);
    return n;
}

} // namespace kx9
