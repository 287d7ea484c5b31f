// SPDX-License-Identifier: MIT
// kx9ctl: the KX9 board from a terminal, for provisioning and automation.
#include "Commands.h"
#include "Fleet.h"
#include "link/PortMap.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>

#include <cstdio>
#include <memory>
#include <mutex>

using namespace kx9::cli;

namespace {

void PrintJson(const QJsonObject& json) {
    Print(stdout, QString::fromUtf8(QJsonDocument(json).toJson(QJsonDocument::Compact)) + QLatin1Char('\n'));
}

// Pictures are drawn with Qt Gui: an SVG's text needs its fonts, which need a GUI application
// object. It runs on the offscreen platform, so no display is needed.
bool DrawsPictures(const Parsed& parsed) {
    return parsed.options && RowOf(parsed.options->command).drawsPictures;
}

// --trace: one line a record, from every line of a fleet at once; nothing when not asked.
class TraceFile : public kx9::LineTrace {
public:
    explicit TraceFile(const QString& path) {
        if (path.isEmpty())
            return;
        m_file = path == QStringLiteral("-") ? stderr : std::fopen(QFile::encodeName(path).constData(), "w");
        m_own = m_file && m_file != stderr;
        if (!m_file)
            error = QStringLiteral("--trace: cannot write %1").arg(path);
    }
    ~TraceFile() override {
        if (m_own)
            std::fclose(m_file);
    }
    kx9::LineTrace* Watching() { return m_file ? this : nullptr; }
    void Record(Event event, const QString& line, const uint8_t* bytes, int length,
                const kx9::LinkFailure& verdict, const QString& note) override {
        const QByteArray text =
            (kx9::TraceText(QDateTime::currentMSecsSinceEpoch(), event, line, bytes, length, verdict, note) +
             QLatin1Char('\n'))
                .toUtf8();
        const std::lock_guard<std::mutex> hold(m_mutex);
        std::fwrite(text.constData(), 1, size_t(text.size()), m_file);
        std::fflush(m_file);
    }
    QString error;

private:
    std::FILE* m_file = nullptr;
    bool m_own = false;
    std::mutex m_mutex;
};

int OneBoard(const Options& options) {
    LinePort port(options.link.portPath);
    CountingClock clock;
    TraceFile trace(options.trace);
    if (!trace.error.isEmpty()) {
        Print(stderr, QStringLiteral("kx9ctl: ") + trace.error + QLatin1Char('\n'));
        return BadUsage;
    }
    Session session(port, clock, options);
    if (!options.json)
        session.printNow = [](const QString& text) {
            Print(stdout, Printable(text));
            std::fflush(stdout);
        };
    session.program.link.SetTrace(trace.Watching());
    QElapsedTimer wall;
    wall.start();
    Outcome outcome = Execute(session);

    if (!options.json) {
        Print(stdout, Printable(outcome.text));
        return outcome.code;
    }
    QJsonObject json = outcome.json;
    json["command"] = CommandName(options.command);
    json["exitCode"] = outcome.code;
    json["errors"] = ErrorsJson(session.dialogs);
    json["line"] = QJsonObject{{"requests", port.requests},
                               {"bytesOut", port.bytesOut},
                               {"bytesIn", port.bytesIn},
                               {"pausesMs", clock.pausedMs},
                               {"seconds", wall.nsecsElapsed() / 1e9}};
    PrintJson(json);
    return outcome.code;
}

int Fleet(const Options& options) {
    QElapsedTimer wall;
    wall.start();
    FleetPlan plan = PlanFleet(options);
    if (!plan.errors.isEmpty()) {
        QJsonArray errors;
        for (const QString& why : plan.errors) {
            Print(stderr, QStringLiteral("kx9ctl: ") + Printable(why) + QLatin1Char('\n'));
            errors.append(QJsonObject{{"text", why}});
        }
        if (options.json)
            PrintJson(
                {{"command", CommandName(options.command)}, {"exitCode", BadUsage}, {"errors", errors}});
        return BadUsage;
    }

    // One bar for the whole run; each board's messages as it ends, under its name.
    TermProgress bar(stderr, IsTerminal(stderr));
    const int total = int(plan.boards.size());
    const auto finished = [&](const FleetBoard& board) {
        if (board.log.isEmpty())
            return;
        bar.Interrupt();
        const QString prefix = QStringLiteral("kx9ctl: ");
        QString log;
        for (const QString& line : board.log.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            log += (line.startsWith(prefix) ? prefix + QLatin1Char('[') + BoardName(board) +
                                                  QStringLiteral("] ") + line.mid(prefix.size())
                                            : line) +
                   QLatin1Char('\n');
        Print(stderr, log);
    };
    TraceFile trace(options.trace);
    if (!trace.error.isEmpty()) {
        Print(stderr, QStringLiteral("kx9ctl: ") + trace.error + QLatin1Char('\n'));
        return BadUsage;
    }
    const auto waiting = [&](int done, int percent) {
        bar.ShowProgress(QStringLiteral("Tablice: %1 z %2").arg(done).arg(total));
        bar.SetProgress(percent);
    };
    RunFleet(
        plan.boards,
        [&trace](const LinkChoice& port) {
            return FleetLine{std::make_unique<LinePort>(port.portPath), std::make_unique<CountingClock>(),
                             trace.Watching()};
        },
        finished, waiting);
    bar.HideProgress();

    int code = FleetExitCode(plan.boards);
    const QString kept = KeepFleetPage(options, plan.boards);
    if (!kept.isEmpty()) {
        Print(stderr,
              QStringLiteral("kx9ctl: ") + kept +
                  QStringLiteral(" (strona zapisana do tablic z wynikiem OK, ale nie w pliku def.cfg)\n"));
        code = std::max(code, BadUsage);
    }
    if (!options.json) {
        Print(stdout, Printable(FleetTexts(plan.boards, options.command) + FleetTable(plan.boards)));
        return code;
    }
    QJsonObject json = FleetJson(plan.boards);
    json["command"] = CommandName(options.command);
    json["exitCode"] = code;
    json["seconds"] = wall.nsecsElapsed() / 1e9;
    if (!kept.isEmpty())
        json["errors"] = QJsonArray{QJsonObject{{"text", kept}}};
    PrintJson(json);
    return code;
}

} // namespace

int main(int argc, char** argv) {
    // The command line is taken before the application object, which would take Qt's own
    // options ("-reverse", "-platform") out of it: a page line may be just such a word.
    const QStringList arguments = CommandLine(argc, argv);
    const Parsed parsed = ParseOptions(arguments);

    std::unique_ptr<QCoreApplication> app;
    char platformOption[] = "-platform";
    char platformName[] = "offscreen";
    char* guiArgv[] = {argv[0], platformOption, platformName, nullptr};
    int guiArgc = 3;
    if (DrawsPictures(parsed)) {
        // The platform's start-up notes (no session bus, no runtime folder) mean nothing to a
        // terminal user of a program that never opens a window.
        const QtMessageHandler previous =
            qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
                if (type == QtCriticalMsg || type == QtFatalMsg)
                    Print(stderr, text + QLatin1Char('\n'));
            });
        app = std::make_unique<QGuiApplication>(guiArgc, guiArgv);
        qInstallMessageHandler(previous);
    } else
        app = std::make_unique<QCoreApplication>(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kx9ctl"));

    if (!parsed.print.isEmpty()) {
        Print(stdout, parsed.print);
        return Done;
    }
    if (!parsed.options) {
        Print(stderr, QStringLiteral("kx9ctl: %1\n").arg(Printable(parsed.error)));
        if (arguments.contains(QStringLiteral("--json")))
            PrintJson({{"exitCode", BadUsage}, {"errors", QJsonArray{QJsonObject{{"text", parsed.error}}}}});
        return BadUsage;
    }
    const Options& options = *parsed.options;
    if (options.command != Command::Ports) {
        // Every port opened reads the user's port names; a file that cannot be read is said
        // once here and left out (`ports` says it in its own report).
        kx9::PortMap map(kx9::PortMap::UserFile());
        if (!map.Load())
            Print(stderr,
                  QStringLiteral("kx9ctl: ") + Printable(kx9::LoadProblemText(map)) + QLatin1Char('\n'));
    }
    return IsFleet(options) ? Fleet(options) : OneBoard(options);
}
