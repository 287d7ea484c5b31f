// SPDX-License-Identifier: MIT
#include "link/QtSerialPort.h"
#include "common/SchedulerTicks.h"
#include "common/TestSeams.h"
#include "config/ConfigImage.h"
#include "link/Modbus.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QtGlobal>
#include <gtest/gtest.h>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>
#endif

using namespace kx9;

namespace {

// Runs a test inside a fresh empty folder and returns to the old one afterwards.
class InTempFolder : public ::testing::Test {
protected:
    void SetUp() override {
        test::EnsureCoreApplication(); // the socket notifiers want one
        ASSERT_TRUE(m_dir.isValid());
        m_previous = QDir::currentPath();
        ASSERT_TRUE(QDir::setCurrent(m_dir.path()));
    }
    void TearDown() override { QDir::setCurrent(m_previous); }
    QString Path(const QString& name) const { return QDir(m_dir.path()).absoluteFilePath(name); }

private:
    QTemporaryDir m_dir;
    QString m_previous;
};

using DeviceForTest = InTempFolder;

TEST_F(DeviceForTest, ComNamesMapToDevices) {
#ifdef Q_OS_WIN
    EXPECT_EQ(QtSerialPort::DeviceFor("COM1"), QString("COM1"));
    EXPECT_EQ(QtSerialPort::DeviceFor("COM8"), QString("COM8"));
#else
    QFile file("COM3");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    EXPECT_EQ(QtSerialPort::DeviceFor("COM3"), Path("COM3"));
    EXPECT_EQ(QtSerialPort::DeviceFor("COM1"), QString("/dev/ttyS0"));
    EXPECT_EQ(QtSerialPort::DeviceFor("COM4"), QString("/dev/ttyS3"));
    EXPECT_EQ(QtSerialPort::DeviceFor("COM8"), QString("/dev/ttyS7"));
#endif
    // Anything else is already a device path.
    EXPECT_EQ(QtSerialPort::DeviceFor("/dev/ttyUSB0"), QString("/dev/ttyUSB0"));
}

#ifdef Q_OS_UNIX
// An unplugged adapter leaves its link pointing nowhere: that port fails to open and says so,
// it never falls back to a serial port of the machine.
TEST_F(DeviceForTest, DanglingLinkIsAFailedOpenNeverAnotherDevice) {
    ASSERT_EQ(::symlink("/nonexistent-kx9/ttyUSB0", "COM1"), 0);
    EXPECT_EQ(QtSerialPort::DeviceFor("COM1"), Path("COM1"));
    ConfigImage image;
    QtSerialPort port;
    test::RecordingDialogs dialogs;
    test::FakeClock clock;
    ModbusLink link(image, port, dialogs, clock);
    link.SetOperationName(QStringLiteral("Odczyt Konfiguracji"));
    EXPECT_EQ(link.Open(0, 1, 7), -1);
    EXPECT_FALSE(port.isOpen());
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].title, QStringLiteral("Błąd otwarcia portu"));
    const QString details = dialogs.boxes[0].details;
    EXPECT_TRUE(details.startsWith(QStringLiteral("Operacja: Odczyt Konfiguracji\nPort: COM1 (urządzenie ") +
                                   Path("COM1") + QStringLiteral(")\n")))
        << details.toStdString();
    EXPECT_TRUE(
        details.contains(QStringLiteral("Przyczyna: nie można otworzyć urządzenia: urządzenie nie istnieje")))
        << details.toStdString();
}
#endif

TEST(QtSerialPortClosed, EveryCallIsHarmless) {
    test::EnsureCoreApplication();
    QtSerialPort port;
    uint8_t buffer[8] = {1, 2, 3};
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(port.write(buffer, 3), 0);
    EXPECT_EQ(port.bytesWaiting(), 0);
    EXPECT_EQ(port.read(buffer, 8), 0);
    port.purge();
    port.close();
    EXPECT_FALSE(port.open("/nonexistent-kx9/tty", LineSettingsFor(1, 7)));
    EXPECT_FALSE(port.isOpen());
}

#ifdef Q_OS_UNIX

