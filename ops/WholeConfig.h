// SPDX-License-Identifier: MIT
#pragma once

#include "PageJobs.h"
#include "Transfers.h"
#include "link/Transfer.h"

#include <functional>

namespace kx9 {

// The whole configuration from the board: 4000 x100, 4100 x62, 4264 x2, 4300 x45, then every
// text page.
class WholeReadJob : public Job {
public:
    explicit WholeReadJob(Transfers& transfers) : m_t(transfers), m_pages(transfers) {}
    // Shows the progress window and sends the first read; the port is already open.
    void Begin();
    StepResult Step() override;
    bool TakeReadReply() override { return !m_inPages || m_pages.TakeReadReply(); }
    void Abandon() override;

private:
    Transfers& m_t;
    PagesReadJob m_pages;
    int m_step = 0;
    bool m_inPages = false;
};

// The whole configuration to the board, except its own link (4000..4002), 4013 and 4144:
// 4003 x3, the clock from the PC, 4009 x4, 4014 x15, 4029 x115, 4145 x17, the text pages,
// then the slave block.
class WholeWriteJob : public Job {
public:
    bool WritesConfiguration() const override { return true; }
    // `clockWrite` and `slaveWrite` are the operations the write reuses; each opens the port.
    WholeWriteJob(Transfers& transfers, std::function<bool()> clockWrite, std::function<bool()> slaveWrite)
        : m_t(transfers), m_pages(transfers), m_clockWrite(std::move(clockWrite)),
          m_slaveWrite(std::move(slaveWrite)) {}
    void Begin();
    StepResult Step() override;
    void Abandon() override { m_inPages = false; }

    // One step of the write (1..8), as the sequencer runs it.
    StepResult ConfigWriteStep(int step);

    static constexpr int Requests = 7 + PagesWriteJob::Requests;
    // What the board confirmed of the write's requests, for a failure's details.
    static QString ConfirmedText(int confirmed);

private:
    Transfers& m_t;
    PagesWriteJob m_pages;
    std::function<bool()> m_clockWrite;
    std::function<bool()> m_slaveWrite;
    int m_step = 0;
    bool m_inPages = false;
};

} // namespace kx9
