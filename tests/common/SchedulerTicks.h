// SPDX-License-Identifier: MIT
#pragma once

#include "link/SerialPort.h"
#include "link/Transfer.h"

#include <QCoreApplication>
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

// Runs the handlers as their ticks would come until nothing runs or `stop` says so. The
// board's reply is there at once, so an awaited reply still short after a poll will never
// come: that is when the time-out fires. `each` sees every tick (an editor's Timer1Timer).
// Returns the ticks taken.
inline int TickUntilIdle(Scheduler& s, SerialPort& port, const std::function<bool()>& stop = {},
                         const std::function<void()>& each = {}, const std::function<bool()>& more = {}) {
    constexpr int Limit = 20000;
    int ticks = 0;
    for (; ticks < Limit && (!s.Idle() || (more && more())); ++ticks) {
        if (stop && stop())
            break;
        if (s.PollActive())
            s.TestOdpowiedziTimer();
        if (s.TimeOutActive() && s.ReplyEnd() > 0 && port.bytesWaiting() <= s.ReplyEnd())
            s.TimeOutTimer();
        if (s.SequencerActive())
            s.TransmisjaWrTimer();
        if (each)
            each();
    }
    EXPECT_LT(ticks, Limit) << "the transfer never ended";
    return ticks;
}

} // namespace kx9::test
