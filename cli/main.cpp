// SPDX-License-Identifier: MIT
// kx9ctl: the KX9 board from a terminal, for provisioning and automation.
#include "Commands.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>

using namespace kx9::cli;

namespace {

QJsonArray Errors(const CliDialogs& dialogs) {
    QJsonArray errors;
    for (const CliDialogs::Box& box : dialogs.failures)
        errors.append(QJsonObject{{"title", box.title}, {"text", box.text}, {"details", box.details}});
    for (const QString& note : dialogs.notes)
        errors.append(QJsonObject{{"text", note}});
    return errors;
}

void PrintJson(const QJsonObject& json) {
    Print(stdout, QString::fromUtf8(QJsonDocument(json).toJson(QJsonDocument::Compact)) + QLatin1Char('\n'));
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kx9ctl"));

    const Parsed parsed = ParseOptions(QCoreApplication::arguments());
    if (!parsed.print.isEmpty()) {
        Print(stdout, parsed.print);
        return Done;
    }
    if (!parsed.options) {
        Print(stderr, QStringLiteral("kx9ctl: %1\n").arg(parsed.error));
        if (QCoreApplication::arguments().contains(QStringLiteral("--json")))
            PrintJson({{"exitCode", BadUsage}, {"errors", QJsonArray{QJsonObject{{"text", parsed.error}}}}});
        return BadUsage;
    }
    const Options& options = *parsed.options;

    LinePort port(options.link.portPath);
    CountingClock clock;
    Session session(port, clock, options);
    QElapsedTimer wall;
    wall.start();
    Outcome outcome = Execute(session);

    if (!options.json) {
        Print(stdout, outcome.text);
        return outcome.code;
    }
    QJsonObject json = outcome.json;
    json["command"] = CommandName(options.command);
    json["exitCode"] = outcome.code;
    json["errors"] = Errors(session.dialogs);
    json["line"] = QJsonObject{{"requests", port.requests},
                               {"bytesOut", port.bytesOut},
                               {"bytesIn", port.bytesIn},
                               {"pausesMs", clock.pausedMs},
                               {"seconds", wall.nsecsElapsed() / 1e9}};
    PrintJson(json);
    return outcome.code;
}
