// SPDX-License-Identifier: MIT
#include "Transfer.h"

#include <QEventLoop>

#include <algorithm>

namespace kx9 {

namespace {

constexpr int PollIntervalMs = 10;
constexpr int SequencerIntervalMs = 20;
constexpr int LastPage = PageCount - 1; // 114
constexpr int PageWindowRegs = 103;     // selector, 100 window registers, 4263, 4264
constexpr int PageWriteRegs = 101;      // selector and the window
constexpr int WriteReplyEnd = 7;        // function 16 reply: 8 bytes
constexpr int IdentifyReplyEnd = 9;
constexpr int NoPage = 200; // selector value no page has
constexpr int PageStepPauseMs = 10;
constexpr int ConfigStepPauseMs = 100;

const char* const TransmissionErrorText = "Błąd transmisji danych";
const char* const TransmissionErrorTitle = "Błąd";
const char* const IdentifyTitle = "Identyfikacja";

} // namespace

bool TransferState::AnyJob() const {
    return ReadPagesJob || WritePagesJob || LinkChangeJob || StatusJob || ClockReadJob || ReadConfigJob ||
           WriteConfigJob;
}

void TransferState::ClearJobs() {
    ReadPagesJob = false;
    WritePagesJob = false;
    LinkChangeJob = false;
    StatusJob = false;
    ClockReadJob = false;
    ReadConfigJob = false;
    WriteConfigJob = false;
}

Scheduler::Scheduler(ConfigImage& image, ModbusLink& link, Dialogs& dialogs, Clock& clock)
    : m_image(image), m_link(link), m_dialogs(dialogs), m_clock(clock) {
    TimeOut.setObjectName(QStringLiteral("TimeOut"));
    TestOdpowiedzi.setObjectName(QStringLiteral("TestOdpowiedzi"));
    TransmisjaWr.setObjectName(QStringLiteral("TransmisjaWr"));

    for (QTimer* timer : {&TimeOut, &TestOdpowiedzi, &TransmisjaWr})
        timer->setTimerType(Qt::PreciseTimer);
    TimeOut.setSingleShot(true);
    TimeOut.setInterval(std::max(1, int(m_image.link.ReplyTimeoutMs)));
    TestOdpowiedzi.setInterval(PollIntervalMs);
    TransmisjaWr.setInterval(SequencerIntervalMs);

    connect(&TimeOut, &QTimer::timeout, this, &Scheduler::TimeOutTimer);
    connect(&TestOdpowiedzi, &QTimer::timeout, this, &Scheduler::TestOdpowiedziTimer);
    connect(&TransmisjaWr, &QTimer::timeout, this, &Scheduler::TransmisjaWrTimer);
}

int Scheduler::OpenLink() {
    const LinkSettings& s = m_image.link;
    int result = m_link.Open(s.PortIndex, s.FrameIndex, s.BaudIndex);
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
    // A zero or negative time-out from a damaged file must still end the wait.
    TimeOut.setInterval(std::max(1, int(m_image.link.ReplyTimeoutMs)));
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
}

void Scheduler::SendRead(int firstRegister, int count) {
    state.ReadStart = firstRegister;
    state.ReplyEnd = ModbusLink::ReplyEndIndex(count);
    state.TransferError = false;
    int length = m_link.BuildReadRequest(m_image.link.BoardAddress, firstRegister, count);
    m_link.Send(length);
    StartReplyWait();
}

void Scheduler::SendWrite(int firstRegister, int count) {
    // The link indexes the block itself (reg - 4000 or reg - 4300), so hand it the block's start,
    // and only when the whole range lies inside it.
    const int32_t* block = nullptr;
    if (firstRegister >= MainBase && firstRegister + count <= MainBase + MainCount)
        block = m_image.main.data();
    else if (firstRegister >= SlaveBase && firstRegister + count <= SlaveBase + SlaveCount)
        block = m_image.slave.data();
    SendWrite(firstRegister, count, count >= 1 ? block : nullptr);
}

void Scheduler::SendWrite(int firstRegister, int count, const int32_t* block) {
    state.ReplyEnd = WriteReplyEnd;
    state.TransferError = false;
    // A range the image does not hold sends nothing; the time-out then reports the failure
    // instead of putting stray values on the line.
    int length = block ? m_link.BuildWriteRequest(m_image.link.BoardAddress, firstRegister, count, block) : 0;
    if (length > 0)
        m_link.Send(length);
    StartReplyWait();
}

void Scheduler::SendIdentify() {
    state.ReplyEnd = IdentifyReplyEnd;
    state.TransferError = false;
    int length = m_link.BuildIdentifyRequest(m_image.link.BoardAddress);
    m_link.Send(length);
    StartReplyWait();
}

void Scheduler::TestOdpowiedziTimer() {
    if (state.ReplyEnd <= 0) {
        // Nothing awaited: leave stray bytes for the next Open to purge.
        TestOdpowiedzi.stop();
        return;
    }
    const int waiting = m_link.BytesWaiting();
    // An identification reply runs past the ten bytes awaited, by as much as the device puts in
    // it; take it up only once the line has stayed quiet for a whole poll, so it is never cut.
    const bool growing = waiting != m_lastWaiting;
    m_lastWaiting = waiting;
    if (waiting <= state.ReplyEnd || (state.ReplyEnd == IdentifyReplyEnd && growing))
        return;

    TimeOut.stop();
    state.TransferError = false;
    TestOdpowiedzi.stop();

    int r = m_link.CheckReply(m_image.link.BoardAddress);
    switch (r) {
    case 3:
        if (m_link.StoreReadReply(state.ReadStart, state.ReplyEnd) != 1) {
            RejectReply();
            return;
        }
        if (state.ReadPagesJob && m_actions && m_actions->PageFromWindow() != 1)
            state.TransferError = true;
        state.ReplyEnd = 0;
        break;
    case 16:
        state.ReplyEnd = 0;
        break;
    case 17:
        m_dialogs.message(m_link.DescribeIdentification(), QString::fromUtf8(IdentifyTitle),
                          MsgIcon::Information);
        state.ReplyEnd = 0;
        CloseLink();
        break;
    default:
        RejectReply();
        break;
    }
}

void Scheduler::RejectReply() {
    // The bytes are gone; the request stays outstanding until the time-out, restarted with the
    // interval this request was given, ends it with the transmission error. It never waits for ever.
    TimeOut.start();
}

void Scheduler::TimeOutTimer() {
    state.TransferError = true;
    TimeOut.stop();
    TestOdpowiedzi.stop();
    // A port that vanished under the request is a failed transfer too, and must be said so.
    if (m_image.link.PortOpen || m_link.PortLost) {
        m_link.PortLost = false;
        m_dialogs.message(QString::fromUtf8(TransmissionErrorText), QString::fromUtf8(TransmissionErrorTitle),
                          MsgIcon::Error);
        HideProgress();
    }
    CloseLink();
    state.ReplyEnd = 0;
}

void Scheduler::TransmisjaWrTimer() {
    // A: a failed request or a lost port ends whatever was running.
    if (state.TransferError || !m_image.link.PortOpen) {
        HideProgress();
        TransmisjaWr.stop();
        CloseLink();
        if (state.LinkChangeJob) {
            m_image.link.BoardAddress = state.SavedAddress;
            m_image.link.FrameIndex = state.SavedFrameIndex;
            m_image.link.BaudIndex = state.SavedBaudIndex;
        }
        state.ClearJobs();
        return;
    }

    // B: at most one request per tick; a step that sends sets ReplyEnd and so holds back the rest.
    if (!state.AnyJob() && state.ReplyEnd == 0) {
        HideProgress();
        TransmisjaWr.stop();
        CloseLink();
        return;
    }
    if (state.ReadPagesJob && state.ReplyEnd == 0)
        PageReadStep();
    if (state.WritePagesJob && state.ReplyEnd == 0)
        PageWriteStep();
    if (state.LinkChangeJob && state.ReplyEnd == 0)
        LinkChangeStep();
    if (state.StatusJob && state.ReplyEnd == 0) {
        state.StatusJob = false;
        if (m_actions)
            m_actions->ShowStatus();
    }
    if (state.ClockReadJob && state.ReplyEnd == 0)
        state.ClockReadJob = false; // registers already stored
    if (state.ReadConfigJob && state.ReplyEnd == 0) {
        state.ReadConfigStep += 1;
        ConfigReadStep();
    }
    if (state.WriteConfigJob && state.ReplyEnd == 0 && !state.WritePagesJob) {
        state.WriteConfigStep += 1;
        if (m_actions)
            m_actions->ConfigWriteStep(state.WriteConfigStep);
        else
            state.WriteConfigJob = false;
    }
}

void Scheduler::PageReadStep() {
    const unsigned selected = unsigned(m_image.Reg(RegPageSelector));
    if (state.PageCounter != selected && state.PageCounter < unsigned(PageCount)) {
        m_image.SetReg(RegPageSelector, int32_t(state.PageCounter));
        SendWrite(RegPageSelector, 1);
        return;
    }
    SendRead(RegPageSelector, PageWindowRegs);
    if (state.PageCounter >= unsigned(PageCount)) {
        // This last read only refreshes 4162..4264: the job is clear when its reply arrives.
        state.ReadPagesJob = false;
    } else {
        SetProgress(int(state.PageCounter * 100 / PageCount));
        state.PageCounter += 1;
    }
}

void Scheduler::PageWriteStep() {
    if (state.PageCounter > unsigned(LastPage)) {
        state.WritePagesJob = false;
        return;
    }
    m_clock.pause(PageStepPauseMs);
    const int page = int(state.PageCounter);
    SetProgress(page * 100 / PageCount);
    if (m_actions)
        m_actions->PageToWindow(page);
    // The last page also carries 4263 and 4264.
    SendWrite(RegPageSelector, page < LastPage ? PageWriteRegs : PageWindowRegs);
    state.PageCounter += 1;
}

void Scheduler::LinkChangeStep() {
    m_image.link.BoardAddress = uint8_t(m_image.Reg(RegBoardAddress) & 0xFF);
    if (OpenLink() != 1) {
        // Keep the job and the sequencer so the next tick abandons it and puts the old settings back.
        return;
    }
    SendIdentify();
    state.LinkChangeJob = false;
    TransmisjaWr.stop();
}

void Scheduler::ConfigReadStep() {
    switch (state.ReadConfigStep) {
    case 1:
        m_clock.pause(ConfigStepPauseMs);
        SetProgress(62);
        SendRead(4100, 62);
        break;
    case 2:
        m_clock.pause(ConfigStepPauseMs);
        SetProgress(99);
        SendRead(RegDoubleHeight, 2);
        break;
    case 3:
        m_clock.pause(ConfigStepPauseMs);
        SetProgress(100);
        SendRead(SlaveBase, SlaveCount);
        break;
    case 4:
        state.ReadConfigJob = false;
        if (m_actions)
            m_actions->StartPagesRead();
        break;
    default:
        state.ReadConfigJob = false;
        break;
    }
}

void Scheduler::HideProgress() {
    if (m_progress)
        m_progress->HideProgress();
}

void Scheduler::SetProgress(int percent) {
    if (m_progress)
        m_progress->SetProgress(percent);
}

} // namespace kx9
