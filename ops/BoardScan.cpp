// SPDX-License-Identifier: MIT
#include "BoardScan.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <set>
#include <tuple>

namespace kx9 {

namespace {

constexpr int FirstAddress = frame::MinAddress;
constexpr int LastAddress = frame::MaxAddress;
// Where boards are usually found: the first few addresses of a line, and the last one, which
// installers like to keep for a board that is set up alone.
constexpr int CommonUpTo = 16;
constexpr int RequestBytes = 4;  // address, 17, CRC
constexpr int OpenPauseMs = 200; // every open of the link waits that long
// What sending a probe and taking up its end add to its window, at most, on a PC that is not
// overloaded.
constexpr double ProbeUpkeepMs = 2;

double CharMs(int baudIndex, int frameIndex) {
    const LineSettings line = LineSettingsFor(frameIndex, baudIndex);
    const int bits = 1 + 8 + (line.parity == Parity::None ? 0 : 1) + line.stopBits;
    return 1000.0 * bits / line.baud;
}

bool Listed(const std::vector<int>& list, int value) {
    return std::find(list.begin(), list.end(), value) != list.end();
}

} // namespace

std::vector<int> ScanRates() {
    return {7, 6, 5, 4, 3, 2, 1, 0};
}

std::vector<int> ScanFrames() {
    return {1, 0, 2, 3};
}

std::vector<ScanPoint> ScanOrder(const ScanPoint& first, const std::vector<int>& rates,
                                 const std::vector<int>& frames) {
    std::vector<ScanPoint> order;
    std::set<std::tuple<int, int, int>> taken;
    const auto add = [&](const ScanPoint& p) {
        const bool valid = p.address >= FirstAddress && p.address <= LastAddress &&
                           Listed(rates, p.baudIndex) && Listed(frames, p.frameIndex);
        if (valid && taken.insert({p.address, p.baudIndex, p.frameIndex}).second)
            order.push_back(p);
    };
    add(first);
    add(BoardDefaults);
    // The usual addresses at every rate and frame first, then the rest: a board at one of them
    // is found in one pass over the rates rather than after the sweeps of those before its own.
    for (int rate : rates)
        for (int frame : frames) {
            for (int address = FirstAddress; address <= CommonUpTo; ++address)
                add({address, rate, frame});
            add({LastAddress, rate, frame});
        }
    for (int rate : rates)
        for (int frame : frames)
            for (int address = CommonUpTo + 1; address < LastAddress; ++address)
                add({address, rate, frame});
    return order;
}

double ProbeWindowMs(int baudIndex, int frameIndex, int probeMs) {
    return (RequestBytes + frame::Kx9IdentificationBytes + 3.5) * CharMs(baudIndex, frameIndex) + probeMs;
}

double ScanWorstCaseMs(const std::vector<ScanPoint>& order, int probeMs) {
    double ms = 0;
    const ScanPoint* open = nullptr;
    for (const ScanPoint& p : order) {
        if (!open || open->baudIndex != p.baudIndex || open->frameIndex != p.frameIndex)
            ms += OpenPauseMs;
        open = &p;
        ms += ProbeWindowMs(p.baudIndex, p.frameIndex, probeMs) + ProbeUpkeepMs;
    }
    return ms;
}

double SweepWorstCaseMs(const std::vector<int>& rates, const std::vector<int>& frames, int probeMs) {
    double ms = 0;
    for (int rate : rates)
        for (int frame : frames)
            // Each rate and frame is opened twice: for the usual addresses, then for the rest.
            ms += 2 * OpenPauseMs +
                  (LastAddress - FirstAddress + 1) * (ProbeWindowMs(rate, frame, probeMs) + ProbeUpkeepMs);
    return ms;
}

QString DurationText(double ms) {
    if (ms < 60000)
        return QStringLiteral("%1 s").arg(ms / 1000, 0, 'f', 1);
    const qint64 s = std::llround(ms / 1000);
    if (s < 3600)
        return QStringLiteral("%1 min %2 s").arg(s / 60).arg(s % 60);
    return QStringLiteral("%1 h %2 min").arg(s / 3600).arg(s % 3600 / 60);
}

BoardScan::BoardScan(Scheduler& scheduler, ConfigImage& image, const Plan& plan, ProgressView* progress)
    : m_scheduler(scheduler), m_link(scheduler.Link()), m_plan(plan), m_progress(progress),
      m_order(ScanOrder(plan.first, plan.rates, plan.frames)), m_base(LineTarget::Of(image.link)) {
    if (!plan.port.isEmpty())
        m_base.port = plan.port;
    m_network = m_link.LeadsToNetwork(m_base.port);
    if (m_network) {
        m_plan.rates = {plan.first.baudIndex};
        m_plan.frames = {plan.first.frameIndex};
        m_order = ScanOrder(plan.first, m_plan.rates, m_plan.frames);
    }
    m_plan.probeMs = std::clamp(plan.probeMs, MinProbeMs, MaxProbeMs);
    if (m_order.empty())
        m_state = State::Finished;
}

BoardScan::~BoardScan() {
    m_onEnded = {};
    if (m_state == State::Running)
        End(State::Stopped);
}

int BoardScan::Percent() const {
    return m_order.empty() ? 100 : int(m_next * 100 / m_order.size());
}

const ScanFind* BoardScan::FirstKx9() const {
    const auto kx9 = std::find_if(m_found.begin(), m_found.end(), [](const ScanFind& f) { return f.kx9; });
    return kx9 == m_found.end() ? nullptr : &*kx9;
}

bool BoardScan::Answered(int address) const {
    return std::any_of(m_found.begin(), m_found.end(),
                       [&](const ScanFind& f) { return f.at.address == address; });
}

bool BoardScan::Start() {
    // The first step runs here, so that a port that does not open is said before anything runs.
    if (Step() == StepResult::Continue)
        m_scheduler.StartJob(*this);
    return Running();
}

Job::StepResult BoardScan::Step() {
    if (m_state != State::Running)
        return StepResult::Finished;
    if (m_out && m_scheduler.ReplyEnd() > 0)
        return StepResult::Continue; // its probe is still out
    if (m_out && !TakeOutcome())
        return StepResult::Finished;
    return SendNext() ? StepResult::Continue : StepResult::Finished;
}

void BoardScan::Abandon() {
    if (m_state != State::Running)
        return;
    if (m_link.PortLost || !m_link.IsOpen)
        Lost();
    else
        End(State::Stopped);
}

void BoardScan::Stop() {
    if (m_state == State::Running)
        End(State::Stopped);
}

void BoardScan::Lost() {
    // The adapter went away: no later probe can reach anything.
    m_lost = true;
    m_reason = m_link.PortError();
    End(State::Failed);
}

bool BoardScan::SendNext() {
    while (m_next < m_order.size() && Answered(m_order[m_next].address))
        ++m_next;
    if (m_next == m_order.size()) {
        End(State::Finished);
        return false;
    }
    const ScanPoint& p = m_order[m_next];
    if (!m_portSet || m_portAt.baudIndex != p.baudIndex || m_portAt.frameIndex != p.frameIndex) {
        if (m_progress)
            m_progress->ShowProgress(
                QStringLiteral("Szukanie tablicy: %1 %2")
                    .arg(BaudText(p.baudIndex), QLatin1String(FrameNames[size_t(p.frameIndex)])));
        // The open's own box says why it failed.
        LineTarget line = m_base;
        line.address = p.address;
        line.frameIndex = p.frameIndex;
        line.baudIndex = p.baudIndex;
        if (m_link.Open(line) != 1) {
            End(State::Failed);
            return false;
        }
        m_portSet = true;
        m_portAt = p;
    }
    if (m_progress)
        m_progress->SetProgress(Percent());
    ++m_probes;
    m_out = true;
    m_scheduler.SendProbe(p.address,
                          int(std::ceil(ProbeWindowMs(p.baudIndex, p.frameIndex, m_plan.probeMs))));
    return m_state == State::Running;
}

bool BoardScan::TakeOutcome() {
    const ScanPoint p = m_order[m_next];
    m_out = false;
    if (m_link.PortLost || !m_link.IsOpen) {
        Lost();
        return false;
    }
    ++m_next;
    if (!m_scheduler.ProbeAnswered())
        return true;
    m_found.push_back(
        {p, m_link.DescribeIdentification(), frame::IsKx9Identification(m_link.RxBuffer, m_link.RxLength)});
    if (m_onFound)
        m_onFound(m_found.back());
    if (m_found.back().kx9 && !m_plan.all) {
        End(State::Finished);
        return false;
    }
    return true;
}

void BoardScan::End(State state) {
    m_state = state;
    if (m_out)
        m_scheduler.CancelProbe();
    m_out = false;
    if (m_scheduler.Runs(*this))
        m_scheduler.EndJob();
    if (m_link.IsOpen)
        m_link.Close();
    if (m_progress)
        m_progress->HideProgress();
    const std::function<void()> ended = std::move(m_onEnded);
    m_onEnded = {};
    if (ended)
        ended();
}

} // namespace kx9
