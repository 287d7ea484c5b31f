// SPDX-License-Identifier: MIT
#include "Fleet.h"

#include "Manifest.h"
#include "config/ConfigFile.h"
#include "config/Cp1250.h"
#include "config/PageLayout.h"
#include "config/RegularFile.h"
#include "config/SettingsFiles.h"
#include "link/NetworkLine.h"
#include "link/PortMap.h"
#include "ops/PageCodec.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRegularExpression>
#include <QThread>

#include <atomic>
#include <cstdio>
#include <map>
#include <set>

namespace kx9::cli {

namespace {

constexpr qint64 MaxManifestFileBytes = 4 * 1024 * 1024;
constexpr int WaitStepMs = 100;

// The link of def.cfg (or the built-in one) for boards whose port or address was not given.
LinkSettings DefaultLink() {
    ConfigImage image;
    image.ResetImage(QDateTime::currentDateTime());
    const QString defaults = SettingsFileToRead(DefaultFileName);
    if (CheckInputFile(defaults, ConfigFileSize) == FileProblem::None)
        LoadConfig(defaults, image);
    return image.link;
}

QString DefaultPortName() {
    return ModbusLink::PortName(DefaultLink().PortIndex);
}

QString PortOf(const LinkChoice& link, const QString& fallback) {
    if (!link.portPath.isEmpty())
        return link.portPath;
    if (link.portIndex)
        return ModbusLink::PortName(*link.portIndex);
    return fallback;
}

// The device a port name leads to, so that two names for one adapter are caught.
// The device a port name leads to, through the user's choices as the port itself opens it.
QString DeviceOf(const QString& port) {
    static const PortMap map = [] {
        PortMap m(PortMap::UserFile());
        m.Load();
        return m;
    }();
    const QString to = map.DeviceFor(port);
    if (const std::optional<NetworkLine> line = ParseNetworkLine(to))
        return line->Text(); // one converter, however it is written
    const QFileInfo device(to);
    const QString canonical = device.canonicalFilePath();
    return canonical.isEmpty() ? device.absoluteFilePath() : canonical;
}

FleetBoard BoardFor(const LinkChoice& link, const QString& fallbackPort) {
    FleetBoard board;
    board.link = link;
    board.port = link.portGiven.isEmpty() ? PortOf(link, fallbackPort) : link.portGiven;
    board.address = link.address.value_or(DefaultLink().BoardAddress);
    return board;
}

// The boards of the command line's lists, each with the one command.
void PlanLists(const Options& options, FleetPlan& plan) {
    const QString fallback = DefaultPortName();
    std::vector<LinkChoice> links = options.boards;
    if (links.empty())
        links.push_back(options.link); // one board, its file in --output-dir
    for (const LinkChoice& link : links) {
        FleetBoard board = BoardFor(link, fallback);
        Options step = options;
        step.boards.clear();
        step.outputDir.clear();
        step.link = link;
        // The page and its name go into def.cfg once, after the run, not from every thread.
        step.keepPage = false;
        if (options.command == Command::Read && !options.outputDir.isEmpty())
            step.args =
                QStringList{QDir(options.outputDir).filePath(FleetFileName(board.port, board.address))};
        board.steps.push_back(step);
        plan.boards.push_back(std::move(board));
    }
    if (options.outputDir.isEmpty())
        return;
    if (!QFileInfo(options.outputDir).isDir())
        plan.errors << QStringLiteral("Nie można zapisać plików: nie ma takiego folderu: ") +
                           options.outputDir;
    else if (const QString why =
                 FolderWriteProblem(QDir(options.outputDir).filePath(QStringLiteral("x")), ConfigFileSize);
             !why.isEmpty())
        // Before the first board, not after the last one's whole read.
        plan.errors
            << QStringLiteral("Nie można zapisać plików w folderze: %1 (%2)").arg(options.outputDir, why);
}

// The manifest's boards, each with its link settings completed from its configuration file
// (rate, frame, time-out), so that every command of a board goes out at the same settings.
void PlanManifest(const Options& options, FleetPlan& plan) {
    const QString path = options.args[0];
    FileProblem problem = FileProblem::None;
    const std::optional<QByteArray> bytes = ReadRegularFile(path, MaxManifestFileBytes, &problem);
    if (!bytes) {
        plan.errors << (problem == FileProblem::TooLarge
                            ? QStringLiteral("Błąd otwarcia pliku: Plik jest za duży na opis tablic: ") + path
                            : InputFileText(path, problem));
        return;
    }
    QString why;
    const std::optional<std::vector<ManifestBoard>> boards =
        ParseManifest(*bytes, QFileInfo(path).absolutePath(), &why);
    if (!boards) {
        plan.errors << QStringLiteral("%1: %2").arg(path, why);
        return;
    }
    for (ManifestBoard b : *boards) {
        // The command line's rate, frame and time-out where the manifest gives none: a board's
        // own entry first, then the command line, then its configuration file.
        if (!b.link.baudIndex)
            b.link.baudIndex = options.link.baudIndex;
        if (!b.link.frameIndex)
            b.link.frameIndex = options.link.frameIndex;
        if (!b.link.timeoutMs)
            b.link.timeoutMs = options.link.timeoutMs;
        if (!b.config.isEmpty()) {
            ConfigImage file;
            if (LoadConfig(b.config, file).isEmpty()) {
                if (!b.link.baudIndex)
                    b.link.baudIndex = file.link.BaudIndex;
                if (!b.link.frameIndex)
                    b.link.frameIndex = file.link.FrameIndex;
                if (!b.link.timeoutMs)
                    b.link.timeoutMs = int(file.link.ReplyTimeoutMs);
            }
        }
        FleetBoard board = BoardFor(b.link, QString());
        board.steps = ManifestSteps(b, options);
        plan.boards.push_back(std::move(board));
    }
}

// The boards of each port, by the port's key, in the order first named.
std::vector<std::vector<size_t>> ByPort(const std::vector<FleetBoard>& boards) {
    std::vector<std::vector<size_t>> groups;
    std::map<QString, size_t> index;
    for (size_t k = 0; k < boards.size(); ++k) {
        const LinkChoice& l = boards[k].link;
        const QString key =
            l.portPath.isEmpty() ? QStringLiteral("#%1").arg(l.portIndex.value_or(-1)) : l.portPath;
        const auto [it, added] = index.try_emplace(key, groups.size());
        if (added)
            groups.emplace_back();
        groups[it->second].push_back(k);
    }
    return groups;
}

QString CauseOf(const Session& s, const Outcome& outcome) {
    if (!s.dialogs.failures.empty()) {
        const CliDialogs::Box& box = s.dialogs.failures.back();
        for (const QString& line : box.details.split(QLatin1Char('\n')))
            if (line.startsWith(QLatin1String("Przyczyna: ")))
                return line.mid(11);
        return box.text.section(QLatin1Char('\n'), 0, 0);
    }
    if (!s.dialogs.notes.isEmpty())
        return s.dialogs.notes.back();
    const QStringList lines = outcome.text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    return lines.isEmpty() ? QStringLiteral("kod wyjścia %1").arg(outcome.code) : lines.last();
}

QString ReadBack(std::FILE* file) {
    QByteArray bytes;
    std::rewind(file);
    char chunk[4096];
    for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, file)) > 0;)
        bytes.append(chunk, qsizetype(n));
    return QString::fromUtf8(bytes);
}

