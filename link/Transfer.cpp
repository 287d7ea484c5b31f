// SPDX-License-Identifier: MIT
#include "Transfer.h"

#include <QEventLoop>

#include <algorithm>

namespace kx9 {

namespace {

constexpr int PollIntervalMs = 10;
constexpr int SequencerIntervalMs = 20;
constexpr int WriteReplyEnd = 7; // function 16 reply: 8 bytes
constexpr int IdentifyReplyEnd = 9;
constexpr int ExceptionReplyLength = 5;

const char* const TransmissionErrorText = "Błąd transmisji danych";
const char* const TransmissionErrorTitle = "Błąd";
const char* const IdentifyTitle = "Identyfikacja";

} // namespace

Scheduler::Scheduler(ConfigImage& image, ModbusLink& link, Dialogs& dialogs)
    : m_image(image), m_link(link), m_dialogs(dialogs) {
    TimeOut.setObjectName(QStringLiteral("TimeOut"));
    TestOdpowiedzi.setObjectName(QStringLiteral("TestOdpowiedzi"));
    TransmisjaWr.setObjectName(QStringLiteral("TransmisjaWr"));

    // Children, so that they can be found by name; as members they go before their parent.
    for (QTimer* timer : {&TimeOut, &TestOdpowiedzi, &TransmisjaWr}) {
        timer->setParent(this);
        timer->setTimerType(Qt::PreciseTimer);
    }
    TimeOut.setSingleShot(true);
    TimeOut.setInterval(ClampedTimeout(m_image.link.ReplyTimeoutMs));
    TestOdpowiedzi.setInterval(PollIntervalMs);
    TransmisjaWr.setInterval(SequencerIntervalMs);

    connect(&TimeOut, &QTimer::timeout, this, &Scheduler::TimeOutTimer);
    connect(&TestOdpowiedzi, &QTimer::timeout, this, &Scheduler::TestOdpowiedziTimer);
    connect(&TransmisjaWr, &QTimer::timeout, this, &Scheduler::TransmisjaWrTimer);
}

void Scheduler::StartJob(Job& job) {
    m_job = &job;
    TransmisjaWr.start();
    NoteBusy();
}

void Scheduler::AbortJob() {
    Job* job = m_job;
    m_job = nullptr;
    if (job)
        job->Dropped();
    NoteBusy();
}

void Scheduler::NoteBusy() {
    const bool busy = Busy();
    const bool ended = m_busyNoted && !busy;
    m_busyNoted = busy;
    if (ended)
        emit idle();
}

void Scheduler::StopSequencer() {
    ++m_sequencerStops;
    TransmisjaWr.stop();
}

void Scheduler::WithSequencerHeld(const std::function<void()>& run) {
    const bool running = TransmisjaWr.isActive();
    const unsigned stops = m_sequencerStops;
    TransmisjaWr.stop();
    run();
    if (running && stops == m_sequencerStops && !TransmisjaWr.isActive())
        TransmisjaWr.start();
}

int Scheduler::ClampedTimeout(int ms) {
    return std::clamp(ms, MinReplyTimeoutMs, MaxReplyTimeoutMs);
}

void Scheduler::Abandon() {
    m_link.SetOperationName(QString());
    TimeOut.stop();
    TestOdpowiedzi.stop();
    StopSequencer();
    m_job = nullptr;
    m_claim = nullptr;
    m_replyEnd = 0;
    m_probe = false;
    if (m_image.link.PortOpen)
        CloseLink();
    NoteBusy();
}

int Scheduler::OpenLink() {
    return OpenLink(LineTarget::Of(m_image.link));
}

int Scheduler::OpenLink(const LineTarget& line) {
    const int result = m_link.Open(line);
    if (m_linkShown)
        m_linkShown();
    return result;
}

void Scheduler::CloseLink() {
    m_link.Close();
    if (m_linkShown)
        m_linkShown();
}

void Scheduler::ArmTimeOut() {
    // A time-out from a file or the board is used within bounds: 1 ms would fail every
    // transfer, a minute would look like a hang. The setting itself is kept as it came.
    TimeOut.setInterval(ClampedTimeout(m_image.link.ReplyTimeoutMs));
    TimeOut.start();
}

bool Scheduler::WaitUntilIdle(int timeoutMs, int pollMs) const {
    QEventLoop loop;
    bool expired = false;
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &loop, [&] {
        expired = true;
        loop.quit();
    });
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (Idle())
            loop.quit();
    });
    deadline.start(timeoutMs);
    poll.start(pollMs);
    loop.exec();
    return !expired;
}

void Scheduler::StartReplyWait() {
    m_lastWaiting = -1;
    ArmTimeOut();
    TestOdpowiedzi.setInterval(PollIntervalMs);
    TestOdpowiedzi.start();
    NoteBusy();
}

void Scheduler::Expect(int function, int firstRegister, int count) {
    m_request = {m_image.link.BoardAddress, function, firstRegister, count};
    m_failure = LinkFailure();
    m_probe = false;
}

