// SPDX-License-Identifier: MIT
#pragma once

#include "Views.h"
#include "config/ConfigImage.h"
#include "link/Modbus.h"
#include "link/Transfer.h"

#include <QString>
#include <functional>
#include <vector>

// Finding boards whose address, rate or frame nobody remembers: one identification request
// (function 17, never a broadcast) at each address, rate and frame, each waiting as long as a
// real board may take to answer.
namespace kx9 {

struct ScanPoint {
    int address = 1;
    int baudIndex = 7;
    int frameIndex = 1;
    bool operator==(const ScanPoint&) const = default;
};

// The board's own settings when it leaves the factory.
inline constexpr ScanPoint BoardDefaults{1, 7, 1};
// What a probe waits, after the request and the line's silence, for a board to begin its
// reply. Real boards take tens of milliseconds, some a hundred.
constexpr int DefaultProbeMs = 150;
constexpr int MinProbeMs = 1;
constexpr int MaxProbeMs = 5000;

// The fastest rates first, as their probes are the shortest.
std::vector<int> ScanRates();
// The board's own frame first, then 8N1, 8E1, 8O1.
std::vector<int> ScanFrames();

// `first` (def.cfg's settings), the board's defaults, then the usual addresses (1..16 and 247)
// at each of `rates` and `frames` in their order, then the other addresses the same way; each
// point once, and only at rates and frames of the lists.
std::vector<ScanPoint> ScanOrder(const ScanPoint& first, const std::vector<int>& rates,
                                 const std::vector<int>& frames);
// How long a probe waits for a reply to begin: the request and a KX9 reply on the wire, the
// line's silence, and `probeMs`.
double ProbeWindowMs(int baudIndex, int frameIndex, int probeMs = DefaultProbeMs);
// The longest `order` takes: every probe waiting its whole window (and 2 ms to send it and
// look at the line), every change of rate or frame reopening the port.
double ScanWorstCaseMs(const std::vector<ScanPoint>& order, int probeMs = DefaultProbeMs);
// The same for the sweep of `rates` x `frames` alone.
double SweepWorstCaseMs(const std::vector<int>& rates, const std::vector<int>& frames,
                        int probeMs = DefaultProbeMs);
// "12 min 5 s", "3.2 s".
QString DurationText(double ms);

// A device that answered an identification.
struct ScanFind {
    ScanPoint at;
    QString identification; // the text of the "Identyfikacja" box
    bool kx9 = false;       // a KX9 board (slave ID 0x98, "KX9")
};

// The scan as a job of the scheduler: each probe is one of its requests, whose reply ends by the
// link's rule and whose silence ends it after the probe's window. Each device is listed once: an
// address that answered is not asked again at another rate or frame (on a real line a board often
// also answers at a frame close to its own). It tries its lines on copies of its own: the link
// settings stay as they are. The caller starts it only while no other transfer runs.
class BoardScan : public Job {
public:
    struct Plan {
        ScanPoint first = BoardDefaults; // tried first: the settings in use
        QString port;                    // empty: the port of the settings in use
        std::vector<int> rates = ScanRates();
        std::vector<int> frames = ScanFrames();
        int probeMs = DefaultProbeMs;
        bool all = false; // go on after the first KX9 board
    };
    enum class State { Running, Finished, Stopped, Failed };

    // `progress` (may be null) shows the rate and frame being tried and how far the scan is.
    BoardScan(Scheduler& scheduler, ConfigImage& image, const Plan& plan, ProgressView* progress = nullptr);
    ~BoardScan() override;
    BoardScan(const BoardScan&) = delete;
    BoardScan& operator=(const BoardScan&) = delete;

    // Opens the port and sends the first probe, then leaves the rest to the scheduler's ticks.
    // False when it ended at once (a port that did not open has said why in its own box).
    bool Start();
    // Ends the scan now; a probe out is given up.
    void Stop();
    // Told of each device the moment its reply has been taken up.
    void OnFound(std::function<void(const ScanFind&)> found) { m_onFound = std::move(found); }
    // Told once, when the scan has ended however it ended, after the port was closed.
    void OnEnded(std::function<void()> ended) { m_onEnded = std::move(ended); }

    State Status() const { return m_state; }
    bool Running() const { return m_state == State::Running; }
    // The port leads to a network line: its converter keeps its own rate and frame, so only
    // the address varies.
    bool Network() const { return m_network; }
    const std::vector<ScanPoint>& Order() const { return m_order; }
    double WorstCaseMs() const { return ScanWorstCaseMs(m_order, m_plan.probeMs); }
    int Probes() const { return m_probes; }
    int Percent() const;
    // Everything that answered, in the order found.
    const std::vector<ScanFind>& Found() const { return m_found; }
    // The first KX9 board found; null when none.
    const ScanFind* FirstKx9() const;
    // The scan failed because the port went away under it (a port that did not open has shown
    // its own box instead); the system's words why, which may be empty.
    bool PortLost() const { return m_lost; }
    const QString& FailureReason() const { return m_reason; }

    // The scheduler's: takes up how the probe out ended, then opens the port at a new rate or
    // frame and sends the next probe.
    StepResult Step() override;
    // Dropped after the port went away under a probe.
    void Abandon() override;
    // "Przerwij".
    void Dropped() override { Stop(); }

private:
    bool SendNext();
    bool TakeOutcome();
    void End(State state);
    void Lost();
    bool Answered(int address) const;

    Scheduler& m_scheduler;
    ModbusLink& m_link;
    Plan m_plan;
    ProgressView* m_progress;
    std::vector<ScanPoint> m_order;
    LineTarget m_base; // the port scanned; address, rate and frame vary
    bool m_network = false;
    State m_state = State::Running;
    size_t m_next = 0; // next point of m_order
    bool m_portSet = false;
    ScanPoint m_portAt;
    bool m_out = false; // a probe was sent and its outcome not yet taken up
    std::function<void(const ScanFind&)> m_onFound;
    std::function<void()> m_onEnded;
    int m_probes = 0;
    std::vector<ScanFind> m_found;
    bool m_lost = false;
    QString m_reason;
};

} // namespace kx9