// How far a board is, written by its port's thread and read by the waiting one.
struct Progress {
    std::atomic<int> step{0};    // commands done
    std::atomic<int> percent{0}; // of the command running
    std::atomic<bool> done{false};
};

// One board's commands on the port's line, in the port's thread; stops at its first failure.
void RunBoard(FleetBoard& board, FleetLine& line, Progress& progress) {
    QElapsedTimer clock;
    clock.start();
    const int steps = int(board.steps.size());
    for (int k = 0; k < steps; ++k) {
        const Options& step = board.steps[size_t(k)];
        std::FILE* err = std::tmpfile();
        if (!err) {
            board.code = BoardFailed;
            board.cause = QStringLiteral("nie można utworzyć pliku tymczasowego");
            break;
        }
        Outcome outcome;
        QString cause;
        QJsonArray errors;
        {
            Session session(*line.port, *line.clock, step, err);
            session.program.link.SetTrace(line.trace);
            progress.percent.store(0, std::memory_order_relaxed);
            session.progress.Mirror(&progress.percent);
            outcome = Execute(session);
            progress.step.store(k + 1, std::memory_order_relaxed);
            if (outcome.code != Done)
                cause = CauseOf(session, outcome);
            errors = ErrorsJson(session.dialogs);
        }
        board.log += ReadBack(err);
        std::fclose(err);
        board.text += outcome.text;
        QJsonObject result = outcome.json;
        result["command"] = CommandName(step.command);
        result["exitCode"] = outcome.code;
        result["errors"] = errors;
        board.results.append(result);
        if (outcome.code != Done) {
            board.code = outcome.code;
            board.failedStep = CommandName(step.command);
            board.cause = steps > 1 ? board.failedStep + QStringLiteral(": ") + cause : cause;
            break;
        }
    }
    board.seconds = clock.nsecsElapsed() / 1e9;
    board.ran = true;
}

