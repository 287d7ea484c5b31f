// SPDX-License-Identifier: MIT
#pragma once

#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <vector>

#ifdef __linux__
#include <signal.h>
#include <sys/prctl.h>
#endif

#ifndef KX9_SIM_PATH
#error "KX9_SIM_PATH must name the kx9-sim program"
#endif

namespace kx9::test {

// kx9-sim run in a temporary folder of its own, its stdout in sim.out and its stderr (the
// traffic log with --log) in sim.log there; what a pseudo-terminal and a network board share.
class SimRun {
public:
    SimRun() = default;
    ~SimRun() { Stop(); }
    SimRun(const SimRun&) = delete;
    SimRun& operator=(const SimRun&) = delete;

    // SIGTERM, as an operator's kill would send; true when it ended by itself with code 0.
    bool Stop(int timeoutMs = 3000) {
        if (m_process.state() == QProcess::NotRunning)
            return m_process.exitCode() == 0;
        m_process.terminate();
        if (!m_process.waitForFinished(timeoutMs)) {
            m_process.kill();
            m_process.waitForFinished(timeoutMs);
            return false;
        }
        return m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
    }

    bool Running() const { return m_process.state() == QProcess::Running; }
    qint64 Pid() const { return m_process.processId(); }
    QString Dir() const { return m_dir.path(); }

    // What the board wrote to stderr so far (its traffic log with --log).
    QByteArray Log() const { return Read(QStringLiteral("sim.log")); }

    // Every request the board took, in order, from its traffic log (started with --log).
    std::vector<QByteArray> Requests() const {
        std::vector<QByteArray> frames;
        for (const QByteArray& line : Log().split('\n'))
            if (line.startsWith("rx "))
                frames.push_back(QByteArray::fromHex(line.mid(3)));
        return frames;
    }

protected:
    // Starts kx9-sim with `args` in the folder; false when the folder or the program is not there.
    bool Launch(const QStringList& args, int timeoutMs) {
        if (!m_dir.isValid())
            return false;
        m_process.setWorkingDirectory(m_dir.path());
        m_process.setStandardOutputFile(m_dir.filePath(QStringLiteral("sim.out")));
        m_process.setStandardErrorFile(m_dir.filePath(QStringLiteral("sim.log")));
#ifdef __linux__
        // A runner killed mid-test (a time-out, a crash) must not leave its board behind.
        m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
#endif
        m_process.start(QStringLiteral(KX9_SIM_PATH), args);
        return m_process.waitForStarted(timeoutMs);
    }
    QByteArray Read(const QString& name) const {
        QFile f(m_dir.filePath(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QTemporaryDir m_dir;
    QProcess m_process;
};

} // namespace kx9::test
