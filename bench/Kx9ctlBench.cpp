// SPDX-License-Identifier: MIT
#include "Kx9ctlBench.h"

#include "board/SimPort.h"
#include "config/ConfigFile.h"
#include "config/Encodings.h"
#include "ops/Program.h"

#include <QDir>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace kx9::bench {

namespace {

constexpr double SimSilenceMinMs = 5; // kx9-sim ends a request after 3.5 characters, at least 5 ms
constexpr double SimTurnaroundMs = 2; // and answers after its default turnaround
constexpr double SequencerTickMs = 20;
constexpr double FastLimit = 1.15;
constexpr double PacedLimit = 1.05;
constexpr double FleetOverIdeal = 1.1;

// A clock whose pauses are added up, not slept.
class TallyClock : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
    void pause(int ms) override { pausedMs += ms; }
    double pausedMs = 0;
};

class SilentDialogs : public Dialogs {
public:
    void message(const QString&, const QString&, MsgIcon) override { ++boxes; }
    bool confirm(const QString&, const QString&, MsgIcon) override { return false; }
    QString openFile(const QString&) override { return {}; }
    QString saveFile(const QString&) override { return {}; }
    QString openPicture() override { return {}; }
    int boxes = 0;
};

// The board's line, noting the pauses taken so far at each request.
class NotingPort : public SimPort {
public:
    NotingPort(BoardModel& board, const TallyClock& clock) : SimPort(board), m_clock(clock) {}
    int write(const uint8_t* data, int length) override {
        pausedBefore.push_back(m_clock.pausedMs);
        return SimPort::write(data, length);
    }
    std::vector<double> pausedBefore;

private:
    const TallyClock& m_clock;
};

} // namespace

Floor FloorOf(Transfer transfer, const ConfigImage& sample, int baudIndex, double latencyMs) {
    BoardModel::Options options;
    options.baudCode = BaudCodeFromIndex(baudIndex);
    BoardModel board(options);
    TallyClock clock;
    NotingPort port(board, clock);
    SilentDialogs dialogs;
    Program program(port, dialogs, clock);
    DecodeConfigFile(EncodeConfigFile(sample), program.image);
    program.image.link = LinkSettings{0, 1, uint8_t(baudIndex), 1000, 1, false};
    switch (transfer) {
    case Transfer::WholeWrite:
        program.ops.StartConfigWrite();
        break;
    case Transfer::WholeRead:
        program.ops.StartConfigRead();
        break;
    case Transfer::PagesWrite:
        program.ops.StartPagesWrite();
        break;
    case Transfer::PagesRead:
        program.ops.StartPagesRead();
        break;
    }
    Scheduler& s = program.scheduler;
    while (!s.Idle()) {
        if (s.PollActive())
            s.TestOdpowiedziTimer();
        if (s.SequencerActive())
            s.TransmisjaWrTimer();
    }

    const LineSettings line = LineSettingsFor(1, baudIndex);
    const double charMs = 1000.0 * (1 + 8 + line.stopBits) / line.baud;
    const double silenceMs = std::max(3.5 * charMs, SimSilenceMinMs);
    Floor f;
    double ms = clock.pausedMs;
    double ticksMs = 0;
    double pausedMs = 0;
    const std::vector<QByteArray> requests = board.Requests();
    for (size_t k = 0; k < requests.size(); ++k) {
        const QByteArray& request = requests[k];
        const int function = uint8_t(request[1]);
        const int count = uint8_t(request[4]) * 256 + uint8_t(request[5]);
        const int reply = function == 3 ? 5 + 2 * count : function == 16 ? 8 : 12;
        const double exchangeMs =
            latencyMs >= 0 ? request.size() * charMs + latencyMs + SimTurnaroundMs + reply * charMs
                           : std::max(request.size() * charMs, silenceMs) + SimTurnaroundMs + reply * charMs;
        ms += exchangeMs;
        const double pauseMs = k < port.pausedBefore.size() ? port.pausedBefore[k] - pausedMs : 0;
        pausedMs += pauseMs;
        // A pause of a tick or more makes the timer fire at once when it ends, and tick on from there.
        ticksMs += pauseMs < SequencerTickMs
                       ? std::ceil((pauseMs + exchangeMs) / SequencerTickMs) * SequencerTickMs
                       : pauseMs + std::ceil(exchangeMs / SequencerTickMs) * SequencerTickMs;
        f.wireS += (request.size() + reply) * charMs / 1000;
        ++f.requests;
    }
    f.floorS = ms / 1000;
    f.ticksS = ticksMs / 1000;
    return f;
}

