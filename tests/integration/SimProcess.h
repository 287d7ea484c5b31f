// SPDX-License-Identifier: MIT
#pragma once

#include "common/SimRun.h"
#include "common/TestSeams.h"
#include "link/Failure.h"
#include "link/Transfer.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace kx9::test {

// kx9-sim running in a temporary folder, offering its pseudo-terminal there as `link`
// ("COM1" by default), so that a port named "COM1" opened from that folder reaches it.
class SimProcess : public SimRun {
public:
    explicit SimProcess(QStringList args = {}, QString link = QStringLiteral("COM1"))
        : m_args(std::move(args)), m_link(std::move(link)) {}

    // Starts the board and waits until its link exists.
    bool Start(int timeoutMs = 5000) {
        if (!Launch(QStringList{QStringLiteral("--link"), m_link} + m_args, timeoutMs))
            return false;
        QElapsedTimer t;
        t.start();
        while (!QFileInfo(LinkPath()).isSymLink()) {
            if (m_process.state() != QProcess::Running || t.hasExpired(timeoutMs))
                return false;
            QThread::msleep(10);
        }
        return true;
    }

    QString LinkPath() const { return QDir(m_dir.path()).absoluteFilePath(m_link); }

private:
    QStringList m_args;
    QString m_link;
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

// Runs the scheduler's poll and sequencer and every running timer of `windows` (their Timer1,
// previews, tracking) as fast as the replies come, until `done` holds; the reply time-out stays a
// real timer. False when `ms` passed first.
template <class Window>
bool DriveTimers(Scheduler& scheduler, const std::vector<Window*>& windows, const std::function<bool()>& done,
                 int ms = 60000) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.hasExpired(ms))
            return false;
        if (scheduler.PollActive())
            scheduler.TestOdpowiedziTimer();
        if (scheduler.SequencerActive())
            scheduler.TransmisjaWrTimer();
        for (Window* window : windows)
            for (QTimer* timer : window->template findChildren<QTimer*>())
                if (timer->isActive())
                    QMetaObject::invokeMethod(timer, "timeout", Qt::DirectConnection);
        QCoreApplication::processEvents();
        QThread::usleep(300);
    }
    return true;
}

// The faults kx9-sim injects, one column of each fault matrix: the option and what the details
// of the failure box say is the cause.
struct SimFault {
    const char* name;
    const char* option; // --fault; "exception" takes a code by row
    const char* cause;  // start of the "Przyczyna" line; for "exception" built from the code
};

inline const SimFault SimFaults[] = {
    {"NoReply", "noreply", "brak odpowiedzi w ciągu 150 ms"},
    {"BadCrc", "badcrc", "odpowiedź z błędną sumą kontrolną CRC"},
    {"WrongAddress", "wrongaddr", "odpowiedź z adresu 2"},
    {"CutShort", "short", "odpowiedź niepełna: "},
    {"Exception", "exception", ""},
    // Late enough to come after the window that tracks the active page has noticed the fault on
    // its next tick and paused to stop: the reply then meets the next transfer on its open port.
    {"Late", "late:1200", "brak odpowiedzi w ciągu 150 ms"},
    {"Flood", "flood", "odpowiedź, która nie odpowiada na zapytanie ("},
    {"PortRemoved", "vanish", "port zniknął w trakcie transmisji"},
};

// The reply time-out the matrices set, so that a cell takes a fraction of a second.
constexpr int MatrixReplyTimeoutMs = 150;

inline bool IsLate(const SimFault& fault) {
    return QByteArray(fault.option).startsWith("late");
}

