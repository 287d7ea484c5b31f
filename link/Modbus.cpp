// SPDX-License-Identifier: MIT
#include "Modbus.h"

#include "NetworkLine.h"

#include <algorithm>

namespace kx9 {

ModbusLink::ModbusLink(ConfigImage& image, SerialPort& port, Dialogs& dialogs, Clock& clock)
    : m_image(image), m_port(port), m_dialogs(dialogs), m_clock(clock) {
    SetOpen(false);
}

ModbusLink::~ModbusLink() {
    if (IsOpen)
        m_port.close();
    SetOpen(false);
}

QString ModbusLink::PortName(int portIndex) {
    return LineTarget::ComName(portIndex);
}

void ModbusLink::SetOpen(bool open) {
    IsOpen = open;
    m_image.link.PortOpen = open;
}

void ModbusLink::DropIfLost() {
    // The device vanished or refused a transfer: close it so the request fails cleanly and the
    // next operation opens it afresh.
    if (IsOpen && !m_port.isOpen()) {
        m_port.close();
        SetOpen(false);
        PortLost = true;
    }
}

int ModbusLink::Open(int portIndex, int frameIndex, int baudIndex) {
    return Open(LineTarget{portIndex >= 0 && portIndex <= 255 ? PortName(portIndex) : QString(), frameIndex,
                           baudIndex, m_image.link.BoardAddress});
}

int ModbusLink::Open(const LineTarget& line) {
    if (IsOpen)
        Close();
    PortLost = false;
    m_line = line;

    // Settings from a file or the board are checked here, where they are used; they are kept as
    // they came, so a refused one names itself in the details and the file stays as it was.
    using C = LinkFailure::Cause;
    LinkFailure refusal;
    if (line.port.isEmpty())
        refusal = LinkFailure::Of(C::BadPort, 0);
    else if (line.frameIndex < 0 || line.frameIndex >= int(FrameNames.size()))
        refusal = LinkFailure::Of(C::BadFrame, line.frameIndex);
    else if (line.baudIndex < 0 || line.baudIndex >= int(BaudRates.size()))
        refusal = LinkFailure::Of(C::BadBaud, line.baudIndex);
    else if (line.address < frame::MinAddress || line.address > frame::MaxAddress)
        refusal = LinkFailure::Of(C::BadAddress, line.address);
    else if (!m_port.open(line.port, line.Settings()))
        refusal = LinkFailure::Of(C::OpenFailed, 0, m_port.lastError());

    if (refusal.Failed()) {
        m_everOpened = false;
        SetOpen(false);
        m_dialogs.messageWithDetails(QStringLiteral("Niewłaściwa nazwa portu lub  port jest aktywny\n"
                                                    "Zamknij uruchomione aplikacje lub wybierz inny port"),
                                     QStringLiteral("Błąd otwarcia portu"), MsgIcon::Information,
                                     FailureText(refusal, QString()));
        return -1;
    }
    m_everOpened = true;
    m_port.purge();
    SetOpen(true);
    m_clock.pause(200);
    return 1;
}

QString ModbusLink::FailureText(const LinkFailure& failure, const QString& request) const {
    FailureReport report;
    report.operation = m_operation;
    report.confirmed = m_confirmed;
    report.request = request;
    report.port = m_line.port;
    report.device = m_port.deviceName(report.port);
    report.address = m_line.address;
    report.frameIndex = m_line.frameIndex;
    report.baudIndex = m_line.baudIndex;
    report.failure = failure;
    return FailureDetails(report);
}

LinkFailure ModbusLink::LostFailure() const {
    return LinkFailure::Of(m_port.network() ? LinkFailure::Cause::NetworkLost : LinkFailure::Cause::PortLost,
                           0, m_port.lastError());
}

void ModbusLink::SetTrace(LineTrace* trace) {
    m_trace = trace;
    if (!trace) {
        m_port.setTrace({});
        return;
    }
    m_port.setTrace([this](LineTrace::Event event, const QByteArray& bytes, const QString& note) {
        Trace(event, reinterpret_cast<const uint8_t*>(bytes.constData()), int(bytes.size()), {}, note);
    });
}

QString ModbusLink::TraceName() const {
    const QString device = m_port.deviceName(m_line.port);
    return device.isEmpty() || device == m_line.port
               ? m_line.port
               : m_line.port + QStringLiteral(" (") + device + QLatin1Char(')');
}

bool ModbusLink::LeadsToNetwork(const QString& name) const {
    return LooksLikeNetworkLine(m_port.deviceName(name));
}

int ModbusLink::Close() {
    if (!m_everOpened)
        return 0;
    m_port.close();
    SetOpen(false);
    return 1;
}

int ModbusLink::BuildReadRequest(int address, int firstRegister, int count) {
    return frame::BuildRead(TxBuffer, address, firstRegister, count);
}

int ModbusLink::BuildWriteRequest(int address, int firstRegister, int count, const int32_t* block) {
    if (block == nullptr || firstRegister < 0)
        return 0;
    int slot = firstRegister;
    if (firstRegister >= SlaveBase)
        slot = firstRegister - SlaveBase;
    else if (firstRegister >= MainBase)
        slot = firstRegister - MainBase;
    return frame::BuildWrite(TxBuffer, address, firstRegister, count, block + slot);
}

int ModbusLink::BuildIdentifyRequest(int address) {
    return frame::BuildIdentify(TxBuffer, address);
}

int ModbusLink::Send(int length) {
    if (!IsOpen || length <= 0 || TxBuffer[0] < frame::MinAddress || TxBuffer[0] > frame::MaxAddress)
        return 0;
    length = std::min(length, frame::BufferSize);
    // A reply that came after its time-out must not meet this request.
    m_port.purge();
    DropIfLost();
    if (!IsOpen)
        return 0;
    const int written = m_port.write(TxBuffer, length);
    Trace(LineTrace::Event::Request, TxBuffer, length);
    if (written != length && m_port.isOpen())
        m_port.close(); // a frame that did not leave whole means the port has failed
    DropIfLost();
    return std::max(written, 0);
}

int ModbusLink::BytesWaiting() {
    if (!IsOpen)
        return 0;
    const int waiting = m_port.bytesWaiting();
    DropIfLost();
    return IsOpen ? std::max(waiting, 0) : 0;
}

int ModbusLink::Receive() {
    RxLength = 0;
    if (!IsOpen)
        return 0;
    const int got = m_port.read(RxBuffer, frame::BufferSize);
    DropIfLost();
    RxLength = std::clamp(got, 0, frame::BufferSize);
    return RxLength;
}

int ModbusLink::CheckReply(int address) {
    const int n = Receive();
    if (n < 3 || RxBuffer[0] != static_cast<uint8_t>(address & 0xFF))
        return 0;
    if (!frame::CrcMatches(RxBuffer, n))
        return 0;
    switch (RxBuffer[1]) {
    case 3:
    case 16:
    case 17:
        return RxBuffer[1];
    case 0x83:
    case 0x90:
        return -RxBuffer[2];
    default:
        return -1;
    }
}

int ModbusLink::StoreReadReply(int firstRegister, int endIndex) {
    // The reply must lie within what was received: address, function, count, CRC at least.
    if (endIndex < 4 || endIndex >= RxLength)
        return -1;
    if (!frame::CrcMatches(RxBuffer, endIndex + 1))
        return -1;
    const int byteCount = RxBuffer[2];
    // The values must end before the CRC that closes the reply.
    if (3 + byteCount > endIndex - 1)
        return -1;
    const int count = byteCount / 2;

    int slot = 0;
    int slotsLeft = 0;
    int32_t* block = m_image.BlockFor(firstRegister, &slot, &slotsLeft);
    // A reply that would run past its block is refused whole rather than cut.
    if (block == nullptr || count > slotsLeft)
        return -1;

    for (int k = 0; k < count; ++k)
        block[slot + k] = (int32_t(RxBuffer[3 + 2 * k]) << 8) | RxBuffer[4 + 2 * k];
    m_image.MarkRegs(firstRegister, count);
    return 1;
}

LinkFailure ModbusLink::CheckAnswer(const PendingRequest& request) {
    const int n = Receive();
    const LinkFailure verdict = MatchReply(request, RxBuffer, n);
    Trace(LineTrace::Event::Reply, RxBuffer, n, verdict);
    return verdict;
}

int ModbusLink::PeekException(const PendingRequest& request) {
    if (!IsOpen)
        return 0;
    uint8_t head[5];
    const int n = m_port.peek(head, int(sizeof head));
    const int code = ExceptionCodeOf(request, head, n);
    if (code != 0)
        Trace(LineTrace::Event::Exception, head, n, LinkFailure::Of(LinkFailure::Cause::Exception, code));
    return code;
}

QString ModbusLink::DescribeIdentification() const {
    const QString failed = QStringLiteral("Błąd przetworzenia");
    // Only bytes in front of the closing CRC carry data.
    const int dataEnd = RxLength - 2;
    if (dataEnd <= 3)
        return failed;
    if (RxBuffer[3] != frame::Kx9SlaveId)
        return QStringLiteral("Urządzenie o adresie: ") + QString::number(RxBuffer[0]) +
               QStringLiteral(" nie jest tablicą KX9");
    if (!frame::IsKx9Identification(RxBuffer, RxLength))
        return failed;
    const int columns = RxBuffer[8] + 1;
    const int rows = RxBuffer[9] + 1;
    return QStringLiteral("Uzyskano odpowiedź z KX9 o rozdzielczości matrycowej: ") +
           QString::number(columns) + QStringLiteral("x") + QString::number(rows) + QStringLiteral("\n") +
           QStringLiteral("Rozdzielczość tablicy :") + QString::number(columns * rows * 64) +
           QStringLiteral(" punktów");
}

} // namespace kx9