namespace {

struct Ran {
    bool ok = false; // exit code 0, and 0 in the JSON
    double wallS = 0;
    QJsonObject json;
};

// kx9ctl with --json at 8N2 and `baud` from the current folder; what failed goes to stderr.
Ran RunKx9ctl(const QString& kx9ctl, const QStringList& args, int baud) {
    QProcess p;
    p.setWorkingDirectory(QDir::currentPath());
    QElapsedTimer wall;
    wall.start();
    p.start(kx9ctl, QStringList{"--baud", QString::number(baud), "--frame", "8N2", "--json"} + args);
    const bool finished = p.waitForFinished(15 * 60 * 1000);
    Ran ran;
    ran.wallS = wall.nsecsElapsed() / 1e9;
    ran.json = QJsonDocument::fromJson(p.readAllStandardOutput()).object();
    ran.ok = finished && p.exitCode() == 0 && ran.json.value("exitCode").toInt(-1) == 0;
    if (!ran.ok)
        std::fprintf(stderr, "  kx9ctl %s: %s\n", qPrintable(args.join(' ')),
                     p.readAllStandardError().constData());
    return ran;
}

Kx9ctlRow Run(const QString& kx9ctl, const QStringList& args, int baud, bool fast,
              const QString& port = QStringLiteral("COM1")) {
    Kx9ctlRow row;
    row.baud = baud;
    row.fast = fast;
    row.name = QStringLiteral("kx9ctl ") + args.first() + (fast ? QStringLiteral(" --fast") : QString());
    const Ran ran = RunKx9ctl(
        kx9ctl, QStringList{"--port", port} + (fast ? QStringList{"--fast"} : QStringList{}) + args, baud);
    row.wallS = ran.wallS;
    row.requests = ran.json.value("line").toObject().value("requests").toInt();
    row.ok = ran.ok;
    return row;
}

} // namespace

std::vector<Kx9ctlRow> MeasureKx9ctl(const QString& kx9ctl, int baudIndex, const ConfigImage& sample,
                                     double configuratorReadS, double configuratorWriteS) {
    const int baud = BaudRates[size_t(baudIndex)];
    WriteConfigFile(QStringLiteral("sample.cfg"), sample);
    std::vector<Kx9ctlRow> rows;
    for (const bool write : {false, true}) {
        const Floor floor = FloorOf(write ? Transfer::WholeWrite : Transfer::WholeRead, sample, baudIndex);
        for (const bool fast : {false, true}) {
            Kx9ctlRow row =
                Run(kx9ctl, {write ? "write" : "read", write ? "sample.cfg" : "read.cfg"}, baud, fast);
            row.wireS = floor.wireS;
            row.floorS = floor.floorS;
            row.configuratorS = write ? configuratorWriteS : configuratorReadS;
            // The same requests as the program's own transfer, or the floor is not theirs.
            row.ok = row.ok && row.requests == floor.requests;
            rows.push_back(row);
        }
    }
    return rows;
}

std::vector<Kx9ctlRow> MeasureNetworkRead(const QString& kx9ctl, const QString& line, int baudIndex,
                                          const ConfigImage& sample, double latencyMs) {
    const int baud = BaudRates[size_t(baudIndex)];
    const Floor floor = FloorOf(Transfer::WholeRead, sample, baudIndex, latencyMs);
    std::vector<Kx9ctlRow> rows;
    for (const bool fast : {false, true}) {
        Kx9ctlRow row = Run(kx9ctl, {"read", "net.cfg"}, baud, fast, line);
        row.wireS = floor.wireS;
        // Paced as the program: each request on its first tick after the reply before it.
        row.floorS = fast ? floor.floorS : floor.ticksS;
        row.ok = row.ok && row.requests == floor.requests;
        rows.push_back(row);
    }
    return rows;
}

