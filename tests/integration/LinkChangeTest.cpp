// SPDX-License-Identifier: MIT
// Changing the board's own link over a real pseudo-terminal, with kx9-sim on the other side.
#include "SimProcess.h"
#include "common/TestWorld.h"

#include <QDir>
#include <gtest/gtest.h>

#include <memory>

namespace kx9::test {
namespace {

class LinkChangeOnTheLine : public OnTheLine<LineWorld> {
protected:
    bool RunRealTimers(int timeoutMs = 10000) { return program.scheduler.WaitUntilIdle(timeoutMs); }

    void AskFor(int address, int frame, int code) {
        program.image.SetReg(RegBoardAddress, address);
        program.image.SetReg(RegBoardFrame, frame);
        program.image.SetReg(RegBoardBaud, code);
    }
};

TEST_F(LinkChangeOnTheLine, TheProgramFollowsTheBoardToItsNewAddressAndRate) {
    StartSim({"--address", "1", "--baud", "115200", "--frame", "8N2"});
    AskFor(23, 0, 7); // 8N1, 57600 bit/s

    ops.StartLinkChange();
    ASSERT_TRUE(RunRealTimers()) << sim->Log().constData();

    ASSERT_EQ(dialogs.boxes.size(), 1u) << sim->Log().constData();
    EXPECT_EQ(dialogs.boxes[0].title, QStringLiteral("Identyfikacja"));
    EXPECT_EQ(dialogs.boxes[0].text,
              QStringLiteral("Uzyskano odpowiedź z KX9 o rozdzielczości matrycowej: 15x5\n"
                             "Rozdzielczość tablicy :4800 punktów"));
    EXPECT_EQ(program.image.link.BoardAddress, 23);
    EXPECT_EQ(program.image.link.FrameIndex, 0);
    EXPECT_EQ(program.image.link.BaudIndex, 6);
    EXPECT_FALSE(program.image.link.PortOpen);

    // The board stays there: the next operation finds it at the new settings.
    ops.StartIdentification();
    ASSERT_TRUE(RunRealTimers());
    ASSERT_EQ(dialogs.boxes.size(), 2u);
    EXPECT_EQ(dialogs.boxes[1].title, QStringLiteral("Identyfikacja"));
    EXPECT_TRUE(sim->Running());
}

TEST_F(LinkChangeOnTheLine, ABoardThatIsNotHeardAtTheNewSettingsEndsInATransmissionError) {
    StartSim({"--address", "1", "--baud", "115200", "--frame", "8N2"});
    // 28800 bit/s has no PC rate: the PC goes to 19200 and the board cannot hear it.
    AskFor(5, 1, 5);

    ops.StartLinkChange();
    ASSERT_TRUE(RunRealTimers()) << sim->Log().constData();

    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].text, QStringLiteral("Błąd transmisji danych"));
    EXPECT_EQ(dialogs.boxes[0].title, QStringLiteral("Błąd"));
    EXPECT_EQ(dialogs.boxes[0].icon, MsgIcon::Error);
    // Nothing is put back once the identification has gone out.
    EXPECT_EQ(program.image.link.BoardAddress, 5);
    EXPECT_EQ(program.image.link.FrameIndex, 1);
    EXPECT_EQ(program.image.link.BaudIndex, 4);
    EXPECT_FALSE(program.image.link.PortOpen);
    EXPECT_FALSE(program.scheduler.JobRunning());
}

} // namespace
} // namespace kx9::test
