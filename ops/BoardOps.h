// SPDX-License-Identifier: MIT
#pragma once

#include "LinkChange.h"
#include "PageJobs.h"
#include "Transfers.h"
#include "Views.h"
#include "WholeConfig.h"

namespace kx9 {

// The main window's operations that move data between the image and the board. Each Start
// is refused with the message while another transfer runs, and returns whether it started.
class BoardOperations {
public:
    BoardOperations(Transfers& transfers, ModbusLink& link);
    void SetStatusView(StatusView* view) { m_statusView = view; }

    bool StartIdentification();
    bool StartStatusRead();
    bool StartConfigRead();
    bool StartConfigWrite();
    bool StartPagesRead();
    bool StartPagesWrite();
    bool StartLinkChange();
    bool StartClockRead();
    // `operation` names it for a failure's details when the window has a name of its own for it.
    bool StartClockWrite(bool takePcTime, const QString& operation = QString());
    bool StartTimeDisplayRead();
    bool StartTimeDisplayWrite();
    bool StartSlaveWrite();

    // Shows the status register and sends it back when the operator cleared bits.
    void ShowStatus();

private:
    // Job step actions that reuse an operation without its overlap check.
    bool ClockWrite(bool takePcTime);
    bool SlaveWrite();
    bool WatchedWrite(int first, int count);

    // Jobs that need nothing but their reply.
    class StatusJob : public Job {
    public:
        StatusJob(Scheduler& s, BoardOperations& ops) : m_s(s), m_ops(ops) {}
        StepResult Step() override;

    private:
        Scheduler& m_s;
        BoardOperations& m_ops;
    };
    class ClockReadJob : public Job {
    public:
        StepResult Step() override { return StepResult::Finished; } // the registers are stored
    };

    Transfers& m_t;
    StatusView* m_statusView = nullptr;
    WholeReadJob m_wholeRead;
    WholeWriteJob m_wholeWrite;
    PagesReadJob m_pagesRead;
    PagesWriteJob m_pagesWrite;
    LinkChangeJob m_linkChange;
    StatusJob m_status;
    ClockReadJob m_clockRead;
};

} // namespace kx9