void Scheduler::SendRead(int firstRegister, int count) {
    Expect(3, firstRegister, count);
    m_readStart = firstRegister;
    m_replyEnd = ModbusLink::ReplyEndIndex(count);
    m_transferError = false;
    int length = m_link.BuildReadRequest(m_image.link.BoardAddress, firstRegister, count);
    m_link.Send(length);
    StartReplyWait();
}

void Scheduler::SendWrite(int firstRegister, int count) {
    // The link indexes the block itself (reg - 4000 or reg - 4300), so hand it the block's start,
    // and only when the whole range lies inside it.
    int slotsLeft = 0;
    const int32_t* block = m_image.BlockFor(firstRegister, nullptr, &slotsLeft);
    SendWrite(firstRegister, count, count >= 1 && count <= slotsLeft ? block : nullptr);
}

void Scheduler::SendWriteFrom(int firstRegister, int count, const int32_t* registers, int size) {
    const bool inside = registers && firstRegister >= 0 && count >= 1 && firstRegister < MainBase &&
                        firstRegister + count <= size;
    SendWrite(firstRegister, count, inside ? registers : nullptr);
}

void Scheduler::SendWrite(int firstRegister, int count, const int32_t* block) {
    Expect(16, firstRegister, count);
    m_replyEnd = WriteReplyEnd;
    m_transferError = false;
    // A range the image does not hold sends nothing; the time-out then reports the failure
    // instead of putting stray values on the line.
    int length = block ? m_link.BuildWriteRequest(m_image.link.BoardAddress, firstRegister, count, block) : 0;
    if (length > 0)
        m_link.Send(length);
    StartReplyWait();
}

void Scheduler::SendIdentify() {
    Expect(17, 0, 0);
    m_replyEnd = IdentifyReplyEnd;
    m_transferError = false;
    int length = m_link.BuildIdentifyRequest(m_image.link.BoardAddress);
    m_link.Send(length);
    StartReplyWait();
}

void Scheduler::SendProbe(int address, int windowMs) {
    Expect(17, 0, 0);
    m_request.address = address;
    m_probe = true;
    m_probeAnswered = false;
    m_replyEnd = IdentifyReplyEnd;
    m_transferError = false;
    m_link.Send(m_link.BuildIdentifyRequest(address));
    StartReplyWait();
    // The probe's own window, however short: a scan waits no longer than a board may take.
    TimeOut.start(std::max(windowMs, 1));
}

void Scheduler::CancelProbe() {
    if (!m_probe)
        return;
    m_probe = false;
    TimeOut.stop();
    TestOdpowiedzi.stop();
    m_replyEnd = 0;
    NoteBusy();
}

void Scheduler::EndProbe(bool answered) {
    TimeOut.stop();
    TestOdpowiedzi.stop();
    m_probe = false;
    m_replyEnd = 0;
    m_probeAnswered = answered;
    if (answered)
        ++m_repliesMatched;
    // The next probe goes out now rather than a sequencer period later: an address that stays
    // silent costs its window and no more. A lost port is left to the sequencer.
    if (m_job && !m_link.PortLost && m_image.link.PortOpen)
        StepJob();
}

void Scheduler::TestOdpowiedziTimer() {
    const BusyNote note{*this};
    if (m_replyEnd <= 0) {
        // Nothing awaited: leave stray bytes for the next Send to purge.
        TestOdpowiedzi.stop();
        return;
    }
    const int waiting = m_link.BytesWaiting();
    if (m_link.PortLost) {
        // The device went away under the request: said now, not once the time-out has passed.
        FailRequest(m_link.LostFailure());
        return;
    }
    // A network line still connecting holds the request; its time-out counts from its leaving.
    if (m_link.Connecting()) {
        TimeOut.start();
        return;
    }
    // A gateway that says the board did not answer ends the request as its silence would.
    if (const QString why = m_link.NoAnswerReason(); !why.isEmpty()) {
        FailRequest(LinkFailure::Of(LinkFailure::Cause::NoReply, TimeOut.interval(), why));
        return;
    }
    // A refusal is shorter than any awaited reply: it ends the request as soon as it is whole.
    if (waiting >= ExceptionReplyLength) {
        if (const int code = m_link.PeekException(m_request)) {
            FailRequest(LinkFailure::Of(LinkFailure::Cause::Exception, code));
            return;
        }
    }
    // An identification reply runs past the ten bytes awaited, by as much as the device puts in
    // it; take it up only once the line has stayed quiet for a whole poll, so it is never cut.
    const bool growing = waiting != m_lastWaiting;
    m_lastWaiting = waiting;
    if (waiting <= m_replyEnd || (m_replyEnd == IdentifyReplyEnd && growing))
        return;
    TakeReply();
}

