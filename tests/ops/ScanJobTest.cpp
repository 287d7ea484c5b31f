// SPDX-License-Identifier: MIT
// The scan as the scheduler's job, run by the event loop: a box that comes up mid-scan holds
// everything until it is answered.
#include "common/TestWorld.h"
#include "ops/ScanTransfer.h"

#include <QEventLoop>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace kx9::test {
namespace {

// Each box stays up a while, as an operator reading it keeps it: the event loop runs under it,
// and whatever fires meanwhile shows as a box inside a box or a probe sent under it.
class SlowDialogs : public RecordingDialogs {
public:
    void messageWithDetails(const QString& text, const QString& title, MsgIcon icon,
                            const QString& details) override {
        if (up)
            ++nested;
        RecordingDialogs::messageWithDetails(text, title, icon, details);
        const bool outer = !up;
        up = true;
        const int before = probes ? probes() : 0;
        QEventLoop loop;
        QTimer::singleShot(300, &loop, &QEventLoop::quit);
        loop.exec();
        if (probes)
            sentUnder += probes() - before;
        up = !outer;
    }
    std::function<int()> probes;
    bool up = false;
    int nested = 0;
    int sentUnder = 0;
};

// Opens once; every later open fails, as an adapter that will not take a second rate.
class OpensOnce : public SimPort {
public:
    using SimPort::SimPort;
    bool open(const QString& name, const LineSettings& line) override {
        return ++m_opens < 2 && SimPort::open(name, line);
    }

private:
    int m_opens = 0;
};

struct SlowSeams {
    BoardModel board;
    OpensOnce port{board};
    SystemClock clock;
    SlowDialogs dialogs;
};

TEST(ScanJob, AFailedOpenMidScanShowsOneBoxAndNothingRunsUnderIt) {
    EnsureCoreApplication();
    ProgramWorld<SlowSeams> w;
    ScanTransfer scan(w.transfers);
    w.dialogs.probes = [&] { return scan.Last() ? scan.Last()->Probes() : 0; };
    BoardScan::Plan plan;
    plan.first = {5, 7, 1};
    plan.rates = {7, 2}; // the second rate needs a second open
    plan.frames = {1};
    plan.probeMs = 2;
    plan.all = true;
    int ended = 0;
    ASSERT_TRUE(scan.Start(0, plan, [&] { ++ended; }));
    ASSERT_TRUE(QTest::qWaitFor([&] { return ended > 0; }, 20000));
    EXPECT_TRUE(w.scheduler.WaitUntilIdle(2000));

    EXPECT_EQ(w.dialogs.Titles(), std::vector<QString>{QStringLiteral("Błąd otwarcia portu")});
    EXPECT_EQ(w.dialogs.nested, 0);
    EXPECT_EQ(w.dialogs.sentUnder, 0);
    EXPECT_EQ(ended, 1);
    EXPECT_EQ(scan.Last()->Status(), BoardScan::State::Failed);
    // Everything at the first rate was asked: 5, the board at the defaults, 2..16 but 5, and 247.
    ASSERT_EQ(scan.Last()->Found().size(), 1u);
    EXPECT_EQ(scan.Last()->Probes(), 17);
    EXPECT_FALSE(w.image.link.PortOpen);
    EXPECT_FALSE(w.scheduler.Busy());
}

} // namespace
} // namespace kx9::test
