// SPDX-License-Identifier: MIT
// Several boards chained on one line, and frames told apart, with kx9-sim on a real
// pseudo-terminal: the program's own scan, whole write and link change among them.
#include "SimProcess.h"
#include "common/RawLine.h"
#include "common/TestWorld.h"
#include "ops/BoardScan.h"

#include <QProcess>
#include <gtest/gtest.h>

#include <map>

namespace kx9::test {
namespace {

using Registers = std::map<int, int>;

// A probe's wait for the reply to begin. kx9-sim answers within a few ms, but on a loaded
// two-core machine it may not run for tens of ms; a reply that begins after its probe's wait is
// a board missed. Every address that does not answer costs this much.
constexpr int LoadedProbeMs = 75;

bool IsClock(int reg) {
    return reg >= RegClockTime && reg <= RegClockDate;
}

class SeveralBoards : public OnTheLine<LineWorld> {
protected:
    bool RunRealTimers(int timeoutMs = 60000) { return program.scheduler.WaitUntilIdle(timeoutMs); }

    // The board at `address`, asked past the program at `frame` and `baud` (PC indexes).
    RawLine Board(int address, int frame = 1, int baud = 7) {
        return RawLine(sim->LinkPath(), address, LineSettingsFor(frame, baud));
    }

    // The program's scan on the line, driven to its end.
    BoardScan::State Scan(BoardScan::Plan plan, std::vector<ScanFind>& found) {
        BoardScan scan(program.scheduler, image, plan, &progress);
        if (scan.Start()) {
            EXPECT_TRUE(RunRealTimers());
        }
        found = scan.Found();
        return scan.Status();
    }

    // The program identifies the board at the settings of its image; the box it showed.
    QString Identify(int address, int frame, int baud) {
        image.link.BoardAddress = uint8_t(address);
        image.link.FrameIndex = uint8_t(frame);
        image.link.BaudIndex = uint8_t(baud);
        dialogs.boxes.clear();
        if (!ops.StartIdentification() || !RunRealTimers(5000) || dialogs.boxes.empty())
            return {};
        return dialogs.boxes.back().text;
    }
};

const QString Kx9Answer = QStringLiteral("Uzyskano odpowiedź z KX9 o rozdzielczości matrycowej: 15x5\n"
                                         "Rozdzielczość tablicy :4800 punktów");

TEST_F(SeveralBoards, ScanAllFindsEachBoardOnTheLineOnce) {
    StartSim({"--address", "3,9,17"});
    BoardScan::Plan plan;
    plan.rates = {7};
    plan.frames = {1};
    plan.probeMs = LoadedProbeMs;
    plan.all = true;
    std::vector<ScanFind> found;
    ASSERT_EQ(Scan(plan, found), BoardScan::State::Finished) << sim->Log().constData();
    std::vector<int> addresses;
    for (const ScanFind& f : found) {
        addresses.push_back(f.at.address);
        EXPECT_EQ(f.at.baudIndex, 7);
        EXPECT_EQ(f.at.frameIndex, 1);
        EXPECT_TRUE(f.kx9);
    }
    EXPECT_EQ(addresses, (std::vector<int>{3, 9, 17}));
    EXPECT_FALSE(image.link.PortOpen);
}

TEST_F(SeveralBoards, AWholeWriteToOneBoardLeavesTheOthersAsTheyWere) {
    StartSim({"--address", "3,9,17"});
    const Registers three = Board(3).Snapshot(), seventeen = Board(17).Snapshot();
    ASSERT_FALSE(three.empty());
    ASSERT_FALSE(seventeen.empty());
    image.link.BoardAddress = 9;
    image.SetReg(RegDayBrightness, 77);
    image.SetReg(SlaveBase + 5, 2);
    ASSERT_TRUE(ops.StartConfigWrite());
    ASSERT_TRUE(RunRealTimers()) << sim->Log().constData();
    ASSERT_TRUE(dialogs.boxes.empty()) << dialogs.boxes[0].text.toStdString();

    const Registers nine = Board(9).Snapshot();
    ASSERT_FALSE(nine.empty());
    EXPECT_EQ(nine.at(RegDayBrightness), 77);
    EXPECT_EQ(nine.at(SlaveBase + 5), 2);
    for (const auto& [before, address] : {std::pair{&three, 3}, std::pair{&seventeen, 17}}) {
        const Registers after = Board(address).Snapshot();
        ASSERT_EQ(after.size(), before->size()) << address;
        for (const auto& [reg, value] : after)
            if (!IsClock(reg)) {
                EXPECT_EQ(value, before->at(reg)) << "board " << address << " register " << reg;
            }
    }
}

TEST_F(SeveralBoards, ALinkChangeMovesOnlyTheBoardAsked) {
    StartSim({"--address", "3,9,17"});
    image.link.BoardAddress = 9;
    image.SetReg(RegBoardAddress, 23);
    image.SetReg(RegBoardFrame, 3); // 8O1
    image.SetReg(RegBoardBaud, 2);  // 9600 bit/s
    ASSERT_TRUE(ops.StartLinkChange());
    ASSERT_TRUE(RunRealTimers()) << sim->Log().constData();
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].text, Kx9Answer);

