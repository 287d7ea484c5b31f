// SPDX-License-Identifier: MIT
#include "RequestChain.h"

#include <QStringList>
#include <algorithm>

namespace kx9 {

namespace {

QString Requests(int n) {
    return n == 1 ? QStringLiteral("zapytania") : QStringLiteral("zapytań");
}

} // namespace

ChainStep RequestStep(Transfers& transfers, Transfers::Kind kind, int firstRegister, int count,
                      Transfers::Port port, int progress) {
    return {[&transfers, kind, firstRegister, count, port] {
                return transfers.Send(kind, firstRegister, count, port);
            },
            progress};
}

RequestChain::RequestChain(Transfers& transfers, QTimer& timer) : m_transfers(transfers), m_timer(timer) {}

RequestChain::~RequestChain() {
    m_transfers.scheduler.Release(this);
}

bool RequestChain::Start(std::vector<ChainStep> steps, std::function<void()> finished,
                         const QString& operation) {
    if (steps.empty() || !m_transfers.MayStart(operation))
        return false;
    m_steps = std::move(steps);
    m_finished = std::move(finished);
    m_operation = operation;
    m_sent.clear();
    m_next = 0;
    m_confirmed = 0;
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
    Scheduler& scheduler = m_transfers.scheduler;
    const ChainStep& step = m_steps[m_next++];
    if (step.progress >= 0)
        m_transfers.progress.SetProgress(step.progress);
    // Named before the step goes out: a failed open inside it tells its own box.
    ShowConfirmed();
    m_matchedBefore = scheduler.RepliesMatched();
    if (!step.send || !step.send())
        return false;
    m_sent.push_back(scheduler.Request());
    // A step that put nothing on the line would pass for answered at the next tick.
    return scheduler.ReplyEnd() != 0 || scheduler.TransferError();
}

void RequestChain::Tick() {
    if (!m_running) {
        m_timer.stop();
        return;
    }
    Scheduler& scheduler = m_transfers.scheduler;
    if (scheduler.TransferError()) {
        // The time-out or the refusal has already told the operator and closed the port.
        Stop();
        return;
    }
    if (scheduler.ReplyEnd() != 0)
        return;
    // Nothing but the reply taken as its answer ends a request without an error; anything else
    // (the link abandoned under the chain) is no answer, and the chain is not done.
    if (scheduler.RepliesMatched() != m_matchedBefore + 1) {
        Fail();
        return;
    }
    ++m_confirmed;
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

void RequestChain::ShowConfirmed() {
    Scheduler& scheduler = m_transfers.scheduler;
    if (!m_operation.isEmpty())
        scheduler.SetOperationName(m_operation);
    if (m_steps.size() > 1)
        scheduler.SetConfirmed(ConfirmedText(m_steps, m_sent, m_confirmed));
}

void RequestChain::Fail() {
    // The open's own message has been shown; nothing waits for a reply.
    Stop();
    m_transfers.progress.HideProgress();
    m_transfers.ClosePort();
}

void RequestChain::Stop() {
    m_timer.stop();
    // Nothing of this chain is in flight any more: a later transfer must not inherit its name.
    Scheduler& scheduler = m_transfers.scheduler;
    if (m_running && scheduler.ReplyEnd() == 0 && !scheduler.JobRunning())
        scheduler.SetOperationName(QString());
    m_running = false;
    m_next = 0;
    m_steps.clear();
    m_finished = nullptr;
    m_transfers.scheduler.Release(this);
}

QString RequestChain::ConfirmedText(const std::vector<ChainStep>& steps,
                                    const std::vector<PendingRequest>& sent, int confirmed) {
    struct Part {
        QString what; // empty: a run of requests, first..last
        int function = 0;
        int first = 0;
        int last = 0;
        int done = 0;
        int planned = 0;
    };
    std::vector<Part> parts;
    const int taken = std::min({confirmed, int(steps.size()), int(sent.size())});
    for (int i = 0; i < taken; ++i) {
        const QString& what = steps[size_t(i)].what;
        const PendingRequest& r = sent[size_t(i)];
        Part* last = parts.empty() ? nullptr : &parts.back();
        if (!what.isEmpty()) {
            if (last && last->what == what) {
                ++last->done;
                continue;
            }
            Part part{what, 0, 0, 0, 1, 0};
            for (size_t j = size_t(i); j < steps.size() && steps[j].what == what; ++j)
                ++part.planned;
            parts.push_back(part);
            continue;
        }
        // Requests of one function whose registers follow on read as one range.
        if (last && last->what.isEmpty() && last->function == r.function && r.function != 17 &&
            r.firstRegister == last->last + 1) {
            last->last = r.firstRegister + r.count - 1;
            continue;
        }
        parts.push_back({QString(), r.function, r.firstRegister, r.firstRegister + r.count - 1, 1, 1});
    }
    QString text = QStringLiteral("%1 z %2 %3").arg(taken).arg(steps.size()).arg(Requests(int(steps.size())));
    QStringList names;
    for (const Part& p : parts) {
        if (p.what.isEmpty()) {
            names << DescribeRequest(p.function, p.first, p.last - p.first + 1);
        } else if (p.done < p.planned) {
            names << QStringLiteral("%1 (%2 z %3 %4)")
                         .arg(p.what)
                         .arg(p.done)
                         .arg(p.planned)
                         .arg(Requests(p.planned));
        } else {
            names << p.what;
        }
    }
    if (!names.isEmpty())
        text += QStringLiteral(": ") + names.join(QStringLiteral(", "));
    return text;
}

} // namespace kx9