// A pseudo-terminal whose master side the test plays, linked as COM1 in the current folder.
class PtyTest : public InTempFolder {
protected:
    void SetUp() override {
        InTempFolder::SetUp();
        m_master = posix_openpt(O_RDWR | O_NOCTTY);
        ASSERT_GE(m_master, 0);
        ASSERT_EQ(grantpt(m_master), 0);
        ASSERT_EQ(unlockpt(m_master), 0);
        const char* slave = ptsname(m_master);
        ASSERT_NE(slave, nullptr);
        ASSERT_EQ(::symlink(slave, "COM1"), 0);
    }
    void TearDown() override {
        CloseMaster();
        InTempFolder::TearDown();
    }
    void CloseMaster() {
        if (m_master >= 0)
            ::close(m_master);
        m_master = -1;
    }
    void MasterWrite(const QByteArray& bytes) {
        ASSERT_EQ(::write(m_master, bytes.constData(), size_t(bytes.size())), bytes.size());
    }
    // What the port sent, collected for up to a second.
    QByteArray MasterRead(int expected) {
        QByteArray got;
        QElapsedTimer timer;
        timer.start();
        while (got.size() < expected && timer.elapsed() < 1000) {
            pollfd p{m_master, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0)
                continue;
            char chunk[512];
            const ssize_t n = ::read(m_master, chunk, sizeof chunk);
            if (n > 0)
                got.append(chunk, int(n));
        }
        return got;
    }
    // Polls bytesWaiting() as the reply timer would, with no event loop running.
    static int WaitFor(QtSerialPort& port, int expected) {
        QElapsedTimer timer;
        timer.start();
        int waiting = port.bytesWaiting();
        while (waiting < expected && timer.elapsed() < 1000) {
            QThread::msleep(5);
            waiting = port.bytesWaiting();
        }
        return waiting;
    }

    int m_master = -1;
};

TEST_F(PtyTest, FrameOutAndReplyInWithoutEventLoop) {
    QtSerialPort port;
    ASSERT_TRUE(port.open("COM1", LineSettingsFor(1, 7)));
    EXPECT_TRUE(port.isOpen());
    EXPECT_EQ(port.bytesWaiting(), 0);

    const QByteArray frame = QByteArray::fromHex("01031004003e811b");
    EXPECT_EQ(port.write(reinterpret_cast<const uint8_t*>(frame.constData()), int(frame.size())), 8);
    EXPECT_EQ(MasterRead(8).toHex(), frame.toHex());

    MasterWrite(QByteArray::fromHex("0103"));
    EXPECT_EQ(WaitFor(port, 2), 2);
    MasterWrite(QByteArray::fromHex("04000100ff"));
    EXPECT_EQ(WaitFor(port, 7), 7);

    uint8_t buffer[300];
    ASSERT_EQ(port.read(buffer, 300), 7);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(buffer), 7).toHex(), QByteArray("010304000100ff"));
    EXPECT_EQ(port.bytesWaiting(), 0);
    EXPECT_EQ(port.read(buffer, 300), 0);
}

TEST_F(PtyTest, ReadTakesAtMostWhatIsAsked) {
    QtSerialPort port;
    ASSERT_TRUE(port.open("COM1", LineSettingsFor(2, 2)));
    MasterWrite(QByteArray(20, 'a'));
    ASSERT_EQ(WaitFor(port, 20), 20);
    uint8_t buffer[8];
    EXPECT_EQ(port.read(buffer, 8), 8);
    EXPECT_EQ(port.bytesWaiting(), 12);
}

TEST_F(PtyTest, ReadBufferHoldsLargeBurstInPieces) {
    QtSerialPort port;
    ASSERT_TRUE(port.open("COM1", LineSettingsFor(0, 7)));
    MasterWrite(QByteArray(700, 'z'));
    QThread::msleep(50);
    int total = 0;
    uint8_t buffer[300];
    QElapsedTimer timer;
    timer.start();
    while (total < 700 && timer.elapsed() < 2000) {
        const int waiting = port.bytesWaiting();
        EXPECT_LE(waiting, 700);
        total += port.read(buffer, 300);
    }
    EXPECT_EQ(total, 700);
}

TEST_F(PtyTest, PurgeDropsWhatWaits) {
    QtSerialPort port;
    ASSERT_TRUE(port.open("COM1", LineSettingsFor(1, 7)));
    MasterWrite(QByteArray::fromHex("0102030405"));
    ASSERT_EQ(WaitFor(port, 5), 5);
    port.purge();
    EXPECT_EQ(port.bytesWaiting(), 0);
}

TEST_F(PtyTest, WriteReturnsWithoutPeerReading) {
    QtSerialPort port;
    ASSERT_TRUE(port.open("COM1", LineSettingsFor(1, 7)));
    uint8_t frame[300] = {};
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(port.write(frame, 300), 300);
    EXPECT_LT(timer.elapsed(), 2000);
    EXPECT_EQ(MasterRead(300).size(), 300);
}

TEST_F(PtyTest, OpenIsExclusiveAndReopenWorks) {
    QtSerialPort first;
    QtSerialPort second;
    ASSERT_TRUE(first.open("COM1", LineSettingsFor(1, 7)));
    EXPECT_FALSE(second.open("COM1", LineSettingsFor(1, 7)));
    EXPECT_FALSE(second.isOpen());
    first.close();
    EXPECT_FALSE(first.isOpen());
    EXPECT_TRUE(second.open("COM1", LineSettingsFor(3, 0)));
    // Opening an open port starts over on the new line.
    EXPECT_TRUE(second.open("COM1", LineSettingsFor(2, 4)));
    EXPECT_TRUE(second.isOpen());
}

