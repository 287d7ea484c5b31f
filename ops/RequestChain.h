// SPDX-License-Identifier: MIT
#pragma once

#include "Transfers.h"

#include <QTimer>
#include <functional>
#include <vector>

namespace kx9 {

// One request of a chain: `send` issues it through the scheduler (opening the port first when
// it must) and returns false when it could not; `progress` is shown as it goes out (-1 none).
// `what` names what the request carries for a failure's details ("strona graficzna 115");
// steps that share it count as one part. Empty: the request itself is named.
struct ChainStep {
    std::function<bool()> send;
    int progress = -1;
    QString what = QString();
};

// A step of one request of the window's own (Transfers::Send).
ChainStep RequestStep(Transfers& transfers, Transfers::Kind kind, int firstRegister, int count,
                      Transfers::Port port, int progress = -1);

// The requests of an editor that sends more than one, driven by the editor's own timer
// (its Timer1, whose tick calls Tick). The next request goes out once the reply to the last
// one has been taken as its answer. A time-out, a refusal, a refused open or a request that
// ends without its reply ends the chain for good: it never wakes up when a later transfer
// clears the error, and it is done (`finished` runs) only when every request was answered.
// While it runs, every other transfer is refused. A failure's details name the operation and
// the requests the board confirmed before it.
class RequestChain {
public:
    RequestChain(Transfers& transfers, QTimer& timer);
    ~RequestChain();
    RequestChain(const RequestChain&) = delete;
    RequestChain& operator=(const RequestChain&) = delete;

    // Refused with the message while another transfer runs. Sends the first step at once and
    // starts the timer; `finished` runs in the tick that finds the last reply in. `operation`
    // is the window's name for the transfer ("Zapis nastaw jasności").
    bool Start(std::vector<ChainStep> steps, std::function<void()> finished = {},
               const QString& operation = QString());
    void Tick();
    // Abandoned: timer stopped, counters cleared, the link released; nothing more is sent.
    void Stop();

    bool Running() const { return m_running; }
    // Requests sent so far (1 after Start); 0 when idle.
    int Sent() const { return m_running ? int(m_next) : 0; }
    // Requests whose reply was taken as their answer, in the chain running or the last one.
    int Confirmed() const { return m_confirmed; }

    // "2 z 12 zapytań: zapis rejestrów 4028..4047 (funkcja 16)": `confirmed` of the `steps`
    // taken, each part named once; a part cut short says how far it came.
    static QString ConfirmedText(const std::vector<ChainStep>& steps, const std::vector<PendingRequest>& sent,
                                 int confirmed);

private:
    bool SendNext();
    void Fail();
    void ShowConfirmed();

    Transfers& m_transfers;
    QTimer& m_timer;
    std::vector<ChainStep> m_steps;
    std::function<void()> m_finished;
    QString m_operation;
    std::vector<PendingRequest> m_sent; // the requests sent so far
    size_t m_next = 0;
    int m_confirmed = 0;
    unsigned m_matchedBefore = 0; // the scheduler's matched replies before the last request
    bool m_running = false;
};

} // namespace kx9