// A test clock's next pause, once armed, lasts until a late reply has come in whole on `port`
// (bytes waiting, then none more for a while), at most two seconds. Armed before the transfer
// after a late cell, it holds that transfer's first request behind its open: the late reply then
// waits on the same open port as the request, and only the purge before each request keeps it
// from passing for the request's reply.
class LateReplyHold {
public:
    void Arm(SerialPort& port) { m_port = &port; }
    // True when it held the pause.
    bool Hold() {
        if (!m_port)
            return false;
        SerialPort& port = *m_port;
        m_port = nullptr;
        QElapsedTimer t;
        t.start();
        int seen = 0;
        qint64 changedAt = 0;
        while (!t.hasExpired(2000)) {
            const int waiting = port.bytesWaiting();
            if (waiting != seen) {
                seen = waiting;
                changedAt = t.elapsed();
            } else if (seen > 0 && t.elapsed() - changedAt >= 20) {
                break;
            }
            QThread::msleep(1);
        }
        heard = seen;
        return true;
    }
    int heard = -1; // the bytes that met the next request; -1 before it held
private:
    SerialPort* m_port = nullptr;
};

// Exception codes 1..4 take turns over the rows, so each shows its meaning.
inline int ExceptionCodeFor(int row) {
    return 1 + row % 4;
}
inline bool IsException(const SimFault& fault) {
    return QByteArray(fault.option) == "exception";
}

// kx9-sim's arguments for one cell: the fault hits once, after `soundReplies` replies.
inline QStringList FaultCellArgs(const SimFault& fault, int row, int soundReplies,
                                 const QStringList& more = {}) {
    const QString option = IsException(fault) ? QStringLiteral("exception:%1").arg(ExceptionCodeFor(row))
                                              : QString::fromLatin1(fault.option);
    return QStringList{"--fault", option,          "--fault-count",
                       "1",       "--fault-after", QString::number(soundReplies)} +
           more;
}

// The "Przyczyna" line's text (or its start) for the fault in `row`; whole also for a cut or a
// flooded reply when the awaited reply's length, `replyBytes`, is given.
inline QString FaultCause(const SimFault& fault, int row, int replyBytes = 0) {
    const QByteArray option(fault.option);
    if (replyBytes > 0 && option == "short")
        return QStringLiteral("odpowiedź niepełna: %1 z %2 bajtów w ciągu %3 ms")
            .arg(replyBytes / 2)
            .arg(replyBytes)
            .arg(MatrixReplyTimeoutMs);
    if (replyBytes > 0 && option == "flood")
        return QStringLiteral("odpowiedź, która nie odpowiada na zapytanie (300 bajtów zamiast %1)")
            .arg(replyBytes);
    if (!IsException(fault))
        return QString::fromUtf8(fault.cause);
    return QStringLiteral("tablica odrzuciła zapytanie: wyjątek %1 (%2)")
        .arg(ExceptionCodeFor(row))
        .arg(ExceptionMeaning(ExceptionCodeFor(row)));
}

// The box of a failed transfer over `sim`'s line: its text, title and icon, and details that name
// `operation`, the request in flight (when given), the port and device, the link and the cause.
inline void ExpectTransferErrorBox(const RecordingDialogs::Box& box, const SimProcess& sim,
                                   const QString& operation, const QString& request, const QString& cause) {
    EXPECT_EQ(box.text, QStringLiteral("Błąd transmisji danych"));
    EXPECT_EQ(box.title, QStringLiteral("Błąd"));
    EXPECT_EQ(box.icon, MsgIcon::Error);
    QStringList lines{QStringLiteral("Operacja: ") + operation + QStringLiteral("\n"),
                      QStringLiteral("Port: COM1 (urządzenie ") + sim.LinkPath() + QStringLiteral(")\n"),
                      QStringLiteral("Adres tablicy: 1, prędkość: 115200 bit/s, ramka: 8N2\n"),
                      QStringLiteral("Przyczyna: ") + cause, QStringLiteral("\nSprawdź: ")};
    if (!request.isEmpty())
        lines << QStringLiteral("Zapytanie: ") + request + QStringLiteral("\n");
    for (const QString& line : lines)
        EXPECT_TRUE(box.details.contains(line)) << line.toStdString() << "\nin:\n"
                                                << box.details.toStdString();
}

} // namespace kx9::test
