// SPDX-License-Identifier: MIT
#include "WholeConfig.h"

#include "RequestChain.h"

namespace kx9 {

namespace {

constexpr int ReadFirstCount = 100;        // 4000..4099
constexpr int ReadSecond = MainBase + 100; // 4100 x62: up to the page selector
constexpr int ReadSecondCount = RegPageSelector - ReadSecond;
constexpr int ReadTailCount = 2; // 4264, 4265
constexpr int ReadStepPauseMs = 100;

// The whole write moves these blocks, in this order.
constexpr int WriteFirst = RegSlaveTimeout;             // 4003 x3
constexpr int WriteBrightness = RegDayBrightness;       // 4009 x4
constexpr int WriteLayout = RegLineLength;              // 4014 x15 (4013 is the editor's own)
constexpr int WritePresentation = RegPresentationFirst; // 4029 x115
constexpr int WriteTail = RegPresentationCount;         // 4145 x17 (4144 stays out)
constexpr int SlowReplyMs = 2000; // the board stores the two long blocks before answering

} // namespace

void WholeReadJob::Begin() {
    m_t.ShowFromZero(QStringLiteral("Odczyt Konfiguracji"));
    m_step = 0;
    m_inPages = false;
    m_t.scheduler.SendRead(MainBase, ReadFirstCount);
}

Job::StepResult WholeReadJob::Step() {
    if (m_inPages)
        return m_pages.Step();
    Scheduler& s = m_t.scheduler;
    switch (++m_step) {
    case 1:
        m_t.clock.pause(ReadStepPauseMs);
        m_t.progress.SetProgress(62);
        s.SendRead(ReadSecond, ReadSecondCount);
        return StepResult::Continue;
    case 2:
        m_t.clock.pause(ReadStepPauseMs);
        m_t.progress.SetProgress(99);
        s.SendRead(RegDoubleHeight, ReadTailCount);
        return StepResult::Continue;
    case 3:
        m_t.clock.pause(ReadStepPauseMs);
        m_t.progress.SetProgress(100);
        s.SendRead(SlaveBase, SlaveCount);
        return StepResult::Continue;
    default:
        // The pages follow from the next tick, with their own progress from 0. A port that
        // does not open ends the read; the next tick then finds it closed.
        m_inPages = m_pages.Begin();
        return m_inPages ? StepResult::Continue : StepResult::Finished;
    }
}

void WholeReadJob::Abandon() {
    if (m_inPages)
        m_pages.Abandon();
    m_inPages = false;
}

QString WholeWriteJob::ConfirmedText(int confirmed) {
    static const std::pair<std::vector<ChainStep>, std::vector<PendingRequest>> plan = [] {
        std::vector<ChainStep> steps;
        std::vector<PendingRequest> sent;
        auto block = [&](int first, int count) {
            steps.push_back({});
            sent.push_back({0, 16, first, count});
        };
        block(WriteFirst, 3);
        block(RegClockTime, 3);
        block(WriteBrightness, 4);
        block(WriteLayout, 15);
        block(WritePresentation, 115);
        block(WriteTail, 17);
        block(RegOccasionalAllowed, 1);
        for (int p = 0; p < PageCount; ++p) {
            steps.push_back({{}, -1, QStringLiteral("strony tekstowe")});
            sent.push_back({});
        }
        block(SlaveBase, SlaveCount);
        return std::pair{steps, sent};
    }();
    return RequestChain::ConfirmedText(plan.first, plan.second, confirmed);
}

void WholeWriteJob::Begin() {
    m_t.scheduler.SetConfirmed(ConfirmedText(0));
    m_t.ShowFromZero(QStringLiteral("Zapis Konfiguracji"));
    m_step = 0;
    m_inPages = false;
    m_t.scheduler.SendWrite(WriteFirst, 3);
}

Job::StepResult WholeWriteJob::Step() {
    if (m_inPages) {
        if (m_pages.Step() == StepResult::Continue)
            return StepResult::Continue;
        // The pages are done; the slave block follows in the same tick.
        m_inPages = false;
    }
    return ConfigWriteStep(++m_step);
}

Job::StepResult WholeWriteJob::ConfigWriteStep(int step) {
    Scheduler& s = m_t.scheduler;
    ProgressView& progress = m_t.progress;
    // Each step runs once the reply to the one before is in; the pages count their own.
    constexpr int BeforePages = 6;
    if (step >= 1 && step <= BeforePages)
        s.SetConfirmed(ConfirmedText(step));
    else if (step == BeforePages + 1)
        s.SetConfirmed(ConfirmedText(BeforePages + PagesWriteJob::Requests));
    switch (step) {
    case 1:
        progress.SetProgress(20);
        m_clockWrite();
        return StepResult::Continue;
    case 2:
        progress.SetProgress(40);
        s.SendWrite(WriteBrightness, 4);
        return StepResult::Continue;
    case 3:
        progress.SetProgress(60);
        s.SendWrite(WriteLayout, 15);
        s.SetReplyTimeout(SlowReplyMs);
        return StepResult::Continue;
    case 4:
        progress.SetProgress(60);
        s.SendWrite(WritePresentation, 115);
        s.SetReplyTimeout(SlowReplyMs);
        return StepResult::Continue;
    case 5:
        progress.SetProgress(80);
        s.SendWrite(WriteTail, 17);
        return StepResult::Continue;
    case 6:
        m_inPages = m_pages.Begin(
            [this](int confirmed) { m_t.scheduler.SetConfirmed(ConfirmedText(BeforePages + confirmed)); });
        return StepResult::Continue;
    case 7:
        m_t.ShowFromZero(QStringLiteral("Zapis Konfiguracji Slave"));
        m_slaveWrite();
        return StepResult::Continue;
    case 8:
        progress.SetProgress(100);
        progress.HideProgress();
        return StepResult::Finished;
    default:
        return StepResult::Finished;
    }
}

} // namespace kx9
