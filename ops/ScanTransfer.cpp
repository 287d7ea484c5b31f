// SPDX-License-Identifier: MIT
#include "ScanTransfer.h"

namespace kx9 {

namespace {

// A reply's end shows as 3.5 characters of silence, 2 ms at the fastest rate.
constexpr int TickMs = 1;
const char* const OperationName = "Szukanie tablicy";

} // namespace

ScanTransfer::ScanTransfer(Transfers& transfers) : m_t(transfers) {
    Timer1.setObjectName(QStringLiteral("Timer1"));
    Timer1.setParent(this);
    Timer1.setTimerType(Qt::PreciseTimer);
    Timer1.setInterval(TickMs);
    connect(&Timer1, &QTimer::timeout, this, &ScanTransfer::Timer1Timer);
}

ScanTransfer::~ScanTransfer() {
    m_ended = {};
    Stop();
}

bool ScanTransfer::Start(int portIndex, const BoardScan::Plan& plan, std::function<void()> ended,
                         std::function<void(const ScanFind&)> found) {
    if (!m_t.MayStart(QString::fromUtf8(OperationName)))
        return false;
    BoardScan::Plan onPort = plan;
    onPort.port = ModbusLink::PortName(portIndex);
    m_scan = std::make_unique<BoardScan>(m_t.scheduler.Link(), m_t.image, onPort, &m_t.progress);
    m_scan->OnFound(std::move(found));
    m_ended = std::move(ended);
    m_active = true;
    // An earlier failure must not end this transfer at the sequencer's first look.
    m_t.scheduler.ClearTransferError();
    m_t.progress.SetProgress(0);
    // The first step opens the port; one that does not open has said why in its own box.
    m_scan->Step();
    if (m_scan->Status() == BoardScan::State::Failed && !m_scan->PortLost()) {
        m_ended = {};
        Finish();
        return false;
    }
    if (!Running()) {
        Finish();
        return true;
    }
    m_t.scheduler.StartJob(*this);
    Timer1.start();
    return true;
}

void ScanTransfer::Stop() {
    if (Running())
        m_scan->Stop();
    Finish();
}

void ScanTransfer::Timer1Timer() {
    if (!m_active) {
        Timer1.stop();
        return;
    }
    // No other job can start while this one runs: no running job means "Przerwij" dropped it,
    // or everything was abandoned.
    if (!m_t.scheduler.JobRunning())
        m_scan->Stop();
    else
        m_scan->Step();
    if (!Running())
        Finish();
}

void ScanTransfer::Finish() {
    if (!m_active)
        return;
    m_active = false;
    Timer1.stop();
    if (m_t.scheduler.JobRunning())
        m_t.scheduler.EndJob();
    // A lost port is said with the line scanned.
    QString lost;
    if (m_scan->PortLost())
        lost = m_t.scheduler.Link().FailureText(
            LinkFailure::Of(LinkFailure::Cause::PortLost, 0, m_scan->FailureReason()),
            DescribeRequest(17, 0, 0));
    if (m_t.image.link.PortOpen)
        m_t.scheduler.CloseLink();
    m_t.progress.HideProgress();
    m_t.scheduler.SetOperationName(QString());
    if (!lost.isEmpty())
        m_t.dialogs.messageWithDetails(QStringLiteral("Błąd transmisji danych"), QStringLiteral("Błąd"),
                                       MsgIcon::Error, lost);
    const std::function<void()> ended = std::move(m_ended);
    m_ended = {};
    if (ended)
        ended();
}

} // namespace kx9
