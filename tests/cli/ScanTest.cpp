// SPDX-License-Identifier: MIT
// The scan of the operations against boards in this process: several on one line, at rates
// and frames of their own.
#include "board/SimPort.h"
#include "cli/CliOptions.h"
#include "common/SchedulerTicks.h"
#include "common/TestSeams.h"
#include "link/ModbusFrame.h"
#include "ops/BoardScan.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

#include <deque>
#include <memory>

namespace kx9 {
namespace {

// Boards at `address`, `frameIndex` (0..3) and `baudCode` (the board's table: 2 = 9600,
// 9 = 115200).
struct Spot {
    int address;
    int frameIndex;
    int baudCode;
};

// The line with a device that is no KX9 at `address`: it answers identification with a slave
// ID of its own.
class WithForeignDevice : public SimPort {
public:
    WithForeignDevice(std::vector<BoardModel*> boards, int address)
        : SimPort(std::move(boards)), m_address(address) {}
    int write(const uint8_t* data, int length) override {
        if (length == 4 && data[0] == m_address && data[1] == 17 && isOpen()) {
            uint8_t reply[frame::BufferSize] = {uint8_t(m_address), 17, 5, 0x42, 0xFF, 'A', 'B', 'C'};
            Inject(QByteArray(reinterpret_cast<const char*>(reply), frame::AppendCrc(reply, 8)));
            return length;
        }
        return SimPort::write(data, length);
    }

private:
    int m_address;
};

class ScanLine : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test::EnsureCoreApplication(); }

    void Boards(const std::vector<Spot>& spots, int foreignAt = 0) {
        for (const Spot& s : spots) {
            BoardModel::Options o;
            o.address = s.address;
            o.frameIndex = s.frameIndex;
            o.baudCode = s.baudCode;
            boards.emplace_back(o);
        }
        std::vector<BoardModel*> line;
        for (BoardModel& b : boards)
            line.push_back(&b);
        port = std::make_unique<WithForeignDevice>(line, foreignAt);
        link = std::make_unique<ModbusLink>(image, *port, dialogs, clock);
        scheduler = std::make_unique<Scheduler>(image, *link, dialogs);
    }
    // The boards here answer at once: a probe still unanswered after a poll has its window end.
    static BoardScan::Plan Quick(std::vector<int> rates, std::vector<int> frames, bool all) {
        BoardScan::Plan plan;
        plan.rates = std::move(rates);
        plan.frames = std::move(frames);
        plan.probeMs = 2;
        plan.all = all;
        return plan;
    }
    void Drive(BoardScan& scan, const std::function<bool()>& stop = {}) {
        if (scan.Start())
            test::TickUntilIdle(*scheduler, *port, stop);
    }

    std::deque<BoardModel> boards;
    ConfigImage image;
    test::RecordingDialogs dialogs;
    test::FakeClock clock;
    std::unique_ptr<SimPort> port;
    std::unique_ptr<ModbusLink> link;
    std::unique_ptr<Scheduler> scheduler;
};

