// SPDX-License-Identifier: MIT
// kx9-sim owns only what it made: --snapshot and --link onto what is no file of its own (a
// pipe, a device node, the user's link) are refused and leave it as it was; a link a killed
// simulator left to a pseudo-terminal that is gone is taken over, and only its own link goes at
// exit.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <functional>

#ifdef __linux__
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#ifndef KX9_SIM_PATH
#error "KX9_SIM_PATH must name the kx9-sim program"
#endif

namespace {

// What stands at a path, as far as the test tells things apart: kind and, for a link, target.
QString What(const QString& path) {
    const QFileInfo info(path);
    if (info.isSymLink())
        return "link to " + info.symLinkTarget();
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return "nothing";
    if (S_ISFIFO(st.st_mode))
        return "pipe";
    if (S_ISCHR(st.st_mode))
        return QStringLiteral("device %1:%2").arg(major(st.st_rdev)).arg(minor(st.st_rdev));
    return S_ISREG(st.st_mode) ? QStringLiteral("file of %1 bytes").arg(st.st_size) : "other";
}

struct NotOurs {
    const char* name;
    // Makes the thing at `path` (in `dir`); false when this system cannot.
    std::function<bool(const QString& path, const QDir& dir)> make;
};

const NotOurs NotOursRows[] = {
    {"Pipe",
     [](const QString& p, const QDir&) { return ::mkfifo(QFile::encodeName(p).constData(), 0600) == 0; }},
    // The test's own device node, with the numbers of /dev/null; only root may make one.
    {"DeviceNode",
     [](const QString& p, const QDir&) {
         return ::mknod(QFile::encodeName(p).constData(), S_IFCHR | 0600, makedev(1, 3)) == 0;
     }},
    {"UsersLinkToADevice", [](const QString& p, const QDir&) { return QFile::link("/dev/null", p); }},
    {"UsersLinkToAnUnpluggedAdapter",
     [](const QString& p, const QDir&) { return QFile::link("/dev/ttyUSB-kx9-gone", p); }},
    {"RegularFile",
     [](const QString& p, const QDir&) {
         QFile f(p);
         return f.open(QIODevice::WriteOnly) && f.write("mine") == 4;
     }},
};

class NotTheSimulators : public ::testing::TestWithParam<NotOurs> {
protected:
    // kx9-sim with `args` in the folder; its exit code, or -1 when it still ran after `ms`
    // (it is then stopped as an operator would).
    int Sim(const QStringList& args, int ms = 10000) {
        m_sim.setWorkingDirectory(m_dir.path());
        m_sim.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
        m_sim.start(QStringLiteral(KX9_SIM_PATH), args);
        if (!m_sim.waitForFinished(ms)) {
            m_sim.terminate();
            m_sim.waitForFinished(3000);
            return -1;
        }
        return m_sim.exitCode();
    }
    QString Err() { return QString::fromLocal8Bit(m_sim.readAllStandardError()); }
    QString Path(const QString& name) const { return m_dir.filePath(name); }
    QDir Dir() const { return QDir(m_dir.path()); }

private:
    QTemporaryDir m_dir;
    QProcess m_sim;
};

TEST_P(NotTheSimulators, SnapshotIsRefusedAndLeavesItAsItWasUnlessAFile) {
    const QString target = Path("board.png");
    if (!GetParam().make(target, Dir()))
        GTEST_SKIP() << "cannot make one here";
    if (QByteArray(GetParam().name) == "RegularFile") {
        // A regular file is the snapshot's to replace: the simulator runs and draws into it.
        EXPECT_EQ(Sim({"--link", "COM1", "--snapshot", target}, 3000), -1) << Err().toStdString();
        QFile picture(target);
        ASSERT_TRUE(picture.open(QIODevice::ReadOnly));
        EXPECT_TRUE(picture.read(4) == "\x89PNG");
        return;
    }
    const QString before = What(target);
    EXPECT_EQ(Sim({"--link", "COM1", "--snapshot", target}), 2);
    EXPECT_TRUE(Err().contains("exists and is not a regular file")) << Err().toStdString();
    EXPECT_EQ(What(target), before);
    EXPECT_FALSE(QFileInfo(Path("COM1")).isSymLink()) << "the line was offered all the same";
}

TEST_P(NotTheSimulators, LinkIsRefusedAndLeavesItAsItWas) {
    const QString link = Path("COM1");
    if (!GetParam().make(link, Dir()))
        GTEST_SKIP() << "cannot make one here";
    const QString before = What(link);
    EXPECT_EQ(Sim({"--link", link}), 1);
    EXPECT_TRUE(Err().contains("choose another --link")) << Err().toStdString();
    EXPECT_EQ(What(link), before);
}

INSTANTIATE_TEST_SUITE_P(Rows, NotTheSimulators, ::testing::ValuesIn(NotOursRows),
                         [](const auto& info) { return std::string(info.param.name); });

// A link a killed simulator left is taken over; at exit only the simulator's own link goes: a
// link the user put in its place meanwhile stays.
TEST(SimLink, ALinkToAGonePseudoTerminalIsTakenOverAndOnlyItsOwnIsRemoved) {
    QTemporaryDir dir;
    const QString link = QDir(dir.path()).filePath("COM1");
    ASSERT_TRUE(QFile::link("/dev/pts/999999", link));
    for (const bool replaced : {false, true}) {
        QProcess sim;
        sim.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
        sim.start(QStringLiteral(KX9_SIM_PATH), {"--link", link});
        ASSERT_TRUE(sim.waitForStarted(5000));
        QElapsedTimer t;
        t.start();
        while (QFileInfo(link).symLinkTarget() == "/dev/pts/999999" && sim.state() == QProcess::Running &&
               !t.hasExpired(5000))
            QThread::msleep(10);
        EXPECT_TRUE(QFileInfo::exists(link)) << sim.readAllStandardError().constData();
        if (replaced) {
            ASSERT_TRUE(QFile::remove(link));
            ASSERT_TRUE(QFile::link("/dev/null", link));
        }
        sim.terminate();
        ASSERT_TRUE(sim.waitForFinished(5000));
        EXPECT_EQ(sim.exitCode(), 0) << sim.readAllStandardError().constData();
        EXPECT_EQ(What(link), replaced ? QStringLiteral("link to /dev/null") : QStringLiteral("nothing"));
        if (!replaced) {
            ASSERT_TRUE(QFile::link("/dev/pts/999999", link)); // left by a killed run again
        }
    }
}

} // namespace

#endif
