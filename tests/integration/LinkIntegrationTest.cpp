// SPDX-License-Identifier: MIT
// The real serial backend and the Modbus link against kx9-sim on a pseudo-terminal.
#include "SimProcess.h"
#include "common/TestSeams.h"
#include "config/ConfigImage.h"
#include "link/Modbus.h"
#include "link/QtSerialPort.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <memory>

using kx9::ConfigImage;
using kx9::ModbusLink;
using kx9::MsgIcon;
using kx9::QtSerialPort;
using kx9::test::SimProcess;

namespace {

const QString OpenFailText = QStringLiteral(
    "Niewłaściwa nazwa portu lub  port jest aktywny\nZamknij uruchomione aplikacje lub wybierz inny port");

class LinkIntegration : public ::testing::Test {
protected:
    // Starts kx9-sim and makes its folder the current one, where "COM1" now leads to it.
    void StartSim(const QStringList& args = {}) {
        sim = std::make_unique<SimProcess>(args);
        ASSERT_TRUE(sim->Start()) << sim->Log().constData();
        m_oldDir = QDir::currentPath();
        QDir::setCurrent(sim->Dir());
    }

    void TearDown() override {
        link.Close();
        if (!m_oldDir.isEmpty())
            QDir::setCurrent(m_oldDir);
    }

    // Polls like the reply timer does, until more than `endIndex` bytes wait or time is up.
    int Await(int endIndex, int timeoutMs = 1000) {
        QElapsedTimer t;
        t.start();
        int waiting = link.BytesWaiting();
        while (waiting <= endIndex && !t.hasExpired(timeoutMs)) {
            QThread::msleep(2);
            waiting = link.BytesWaiting();
        }
        return waiting;
    }

    int Exchange(int length, int endIndex, int timeoutMs = 1000) {
        EXPECT_EQ(link.Send(length), length);
        return Await(endIndex, timeoutMs);
    }

    int ReadInto(int first, int count) {
        const int end = ModbusLink::ReplyEndIndex(count);
        if (Exchange(link.BuildReadRequest(1, first, count), end) <= end)
            return -100;
        const int r = link.CheckReply(1);
        if (r != 3)
            return r;
        return link.StoreReadReply(first, end);
    }

    std::unique_ptr<SimProcess> sim;
    ConfigImage image;
    QtSerialPort port;
    kx9::test::RecordingDialogs dialogs;
    kx9::test::FakeClock clock;
    ModbusLink link{image, port, dialogs, clock};

private:
    QString m_oldDir;
};

} // namespace

TEST_F(LinkIntegration, OpensReadsAndReopens) {
    StartSim();
    ASSERT_EQ(link.Open(0, 1, 7), 1);
    EXPECT_TRUE(image.link.PortOpen);
    EXPECT_EQ(ReadInto(4100, 62), 1);
    EXPECT_EQ(image.Reg(4100), 71); // presentation entry 71
    EXPECT_EQ(image.Reg(4143), 114);
    EXPECT_EQ(image.Reg(4161), 0);

    // Opening again closes the first handle first; otherwise the exclusive open would fail.
    ASSERT_EQ(link.Open(0, 1, 7), 1);
    ASSERT_EQ(link.Open(0, 1, 7), 1);
    image.SetReg(4100, 0);
    EXPECT_EQ(ReadInto(4100, 62), 1);
    EXPECT_EQ(image.Reg(4100), 71);
    EXPECT_TRUE(dialogs.boxes.empty());

    // The master closing and reopening the line must not hang the board up.
    EXPECT_EQ(link.Close(), 1);
    ASSERT_EQ(link.Open(0, 1, 7), 1);
    EXPECT_EQ(ReadInto(4000, 3), 1);
    EXPECT_EQ(image.Reg(4002), 9);
}