    // 9 is now 23 at 9600 8O1, and no longer there at its old address or rate.
    EXPECT_FALSE(Board(23, 3, 2).Identify().isEmpty());
    EXPECT_TRUE(Board(9).Identify().isEmpty());
    EXPECT_TRUE(Board(23).Identify().isEmpty());
    EXPECT_TRUE(Board(9, 3, 2).Identify().isEmpty());
    // The others stay where they were, with their own link registers.
    for (int address : {3, 17}) {
        EXPECT_FALSE(Board(address).Identify().isEmpty()) << address;
        EXPECT_EQ(Board(address).Read(RegBoardAddress, 3), (std::vector<int>{address, 1, 9})) << address;
    }
    EXPECT_EQ(Board(23, 3, 2).Read(RegBoardAddress, 3), (std::vector<int>{23, 3, 2}));
}

TEST_F(SeveralBoards, ABoardAtOddParityAnswersOnlyAtOddParity) {
    StartSim({"--address", "57", "--baud", "9600", "--frame", "8O1", "--log"});
    // The line was odd before: the program's 8N1 must not be taken for it.
    EXPECT_EQ(Identify(57, 3, 2), Kx9Answer);
    EXPECT_EQ(Identify(57, 0, 2), "Błąd transmisji danych");
    EXPECT_EQ(Identify(57, 1, 2), "Błąd transmisji danych");
    EXPECT_EQ(Identify(57, 3, 2), Kx9Answer);
    // The board's log names what it saw.
    const QByteArray log = sim->Log();
    EXPECT_TRUE(log.contains("line set to 9600 8N1/8E1, board at 9600 8O1")) << log.constData();
    EXPECT_TRUE(log.contains("line set to 9600 8N2, board at 9600 8O1")) << log.constData();
    EXPECT_FALSE(log.contains("8O2")) << log.constData();
}

TEST_F(SeveralBoards, ScanFindsABoardAtOddParityAtOddParity) {
    StartSim({"--address", "57", "--frame", "8O1"});
    // The settings in use say 8N1: that address first, then every address at 8N1, unanswered.
    BoardScan::Plan plan;
    plan.first = {57, 7, 0};
    plan.rates = {7};
    plan.frames = {0, 3};
    plan.probeMs = LoadedProbeMs;
    std::vector<ScanFind> found;
    ASSERT_EQ(Scan(plan, found), BoardScan::State::Finished);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].at, (ScanPoint{57, 7, 3}));
}

TEST_F(SeveralBoards, ABoardThatTakesItsTimeIsFound) {
    StartSim({"--address", "5", "--fault", "delay:100"});
    BoardScan::Plan plan; // the default wait a probe gives a reply
    plan.rates = {7};
    plan.frames = {1};
    std::vector<ScanFind> found;
    ASSERT_EQ(Scan(plan, found), BoardScan::State::Finished);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].at, (ScanPoint{5, 7, 1}));
    EXPECT_TRUE(found[0].kx9);
}

struct FaultRow {
    QStringList args;
    std::vector<std::pair<int, bool>> asks; // address, whether it answers, in this order
};

class BoardFaults : public SeveralBoards, public ::testing::WithParamInterface<FaultRow> {};

TEST_P(BoardFaults, HitOnlyTheBoardNamed) {
    StartSim(QStringList{"--address", "3,9"} + GetParam().args);
    int k = 0;
    for (const auto& [address, answers] : GetParam().asks)
        EXPECT_EQ(!Board(address).Identify().isEmpty(), answers) << "ask " << k++ << " to " << address;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, BoardFaults,
    ::testing::Values(FaultRow{{"--fault", "noreply@9"}, {{3, true}, {9, false}, {3, true}}},
                      // The later option wins for the board it names.
                      FaultRow{{"--fault", "noreply", "--fault", "none@3"}, {{3, true}, {9, false}}},
                      // Each board counts its own sound replies.
                      FaultRow{{"--fault", "noreply", "--fault-after", "1"},
                               {{3, true}, {9, true}, {3, false}, {9, false}}},
                      FaultRow{{"--fault", "noreply", "--fault-after", "2@9", "--fault-count", "1@3"},
                               {{3, false}, {9, true}, {3, true}, {9, true}, {9, false}}}));

struct BadRow {
    QStringList args;
    const char* says;
};

class BadSimOptions : public ::testing::TestWithParam<BadRow> {};

TEST_P(BadSimOptions, AreRefusedWithTheReason) {
    QTemporaryDir dir;
    QProcess sim;
    sim.setWorkingDirectory(dir.path());
    sim.start(QStringLiteral(KX9_SIM_PATH), GetParam().args);
    ASSERT_TRUE(sim.waitForFinished(5000));
    EXPECT_EQ(sim.exitCode(), 2);
    const QByteArray err = sim.readAllStandardError();
    EXPECT_TRUE(err.contains(GetParam().says)) << err.constData();
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("COM1")));
}

INSTANTIATE_TEST_SUITE_P(Rows, BadSimOptions,
                         ::testing::Values(BadRow{{"--address", "3,3"}, "twice"},
                                           BadRow{{"--address", "3,248"}, "1..247"},
                                           BadRow{{"--address", "3,9", "--baud", "9600,4800,2400"}, "--baud"},
                                           BadRow{{"--address", "3,9", "--frame", "8N1,8X1"}, "--frame"},
                                           BadRow{{"--address", "3,9", "--fault", "noreply@5"}, "noreply@5"},
                                           BadRow{{"--fault-after", "2@"}, "--fault-after"}));

} // namespace
} // namespace kx9::test
