// SPDX-License-Identifier: MIT
#pragma once

#include "Transfers.h"

#include <QTimer>
#include <functional>
#include <vector>

namespace kx9 {

// One request of a chain: `send` issues it through the scheduler (opening the port first when
// it must) and returns false when it could not; `progress` is shown as it goes out (-1 none).
struct ChainStep {
    std::function<bool()> send;
    int progress = -1;
};

// The requests of an editor that sends more than one, driven by the editor's own timer
// (its Timer1, whose tick calls Tick). The next request goes out once the reply to the last
// one is in. A time-out or a refused open ends the chain for good: it never wakes up when a
// later transfer clears the error. While it runs, every other transfer is refused.
class RequestChain {
public:
    RequestChain(Transfers& transfers, QTimer& timer);
    ~RequestChain();
    RequestChain(const RequestChain&) = delete;
    RequestChain& operator=(const RequestChain&) = delete;

    // Refused with the message while another transfer runs. Sends the first step at once and
    // starts the timer; `finished` runs in the tick that finds the last reply in.
    bool Start(std::vector<ChainStep> steps, std::function<void()> finished = {});
    void Tick();
    // Abandoned: timer stopped, counters cleared, the link released; nothing more is sent.
    void Stop();

    bool Running() const { return m_running; }
    // Requests sent so far (1 after Start); 0 when idle.
    int Sent() const { return m_running ? m_next : 0; }

private:
    bool SendNext();
    void Fail();

    Transfers& m_transfers;
    QTimer& m_timer;
    std::vector<ChainStep> m_steps;
    std::function<void()> m_finished;
    size_t m_next = 0;
    bool m_running = false;
};

} // namespace kx9
