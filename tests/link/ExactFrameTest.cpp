// SPDX-License-Identifier: MIT
// The frame on the line is exactly the one asked for, whatever an earlier open left there.
#include "board/PtyBoard.h"
#include "common/SchedulerTicks.h"
#include "link/QtSerialPort.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

using namespace kx9;

namespace {

// The flags a pseudo-terminal keeps: it drops PARENB, so parity shows only as PARODD.
struct Flags {
    bool parOdd = false;
    bool stop2 = false;
    bool cs8 = false;
    bool markSpace = false;
    int baud = 0;
};

struct FrameRow {
    int fromFrame, fromBaud; // opened first
    int toFrame, toBaud;     // then this
    Flags expected;
};

void PrintTo(const FrameRow& r, std::ostream* os) {
    *os << r.fromFrame << "/" << r.fromBaud << " -> " << r.toFrame << "/" << r.toBaud;
}

class ExactFrame : public ::testing::TestWithParam<FrameRow> {
protected:
    void SetUp() override {
        test::EnsureCoreApplication();
        ASSERT_TRUE(m_dir.isValid());
        m_previous = QDir::currentPath();
        ASSERT_TRUE(QDir::setCurrent(m_dir.path()));
        m_master = posix_openpt(O_RDWR | O_NOCTTY);
        ASSERT_GE(m_master, 0);
        ASSERT_EQ(grantpt(m_master), 0);
        ASSERT_EQ(unlockpt(m_master), 0);
        ASSERT_EQ(::symlink(ptsname(m_master), "COM1"), 0);
    }
    void TearDown() override {
        if (m_master >= 0)
            ::close(m_master);
        QDir::setCurrent(m_previous);
    }

    // The line's settings as the other end sees them (the master shares the slave's termios).
    Flags Seen() const {
        Flags f;
        termios t{};
        if (::tcgetattr(m_master, &t) != 0)
            return f;
        f.parOdd = (t.c_cflag & PARODD) != 0;
        f.stop2 = (t.c_cflag & CSTOPB) != 0;
        f.cs8 = (t.c_cflag & CSIZE) == CS8;
#ifdef CMSPAR
        f.markSpace = (t.c_cflag & CMSPAR) != 0;
#endif
        f.baud = TerminalRate(m_master);
        return f;
    }

    void SetFromTheOtherEnd(const LineSettings& line) {
        termios t{};
        ASSERT_EQ(::tcgetattr(m_master, &t), 0);
        t.c_cflag &= ~tcflag_t(PARODD | CSTOPB);
        if (line.parity == Parity::Odd)
            t.c_cflag |= PARODD;
        if (line.stopBits == 2)
            t.c_cflag |= CSTOPB;
        ASSERT_EQ(::tcsetattr(m_master, TCSANOW, &t), 0);
        ASSERT_EQ(Seen().parOdd, line.parity == Parity::Odd);
    }

    int m_master = -1;

private:
    QTemporaryDir m_dir;
    QString m_previous;
};

TEST_P(ExactFrame, NothingIsLeftOfTheFrameBefore) {
    const FrameRow& row = GetParam();
    const auto check = [&](const char* how) {
        const Flags seen = Seen();
        const Flags& want = row.expected;
        EXPECT_EQ(seen.parOdd, want.parOdd) << how;
        EXPECT_EQ(seen.stop2, want.stop2) << how;
        EXPECT_TRUE(seen.cs8) << how;
        EXPECT_FALSE(seen.markSpace) << how;
#if defined(__linux__) && defined(TCGETS2)
        EXPECT_EQ(seen.baud, want.baud) << how;
#endif
    };
    {
        // The link reopens its one port with each operation's settings.
        QtSerialPort port;
        ASSERT_TRUE(port.open("COM1", LineSettingsFor(row.fromFrame, row.fromBaud)));
        ASSERT_TRUE(port.open("COM1", LineSettingsFor(row.toFrame, row.toBaud)));
        check("reopened");
    }
    {
        // The other end (kx9-sim at its board's frame) left its flags on the line.
        SetFromTheOtherEnd(LineSettingsFor(row.fromFrame, row.fromBaud));
        QtSerialPort port;
        ASSERT_TRUE(port.open("COM1", LineSettingsFor(row.toFrame, row.toBaud)));
        check("set by the other end");
    }
}

// Frame indexes: 0 8N1, 1 8N2, 2 8E1, 3 8O1; baud indexes: 2 9600, 3 14400, 7 115200.
INSTANTIATE_TEST_SUITE_P(Rows, ExactFrame,
                         ::testing::Values(FrameRow{3, 7, 0, 7, {false, false, true, false, 115200}},
                                           FrameRow{3, 7, 2, 7, {false, false, true, false, 115200}},
                                           FrameRow{3, 7, 1, 7, {false, true, true, false, 115200}},
                                           FrameRow{1, 7, 3, 2, {true, false, true, false, 9600}},
                                           FrameRow{1, 2, 0, 7, {false, false, true, false, 115200}},
                                           FrameRow{3, 2, 0, 3, {false, false, true, false, 14400}},
                                           FrameRow{0, 7, 3, 3, {true, false, true, false, 14400}}));

} // namespace

#endif // Q_OS_UNIX