namespace {

// One row: --fast is held to 1.15 x, a paced run to 1.05 x what `ratio` compares it with.
bool PrintRow(const Kx9ctlRow& r, double ratio, const char* more, const char* pacedOver) {
    const bool kept = ratio <= (r.fast ? FastLimit : PacedLimit);
    std::printf("%-19s %8d %9.2f %9d %9.2f %10.2f %11.3f%s%s\n", qPrintable(r.name), r.baud, r.wallS,
                r.requests, r.wireS, r.floorS, r.wallS / r.floorS, more,
                !r.ok    ? "  FAILED"
                : kept   ? ""
                : r.fast ? "  over 1.15 x floor"
                         : pacedOver);
    return r.ok && kept;
}

} // namespace

bool PrintNetwork(const std::vector<Kx9ctlRow>& rows, double latencyMs) {
    std::printf("\n%-19s %8s %9s %9s %9s %10s %11s   RTU over TCP, %.0f ms a round trip\n", "kx9ctl", "bit/s",
                "wall [s]", "requests", "wire [s]", "floor [s]", "wall/floor", latencyMs);
    bool allOk = true;
    for (const Kx9ctlRow& r : rows)
        allOk = PrintRow(r, r.wallS / r.floorS, "", "  over 1.05 x floor") && allOk;
    return allOk;
}

bool PrintKx9ctl(const std::vector<Kx9ctlRow>& rows) {
    std::printf("\n%-19s %8s %9s %9s %9s %10s %11s %13s\n", "kx9ctl", "bit/s", "wall [s]", "requests",
                "wire [s]", "floor [s]", "wall/floor", "wall/program");
    bool allOk = true;
    for (const Kx9ctlRow& r : rows) {
        // The paced run is held to the program's own transfer, --fast to the floor.
        const double toProgram = r.wallS / r.configuratorS;
        allOk = PrintRow(r, r.fast ? r.wallS / r.floorS : toProgram,
                         QStringLiteral(" %1").arg(toProgram, 13, 'f', 3).toLatin1().constData(),
                         "  over 1.05 x program") &&
                allOk;
    }
    return allOk;
}

FleetRun MeasureFleet(const QString& kx9ctl, const QStringList& links, int boardsPerLine, int baudIndex,
                      const ConfigImage& sample) {
    FleetRun run;
    run.lines = int(links.size());
    run.boardsPerLine = boardsPerLine;
    run.baud = BaudRates[size_t(baudIndex)];
    WriteConfigFile(QStringLiteral("fleet.cfg"), sample);
    const Ran one =
        RunKx9ctl(kx9ctl, {"--port", links.first(), "--address", "1", "write", "fleet.cfg"}, run.baud);
    run.oneS = one.wallS;

    QStringList args;
    for (const QString& link : links)
        args << "--port" << link;
    args << "--address" << QStringLiteral("1-%1").arg(boardsPerLine) << "write"
         << "fleet.cfg";
    const Ran fleet = RunKx9ctl(kx9ctl, args, run.baud);
    run.fleetS = fleet.wallS;
    run.boardsOk = fleet.json.value("summary").toObject().value("ok").toInt();
    run.ok = one.ok && fleet.ok && run.boardsOk == run.lines * boardsPerLine;
    return run;
}

bool PrintFleet(const FleetRun& r) {
    const double ratio = r.oneS > 0 ? r.fleetS / r.oneS : 0;
    const double ideal = r.boardsPerLine;
    const double limit = FleetOverIdeal * ideal;
    const bool kept = r.ok && ratio <= limit;
    std::printf("\nkx9ctl write, %d %s x %d boards at %d bit/s: one board %.2f s, all %d boards %.2f s "
                "(%d ok): %.2f x one board (ideal %.1f x, limit %.1f x)%s\n",
                r.lines, r.kind, r.boardsPerLine, r.baud, r.oneS, r.lines * r.boardsPerLine, r.fleetS,
                r.boardsOk, ratio, ideal, limit,
                !r.ok  ? "  FAILED"
                : kept ? ""
                       : "  over the limit");
    return kept;
}

} // namespace kx9::bench
