// SPDX-License-Identifier: MIT
#include "RequestChain.h"

namespace kx9 {

RequestChain::RequestChain(Transfers& transfers, QTimer& timer) : m_transfers(transfers), m_timer(timer) {}

RequestChain::~RequestChain() {
    m_transfers.scheduler.Release(this);
}

bool RequestChain::Start(std::vector<ChainStep> steps, std::function<void()> finished) {
    if (steps.empty() || !m_transfers.MayStart())
        return false;
    m_steps = std::move(steps);
    m_finished = std::move(finished);
    m_next = 0;
    m_running = true;
    m_transfers.scheduler.ClearTransferError();
    m_transfers.scheduler.Claim(this);
    if (!SendNext()) {
        Fail();
        return false;
    }
    m_timer.start();
    return true;
}

bool RequestChain::SendNext() {
    const ChainStep& step = m_steps[m_next++];
    if (step.progress >= 0)
        m_transfers.progress.SetProgress(step.progress);
    return step.send && step.send();
}

void RequestChain::Tick() {
    if (!m_running) {
        m_timer.stop();
        return;
    }
    Scheduler& scheduler = m_transfers.scheduler;
    if (scheduler.TransferError()) {
        // The time-out has already told the operator and closed the port.
        Stop();
        return;
    }
    if (scheduler.ReplyEnd() != 0)
        return;
    if (m_next < m_steps.size()) {
        if (!SendNext())
            Fail();
        return;
    }
    std::function<void()> finished = std::move(m_finished);
    Stop();
    if (finished)
        finished();
}

void RequestChain::Fail() {
    // The open's own message has been shown; nothing waits for a reply.
    Stop();
    m_transfers.progress.HideProgress();
    if (m_transfers.image.link.PortOpen)
        m_transfers.scheduler.CloseLink();
}

void RequestChain::Stop() {
    m_timer.stop();
    m_running = false;
    m_next = 0;
    m_steps.clear();
    m_finished = nullptr;
    m_transfers.scheduler.Release(this);
}

} // namespace kx9
