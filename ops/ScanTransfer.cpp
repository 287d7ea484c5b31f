// SPDX-License-Identifier: MIT
#include "ScanTransfer.h"

namespace kx9 {

namespace {

const char* const OperationName = "Szukanie tablicy";

} // namespace

ScanTransfer::ScanTransfer(Transfers& transfers) : m_t(transfers) {}

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
    m_scan = std::make_unique<BoardScan>(m_t.scheduler, m_t.image, onPort, &m_t.progress);
    m_scan->OnFound(std::move(found));
    m_scan->OnEnded([this] { Finish(); });
    m_ended = std::move(ended);
    // An earlier failure must not end this transfer at the sequencer's first look.
    m_t.scheduler.ClearTransferError();
    m_t.progress.SetProgress(0);
    m_starting = true;
    const bool started = m_scan->Start();
    m_starting = false;
    if (!started && m_scan->Status() == BoardScan::State::Failed && !m_scan->PortLost()) {
        // Not started: `ended` is not told.
        m_ended = {};
        Finish();
        return false;
    }
    if (!started)
        Finish();
    return true;
}

void ScanTransfer::Stop() {
    if (Running())
        m_scan->Stop();
}

void ScanTransfer::Finish() {
    // While starting, Start decides what is said.
    if (m_starting)
        return;
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
