// SPDX-License-Identifier: MIT
#pragma once

#include "Commands.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

// Many boards in one run: the boards of one line one after another (it is one bus), the lines
// side by side, one thread per port, each board with its own program, and one report.
namespace kx9::cli {

// One board of the run: where it is, the commands it gets, and how they went.
struct FleetBoard {
    LinkChoice link; // its port and address
    QString port;    // the port as given, or def.cfg's ("COM1")
    int address = 0;
    std::vector<Options> steps;

    // Filled by the run.
    int code = Done;
    double seconds = 0;
    QString cause;      // why it failed, in the words of its failure; empty when done
    QString failedStep; // the command that failed
    QString text;       // what its commands printed
    QString log;        // what they said on stderr
    QJsonArray results; // each command's JSON result
    bool ran = false;
};

// What the run needs from outside, per port: the serial port and the clock, made in the port's
// own thread (a serial port belongs to the thread that made it).
struct FleetLine {
    std::unique_ptr<SerialPort> port;
    std::unique_ptr<Clock> clock;
    LineTrace* trace = nullptr; // shared by every line: it must take records from any thread
};
using LineMaker = std::function<FleetLine(const LinkChoice& port)>;

struct FleetPlan {
    std::vector<FleetBoard> boards;
    QStringList errors; // each reason the run cannot start (exit 2, nothing sent)
};

// Every board of the command line's lists, or of `options.args[0]`'s manifest for apply, with
// its commands; everything that can be found wrong before sending is in `errors`: the
// manifest, missing or bad files, two names for one port.
FleetPlan PlanFleet(const Options& options);

// Runs the boards, a thread per port; a failure on one board never stops another. `finished`
// is called in the calling thread as each board ends, `waiting` every 100 ms or so with the
// boards done and the whole run's percent.
void RunFleet(std::vector<FleetBoard>& boards, const LineMaker& makeLine,
              const std::function<void(const FleetBoard&)>& finished = {},
              const std::function<void(int done, int percent)>& waiting = {});

// 0 when every board is done, else the worst board's code (1 a board failed, 2 a file).
int FleetExitCode(const std::vector<FleetBoard>& boards);
// The table: port, address, result, duration, cause; then the totals.
QString FleetTable(const std::vector<FleetBoard>& boards);
// What each board's commands printed, under the board's name, where it is the result.
QString FleetTexts(const std::vector<FleetBoard>& boards, Command command);
QJsonObject FleetJson(const std::vector<FleetBoard>& boards);
// Each failure box (title, text, details) and note of a command, for its JSON result.
QJsonArray ErrorsJson(const CliDialogs& dialogs);
// "COM1, adres 3".
QString BoardName(const FleetBoard& board);
// "COM1-3.cfg", "ttyUSB0-12.cfg": the file read --output-dir writes for a board.
QString FleetFileName(const QString& port, int address);

// After `page` on several boards: the page and its name go into def.cfg once, as after one
// board. Empty, or why def.cfg could not be saved.
QString KeepFleetPage(const Options& options, const std::vector<FleetBoard>& boards);

} // namespace kx9::cli
