// SPDX-License-Identifier: MIT
#pragma once

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

#ifndef KX9_SIM_PATH
#error "KX9_SIM_PATH must name the kx9-sim program"
#endif

namespace kx9::test {

// kx9-sim running in a temporary folder, offering its pseudo-terminal there as `link`
// ("COM1" by default), so that a port named "COM1" opened from that folder reaches it.
class SimProcess {
public:
    explicit SimProcess(QStringList args = {}, QString link = QStringLiteral("COM1"))
        : m_args(std::move(args)), m_link(std::move(link)) {}
    ~SimProcess() { Stop(); }

    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // Starts the board and waits until its link exists.
    bool Start(int timeoutMs = 5000) {
        if (!m_dir.isValid()) return false;
        m_process.setWorkingDirectory(m_dir.path());
        m_process.setStandardOutputFile(m_dir.filePath(QStringLiteral("sim.out")));
        m_process.setStandardErrorFile(m_dir.filePath(QStringLiteral("sim.log")));
        m_process.start(QStringLiteral(KX9_SIM_PATH), QStringList{QStringLiteral("--link"), m_link} + m_args);
        if (!m_process.waitForStarted(timeoutMs)) return false;
        QElapsedTimer t;
        t.start();
        while (!QFileInfo(LinkPath()).isSymLink()) {
            if (m_process.state() != QProcess::Running || t.hasExpired(timeoutMs)) return false;
            QThread::msleep(10);
        }
        return true;
    }

    // SIGTERM, as an operator's kill would send; true when it ended by itself with code 0.
    bool Stop(int timeoutMs = 3000) {
        if (m_process.state() == QProcess::NotRunning) return m_process.exitCode() == 0;
        m_process.terminate();
        if (!m_process.waitForFinished(timeoutMs)) {
            m_process.kill();
            m_process.waitForFinished(timeoutMs);
            return false;
        }
        return m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
    }

    bool Running() const { return m_process.state() == QProcess::Running; }
    QString Dir() const { return m_dir.path(); }
    QString LinkPath() const { return QDir(m_dir.path()).absoluteFilePath(m_link); }

    // What the board wrote to stderr so far (its traffic log with --log).
    QByteArray Log() const {
        QFile f(m_dir.filePath(QStringLiteral("sim.log")));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    // Every request the board took, in order, from its traffic log (started with --log).
    std::vector<QByteArray> Requests() const {
        std::vector<QByteArray> frames;
        for (const QByteArray& line : Log().split('\n'))
            if (line.startsWith("rx "))
                frames.push_back(QByteArray::fromHex(line.mid(3)));
        return frames;
    }

private:
    QStringList m_args;
    QString m_link;
    QTemporaryDir m_dir;
    QProcess m_process;
};

// A test of the program on a real pseudo-terminal: kx9-sim in a folder of its own, which is the
// working folder while the test runs, so that the program's "COM1" reaches it.
template <class World, class Base = ::testing::Test> class OnTheLine : public Base, protected World {
protected:
    // The board with `args`; the test stops here when it does not come up.
    void StartSim(const QStringList& args = {QStringLiteral("--log")}) {
        sim = std::make_unique<SimProcess>(args);
        ASSERT_TRUE(sim->Start()) << sim->Log().constData();
        m_oldDir = QDir::currentPath();
        QDir::setCurrent(sim->Dir());
    }
    void TearDown() override {
        this->scheduler.Abandon();
        if (!m_oldDir.isEmpty())
            QDir::setCurrent(m_oldDir);
    }

    std::unique_ptr<SimProcess> sim;

private:
    QString m_oldDir;
};

} // namespace kx9::test
