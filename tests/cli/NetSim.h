// SPDX-License-Identifier: MIT
#pragma once

#include "common/TestSeams.h"
#include "link/PortMap.h"
#include "link/RoutedPort.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>
#include <vector>

#ifdef __linux__
#include <signal.h>
#include <sys/prctl.h>
#endif

#ifndef KX9_SIM_PATH
#error "KX9_SIM_PATH must name the kx9-sim program"
#endif

namespace kx9::test {

// kx9-sim serving its line on 127.0.0.1, at a port the system chooses: behind a converter
// ("tcp", RTU over TCP) or a gateway ("modbus-tcp").
class NetSim {
public:
    NetSim(QString kind, QStringList args) : m_kind(std::move(kind)), m_args(std::move(args)) {}
    ~NetSim() {
        m_process.terminate();
        if (!m_process.waitForFinished(3000))
            m_process.kill();
        m_process.waitForFinished(3000);
    }
    NetSim(const NetSim&) = delete;
    NetSim& operator=(const NetSim&) = delete;

    // Starts it and learns where it listens.
    bool Start(int timeoutMs = 5000) {
        m_process.setStandardOutputFile(m_dir.filePath(QStringLiteral("sim.out")));
        m_process.setStandardErrorFile(m_dir.filePath(QStringLiteral("sim.log")));
#ifdef __linux__
        m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
#endif
        const QString listen = m_kind == QStringLiteral("tcp") ? QStringLiteral("--listen")
                                                              : QStringLiteral("--listen-modbus-tcp");
        m_process.start(QStringLiteral(KX9_SIM_PATH),
                        QStringList{listen, QStringLiteral("127.0.0.1:0"), QStringLiteral("--log")} + m_args);
        QElapsedTimer t;
        t.start();
        static const QRegularExpression at(QStringLiteral("behind ([a-z-]+://127\\.0\\.0\\.1:[0-9]+)"));
        while (!t.hasExpired(timeoutMs) && m_process.state() != QProcess::NotRunning) {
            QFile out(m_dir.filePath(QStringLiteral("sim.out")));
            if (out.open(QIODevice::ReadOnly))
                if (const auto m = at.match(QString::fromUtf8(out.readAll())); m.hasMatch()) {
                    m_url = m.captured(1);
                    return true;
                }
            QThread::msleep(10);
        }
        return false;
    }

    const QString& Url() const { return m_url; }
    QString Port() const { return m_url.section(QLatin1Char(':'), -1); }
    QByteArray Log() const {
        QFile f(m_dir.filePath(QStringLiteral("sim.log")));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    // The RTU requests that reached the line behind, in order.
    std::vector<QByteArray> Requests() const {
        std::vector<QByteArray> frames;
        for (const QByteArray& line : Log().split('\n'))
            if (line.startsWith("rx "))
                frames.push_back(QByteArray::fromHex(line.mid(3)));
        return frames;
    }

private:
    QString m_kind;
    QStringList m_args;
    QTemporaryDir m_dir;
    QProcess m_process;
    QString m_url;
};

// A loopback port nothing listens on: taken from the system, then let go.
inline quint16 ClosedPort() {
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    const quint16 port = server.serverPort();
    server.close();
    return port;
}

// The program's port, with COM1 leading where a test says, as the user's mapping does.
struct NetSeams {
    PortMap map;
    RoutedPort port{map};
    SystemClock clock;
    RecordingDialogs dialogs;
};

} // namespace kx9::test
