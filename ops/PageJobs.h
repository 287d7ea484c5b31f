// SPDX-License-Identifier: MIT
#pragma once

#include "Transfers.h"
#include "link/Transfer.h"

#include <functional>

namespace kx9 {

// The 115 text pages from the board: every page is selected in 4162 and its window read;
// one more read of the window ends the job and only refreshes 4162..4264.
class PagesReadJob : public Job {
public:
    explicit PagesReadJob(Transfers& transfers) : m_t(transfers) {}
    // Opens the port and shows the progress window; false when the port did not open.
    bool Begin();
    StepResult Step() override;
    bool TakeReadReply() override;
    void Abandon() override { m_converting = false; }

private:
    Transfers& m_t;
    unsigned m_pageCounter = 0;
    bool m_converting = false; // replies still belong to a page
};

// The 115 text pages to the board, after register 4027; the last page also carries 4263 and 4264.
class PagesWriteJob : public Job {
public:
    bool WritesConfiguration() const override { return true; }
    explicit PagesWriteJob(Transfers& transfers) : m_t(transfers) {}
    // `confirmed` hears how many of the job's 116 requests the board has confirmed, before each
    // further one goes out; without it the job names them in a failure's details itself.
    bool Begin(std::function<void(int)> confirmed = {});
    StepResult Step() override;

    static constexpr int Requests = PageCount + 1;
    // "38 z 116 zapytań: zapis rejestru 4027 (funkcja 16), strony tekstowe (37 z 115 zapytań)".
    static QString ConfirmedText(int confirmed);

private:
    void Confirmed(int requests);

    Transfers& m_t;
    unsigned m_pageCounter = 0;
    std::function<void(int)> m_confirmed;
};

} // namespace kx9
