// SPDX-License-Identifier: MIT
#include "PageJobs.h"

#include "PageCodec.h"
#include "RequestChain.h"

namespace kx9 {

namespace {

constexpr int LastPage = PageCount - 1;
constexpr int PageWindowRegs = 103; // selector, 100 window registers, 4263, 4264
constexpr int PageWriteRegs = 101;  // selector and the window
constexpr int NoPage = 200;         // a selector value no page has
constexpr int PageStepPauseMs = 10;

} // namespace

bool PagesReadJob::Begin() {
    Scheduler& s = m_t.scheduler;
    if (s.OpenLink() != 1)
        return false;
    m_pageCounter = 0;
    m_converting = true;
    m_t.ShowFromZero(QStringLiteral("Odczyt Stron Tekstowych"));
    // No page has this number, so the first step selects page 0.
    m_t.image.SetReg(RegPageSelector, NoPage);
    s.ClearTransferError();
    return true;
}

Job::StepResult PagesReadJob::Step() {
    Scheduler& s = m_t.scheduler;
    const unsigned selected = unsigned(m_t.image.Reg(RegPageSelector));
    if (m_pageCounter != selected && m_pageCounter < unsigned(PageCount)) {
        m_t.image.SetReg(RegPageSelector, int32_t(m_pageCounter));
        s.SendWrite(RegPageSelector, 1);
        return StepResult::Continue;
    }
    s.SendRead(RegPageSelector, PageWindowRegs);
    if (m_pageCounter >= unsigned(PageCount)) {
        m_converting = false;
        return StepResult::Finished;
    }
    m_t.progress.SetProgress(int(m_pageCounter * 100 / PageCount));
    m_pageCounter += 1;
    return StepResult::Continue;
}

bool PagesReadJob::TakeReadReply() {
    return !m_converting || pagecodec::PageFromWindow(m_t.image) == 1;
}

QString PagesWriteJob::ConfirmedText(int confirmed) {
    static const std::vector<ChainStep> plan = [] {
        std::vector<ChainStep> steps(1);
        for (int p = 0; p < PageCount; ++p)
            steps.push_back({{}, -1, QStringLiteral("strony tekstowe")});
        return steps;
    }();
    static const std::vector<PendingRequest> sent(size_t(Requests),
                                                  PendingRequest{0, 16, RegOccasionalAllowed, 1});
    return RequestChain::ConfirmedText(plan, sent, confirmed);
}

void PagesWriteJob::Confirmed(int requests) {
    if (m_confirmed)
        m_confirmed(requests);
    else
        m_t.scheduler.SetConfirmed(ConfirmedText(requests));
}

bool PagesWriteJob::Begin(std::function<void(int)> confirmed) {
    Scheduler& s = m_t.scheduler;
    m_confirmed = std::move(confirmed);
    Confirmed(0);
    if (s.OpenLink() != 1)
        return false;
    m_pageCounter = 0;
    m_t.image.SetReg(RegPageSelector, 0);
    m_t.ShowFromZero(QStringLiteral("Zapis Stron Tekstowych..."));
    s.SendWrite(RegOccasionalAllowed, 1);
    return true;
}

Job::StepResult PagesWriteJob::Step() {
    if (m_pageCounter > unsigned(LastPage))
        return StepResult::Finished;
    m_t.clock.pause(PageStepPauseMs);
    const int page = int(m_pageCounter);
    Confirmed(1 + page); // register 4027 and the pages before this one
    m_t.progress.SetProgress(page * 100 / PageCount);
    pagecodec::PageToWindow(m_t.image, page);
    m_t.scheduler.SendWrite(RegPageSelector, page < LastPage ? PageWriteRegs : PageWindowRegs);
    m_pageCounter += 1;
    return StepResult::Continue;
}

} // namespace kx9
