// SPDX-License-Identifier: MIT
#pragma once

#include "../../link/World.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

namespace kx9::test {

// Timers need an application object even where no event loop runs.
inline void EnsureCoreApplication() {
    if (QCoreApplication::instance())
        return;
    static int argc = 1;
    static char name[] = "kx9_tests";
    static char* argv[] = {name, nullptr};
    new QCoreApplication(argc, argv);
}

inline bool SchedulerIdle(const Scheduler& s) { return s.Idle(); }

// Runs the handlers as their ticks would come until nothing runs or `stop` says so. The
// board's reply is there at once, so an awaited reply still short after a poll will never
// come: that is when the time-out fires. `each` sees every tick. Returns the ticks taken.
inline int TickUntilIdle(Scheduler& s, SerialPort& port, const std::function<bool()>& stop = {},
                         const std::function<void()>& each = {}) {
    constexpr int Limit = 20000;
    int ticks = 0;
    for (; ticks < Limit && !SchedulerIdle(s); ++ticks) {
        if (stop && stop())
            break;
        if (s.TestOdpowiedzi.isActive())
            s.TestOdpowiedziTimer();
        if (s.TimeOut.isActive() && s.state.ReplyEnd > 0 && port.bytesWaiting() <= s.state.ReplyEnd)
            s.TimeOutTimer();
        if (s.TransmisjaWr.isActive())
            s.TransmisjaWrTimer();
        if (each)
            each();
    }
    EXPECT_LT(ticks, Limit) << "the transfer never ended";
    return ticks;
}

// Runs the real timers in a real event loop until every one of them has stopped; false when
// `timeoutMs` passed first.
inline bool RunRealTimersUntilIdle(const Scheduler& s, int timeoutMs, int pollMs = 5) {
    return s.WaitUntilIdle(timeoutMs, pollMs);
}

// How the board operations open a page job, for tests that stand in for them; `show` runs
// where they show their progress window.
inline void BeginPagesRead(World& w, const std::function<void()>& show = {}) {
    Scheduler& s = w.scheduler;
    if (s.OpenLink() != 1)
        return;
    s.state.ReadPagesJob = true;
    s.state.WritePagesJob = false;
    s.state.PageCounter = 0;
    if (show)
        show();
    w.image.SetReg(RegPageSelector, 200);
    s.state.TransferError = false;
    s.EnableWatchdog();
}

inline void BeginPagesWrite(World& w, const std::function<void()>& show = {}) {
    Scheduler& s = w.scheduler;
    if (s.OpenLink() != 1)
        return;
    s.state.WritePagesJob = true;
    s.state.ReadPagesJob = false;
    s.state.PageCounter = 0;
    w.image.SetReg(RegPageSelector, 0);
    if (show)
        show();
    s.SendWrite(RegOccasionalAllowed, 1);
    s.EnableWatchdog();
}

} // namespace kx9::test
