// SPDX-License-Identifier: MIT
#pragma once

#include "../config/Clock.h"
#include "../config/ConfigImage.h"
#include "Dialogs.h"
#include "Failure.h"
#include "Modbus.h"
#include "ReplyCheck.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>

namespace kx9 {

// A multi-request transfer run by the sequencer: it is asked for its next request each time
// no reply is awaited. It lives outside the scheduler, which only points at the running one.
class Job {
public:
    virtual ~Job() = default;
    enum class StepResult { Continue, Finished };
    // Sends at most one request. Finished ends the job, also right after a last request whose
    // reply then belongs to nobody.
    virtual StepResult Step() = 0;
    // A read reply came in while this job ran and was stored; false fails the transfer.
    virtual bool TakeReadReply() { return true; }
    // The job was dropped after a failed request or a lost port.
    virtual void Abandon() {}
    // "Przerwij" dropped the job; a request in flight still completes or times out.
    virtual void Dropped() {}
    // Stopping it midway leaves the board's configuration half written.
    virtual bool WritesConfiguration() const { return false; }
};

// Runs one request at a time without blocking the window: a 10 ms reply poll, a one-shot
// reply time-out and a 20 ms sequencer that advances the running job and, as an idle
// watchdog, closes the port once nothing is left to do.
class Scheduler : public QObject {
    Q_OBJECT
public:
    Scheduler(ConfigImage& image, ModbusLink& link, Dialogs& dialogs);

    // Called after every open and close so the status bar follows.
    void SetLinkShown(std::function<void()> shown) { m_linkShown = std::move(shown); }
    // Hides the progress window when a transfer ends or fails.
    void SetProgressHider(std::function<void()> hide) { m_hideProgress = std::move(hide); }

    // The line of the settings in use.
    int OpenLink();
    // Another line (a link change's new one); the settings stay as they are.
    int OpenLink(const LineTarget& line);
    void CloseLink();
    void StartReplyWait();

    // One request: ReadStart (reads), ReplyEnd, TransferError := false, build and Send,
    // StartReplyWait. Values of writes come from the image.
    void SendRead(int firstRegister, int count);
    void SendWrite(int firstRegister, int count);
    // Same for registers that live outside the image (the graphic pages, 0..600): `registers`
    // holds registers 0..size-1. A range outside it sends nothing; the time-out then tells.
    void SendWriteFrom(int firstRegister, int count, const int32_t* registers, int size);
    void SendIdentify();
    // A scan's probe: an identification of `address` that ends after `windowMs` at the latest.
    // Silence, a refusal or an answer not to be trusted end it without a word and leave the port
    // open; the running job is asked for its next request as soon as it has ended.
    void SendProbe(int address, int windowMs);
    // The last probe's answer was taken as its reply (the link's buffers hold it).
    bool ProbeAnswered() const { return m_probeAnswered; }
    // Gives up the probe awaited, if any.
    void CancelProbe();
    // The time-out of the request just sent, where the board needs longer than usual.
    void SetReplyTimeout(int ms) { TimeOut.setInterval(ClampedTimeout(ms)); }
    // A reply time-out from a file or the board is used within these bounds.
    static constexpr int MinReplyTimeoutMs = 100;
    static constexpr int MaxReplyTimeoutMs = 20000;
    static int ClampedTimeout(int ms);

    // The operation now running, for the details of its failure box; forgotten once the
    // transfer has ended. Without one the details name the request.
    void SetOperationName(const QString& name) { m_link.SetOperationName(name); }
    QString OperationName() const { return m_link.OperationName(); }
    // Of an operation of several requests: those the board confirmed so far (see ModbusLink).
    void SetConfirmed(const QString& text) { m_link.SetConfirmed(text); }
    // Why the last request failed; None after a request that succeeded.
    const LinkFailure& LastFailure() const { return m_failure; }
    // The request sent last, whose reply is awaited or was taken.
    const PendingRequest& Request() const { return m_request; }
    // Replies taken as the answer to their request, ever: a transfer of several requests is done
    // only when each of its requests added one.
    unsigned RepliesMatched() const { return m_repliesMatched; }

    // The sequencer closes the port and hides the progress window once nothing is left.
    void EnableWatchdog() { TransmisjaWr.start(); }
    void StopWatchdog() { StopSequencer(); }

    // The job runs from the next sequencer tick on; StartJob enables the sequencer.
    void StartJob(Job& job);
    // Ends the running job (what it does when finished); a request in flight still completes.
    void EndJob() {
        m_job = nullptr;
        NoteBusy();
    }
    // "Przerwij": drops the running job; a request in flight still completes or times out.
    void AbortJob();
    bool JobRunning() const { return m_job != nullptr; }
    bool Runs(const Job& job) const { return m_job == &job; }