void Scheduler::TakeReply() {
    TimeOut.stop();
    m_transferError = false;
    TestOdpowiedzi.stop();

    // Only the answer to the request in flight is taken: address, function, CRC, and the byte
    // count, echo or length that request calls for.
    const LinkFailure why = m_link.CheckAnswer(m_request);
    if (m_probe) {
        EndProbe(!why.Failed());
        return;
    }
    if (why.cause == LinkFailure::Cause::Exception) {
        FailRequest(why);
        return;
    }
    if (why.Failed()) {
        RejectReply(why);
        return;
    }
    switch (m_request.function) {
    case 3:
        if (m_link.StoreReadReply(m_readStart, m_replyEnd) != 1) {
            RejectReply(LinkFailure::Of(LinkFailure::Cause::Mismatch));
            return;
        }
        ++m_repliesMatched;
        if (m_job && !m_job->TakeReadReply())
            m_transferError = true;
        m_replyEnd = 0;
        break;
    case 16:
        ++m_repliesMatched;
        m_replyEnd = 0;
        break;
    case 17:
        ++m_repliesMatched;
        WithSequencerHeld([this] {
            m_dialogs.message(m_link.DescribeIdentification(), QString::fromUtf8(IdentifyTitle),
                              MsgIcon::Information);
        });
        m_replyEnd = 0;
        m_link.SetOperationName(QString());
        CloseLink();
        break;
    default:
        break;
    }
}

void Scheduler::RejectReply(const LinkFailure& why) {
    // The bytes are gone and nothing was stored; the request stays outstanding until the
    // time-out, restarted with the interval this request was given, ends it with the
    // transmission error. It never waits for ever.
    m_failure = why;
    TimeOut.start();
}

void Scheduler::FailRequest(const LinkFailure& why) {
    m_failure = why;
    TimeOutTimer();
}

LinkFailure Scheduler::TimeOutCause() {
    const LinkFailure f = LinkFailure::Of(LinkFailure::Cause::NoReply, TimeOut.interval());
    const int n = m_replyEnd > 0 && m_link.BytesWaiting() > 0 ? m_link.Receive() : 0;
    if (n == 0)
        return f;
    const LinkFailure got = MatchReply(m_request, m_link.RxBuffer, n);
    if (got.cause == LinkFailure::Cause::Exception)
        return got;
    if (n <= m_replyEnd) {
        LinkFailure part = LinkFailure::Of(LinkFailure::Cause::Incomplete, n);
        part.expected = AwaitedReplyLength(m_request);
        part.ms = TimeOut.interval();
        return part;
    }
    return got.Failed() ? got : f;
}

void Scheduler::TimeOutTimer() {
    const BusyNote note{*this};
    if (m_probe) {
        // A reply shorter than the poll waits for may still be whole when the window closes.
        const bool answered = !m_failure.Failed() && m_link.BytesWaiting() > 0 && !m_link.PortLost &&
                              !m_link.CheckAnswer(m_request).Failed();
        EndProbe(answered);
        return;
    }
    if (!m_failure.Failed())
        m_failure = TimeOutCause();
    if (m_failure.cause != LinkFailure::Cause::Exception)
        m_link.Trace(LineTrace::Event::TimeOut, nullptr, 0, m_failure);
    m_transferError = true;
    TimeOut.stop();
    TestOdpowiedzi.stop();
    // A port that vanished under the request is a failed transfer too, and must be said so.
    if (m_image.link.PortOpen || m_link.PortLost) {
        m_link.PortLost = false;
        const QString request = DescribeRequest(m_request.function, m_request.firstRegister, m_request.count);
        WithSequencerHeld([&] {
            m_dialogs.messageWithDetails(QString::fromUtf8(TransmissionErrorText),
                                         QString::fromUtf8(TransmissionErrorTitle), MsgIcon::Error,
                                         m_link.FailureText(m_failure, request));
        });
        HideProgress();
    }
    m_link.SetOperationName(QString());
    CloseLink();
    m_replyEnd = 0;
}

void Scheduler::TransmisjaWrTimer() {
    const BusyNote note{*this};
    // The poll last looked up to one of its periods ago: a reply that has come in since is taken
    // up now, so that the next request goes out on this tick rather than a whole period later.
    // (An identification reply is judged by a whole poll's quiet, so it is left to the poll.)
    if (m_replyEnd > 0 && m_replyEnd != IdentifyReplyEnd && TestOdpowiedzi.isActive())
        TestOdpowiedziTimer();
    // A: a failed request or a lost port ends whatever was running.
    if (m_transferError || !m_image.link.PortOpen) {
        HideProgress();
        StopSequencer();
        m_link.SetOperationName(QString());
        // The job puts back what it must (a link change its old settings) before the port
        // closes, so the status bar shows what is in force.
        AbandonJob();
        CloseLink();
        return;
    }

    // B: the idle watchdog, then at most one request of the running job.
    if (!m_job && m_replyEnd == 0) {
        if (m_claim)
            return; // a chain holds the link between its requests
        HideProgress();
        StopSequencer();
        m_link.SetOperationName(QString());
        CloseLink();
        return;
    }
    if (m_job && m_replyEnd == 0)
        StepJob();
}

void Scheduler::StepJob() {
    Job* job = m_job;
    WithSequencerHeld([&] {
        if (job->Step() == Job::StepResult::Finished && m_job == job)
            m_job = nullptr;
    });
}

void Scheduler::AbandonJob() {
    Job* job = m_job;
    m_job = nullptr;
    if (job)
        job->Abandon();
}

void Scheduler::HideProgress() {
    if (m_hideProgress)
        m_hideProgress();
}

} // namespace kx9