TEST_F(LinkIntegration, PortThatCannotBeOpenedIsReported) {
    StartSim();
    // COM5 here is a plain file, not a line: the open fails whatever the machine has.
    QFile bogus(QStringLiteral("COM5"));
    ASSERT_TRUE(bogus.open(QIODevice::WriteOnly));
    bogus.close();
    EXPECT_EQ(link.Open(4, 1, 7), -1);
    EXPECT_FALSE(image.link.PortOpen);
    EXPECT_FALSE(link.IsOpen);
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].text, OpenFailText);
    EXPECT_EQ(dialogs.boxes[0].title, QStringLiteral("Błąd otwarcia portu"));
    EXPECT_EQ(dialogs.boxes[0].icon, MsgIcon::Information);
}

TEST_F(LinkIntegration, PortInUseIsReported) {
    StartSim();
    QtSerialPort other;
    ASSERT_TRUE(other.open(QStringLiteral("COM1"), kx9::LineSettingsFor(1, 7)));
    EXPECT_EQ(link.Open(0, 1, 7), -1);
    EXPECT_FALSE(image.link.PortOpen);
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].text, OpenFailText);
    other.close();
    EXPECT_EQ(link.Open(0, 1, 7), 1);
}

TEST_F(LinkIntegration, WritesTheSlaveBlockAndReadsItBack) {
    StartSim();
    ASSERT_EQ(link.Open(0, 1, 7), 1);
    for (int j = 0; j < kx9::SlaveCount; ++j)
        image.slave[size_t(j)] = 60000 + j * 11;
    ASSERT_GT(Exchange(link.BuildWriteRequest(1, 4300, 45, image.slave.data()), 7), 7);
    EXPECT_EQ(link.CheckReply(1), 16);
    const auto written = image.slave;
    image.slave.fill(0);
    EXPECT_EQ(ReadInto(4300, 45), 1);
    EXPECT_EQ(image.slave, written);
}

TEST_F(LinkIntegration, IdentifiesTheBoard) {
    StartSim({"--columns", "12", "--rows", "2"});
    ASSERT_EQ(link.Open(0, 1, 7), 1);
    ASSERT_GT(Exchange(link.BuildIdentifyRequest(1), 9), 9);
    QThread::msleep(20); // the reply is 12 bytes; make sure all of them are in
    EXPECT_EQ(link.CheckReply(1), 17);
    EXPECT_EQ(link.DescribeIdentification(),
              QStringLiteral("Uzyskano odpowiedź z KX9 o rozdzielczości matrycowej: 12x2\n"
                             "Rozdzielczość tablicy :1536 punktów"));
}

TEST_F(LinkIntegration, SilentBoardSendsNothing) {
    StartSim({"--fault", "noreply", "--log"});
    ASSERT_EQ(link.Open(0, 1, 7), 1);
    EXPECT_EQ(Exchange(link.BuildReadRequest(1, 4000, 1), 6, 300), 0);
    EXPECT_TRUE(sim->Log().contains("rx 01 03 0F A0 00 01 87 3C")) << sim->Log().constData();
}

TEST_F(LinkIntegration, CorruptedReplyFailsTheCheck) {
    StartSim({"--fault", "badcrc"});
    ASSERT_EQ(link.Open(0, 1, 7), 1);
    ASSERT_GT(Exchange(link.BuildReadRequest(1, 4000, 3), 10), 10);
    EXPECT_EQ(link.CheckReply(1), 0);
    EXPECT_EQ(link.BytesWaiting(), 0);
}

TEST_F(LinkIntegration, ExceptionReplyCarriesItsCode) {
    StartSim({"--fault", "exception:2", "--fault-count", "1"});
    ASSERT_EQ(link.Open(0, 1, 7), 1);
    ASSERT_GE(Exchange(link.BuildReadRequest(1, 4000, 3), 4), 5);
    EXPECT_EQ(link.CheckReply(1), -2);
    EXPECT_EQ(ReadInto(4000, 3), 1); // only one reply was spoilt
}