    // A chain of requests owned elsewhere holds the link between its requests; the watchdog
    // leaves the port open for it.
    void Claim(const void* owner) {
        m_claim = owner;
        NoteBusy();
    }
    void Release(const void* owner) {
        if (m_claim == owner)
            m_claim = nullptr;
        NoteBusy();
    }
    bool Claimed() const { return m_claim != nullptr; }

    // Another transfer runs: a reply awaited, a job or a claimed chain.
    bool Busy() const { return m_replyEnd != 0 || m_job != nullptr || m_claim != nullptr; }
    // A transfer runs that writes the board's configuration: stopping it now leaves the board
    // half written. An editor's requests, with no job, count by the latest one.
    bool WritingToBoard() const {
        return m_job ? m_job->WritesConfiguration() : Busy() && m_request.function == 16;
    }

    // Everything stops at once: no job, no claim, no timer, the port closed.
    void Abandon();

    // The state of the request in flight.
    bool TransferError() const { return m_transferError; }
    int ReplyEnd() const { return m_replyEnd; }
    int ReadStart() const { return m_readStart; }
    // A chain starting afresh, or tracking after a failure.
    void ClearTransferError() { m_transferError = false; }

    bool TimeOutActive() const { return TimeOut.isActive(); }
    bool PollActive() const { return TestOdpowiedzi.isActive(); }
    bool SequencerActive() const { return TransmisjaWr.isActive(); }
    int TimeOutInterval() const { return TimeOut.interval(); }

    // No timer running: nothing awaited, no job left.
    bool Idle() const {
        return !TimeOut.isActive() && !TestOdpowiedzi.isActive() && !TransmisjaWr.isActive();
    }
    // Runs the event loop until Idle(); false when `timeoutMs` passed first.
    bool WaitUntilIdle(int timeoutMs, int pollMs = 5) const;

    // Tick handlers; tests call them directly.
    void TestOdpowiedziTimer();
    void TimeOutTimer();
    void TransmisjaWrTimer();

    ModbusLink& Link() { return m_link; }
    ConfigImage& Image() { return m_image; }

signals:
    // The last transfer ended (Busy() turned false): a window waiting for it may look again.
    void idle();

private:
    // Emits idle() when Busy() turned false since the last note.
    void NoteBusy();
    // Notes Busy() when a tick handler returns, by whichever path.
    struct BusyNote {
        Scheduler& scheduler;
        ~BusyNote() { scheduler.NoteBusy(); }
    };
    // Values from `block`, indexed as BuildWriteRequest does; null sends nothing.
    void SendWrite(int firstRegister, int count, const int32_t* block);
    void HideProgress();
    void ArmTimeOut();
    // Refused: nothing stored; the re-armed time-out ends the request with `why`.
    void RejectReply(const LinkFailure& why);
    // Ends the request at once, as its time-out would, with `why`.
    void FailRequest(const LinkFailure& why);
    // What the time-out found: silence, part of a reply, or a reply that came too late to check.
    LinkFailure TimeOutCause();
    void TakeReply();
    void AbandonJob();
    // At most one request of the running job.
    void StepJob();
    // A probe has ended, answered or not.
    void EndProbe(bool answered);
    // Stopped on purpose: a hold does not start it again.
    void StopSequencer();
    // A job's step or a box may run a nested event loop: the sequencer must not tick under it.
    // It runs again afterwards unless something stopped it meanwhile.
    void WithSequencerHeld(const std::function<void()>& run);
    void Expect(int function, int firstRegister, int count);

    ConfigImage& m_image;
    ModbusLink& m_link;
    Dialogs& m_dialogs;
    std::function<void()> m_linkShown;
    std::function<void()> m_hideProgress;

    QTimer TimeOut;
    QTimer TestOdpowiedzi;
    QTimer TransmisjaWr;

    bool m_transferError = false;
    int m_replyEnd = 0; // index of the last byte of the awaited reply; 0 = none awaited
    int m_readStart = 0;
    int m_lastWaiting = -1;   // bytes seen by the previous reply poll
    PendingRequest m_request; // what the awaited reply must answer
    unsigned m_repliesMatched = 0;
    LinkFailure m_failure;
    Job* m_job = nullptr;
    const void* m_claim = nullptr;
    bool m_probe = false; // the request awaited is a scan's probe
    bool m_probeAnswered = false;
    unsigned m_sequencerStops = 0;
    bool m_busyNoted = false;
};

} // namespace kx9
