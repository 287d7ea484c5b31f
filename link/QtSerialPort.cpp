// SPDX-License-Identifier: MIT
#include "QtSerialPort.h"

#include <QDeadlineTimer>
#include <QFileInfo>

#if defined(Q_OS_WIN)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#elif defined(Q_OS_UNIX)
#include <cerrno>
#include <poll.h>
#include <termios.h>
#endif

namespace kx9 {

namespace {

// The link's receive buffer holds 300 bytes; the driver never needs to queue more for us.
constexpr qint64 ReadBufferSize = 300;

QSerialPort::Parity QtParity(Parity parity) {
    switch (parity) {
    case Parity::Even:
        return QSerialPort::EvenParity;
    case Parity::Odd:
        return QSerialPort::OddParity;
    case Parity::None:
        break;
    }
    return QSerialPort::NoParity;
}

} // namespace

QtSerialPort::QtSerialPort() = default;

QtSerialPort::~QtSerialPort() {
    close();
}

QtSerialPort::QtSerialPort(const PortMap& map) : m_map(&map) {}

QString QtSerialPort::DeviceFor(const QString& comName) {
    return PortMap().DeviceFor(comName);
}

QString QtSerialPort::deviceName(const QString& name) const {
    return m_map ? m_map->DeviceFor(name) : DeviceFor(name);
}

bool QtSerialPort::open(const QString& name, const LineSettings& line) {
    close();
    m_lastError.clear();
    const PortRoute route = m_map ? m_map->Route(name, {}) : PortMap().Route(name, {});
    QString device = route.device;
#if !defined(Q_OS_WIN)
    // Qt's lock file is named after the path it is given: the device's own path makes two links
    // of one name in two folders two ports, and two names of one device one.
    if (const QString canonical = QFileInfo(device).canonicalFilePath(); !canonical.isEmpty())
        device = canonical;
#endif
    m_port.setPortName(device);
    // Open with plain settings every tty accepts; the wanted line follows below, and whatever
    // the device refuses (parity or modem lines on a pseudo-terminal) leaves the port usable.
    m_port.setBaudRate(QSerialPort::Baud9600);
    m_port.setDataBits(QSerialPort::Data8);
    m_port.setParity(QSerialPort::NoParity);
    m_port.setStopBits(QSerialPort::OneStop);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    if (!m_port.open(QIODevice::ReadWrite)) {
        m_lastError = describeError();
        if (m_port.error() == QSerialPort::DeviceNotFoundError && !route.tried.isEmpty())
            m_lastError +=
                QStringLiteral(" (sprawdzono: ") + route.tried.join(QStringLiteral(", ")) + QLatin1Char(')');
        m_port.clearError();
        return false;
    }
    m_baud = line.baud > 0 ? line.baud : 9600;
    m_port.setReadBufferSize(ReadBufferSize);
    m_port.setBaudRate(line.baud);
    m_port.setDataBits(QSerialPort::Data8);
    m_port.setParity(QtParity(line.parity));
    m_port.setStopBits(line.stopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    m_port.setDataTerminalReady(false);
    m_port.setRequestToSend(false);
    SetExactFrame(line);
    m_port.clearError();
    // Bytes that arrived before the open must not pass for a reply.
    m_port.clear();
    m_port.clearError();
    return true;
}

void QtSerialPort::close() {
    if (!m_port.isOpen())
        return;
    m_port.flush();
    m_port.close();
    m_port.clearError();
}

bool QtSerialPort::isOpen() const {
    return m_port.isOpen();
}

void QtSerialPort::SetExactFrame(const LineSettings& line) {
#if defined(Q_OS_UNIX)
    // Qt changes only the flags of the parity it is given: no parity leaves PARODD (and
    // CMSPAR) from an earlier odd setting, which a board, or kx9-sim, takes for odd parity.
    // Every frame flag is set here from scratch; the rate stays as Qt set it.
    const int fd = static_cast<int>(m_port.handle());
    termios t{};
    if (::tcgetattr(fd, &t) != 0)
        return;
    t.c_cflag &= ~tcflag_t(CSIZE | PARENB | PARODD | CSTOPB);
#ifdef CMSPAR
    t.c_cflag &= ~tcflag_t(CMSPAR);
#endif
    t.c_cflag |= CS8 | CREAD | CLOCAL;
    if (line.parity != Parity::None)
        t.c_cflag |= PARENB;
    if (line.parity == Parity::Odd)
        t.c_cflag |= PARODD;
    if (line.stopBits == 2)
        t.c_cflag |= CSTOPB;
    // Parity is checked where the frame has it; a character that fails is dropped, so the
    // reply fails its CRC instead of passing with a wrong byte.
    t.c_iflag &= ~tcflag_t(INPCK | PARMRK);
    t.c_iflag |= IGNPAR;
    if (line.parity != Parity::None)
        t.c_iflag |= INPCK;
    // A pseudo-terminal keeps no parity of its own; what it refuses is ignored, as for Qt's own
    // settings.
    ::tcsetattr(fd, TCSANOW, &t);
#else
    Q_UNUSED(line);
#endif
}

void QtSerialPort::purge() {
    if (!m_port.isOpen())
        return;
    m_port.clear(QSerialPort::AllDirections);
    dropIfLost();
}

int QtSerialPort::write(const uint8_t* data, int length) {
    if (!m_port.isOpen() || data == nullptr || length <= 0)
        return 0;
    const qint64 queued = m_port.write(reinterpret_cast<const char*>(data), length);
    if (queued < 0) {
        dropIfLost();
        return 0;
    }
    // Generous: the wire time of the frame at the port's rate plus a second.
    const qint64 wireMs = qint64(length) * 11 * 1000 / m_baud;
    QDeadlineTimer deadline(wireMs + 1000);
    while (m_port.bytesToWrite() > 0 && !deadline.hasExpired()) {
        if (!m_port.waitForBytesWritten(int(qMax<qint64>(1, deadline.remainingTime()))))
            break;
    }
    const qint64 left = m_port.bytesToWrite();
    if (dropIfLost())
        return 0;
    m_port.clearError();
    // The frame has reached the driver; wait until it has left the line.
#if defined(Q_OS_WIN)
    FlushFileBuffers(reinterpret_cast<HANDLE>(m_port.handle()));
#elif defined(Q_OS_UNIX)
    while (::tcdrain(static_cast<int>(m_port.handle())) == -1 && errno == EINTR) {
    }
#endif
    return int(queued - left);
}

int QtSerialPort::bytesWaiting() {
    if (!m_port.isOpen())
        return 0;
    pull();
    if (dropIfLost())
        return 0;
    return int(m_port.bytesAvailable());
}

int QtSerialPort::peek(uint8_t* buffer, int max) {
    if (!m_port.isOpen() || buffer == nullptr || max <= 0)
        return 0;
    if (m_port.bytesAvailable() < max)
        pull();
    const qint64 got = m_port.peek(reinterpret_cast<char*>(buffer), max);
    return got > 0 ? int(got) : 0;
}

int QtSerialPort::read(uint8_t* buffer, int max) {
    if (!m_port.isOpen() || buffer == nullptr || max <= 0)
        return 0;
    if (m_port.bytesAvailable() < max)
        pull();
    const qint64 got = m_port.read(reinterpret_cast<char*>(buffer), max);
    dropIfLost(); // bytes that came before the loss still count
    return got > 0 ? int(got) : 0;
}

void QtSerialPort::pull() {
    // Without an event loop nothing moves bytes from the driver into Qt's buffer; a zero
    // time-out asks once. Its time-out "error" means nothing more came.
    if (m_port.bytesAvailable() < ReadBufferSize)
        m_port.waitForReadyRead(0);
    if (m_port.error() == QSerialPort::TimeoutError)
        m_port.clearError();
}

bool QtSerialPort::dropIfLost() {
    const bool lost = m_port.error() == QSerialPort::ResourceError;
    if (!lost && !hungUp())
        return false;
    m_lastError = lost ? describeError() : QStringLiteral("linia rozłączona");
    m_port.close();
    m_port.clearError();
    return true;
}

bool QtSerialPort::hungUp() const {
#if defined(Q_OS_UNIX)
    // Qt reports a hang-up (the other end of a pseudo-terminal gone, a USB adapter pulled) only
    // once a read or write fails; the descriptor tells it at once.
    if (!m_port.isOpen())
        return false;
    pollfd p{static_cast<int>(m_port.handle()), POLLIN, 0};
    return ::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
#else
    return false;
#endif
}

QString QtSerialPort::describeError() const {
    QString what;
    switch (m_port.error()) {
    case QSerialPort::DeviceNotFoundError:
        what = QStringLiteral("urządzenie nie istnieje");
        break;
    case QSerialPort::PermissionError:
        what = QStringLiteral("brak dostępu lub port zajęty przez inny program");
        break;
    case QSerialPort::ResourceError:
        what = QStringLiteral("urządzenie niedostępne (odłączone)");
        break;
    case QSerialPort::OpenError:
        what = QStringLiteral("port jest już otwarty");
        break;
    default:
        what = QStringLiteral("błąd portu");
        break;
    }
    const QString system = m_port.errorString();
    return system.isEmpty() ? what : what + QStringLiteral(" — ") + system;
}

} // namespace kx9
