// SPDX-License-Identifier: MIT
#pragma once

#include "../config/Clock.h"
#include "../config/ConfigImage.h"
#include "Dialogs.h"
#include "Modbus.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>

namespace kx9 {

// The shared state of the one request in flight and of the main window's jobs.
struct TransferState {
    bool TransferError = false;
    int ReplyEnd = 0; // index of the last byte of the awaited reply; 0 = none awaited
    int ReadStart = 0;
    unsigned PageCounter = 0;
    bool ReadPagesJob = false;
    bool WritePagesJob = false;
    bool LinkChangeJob = false;
    bool StatusJob = false;
    bool ClockReadJob = false;
    bool ReadConfigJob = false;
    uint8_t ReadConfigStep = 0;
    bool WriteConfigJob = false;
    uint8_t WriteConfigStep = 0;
    uint8_t SavedAddress = 1;
    uint8_t SavedFrameIndex = 1;
    uint8_t SavedBaudIndex = 7;

    bool AnyJob() const;
    void ClearJobs(); // what "Przerwij" does
};

// The progress window as the scheduler and the operations drive it.
class ProgressView {
public:
    virtual ~ProgressView() = default;
    virtual void ShowProgress(const QString& title) = 0; // empty title keeps the idle one
    virtual void SetProgress(int percent) = 0;
    virtual void HideProgress() = 0;
};

// Step actions of the board operations that the jobs call.
class JobActions {
public:
    virtual ~JobActions() = default;
    virtual int PageFromWindow() = 0;
    virtual int PageToWindow(int page) = 0;
    virtual void ShowStatus() = 0;
    virtual void ConfigWriteStep(int step) = 0;
    virtual void StartPagesRead() = 0;
    virtual void StartPagesWrite() = 0;
};

// Runs requests without blocking the window: a 10 ms reply poll, a one-shot reply time-out
// and a 20 ms job sequencer that also closes the port once nothing is left to do.
class Scheduler : public QObject {
    Q_OBJECT
public:
    Scheduler(ConfigImage& image, ModbusLink& link, Dialogs& dialogs, Clock& clock);

    void SetProgressView(ProgressView* view) { m_progress = view; }
    void SetJobActions(JobActions* actions) { m_actions = actions; }
    // Called after every open and close so the status bar follows (ShowLinkSettings).
    void SetLinkShown(std::function<void()> shown) { m_linkShown = std::move(shown); }

    int OpenLink();
    void CloseLink();
    void StartReplyWait();

    // One request, in the order every operation uses: ReadStart (reads), ReplyEnd,
    // TransferError := false, build and Send, StartReplyWait. Values of writes come from the image.
    void SendRead(int firstRegister, int count);
    void SendWrite(int firstRegister, int count);
    // Same, with the values taken from `block` as BuildWriteRequest indexes it (graphics buffer).
    void SendWrite(int firstRegister, int count, const int32_t* block);
    void SendIdentify();
    // Lets the idle watchdog close the port and hide the progress window when done.
    void EnableWatchdog() { TransmisjaWr.start(); }

    // No timer running: nothing awaited, no job left.
    bool Idle() const { return !TimeOut.isActive() && !TestOdpowiedzi.isActive() && !TransmisjaWr.isActive(); }
    // Runs the event loop until Idle(); false when `timeoutMs` passed first.
    bool WaitUntilIdle(int timeoutMs, int pollMs = 5) const;

    // Tick handlers; tests call them directly.
    void TestOdpowiedziTimer();
    void TimeOutTimer();
    void TransmisjaWrTimer();

    TransferState state;
    QTimer TimeOut;
    QTimer TestOdpowiedzi;
    QTimer TransmisjaWr;

    ModbusLink& Link() { return m_link; }
    ConfigImage& Image() { return m_image; }

private:
    void PageReadStep();
    void PageWriteStep();
    void LinkChangeStep();
    void ConfigReadStep();
    void HideProgress();
    void SetProgress(int percent);
    void ArmTimeOut();
    void RejectReply();

    ConfigImage& m_image;
    ModbusLink& m_link;
    Dialogs& m_dialogs;
    Clock& m_clock;
    ProgressView* m_progress = nullptr;
    JobActions* m_actions = nullptr;
    std::function<void()> m_linkShown;
    int m_lastWaiting = -1; // bytes seen by the previous reply poll
};

} // namespace kx9