QString Padded(const QString& text, qsizetype width, bool right = false) {
    return right ? text.rightJustified(width, QLatin1Char(' ')) : text.leftJustified(width, QLatin1Char(' '));
}

QString ResultWord(int code) {
    return code == Done ? QStringLiteral("OK") : QStringLiteral("BŁĄD");
}

} // namespace

QJsonArray ErrorsJson(const CliDialogs& dialogs) {
    QJsonArray errors;
    for (const CliDialogs::Box& box : dialogs.failures)
        errors.append(QJsonObject{{"title", box.title}, {"text", box.text}, {"details", box.details}});
    for (const QString& note : dialogs.notes)
        errors.append(QJsonObject{{"text", note}});
    return errors;
}

QString FleetFileName(const QString& port, int address) {
    QString name = QDir::fromNativeSeparators(port);
    if (name.startsWith(QLatin1String("/dev/")))
        name = name.mid(5);
    static const QRegularExpression unsafe(QStringLiteral("[^A-Za-z0-9_.+-]"));
    while (name.startsWith(QLatin1String("./")) || name.startsWith(QLatin1Char('/')))
        name = name.mid(name.startsWith(QLatin1Char('/')) ? 1 : 2);
    name.replace(unsafe, QStringLiteral("_"));
    if (name.isEmpty() || name.startsWith(QLatin1Char('.')))
        name.prepend(QStringLiteral("port"));
    return QStringLiteral("%1-%2.cfg").arg(name).arg(address);
}

QString BoardName(const FleetBoard& board) {
    return QStringLiteral("%1, adres %2").arg(board.port).arg(board.address);
}