TEST_F(LinkIntegration, DelayedReplyComesLate) {
    StartSim({"--fault", "delay:400"});
    ASSERT_EQ(link.Open(0, 1, 7), 1);
    EXPECT_EQ(Exchange(link.BuildReadRequest(1, 4000, 1), 6, 200), 0);
    EXPECT_GT(Await(6, 2000), 6);
    EXPECT_EQ(link.CheckReply(1), 3);
}

TEST_F(LinkIntegration, BoardIgnoresAnotherRate) {
    StartSim({"--log"});
    ASSERT_EQ(link.Open(0, 1, 2), 1); // 9600 bit/s against a board at 115200
    EXPECT_EQ(Exchange(link.BuildReadRequest(1, 4000, 1), 6, 300), 0);
    EXPECT_TRUE(sim->Log().contains("ignored")) << sim->Log().constData();
}

TEST_F(LinkIntegration, PacedReplyTakesItsWireTime) {
    StartSim({"--baud", "9600", "--pace"});
    ASSERT_EQ(link.Open(0, 1, 2), 1);
    QElapsedTimer t;
    t.start();
    // 8 request bytes and 205 reply bytes at 11 bits each: about 244 ms on a 9600 bit/s line.
    ASSERT_GT(Exchange(link.BuildReadRequest(1, 4000, 100), 204, 3000), 204);
    EXPECT_GE(t.elapsed(), 230);
    EXPECT_EQ(link.CheckReply(1), 3);
}

TEST_F(LinkIntegration, StopsCleanlyAndRemovesItsLink) {
    StartSim();
    const QString path = sim->LinkPath();
    EXPECT_TRUE(QFileInfo(path).isSymLink());
    EXPECT_TRUE(sim->Stop());
    EXPECT_FALSE(QFileInfo(path).isSymLink());
    EXPECT_FALSE(QFileInfo::exists(path));
}

struct LinkChangeCase {
    const char* name;
    int frameIndex; // new board frame = PC FrameIndex
    int baudCode;   // new board baud code
    int baudIndex;  // the PC rate for it
};

class LinkChange : public LinkIntegration, public ::testing::WithParamInterface<LinkChangeCase> {};

TEST_P(LinkChange, BoardAnswersOnlyAtItsNewSettings) {
    StartSim({"--log"});
    const LinkChangeCase& c = GetParam();
    ASSERT_EQ(link.Open(0, 1, 7), 1);
    image.SetReg(4000, 9);
    image.SetReg(4001, c.frameIndex);
    image.SetReg(4002, c.baudCode);
    ASSERT_GT(Exchange(link.BuildWriteRequest(1, 4000, 3, image.main.data()), 7), 7);
    EXPECT_EQ(link.CheckReply(1), 16); // the reply still comes at the old settings

    // Old settings: the board no longer understands the line.
    ASSERT_EQ(link.Open(0, 1, 7), 1);
    EXPECT_EQ(Exchange(link.BuildIdentifyRequest(9), 9, 300), 0);

    ASSERT_EQ(link.Open(0, c.frameIndex, c.baudIndex), 1);
    EXPECT_EQ(Exchange(link.BuildIdentifyRequest(1), 9, 300), 0); // old address
    ASSERT_GT(Exchange(link.BuildIdentifyRequest(9), 9), 9) << sim->Log().constData();
    QThread::msleep(20);
    EXPECT_EQ(link.CheckReply(9), 17);
}

INSTANTIATE_TEST_SUITE_P(Table, LinkChange,
                         ::testing::Values(LinkChangeCase{"To8E1At9600", 2, 2, 2},
                                           LinkChangeCase{"To8O1At14400", 3, 3, 3},
                                           LinkChangeCase{"To8N1At38400", 0, 6, 5},
                                           LinkChangeCase{"To8N2At2400", 1, 0, 0}),
                         [](const auto& info) { return std::string(info.param.name); });
