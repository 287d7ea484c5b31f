// SPDX-License-Identifier: MIT
// Lines over the network, kx9-sim behind a converter (RTU over TCP) or a gateway (Modbus TCP)
// on the loopback: the same requests as on a serial line, the network's faults, and a Modbus
// tool that is not ours.
#include "NetSim.h"
#include "common/Kx9ctlRun.h"
#include "common/RequestLog.h"
#include "common/SchedulerTicks.h"
#include "common/TestWorld.h"
#include "integration/SimProcess.h"
#include "link/LineTrace.h"

#include <QRegularExpression>

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace kx9::test {
namespace {

using Operation = std::function<bool(BoardOperations&)>;

struct OpRow {
    const char* name;
    Operation start;
};

const OpRow Operations[] = {
    {"Identification", [](BoardOperations& o) { return o.StartIdentification(); }},
    {"StatusRead", [](BoardOperations& o) { return o.StartStatusRead(); }},
    {"ConfigRead", [](BoardOperations& o) { return o.StartConfigRead(); }},
    {"ConfigWrite", [](BoardOperations& o) { return o.StartConfigWrite(); }},
    {"ClockRead", [](BoardOperations& o) { return o.StartClockRead(); }},
    {"ClockWrite", [](BoardOperations& o) { return o.StartClockWrite(true); }},
    {"TimeDisplayWrite", [](BoardOperations& o) { return o.StartTimeDisplayWrite(); }},
    {"SlaveWrite", [](BoardOperations& o) { return o.StartSlaveWrite(); }},
    {"LinkChange", [](BoardOperations& o) { return o.StartLinkChange(); }},
};

int Failures(const RecordingDialogs& d) {
    const std::vector<QString> texts = d.Texts();
    return int(std::count(texts.begin(), texts.end(), QStringLiteral("Błąd transmisji danych")));
}

// Runs the program's handlers as fast as the replies come, the reply time-out a real timer.
template <class World> bool RunToIdle(World& w, int ms = 60000) {
    EnsureCoreApplication();
    return DriveTimers<QObject>(
        w.scheduler, {}, [&] { return w.scheduler.Idle(); }, ms);
}

// The link change gives the board a new address and keeps its rate, which the converter's
// line could not follow.
template <class World> void Prepare(World& w) {
    w.image.SetReg(RegBoardAddress, 7);
    w.image.SetReg(RegBoardFrame, 1);
    w.image.SetReg(RegBoardBaud, 9);
}

class SameRequests : public ::testing::TestWithParam<OpRow> {};

TEST_P(SameRequests, OverEitherNetworkLineAsOverASerialLine) {
    EnsureCoreApplication();
    std::vector<std::string> serial;
    {
        SimProcess sim({QStringLiteral("--log")});
        ASSERT_TRUE(sim.Start()) << sim.Log().constData();
        ProgramWorld<LineSeams> w;
        Prepare(w);
        const QString back = QDir::currentPath();
        QDir::setCurrent(sim.Dir());
        ASSERT_TRUE(GetParam().start(w.ops));
        const bool idle = RunToIdle(w);
        QDir::setCurrent(back);
        ASSERT_TRUE(idle);
        ASSERT_EQ(Failures(w.dialogs), 0);
        serial = RequestSummary(sim.Requests());
    }
    ASSERT_FALSE(serial.empty());
    for (const char* kind : {"tcp", "modbus-tcp"}) {
        InFolder folder; // no COM1 link here: the mapping leads it
        NetSim sim(QString::fromLatin1(kind), {});
        ASSERT_TRUE(sim.Start()) << sim.Log().constData();
        ProgramWorld<NetSeams> w;
        w.map.SetMapped(QStringLiteral("COM1"), sim.Url());
        Prepare(w);
        ASSERT_TRUE(GetParam().start(w.ops)) << kind;
        ASSERT_TRUE(RunToIdle(w)) << kind;
        EXPECT_EQ(Failures(w.dialogs), 0) << kind;
        EXPECT_EQ(RequestSummary(sim.Requests()), serial) << kind;
    }
}

INSTANTIATE_TEST_SUITE_P(MainWindow, SameRequests, ::testing::ValuesIn(Operations),
                         [](const auto& info) { return std::string(info.param.name); });

// A fault of the network during a whole read: the box and its cause, nothing stored that did
// not arrive, and the next transfer works.
struct NetFaultRow {
    const char* name;
    const char* kind;    // "tcp", "modbus-tcp"
    QStringList simArgs; // empty kind: no kx9-sim at all
    const char* cause;   // the "Przyczyna" line starts so
    bool recovers;       // the next transfer works on the same line
};

const NetFaultRow NetFaults[] = {
    {"Refused", "tcp", {}, "nie można połączyć się z 127.0.0.1:", false},
    {"ResetMidRead", "tcp", {"--net-fault", "reset:50"}, "połączenie z 127.0.0.1:", true},
    {"NeverAnswers", "tcp", {"--net-fault", "silent:0:1"}, "brak odpowiedzi w ciągu 300 ms", true},
    {"GatewayNeverAnswers",
     "modbus-tcp",
     {"--net-fault", "silent:0:1"},
     "brak odpowiedzi w ciągu 300 ms",
     true},
    {"LateReply",
     "tcp",
     {"--fault", "late:600", "--fault-count", "1"},
     "brak odpowiedzi w ciągu 300 ms",
     true},
    {"OtherTransaction",
     "modbus-tcp",
     {"--net-fault", "othertid:0:1"},
     "brak odpowiedzi w ciągu 300 ms",
     true},
    {"GatewayTargetFailed",
     "modbus-tcp",
     {"--fault", "noreply", "--fault-count", "1"},
     "tablica nie odpowiedziała: bramka 127.0.0.1:",
     true},
};

class NetworkFault : public ::testing::TestWithParam<NetFaultRow> {};

TEST_P(NetworkFault, EndsTheTransferWithItsCauseAndTheNextOneWorks) {
    EnsureCoreApplication();
    const NetFaultRow& row = GetParam();
    std::unique_ptr<NetSim> sim;
    QString url = QStringLiteral("%1://127.0.0.1:%2").arg(QLatin1String(row.kind)).arg(ClosedPort());
    if (row.name != std::string("Refused")) {
        sim = std::make_unique<NetSim>(QString::fromLatin1(row.kind), row.simArgs);
        ASSERT_TRUE(sim->Start()) << sim->Log().constData();
        url = sim->Url();
    }
    InFolder folder;
    ProgramWorld<NetSeams> w;
    w.map.SetMapped(QStringLiteral("COM1"), url);
    w.image.link.ReplyTimeoutMs = 300;
    // What never arrived keeps these.
    w.image.SetReg(4000 + 99, 0xBEEF);
    w.image.SetReg(4344, 0xBEEF);
    w.image.pages[114].fill('x');
    ASSERT_TRUE(w.ops.StartConfigRead());
    ASSERT_TRUE(RunToIdle(w, 20000));
    ASSERT_EQ(w.dialogs.boxes.size(), 1u) << w.dialogs.Texts().size();
    const auto& box = w.dialogs.boxes[0];
    EXPECT_EQ(box.text, QStringLiteral("Błąd transmisji danych"));
    EXPECT_EQ(box.title, QStringLiteral("Błąd"));
    EXPECT_TRUE(box.details.contains(QStringLiteral("Port: COM1 (urządzenie ") + url + QStringLiteral(")")))
        << box.details.toStdString();
    EXPECT_TRUE(box.details.contains(QStringLiteral("Przyczyna: ") + QString::fromUtf8(row.cause)))
        << box.details.toStdString();
    if (row.name == std::string("Refused")) {
        EXPECT_TRUE(box.details.contains(url.section(QLatin1Char('/'), -1))) << box.details.toStdString();
    }
    if (row.name != std::string("ResetMidRead")) {
        EXPECT_EQ(w.image.Reg(4099), 0xBEEF);
        EXPECT_EQ(w.image.Reg(4344), 0xBEEF);
    }
    EXPECT_EQ(w.image.pages[114][0], 'x'); // the last page never came
    EXPECT_FALSE(w.image.link.PortOpen);
    if (!row.recovers)
        return;
    w.dialogs.boxes.clear();
    ASSERT_TRUE(w.ops.StartIdentification());
    ASSERT_TRUE(RunToIdle(w, 5000));
    ASSERT_EQ(w.dialogs.boxes.size(), 1u);
    EXPECT_EQ(w.dialogs.boxes[0].title, QStringLiteral("Identyfikacja"))
        << w.dialogs.boxes[0].details.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Network, NetworkFault, ::testing::ValuesIn(NetFaults),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(NetworkLine, AnEchoOfEachRequestIsSkippedAndTheWholeReadArrives) {
    EnsureCoreApplication();
    NetSim sim(QStringLiteral("tcp"), {"--net-fault", "echo"});
    ASSERT_TRUE(sim.Start()) << sim.Log().constData();
    InFolder folder;
    ProgramWorld<NetSeams> w;
    w.map.SetMapped(QStringLiteral("COM1"), sim.Url());
    w.image.SetReg(4099, 0xBEEF);
    ASSERT_TRUE(w.ops.StartConfigRead());
    ASSERT_TRUE(RunToIdle(w));
    EXPECT_TRUE(w.dialogs.boxes.empty()) << w.dialogs.boxes[0].details.toStdString();
    EXPECT_EQ(sim.Requests().size(), 235u);
    EXPECT_NE(w.image.Reg(4099), 0xBEEF);
}

// mbpoll, a Modbus master that is not ours, reads and writes through the simulated gateway.
TEST(NetworkLine, MbpollReadsAndWritesThroughTheGateway) {
    EnsureCoreApplication();
    const QString mbpoll = QStandardPaths::findExecutable(QStringLiteral("mbpoll"));
    if (mbpoll.isEmpty())
        GTEST_SKIP() << "mbpoll is not installed";
    NetSim sim(QStringLiteral("modbus-tcp"), {"--address", "1,5"});
    ASSERT_TRUE(sim.Start()) << sim.Log().constData();
    const auto run = [&](const QStringList& more) {
        QProcess p;
        p.start(mbpoll, QStringList{"-m", "tcp", "-p", sim.Port(), "-a", "5", "-0", "-1", "-o", "2"} + more);
        EXPECT_TRUE(p.waitForFinished(10000));
        return QString::fromUtf8(p.readAllStandardOutput());
    };
    const QString written = run({"-r", "4020", "127.0.0.1", "3", "1234"});
    EXPECT_TRUE(written.contains(QStringLiteral("Written 2 references"))) << written.toStdString();
    const QString read = run({"-r", "4020", "-c", "2", "127.0.0.1"});
    EXPECT_TRUE(read.contains(QStringLiteral("[4020]: \t3"))) << read.toStdString();
    EXPECT_TRUE(read.contains(QStringLiteral("[4021]: \t1234"))) << read.toStdString();
    // No board at 9: the gateway's own exception, as mbpoll reads it.
    QProcess none;
    none.start(mbpoll, QStringList{"-m", "tcp", "-p", sim.Port(), "-a", "9", "-0", "-1", "-o", "2", "-r",
                                   "4020", "127.0.0.1"});
    ASSERT_TRUE(none.waitForFinished(10000));
    EXPECT_NE(none.exitCode(), 0);
}

// The trace of a whole read: each request, then its reply as matched, all in order; of a fault,
// what the check saw.
TEST(NetworkLine, TheTraceNamesEveryRequestAndItsReplyAndTheFault) {
    EnsureCoreApplication();
    NetSim sim(QStringLiteral("modbus-tcp"), {"--net-fault", "othertid:235:1"});
    ASSERT_TRUE(sim.Start()) << sim.Log().constData();
    InFolder folder;
    ProgramWorld<NetSeams> w;
    w.map.SetMapped(QStringLiteral("COM1"), sim.Url());
    w.image.link.ReplyTimeoutMs = 300;
    QStringList lines;
    TextTrace trace([&](const QString& line) { lines << line; });
    w.program.link.SetTrace(&trace);
    ASSERT_TRUE(w.ops.StartConfigRead());
    ASSERT_TRUE(RunToIdle(w));
    ASSERT_EQ(lines.size(), 2 * 235);
    const QString name = QStringLiteral(" COM1 (") + sim.Url() + QStringLiteral(") ");
    const std::vector<QByteArray> requests = sim.Requests();
    ASSERT_EQ(requests.size(), 235u);
    for (int k = 0; k < 235; ++k) {
        const QString& out = lines[2 * k];
        const QString& in = lines[2 * k + 1];
        EXPECT_TRUE(out.contains(name + QStringLiteral("→ ") +
                                 QString::fromLatin1(requests[size_t(k)].toHex(' ').toUpper())))
            << k << " " << out.toStdString();
        EXPECT_TRUE(in.contains(name + QStringLiteral("← ")) && in.endsWith(QStringLiteral("[dopasowana]")))
            << k << " " << in.toStdString();
        EXPECT_TRUE(
            QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d\\.\\d{3} ")).match(out).hasMatch());
    }
    // The next request's reply carries another transaction: dropped, then the time-out.
    lines.clear();
    ASSERT_TRUE(w.ops.StartIdentification());
    ASSERT_TRUE(RunToIdle(w, 5000));
    ASSERT_EQ(lines.size(), 3) << lines.join('\n').toStdString();
    EXPECT_TRUE(lines[1].contains(QStringLiteral("[pominięte: odpowiedź transakcji")))
        << lines[1].toStdString();
    EXPECT_TRUE(lines[2].contains(QStringLiteral("× [time-out: brak odpowiedzi w ciągu 300 ms]")))
        << lines[2].toStdString();
    // Nobody watching: nothing is recorded.
    w.program.link.SetTrace(nullptr);
    lines.clear();
    ASSERT_TRUE(w.ops.StartIdentification());
    ASSERT_TRUE(RunToIdle(w, 5000));
    EXPECT_TRUE(lines.isEmpty());
}

// kx9ctl on three network lines and a pseudo-terminal at once, one network line refusing: each
// line runs beside the others, the one that fails is named with its cause.
TEST(NetworkLine, AFleetOverNetworkLinesAndAPseudoTerminalWithOneLineFailing) {
    EnsureCoreApplication();
    NetSim rtu(QStringLiteral("tcp"), {"--address", "1,2"});
    NetSim gateway(QStringLiteral("modbus-tcp"), {"--address", "1,2"});
    SimProcess pty({"--address", "1,2"});
    ASSERT_TRUE(rtu.Start() && gateway.Start()) << rtu.Log().constData() << gateway.Log().constData();
    ASSERT_TRUE(pty.Start()) << pty.Log().constData();
    const QString refused = QStringLiteral("tcp://127.0.0.1:%1").arg(ClosedPort());
    QTemporaryDir here;
    const QString trace = QDir(here.path()).filePath("trace.txt");
    const Ran run = RunKx9ctl(here.path(), {"--fast", "--json", "--trace", trace, "--port", rtu.Url(),
                                            "--port", gateway.Url(), "--port", refused, "--port",
                                            pty.LinkPath(), "--address", "1,2", "identify"});
    EXPECT_EQ(run.code, 1) << run.err.toStdString();
    const QJsonArray boards = QJsonDocument::fromJson(run.out).object().value("boards").toArray();
    ASSERT_EQ(boards.size(), 8) << run.out.constData();
    for (const QJsonValue& value : boards) {
        const QJsonObject b = value.toObject();
        const bool bad = b.value("port").toString() == refused;
        EXPECT_EQ(b.value("result").toString(), bad ? "failed" : "ok")
            << b.value("port").toString().toStdString();
        if (bad) {
            EXPECT_TRUE(
                b.value("cause").toString().startsWith(QStringLiteral("nie można połączyć się z 127.0.0.1:")))
                << b.value("cause").toString().toStdString();
        }
    }
    EXPECT_EQ(rtu.Requests().size(), 2u);
    EXPECT_EQ(gateway.Requests().size(), 2u);
    // The trace names each line's requests and matched replies.
    QFile file(trace);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    for (const QString& url : {rtu.Url(), gateway.Url()})
        EXPECT_EQ(text.count(url + QStringLiteral(") → ")), 2) << text.toStdString();
    EXPECT_EQ(text.count(QStringLiteral("[dopasowana]")), 6) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("· [nie można połączyć się z 127.0.0.1:")))
        << text.toStdString();
}

} // namespace
} // namespace kx9::test
