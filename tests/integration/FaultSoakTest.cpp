// SPDX-License-Identifier: MIT
// Whole read and write cycles against kx9-sim with random faults, watching resident memory and
// open files. Long: run by scripts/soak, which sets the number of cycles; not in the test run.
#include "SimProcess.h"
#include "common/TestWorld.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <cstdio>
#include <gtest/gtest.h>

namespace kx9::test {
namespace {

// A clock that neither pauses nor keeps a record of its pauses, so the cycles run as fast as
// the line answers and nothing of the test's own grows.
class QuickClock : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
    void pause(int) override {}
};

struct SoakSeams {
    QtSerialPort port;
    QuickClock clock;
    RecordingDialogs dialogs;
};

struct Usage {
    long residentKb = -1;
    int openFiles = -1;
};

Usage Measure() {
    Usage u;
#ifdef Q_OS_LINUX
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly))
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.startsWith("VmRSS:"))
                u.residentKb = line.mid(6).trimmed().split(' ').value(0).toLong();
    u.openFiles = int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size());
#endif
    return u;
}

int EnvInt(const char* name, int fallback) {
    bool ok = false;
    const int v = qEnvironmentVariableIntValue(name, &ok);
    return ok ? v : fallback;
}

// Runs the scheduler's handlers as fast as the replies come; the time-out stays a real timer.
void RunToIdle(ProgramWorld<SoakSeams>& w) {
    Scheduler& s = w.scheduler;
    QElapsedTimer t;
    t.start();
    while (!s.Idle() && !t.hasExpired(60000)) {
        if (s.PollActive())
            s.TestOdpowiedziTimer();
        if (s.SequencerActive())
            s.TransmisjaWrTimer();
        QCoreApplication::processEvents();
        QThread::usleep(500);
    }
    ASSERT_TRUE(s.Idle()) << "a transfer never ended";
}

TEST(FaultSoak, DISABLED_WholeCyclesKeepMemoryAndOpenFilesFlat) {
    const int cycles = EnvInt("KX9_SOAK_CYCLES", 10);
    const QString rate = qEnvironmentVariable("KX9_SOAK_FAULT_RATE", QStringLiteral("0.2"));
    SimProcess sim({"--fault-rate", rate, "--seed", QString::number(EnvInt("KX9_SOAK_SEED", 1)), "--turnaround", "0"});
    ASSERT_TRUE(sim.Start()) << sim.Log().constData();
    const QString oldDir = QDir::currentPath();
    QDir::setCurrent(sim.Dir());
    {
        ProgramWorld<SoakSeams> w;
        w.image.link.ReplyTimeoutMs = 150;
        int failed = 0;
        int clean = 0;
        Usage start;
        QElapsedTimer elapsed;
        elapsed.start();
        for (int cycle = 0; cycle <= cycles; ++cycle) {
            if (cycle == 1)
                start = Measure(); // after one cycle, so first-use allocations are in
            if (cycle == 1 || cycle == cycles || (cycle > 0 && cycle % 100 == 0)) {
                const Usage u = Measure();
                std::printf("soak: cycle %d of %d, %.0f s: resident %ld kB, open files %d, failed operations %d, "
                            "clean cycles %d\n",
                            cycle, cycles, elapsed.elapsed() / 1000.0, u.residentKb, u.openFiles, failed, clean);
                std::fflush(stdout);
            }
            if (cycle == cycles)
                break;
            const size_t boxes = w.dialogs.boxes.size();
            ASSERT_TRUE(w.ops.StartConfigRead());
            RunToIdle(w);
            ASSERT_TRUE(w.ops.StartConfigWrite());
            RunToIdle(w);
            failed += int(w.dialogs.boxes.size() - boxes);
            clean += w.dialogs.boxes.size() == boxes;
            w.dialogs.boxes.clear();
            ASSERT_FALSE(w.image.link.PortOpen);
        }
        const Usage end = Measure();
        std::printf("soak: start resident %ld kB, open files %d; end resident %ld kB, open files %d\n",
                    start.residentKb, start.openFiles, end.residentKb, end.openFiles);
        EXPECT_LE(end.residentKb - start.residentKb, 2048);
        EXPECT_EQ(end.openFiles, start.openFiles);
        EXPECT_TRUE(sim.Running());
    }
    QDir::setCurrent(oldDir);
}

} // namespace
} // namespace kx9::test