TEST_F(ScanLine, AllListsEveryBoardOnceAtItsOwnRateAndFrame) {
    // 3 and 17 at 115200 8N2, 9 at 9600 8O1: 9 hears none of the others' requests.
    Boards({{3, 1, 9}, {9, 3, 2}, {17, 1, 9}});
    image.link.BoardAddress = 200;
    image.link.BaudIndex = 2;
    image.link.FrameIndex = 0;
    image.link.PortIndex = 4;
    BoardScan scan(*scheduler, image, Quick({7, 2}, {1, 3}, true));
    Drive(scan);
    EXPECT_EQ(scan.Status(), BoardScan::State::Finished);
    ASSERT_EQ(scan.Found().size(), 3u);
    // The usual addresses at every rate and frame first: 9 is found before 17.
    const ScanPoint expected[] = {{3, 7, 1}, {9, 2, 3}, {17, 7, 1}};
    for (size_t k = 0; k < 3; ++k) {
        EXPECT_EQ(scan.Found()[k].at, expected[k]) << k;
        EXPECT_TRUE(scan.Found()[k].kx9);
        EXPECT_TRUE(scan.Found()[k].identification.startsWith("Uzyskano odpowiedź z KX9")) << k;
    }
    // Every point asked once, but an address that answered is not asked again: 3 and 17 are
    // left out of the three passes after their own.
    EXPECT_EQ(scan.Order().size(), 4u * 247);
    EXPECT_EQ(scan.Probes(), 4 * 247 - 2 * 3);
    EXPECT_EQ(scan.Percent(), 100);
    // The settings in use are put back, and the port closed on COM5 where it was opened.
    EXPECT_EQ(image.link.BoardAddress, 200);
    EXPECT_EQ(image.link.BaudIndex, 2);
    EXPECT_EQ(image.link.FrameIndex, 0);
    EXPECT_FALSE(link->IsOpen);
    EXPECT_FALSE(image.link.PortOpen);
    EXPECT_EQ(port->LastName(), "COM5");
    EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(ScanLine, WithoutAllItStopsAtTheFirstBoard) {
    Boards({{9, 3, 2}, {17, 1, 9}});
    BoardScan scan(*scheduler, image, Quick({7, 2}, {1, 3}, false));
    Drive(scan);
    ASSERT_EQ(scan.Found().size(), 1u);
    // 9 is a usual address: found at its own rate and frame before 17 at the first ones.
    EXPECT_EQ(scan.FirstKx9()->at, (ScanPoint{9, 2, 3}));
    // Defaults (1, 115200, 8N2), 2..16 and 247 there, 1..16 and 247 at the next two, then 1..9.
    EXPECT_EQ(scan.Probes(), 1 + 16 + 17 + 17 + 9);
    for (const QByteArray& heard : boards[1].Requests())
        EXPECT_NE(uint8_t(heard[0]), 17); // 17 was not reached
}

TEST_F(ScanLine, TheSettingsInUseAreTriedFirst) {
    Boards({{57, 3, 2}});
    image.link.BoardAddress = 57;
    image.link.BaudIndex = 2;
    image.link.FrameIndex = 3;
    BoardScan::Plan plan = Quick(ScanRates(), ScanFrames(), false);
    plan.first = {57, 2, 3};
    BoardScan scan(*scheduler, image, plan);
    Drive(scan);
    ASSERT_NE(scan.FirstKx9(), nullptr);
    EXPECT_EQ(scan.FirstKx9()->at, (ScanPoint{57, 2, 3}));
    EXPECT_EQ(scan.Probes(), 1);
}

TEST_F(ScanLine, ADeviceThatIsNoKx9IsListedAndTheScanGoesOn) {
    Boards({{6, 1, 9}}, 4);
    BoardScan scan(*scheduler, image, Quick({7}, {1}, false));
    Drive(scan);
    ASSERT_EQ(scan.Found().size(), 2u);
    EXPECT_EQ(scan.Found()[0].at, (ScanPoint{4, 7, 1}));
    EXPECT_FALSE(scan.Found()[0].kx9);
    EXPECT_EQ(scan.Found()[0].identification, "Urządzenie o adresie: 4 nie jest tablicą KX9");
    EXPECT_EQ(scan.FirstKx9(), &scan.Found()[1]);
    EXPECT_EQ(scan.Probes(), 6);
}

TEST_F(ScanLine, RepliesThatCannotBeTrustedAreNotListed) {
    Boards({{4, 1, 9}, {6, 1, 9}, {8, 1, 9}});
    boards[0].SetFault(BoardModel::Fault::BadCrc);
    boards[1].SetFault(BoardModel::Fault::WrongAddress);
    boards[2].SetFault(BoardModel::Fault::Exception);
    BoardScan scan(*scheduler, image, Quick({7}, {1}, false));
    Drive(scan);
    EXPECT_EQ(scan.Status(), BoardScan::State::Finished);
    EXPECT_TRUE(scan.Found().empty()); // neither reply is one to trust
    EXPECT_EQ(scan.FirstKx9(), nullptr);
    EXPECT_EQ(scan.Probes(), 247);
}

TEST_F(ScanLine, StopEndsItBetweenStepsAndPutsTheSettingsBack) {
    Boards({{200, 1, 9}});
    image.link.BoardAddress = 8;
    BoardScan scan(*scheduler, image, Quick({7}, {1}, true));
    Drive(scan, [&] { return scan.Probes() >= 10; });
    EXPECT_TRUE(link->IsOpen);
    scan.Stop();
    EXPECT_EQ(scan.Status(), BoardScan::State::Stopped);
    EXPECT_EQ(scan.Step(), Job::StepResult::Finished);
    EXPECT_FALSE(scheduler->JobRunning());
    EXPECT_FALSE(link->IsOpen);
    EXPECT_EQ(image.link.BoardAddress, 8);
    EXPECT_TRUE(scan.Found().empty());
    EXPECT_LT(boards[0].Requests().size(), 20u);
}

TEST_F(ScanLine, APortThatVanishesFailsTheScan) {
    Boards({{5, 1, 9}});
    boards[0].SetFault(BoardModel::Fault::Vanish);
    BoardScan scan(*scheduler, image, Quick({7}, {1}, true));
    Drive(scan);
    EXPECT_EQ(scan.Status(), BoardScan::State::Failed);
    EXPECT_TRUE(scan.PortLost());
    EXPECT_TRUE(scan.Found().empty());
    EXPECT_LE(scan.Probes(), 5);
}

TEST_F(ScanLine, APortThatDoesNotOpenFailsWithItsBox) {
    Boards({{5, 1, 9}});
    port->SetMissing("COM1");
    BoardScan scan(*scheduler, image, Quick({7}, {1}, true));
    Drive(scan);
    EXPECT_EQ(scan.Status(), BoardScan::State::Failed);
    EXPECT_FALSE(scan.PortLost());
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].title, "Błąd otwarcia portu");
    EXPECT_EQ(boards[0].Requests().size(), 0u);
}