FleetPlan PlanFleet(const Options& options) {
    FleetPlan plan;
    if (RowOf(options.command).boards == Boards::Manifest)
        PlanManifest(options, plan);
    else
        PlanLists(options, plan);
    if (!plan.errors.isEmpty())
        return plan;

    // Two names for one adapter would put two threads on one line.
    std::map<QString, QString> devices;
    for (const std::vector<size_t>& group : ByPort(plan.boards)) {
        const FleetBoard& first = plan.boards[group.front()];
        const QString device = DeviceOf(PortOf(first.link, DefaultPortName()));
        const auto [it, added] = devices.try_emplace(device, first.port);
        if (!added)
            plan.errors << QStringLiteral("%1 and %2 are one port (%3)").arg(it->second, first.port, device);
    }

    // Everything each command would refuse before sending, once for each reason.
    std::set<QString> seen;
    for (const FleetBoard& b : plan.boards)
        for (const Options& step : b.steps)
            if (const QString why = Precheck(step); !why.isEmpty() && seen.insert(why).second)
                plan.errors << why;
    // A page run keeps the page in def.cfg once, after the boards: that file must take it
    // before the first board is written.
    if (options.command == Command::Page && options.keepPage)
        if (const QString why = Precheck(options); !why.isEmpty() && seen.insert(why).second)
            plan.errors << why;
    // Every board's link as its commands will use it (its file, its entry, the command line):
    // one that no board can be reached at stops the run before anything is sent to any board.
    for (const FleetBoard& b : plan.boards)
        for (const Options& step : b.steps) {
            if (RowOf(step.command).link == LinkFrom::None)
                continue;
            if (const QString why = LinkProblem(PlannedLink(step)); !why.isEmpty()) {
                const bool fromFile = RowOf(step.command).link == LinkFrom::File;
                plan.errors << BoardName(b) + QStringLiteral(": ") + why +
                                   (fromFile ? QStringLiteral(" (plik ") + step.args[0] + QLatin1Char(')')
                                             : QString());
                break;
            }
        }
    // Two boards' files of one name would overwrite each other.
    std::set<QString> outputs;
    for (const FleetBoard& b : plan.boards)
        for (const Options& step : b.steps)
            if (step.command == Command::Read &&
                !outputs.insert(QFileInfo(step.args[0]).absoluteFilePath()).second)
                plan.errors << QStringLiteral("two boards would be read into %1").arg(step.args[0]);
    return plan;
}

void RunFleet(std::vector<FleetBoard>& boards, const LineMaker& makeLine,
              const std::function<void(const FleetBoard&)>& finished,
              const std::function<void(int, int)>& waiting) {
    const std::vector<std::vector<size_t>> groups = ByPort(boards);
    std::vector<Progress> progress(boards.size());
    std::vector<std::unique_ptr<QThread>> threads;
    for (const std::vector<size_t>& group : groups) {
        // Each port's own thread: its port, clock, sessions and timers live and die there.
        threads.emplace_back(QThread::create([&boards, &progress, &makeLine, group] {
            FleetLine line = makeLine(boards[group.front()].link);
            for (size_t k : group) {
                RunBoard(boards[k], line, progress[k]);
                progress[k].done.store(true, std::memory_order_release);
            }
        }));
        threads.back()->start();
    }

    std::vector<bool> told(boards.size(), false);
    const auto tell = [&] {
        int finishedCount = 0, sum = 0;
        for (size_t k = 0; k < boards.size(); ++k) {
            if (progress[k].done.load(std::memory_order_acquire)) {
                ++finishedCount;
                sum += 100;
                if (!told[k]) {
                    told[k] = true;
                    if (finished)
                        finished(boards[k]);
                }
            } else {
                const int steps = std::max(int(boards[k].steps.size()), 1);
                sum += (progress[k].step.load(std::memory_order_relaxed) * 100 +
                        progress[k].percent.load(std::memory_order_relaxed)) /
                       steps;
            }
        }
        if (waiting && !boards.empty())
            waiting(finishedCount, sum / int(boards.size()));
    };
    for (const std::unique_ptr<QThread>& thread : threads)
        while (!thread->wait(QDeadlineTimer(WaitStepMs)))
            tell();
    tell();
}

int FleetExitCode(const std::vector<FleetBoard>& boards) {
    int code = Done;
    for (const FleetBoard& b : boards)
        code = std::max(code, b.ran ? b.code : BoardFailed);
    return code;
}