TEST_F(PtyTest, VanishedDeviceEndsQuietly) {
    QtSerialPort port;
    ASSERT_TRUE(port.open("COM1", LineSettingsFor(1, 7)));
    CloseMaster();
    uint8_t buffer[300] = {};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(port.bytesWaiting(), 0);
        EXPECT_GE(port.read(buffer, 300), 0);
        port.write(buffer, 8);
    }
    // The hang-up is taken as a lost device: the port closes itself.
    EXPECT_FALSE(port.isOpen());
    port.close();
    EXPECT_FALSE(port.isOpen());
}

TEST_F(PtyTest, HangUpIsSeenAtTheNextPoll) {
    QtSerialPort port;
    ASSERT_TRUE(port.open("COM1", LineSettingsFor(1, 7)));
    CloseMaster();
    EXPECT_EQ(port.bytesWaiting(), 0);
    EXPECT_FALSE(port.isOpen());
    EXPECT_FALSE(port.lastError().isEmpty());
}

TEST_F(PtyTest, PeekLeavesTheBytesWaiting) {
    QtSerialPort port;
    ASSERT_TRUE(port.open("COM1", LineSettingsFor(1, 7)));
    MasterWrite(QByteArray::fromHex("0183024130"));
    ASSERT_EQ(WaitFor(port, 5), 5);
    uint8_t buffer[8] = {};
    ASSERT_EQ(port.peek(buffer, 8), 5);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(buffer), 5).toHex(), QByteArray("0183024130"));
    EXPECT_EQ(port.bytesWaiting(), 5);
    EXPECT_EQ(port.read(buffer, 8), 5);
}

TEST_F(PtyTest, LinkReadsRegistersAndSurvivesLostDevice) {
    ConfigImage image;
    QtSerialPort port;
    test::RecordingDialogs dialogs;
    test::FakeClock clock;
    ModbusLink link(image, port, dialogs, clock);
    ASSERT_EQ(link.Open(0, 1, 7), 1);
    ASSERT_TRUE(image.link.PortOpen);

    ASSERT_EQ(link.Send(link.BuildReadRequest(1, 4264, 2)), 8);
    EXPECT_EQ(MasterRead(8).toHex(), QByteArray("010310a80002412b"));
    MasterWrite(QByteArray::fromHex("010304ffff0007") + QByteArray::fromHex("bbd5"));
    QElapsedTimer timer;
    timer.start();
    while (link.BytesWaiting() <= ModbusLink::ReplyEndIndex(2) && timer.elapsed() < 1000)
        QThread::msleep(5);
    ASSERT_EQ(link.CheckReply(1), 3);
    ASSERT_EQ(link.StoreReadReply(4264, ModbusLink::ReplyEndIndex(2)), 1);
    EXPECT_EQ(image.Reg(4264), 65535);
    EXPECT_EQ(image.Reg(4265), 7);

    // The adapter is pulled: the request fails and the link ends up closed.
    CloseMaster();
    link.Send(link.BuildReadRequest(1, 4000, 100));
    EXPECT_EQ(link.BytesWaiting(), 0);
    EXPECT_FALSE(link.IsOpen);
    EXPECT_FALSE(image.link.PortOpen);
    EXPECT_EQ(link.Close(), 1);
    EXPECT_TRUE(dialogs.boxes.empty());
}

// Two adapters, each linked as "R1" in a folder of its own, opened as "./R1" from each folder:
// two ports; one adapter reached under two names: one port, the second open refused.
TEST_F(InTempFolder, ThePortLockIsTheDevicesNotTheNames) {
    int masters[2] = {-1, -1};
    for (int k = 0; k < 2; ++k) {
        masters[k] = posix_openpt(O_RDWR | O_NOCTTY);
        ASSERT_GE(masters[k], 0);
        ASSERT_EQ(grantpt(masters[k]), 0);
        ASSERT_EQ(unlockpt(masters[k]), 0);
        const QString folder = Path(QStringLiteral("hall%1").arg(k));
        ASSERT_TRUE(QDir().mkpath(folder));
        ASSERT_EQ(::symlink(ptsname(masters[k]), qPrintable(folder + "/R1")), 0);
    }
    ASSERT_EQ(::symlink(ptsname(masters[0]), "COM1"), 0);
    QtSerialPort first, second, again;
    ASSERT_TRUE(QDir::setCurrent(Path("hall0")));
    EXPECT_TRUE(first.open("./R1", LineSettingsFor(1, 7))) << first.lastError().toStdString();
    ASSERT_TRUE(QDir::setCurrent(Path("hall1")));
    EXPECT_TRUE(second.open("./R1", LineSettingsFor(1, 7))) << second.lastError().toStdString();
    ASSERT_TRUE(QDir::setCurrent(Path(".")));
    EXPECT_FALSE(again.open("COM1", LineSettingsFor(1, 7)));
    first.close();
    EXPECT_TRUE(again.open("COM1", LineSettingsFor(1, 7))) << again.lastError().toStdString();
    again.close();
    second.close();
    for (int master : masters)
        ::close(master);
}

#endif // Q_OS_UNIX

} // namespace
