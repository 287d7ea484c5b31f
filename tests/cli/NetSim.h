// SPDX-License-Identifier: MIT
#pragma once

#include "common/SimRun.h"
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

namespace kx9::test {

// kx9-sim serving its line on 127.0.0.1, at a port the system chooses: behind a converter
// ("tcp", RTU over TCP) or a gateway ("modbus-tcp").
class NetSim : public SimRun {
public:
    NetSim(QString kind, QStringList args) : m_kind(std::move(kind)), m_args(std::move(args)) {}

    // Starts it and learns where it listens.
    bool Start(int timeoutMs = 5000) {
        const QString listen = m_kind == QStringLiteral("tcp") ? QStringLiteral("--listen")
                                                               : QStringLiteral("--listen-modbus-tcp");
        if (!Launch(QStringList{listen, QStringLiteral("127.0.0.1:0"), QStringLiteral("--log")} + m_args,
                    timeoutMs))
            return false;
        QElapsedTimer t;
        t.start();
        static const QRegularExpression at(QStringLiteral("behind ([a-z-]+://127\\.0\\.0\\.1:[0-9]+)"));
        while (!t.hasExpired(timeoutMs) && m_process.state() != QProcess::NotRunning) {
            if (const auto m = at.match(QString::fromUtf8(Read(QStringLiteral("sim.out")))); m.hasMatch()) {
                m_url = m.captured(1);
                return true;
            }
            QThread::msleep(10);
        }
        return false;
    }

    const QString& Url() const { return m_url; }
    QString Port() const { return m_url.section(QLatin1Char(':'), -1); }

private:
    QString m_kind;
    QStringList m_args;
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