TEST_F(ScanLine, AProbeWaitsItsWholeWindowForASilentAddress) {
    Boards({{2, 1, 9}});
    BoardScan::Plan plan = Quick({7}, {1}, false);
    plan.probeMs = 60;
    BoardScan scan(*scheduler, image, plan);
    QElapsedTimer t;
    t.start();
    ASSERT_TRUE(scan.Start()); // on the real clock: address 1 silent, 2 answers
    ASSERT_TRUE(scheduler->WaitUntilIdle(5000));
    EXPECT_EQ(scan.Probes(), 2);
    EXPECT_GE(t.elapsed(), 60);
    EXPECT_LT(t.elapsed(), 60 + 500);
}

struct WorstRow {
    ScanPoint first;
    std::vector<int> rates;
    std::vector<int> frames;
    int probeMs;
    int opens; // the port opened at each change of rate or frame
};

class WorstCase : public ::testing::TestWithParam<WorstRow> {};

TEST_P(WorstCase, EveryProbeItsWindowAndEveryReopening) {
    const WorstRow& row = GetParam();
    const std::vector<ScanPoint> order = ScanOrder(row.first, row.rates, row.frames);
    double windows = 0;
    for (const ScanPoint& p : order)
        windows += ProbeWindowMs(p.baudIndex, p.frameIndex, row.probeMs);
    // 2 ms a probe to send it and look at the line.
    EXPECT_NEAR(ScanWorstCaseMs(order, row.probeMs), row.opens * 200 + windows + 2.0 * order.size(), 1e-6);
    // At least the turnaround for every probe.
    EXPECT_GT(windows, double(order.size()) * row.probeMs);
}

INSTANTIATE_TEST_SUITE_P(Rows, WorstCase,
                         ::testing::Values(
                             // The settings in use at 9600 8O1, the defaults at 115200 8N2, then
                             // the usual addresses and the rest, each at four rates and frames
                             // in the order given: ten openings.
                             WorstRow{{57, 2, 3}, {2, 7}, {1, 3}, 150, 10},
                             // Settings in use that are the defaults: one opening.
                             WorstRow{{1, 7, 1}, {7}, {1}, 100, 1},
                             // Settings outside the lists are not tried: the defaults, then two
                             // passes over two frames.
                             WorstRow{{9, 0, 0}, {7}, {1, 3}, 20, 4}));

struct DurationRow {
    double ms;
    const char* text;
};

class Durations : public ::testing::TestWithParam<DurationRow> {};

TEST_P(Durations, ReadAsAnOperatorSaysThem) {
    EXPECT_EQ(DurationText(GetParam().ms), QString::fromUtf8(GetParam().text));
}

INSTANTIATE_TEST_SUITE_P(Rows, Durations,
                         ::testing::Values(DurationRow{3240, "3.2 s"}, DurationRow{59949, "59.9 s"},
                                           DurationRow{150798, "2 min 31 s"},
                                           DurationRow{1378974, "22 min 59 s"},
                                           DurationRow{4000000, "1 h 6 min"}));

struct ProbeMsRow {
    QStringList args;
    std::optional<int> probeMs; // none: refused
};

class ProbeMsOption : public ::testing::TestWithParam<ProbeMsRow> {};

TEST_P(ProbeMsOption, IsTakenForScanOnly) {
    const cli::Parsed parsed = cli::ParseOptions(QStringList{"kx9ctl"} + GetParam().args);
    ASSERT_EQ(parsed.options.has_value(), GetParam().probeMs.has_value()) << parsed.error.toStdString();
    if (parsed.options) {
        EXPECT_EQ(parsed.options->probeMs, GetParam().probeMs == 0 ? std::nullopt : GetParam().probeMs);
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, ProbeMsOption,
                         ::testing::Values(ProbeMsRow{{"scan"}, 0},
                                           ProbeMsRow{{"scan", "--probe-ms", "100"}, 100},
                                           ProbeMsRow{{"scan", "--all", "--probe-ms", "5000"}, 5000},
                                           ProbeMsRow{{"scan", "--probe-ms", "0"}, std::nullopt},
                                           ProbeMsRow{{"scan", "--probe-ms", "5001"}, std::nullopt},
                                           ProbeMsRow{{"scan", "--probe-ms", "ms"}, std::nullopt},
                                           ProbeMsRow{{"--probe-ms", "100", "identify"}, std::nullopt}));

} // namespace
} // namespace kx9