QString FleetTable(const std::vector<FleetBoard>& boards) {
    const QString port = QStringLiteral("Port"), address = QStringLiteral("Adres"),
                  result = QStringLiteral("Wynik"), time = QStringLiteral("Czas [s]"),
                  cause = QStringLiteral("Przyczyna");
    qsizetype portWidth = port.size();
    for (const FleetBoard& b : boards)
        portWidth = std::max(portWidth, PrintableLine(b.port).size());
    QString text = Padded(port, portWidth) + QStringLiteral("  ") + address + QStringLiteral("  ") +
                   Padded(result, 5) + QStringLiteral("  ") + time + QStringLiteral("  ") + cause +
                   QLatin1Char('\n');
    int good = 0;
    for (const FleetBoard& b : boards) {
        good += b.ran && b.code == Done ? 1 : 0;
        const QString line = Padded(PrintableLine(b.port), portWidth) + QStringLiteral("  ") +
                             Padded(QString::number(b.address), address.size(), true) + QStringLiteral("  ") +
                             Padded(ResultWord(b.ran ? b.code : BoardFailed), 5) + QStringLiteral("  ") +
                             Padded(QString::number(b.seconds, 'f', 2), time.size(), true) +
                             QStringLiteral("  ") +
                             PrintableLine(b.ran ? b.cause : QStringLiteral("nie uruchomiono"));
        QString trimmed = line;
        while (trimmed.endsWith(QLatin1Char(' ')))
            trimmed.chop(1);
        text += trimmed + QLatin1Char('\n');
    }
    text += QStringLiteral("Tablic: %1, bez błędów: %2, z błędem: %3\n")
                .arg(boards.size())
                .arg(good)
                .arg(qsizetype(boards.size()) - good);
    return text;
}

QString FleetTexts(const std::vector<FleetBoard>& boards, Command command) {
    const bool results = RowOf(command).resultText;
    QString text;
    for (const FleetBoard& b : boards) {
        if (b.text.isEmpty() || (!results && b.code == Done))
            continue;
        text += BoardName(b) + QStringLiteral(":\n");
        for (const QString& line : b.text.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            text += QStringLiteral("  ") + line + QLatin1Char('\n');
    }
    return text.isEmpty() ? text : text + QLatin1Char('\n');
}

QJsonObject FleetJson(const std::vector<FleetBoard>& boards) {
    QJsonArray list;
    int good = 0;
    for (const FleetBoard& b : boards) {
        const int code = b.ran ? b.code : BoardFailed;
        good += code == Done ? 1 : 0;
        list.append(QJsonObject{{"port", b.port},
                                {"address", b.address},
                                {"result", code == Done          ? "ok"
                                           : code == BoardFailed ? "failed"
                                                                 : "refused"},
                                {"exitCode", code},
                                {"seconds", b.seconds},
                                {"cause", b.cause},
                                {"failedCommand", b.failedStep},
                                {"commands", b.results}});
    }
    return {
        {"boards", list},
        {"summary",
         QJsonObject{{"boards", int(boards.size())}, {"ok", good}, {"failed", int(boards.size()) - good}}}};
}

QString KeepFleetPage(const Options& options, const std::vector<FleetBoard>& boards) {
    if (options.command != Command::Page || !options.keepPage || options.verifyPage)
        return {};
    if (std::none_of(boards.begin(), boards.end(),
                     [](const FleetBoard& b) { return b.ran && b.code == Done; }))
        return {};
    const QString defaults = SettingsFileToWrite(DefaultFileName);
    const QString toRead = SettingsFileToRead(DefaultFileName);
    ConfigImage kept;
    kept.ResetImage(QDateTime::currentDateTime());
    if (CheckInputFile(toRead, ConfigFileSize) == FileProblem::None)
        LoadConfig(toRead, kept);
    const int page = options.args[0].toInt();
    std::vector<QByteArray> lines;
    for (const QString& line : options.args.mid(1))
        lines.push_back(pagecodec::BoardText(line).value_or(QByteArray()));
    // Laid out at the geometry def.cfg holds, as the program shows its pages.
    kept.SetPage(page, layout::LinesToPage(lines, kept.Reg(RegBoardSize), kept.Reg(RegLineLength)));
    if (options.name)
        kept.SetPageName(page, pagecodec::BoardText(*options.name).value_or(QByteArray()));
    if (const QString why = OutputFileProblem(defaults); !why.isEmpty())
        return why;
    QString reason;
    return WriteConfigFile(defaults, kept, &reason) ? QString() : SaveFailureText(defaults, reason);
}

} // namespace kx9::cli
