// SPDX-License-Identifier: MIT
// kx9-sim: a simulated KX9 board on a pseudo-terminal.
#include "BoardModel.h"
#include "PtyBoard.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>

using kx9::BoardModel;

namespace {

constexpr int LateMs = 1100;

int Fail(const QString& text) {
    std::fprintf(stderr, "kx9-sim: %s\n", text.toLocal8Bit().constData());
    return 2;
}

bool IntIn(const QString& text, int lo, int hi, int& out) {
    bool ok = false;
    const int v = text.toInt(&ok);
    if (!ok || v < lo || v > hi) return false;
    out = v;
    return true;
}

// "none", "noreply", "badcrc", "wrongaddr", "short", "exception[:code]", "delay:ms",
// "late[:ms]", "flood", "vanish".
bool ParseFault(const QString& text, BoardModel& board, int count) {
    const QString kind = text.section(':', 0, 0);
    const QString arg = text.section(':', 1);
    using F = BoardModel::Fault;
    F fault;
    if (kind == "none" && arg.isEmpty()) fault = F::None;
    else if (kind == "noreply" && arg.isEmpty()) fault = F::NoReply;
    else if (kind == "badcrc" && arg.isEmpty()) fault = F::BadCrc;
    else if (kind == "wrongaddr" && arg.isEmpty()) fault = F::WrongAddress;
    else if (kind == "short" && arg.isEmpty()) fault = F::CutShort;
    else if (kind == "flood" && arg.isEmpty()) fault = F::Flood;
    else if (kind == "vanish" && arg.isEmpty()) fault = F::Vanish;
    else if (kind == "exception") {
        int code = board.ExceptionCode();
        if (!arg.isEmpty() && !IntIn(arg, 1, 255, code)) return false;
        board.SetExceptionCode(uint8_t(code));
        fault = F::Exception;
    } else if (kind == "delay" || kind == "late") {
        // A late reply comes after the PC's default time-out of 1000 ms.
        int ms = LateMs;
        if ((kind == "delay" || !arg.isEmpty()) && !IntIn(arg, 0, 60000, ms)) return false;
        board.SetDelayMs(ms);
        fault = F::Delay;
    } else {
        return false;
    }
    board.SetFault(fault, count);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("kx9-sim");
    QCommandLineParser p;
    p.setApplicationDescription("Simulated KX9 board answering Modbus RTU on a pseudo-terminal.");
    p.addHelpOption();
    const QCommandLineOption link("link", "Name of the link to the line (default COM1 here).", "PATH", "COM1");
    const QCommandLineOption address("address", "Board address 1..247 (default 1).", "N", "1");
    const QCommandLineOption baud("baud", "Rate in bit/s: 2400 4800 9600 14400 19200 28800 38400 57600 76800 115200.", "B", "115200");
    const QCommandLineOption frame("frame", "Character frame: 8N1, 8N2, 8E1 or 8O1 (default 8N2).", "F", "8N2");
    const QCommandLineOption columns("columns", "Display width in 8x8 modules (default 15).", "N", "15");
    const QCommandLineOption rows("rows", "Display height in 8x8 modules (default 5).", "N", "5");
    const QCommandLineOption log("log", "Hex log of every request and reply on stderr.");
    const QCommandLineOption pace("pace", "Take the wire time of every frame at the board's rate.");
    const QCommandLineOption fault("fault",
                                   "none, noreply, badcrc, wrongaddr, short, exception[:code], delay:ms, late[:ms] "
                                   "(default 1100), flood (320 bytes) or vanish (the line goes away and comes back).",
                                   "F", "none");
    const QCommandLineOption faultCount("fault-count", "Number of replies the fault hits (default: all).", "N", "-1");
    const QCommandLineOption faultAfter("fault-after", "Sound replies before the fault hits (default 0).", "N", "0");
    const QCommandLineOption faultRate("fault-rate", "Percent of replies hit by a random fault, e.g. 0.5 (default 0).",
                                       "P", "0");
    const QCommandLineOption seed("seed", "Seed of the random faults (default 1).", "N", "1");
    const QCommandLineOption status("status", "Initial status register 4265 (0..65535).", "N", "0");
    const QCommandLineOption turnaround("turnaround", "Pause before each reply in ms (default 2).", "ms", "2");
    p.addOptions({link, address, baud, frame, columns, rows, log, pace, fault, faultCount, faultAfter, faultRate, seed,
                  status, turnaround});
    p.process(app);

    BoardModel::Options o;
    if (!IntIn(p.value(address), 1, 247, o.address)) return Fail("--address must be 1..247");
    const QStringList frames = {"8N1", "8N2", "8E1", "8O1"};
    o.frameIndex = int(frames.indexOf(p.value(frame).toUpper()));
    if (o.frameIndex < 0) return Fail("--frame must be 8N1, 8N2, 8E1 or 8O1");
    const QList<int> rates = {2400, 4800, 9600, 14400, 19200, 28800, 38400, 57600, 76800, 115200};
    o.baudCode = int(rates.indexOf(p.value(baud).toInt()));
    if (o.baudCode < 0) return Fail("--baud must be one of the board's rates");
    if (!IntIn(p.value(columns), 1, 256, o.moduleColumns)) return Fail("--columns must be 1..256");
    if (!IntIn(p.value(rows), 1, 256, o.moduleRows)) return Fail("--rows must be 1..256");
    int st = 0;
    if (!IntIn(p.value(status), 0, 65535, st)) return Fail("--status must be 0..65535");
    o.status = uint16_t(st);

    BoardModel board(o);
    int count = -1;
    if (!IntIn(p.value(faultCount), -1, 1000000, count)) return Fail("--fault-count must be a number");
    if (!ParseFault(p.value(fault).toLower(), board, count)) return Fail("bad --fault " + p.value(fault));
    int after = 0, seedValue = 1;
    bool rateOk = false;
    const double rate = p.value(faultRate).toDouble(&rateOk);
    if (!IntIn(p.value(faultAfter), 0, 1000000, after)) return Fail("--fault-after must be a number");
    if (!rateOk || rate < 0 || rate > 100) return Fail("--fault-rate must be 0..100");
    if (!IntIn(p.value(seed), 0, 2147483647, seedValue)) return Fail("--seed must be a number");
    board.SetFaultAfter(after);
    board.SetFaultRate(rate, uint32_t(seedValue), LateMs);

    kx9::SimOptions sim;
    sim.link = p.value(link);
    sim.log = p.isSet(log);
    sim.pace = p.isSet(pace);
    if (!IntIn(p.value(turnaround), 0, 10000, sim.turnaroundMs)) return Fail("--turnaround must be 0..10000");
    return kx9::RunPtyBoard(board, sim);
}
