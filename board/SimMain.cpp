// SPDX-License-Identifier: MIT
// kx9-sim: a simulated KX9 board on a pseudo-terminal.
#include "BoardModel.h"
#include "PtyBoard.h"
#include "TcpBoard.h"
#include "link/ModbusFrame.h"
#include "view/BoardDisplay.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QGuiApplication>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

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
    if (!ok || v < lo || v > hi)
        return false;
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
    if (kind == "none" && arg.isEmpty())
        fault = F::None;
    else if (kind == "noreply" && arg.isEmpty())
        fault = F::NoReply;
    else if (kind == "badcrc" && arg.isEmpty())
        fault = F::BadCrc;
    else if (kind == "wrongaddr" && arg.isEmpty())
        fault = F::WrongAddress;
    else if (kind == "short" && arg.isEmpty())
        fault = F::CutShort;
    else if (kind == "flood" && arg.isEmpty())
        fault = F::Flood;
    else if (kind == "vanish" && arg.isEmpty())
        fault = F::Vanish;
    else if (kind == "exception") {
        int code = board.ExceptionCode();
        if (!arg.isEmpty() && !IntIn(arg, 1, 255, code))
            return false;
        board.SetExceptionCode(uint8_t(code));
        fault = F::Exception;
    } else if (kind == "delay" || kind == "late") {
        // A late reply comes after the PC's default time-out of 1000 ms.
        int ms = LateMs;
        if ((kind == "delay" || !arg.isEmpty()) && !IntIn(arg, 0, 60000, ms))
            return false;
        board.SetDelayMs(ms);
        fault = F::Delay;
    } else {
        return false;
    }
    board.SetFault(fault, count);
    return true;
}

// "3,9,17": the addresses of the boards on the line, each once.
QString ParseAddresses(const QString& text, std::vector<int>& out) {
    for (const QString& item : text.split(',')) {
        int a = 0;
        if (!IntIn(item.trimmed(), kx9::frame::MinAddress, kx9::frame::MaxAddress, a))
            return "--address must be 1..247, or a list such as 3,9,17";
        if (std::find(out.begin(), out.end(), a) != out.end())
            return "--address lists " + item.trimmed() + " twice";
        out.push_back(a);
    }
    return {};
}

// One value for every board, or one a board in the order of --address; each item is an index
// into `table`.
QString ParseEach(const QString& text, const QStringList& table, int boards, std::vector<int>& out) {
    for (const QString& item : text.split(',')) {
        const int index = int(table.indexOf(item.trimmed().toUpper()));
        if (index < 0)
            return "must be one of " + table.join(' ');
        out.push_back(index);
    }
    if (out.size() != 1 && int(out.size()) != boards)
        return "needs one value, or one for each --address";
    return {};
}

// "noreply@9": the value, and the board it is for (its address at start); no "@": all of them.
// Returns the boards named, or none when the address is no board's.
std::vector<BoardModel*> Target(const QString& text, std::vector<BoardModel>& boards, QString& value) {
    value = text.section('@', 0, 0);
    std::vector<BoardModel*> named;
    if (!text.contains('@')) {
        for (BoardModel& b : boards)
            named.push_back(&b);
        return named;
    }
    int address = 0;
    if (!IntIn(text.section('@', 1), kx9::frame::MinAddress, kx9::frame::MaxAddress, address))
        return named;
    for (BoardModel& b : boards)
        if (b.Address() == address)
            named.push_back(&b);
    return named;
}

// The fault options, in the order given; each may name its board with "@address".
QString ApplyFaults(const QCommandLineParser& p, std::vector<BoardModel>& boards) {
    struct Plan {
        int count = -1;
        int after = 0;
        double rate = 0;
    };
    std::vector<Plan> plans(boards.size());
    const auto planOf = [&](BoardModel* b) -> Plan& { return plans[size_t(b - boards.data())]; };
    QString value;
    for (const QString& text : p.values("fault-count")) {
        const auto named = Target(text, boards, value);
        int count = -1;
        if (named.empty() || !IntIn(value, -1, 1000000, count))
            return "bad --fault-count " + text;
        for (BoardModel* b : named)
            planOf(b).count = count;
    }
    for (const QString& text : p.values("fault-after")) {
        const auto named = Target(text, boards, value);
        int after = 0;
        if (named.empty() || !IntIn(value, 0, 1000000, after))
            return "bad --fault-after " + text;
        for (BoardModel* b : named)
            planOf(b).after = after;
    }
    for (const QString& text : p.values("fault-rate")) {
        const auto named = Target(text, boards, value);
        bool ok = false;
        const double rate = value.toDouble(&ok);
        if (named.empty() || !ok || rate < 0 || rate > 100)
            return "bad --fault-rate " + text + " (0..100)";
        for (BoardModel* b : named)
            planOf(b).rate = rate;
    }
    int seed = 1;
    if (!IntIn(p.value("seed"), 0, 2147483647, seed))
        return "--seed must be a number";
    for (size_t i = 0; i < boards.size(); ++i) {
        boards[i].SetFaultAfter(plans[i].after);
        // Boards of their own fail on their own, each with its own run of random faults.
        boards[i].SetFaultRate(plans[i].rate, uint32_t(seed) + uint32_t(i), LateMs);
    }
    for (const QString& text : p.values("fault")) {
        const auto named = Target(text.toLower(), boards, value);
        if (named.empty())
            return "bad --fault " + text + ": no board at that address";
        for (BoardModel* b : named)
            if (!ParseFault(value, *b, planOf(b).count))
                return "bad --fault " + text;
    }
    return {};
}

// The boards on the line: one at each --address, with --baud and --frame for all or each.
QString BuildBoards(const QCommandLineParser& p, std::vector<BoardModel>& boards) {
    std::vector<int> addresses;
    if (QString e = ParseAddresses(p.value("address"), addresses); !e.isEmpty())
        return e;
    const int n = int(addresses.size());
    std::vector<int> frames, rates;
    if (QString e = ParseEach(p.value("frame"), {"8N1", "8N2", "8E1", "8O1"}, n, frames); !e.isEmpty())
        return "--frame " + e;
    const QStringList boardRates = {"2400",  "4800",  "9600",  "14400", "19200",
                                    "28800", "38400", "57600", "76800", "115200"};
    if (QString e = ParseEach(p.value("baud"), boardRates, n, rates); !e.isEmpty())
        return "--baud " + e;
    BoardModel::Options o;
    if (!IntIn(p.value("columns"), 1, 256, o.moduleColumns))
        return "--columns must be 1..256";
    if (!IntIn(p.value("rows"), 1, 256, o.moduleRows))
        return "--rows must be 1..256";
    int st = 0;
    if (!IntIn(p.value("status"), 0, 65535, st))
        return "--status must be 0..65535";
    o.status = uint16_t(st);
    boards.reserve(size_t(n));
    for (int i = 0; i < n; ++i) {
        o.address = addresses[size_t(i)];
        o.frameIndex = frames[frames.size() == 1 ? 0 : size_t(i)];
        o.baudCode = rates[rates.size() == 1 ? 0 : size_t(i)];
        boards.emplace_back(o);
    }
    return ApplyFaults(p, boards);
}

} // namespace

int main(int argc, char** argv) {
    // A window needs a GUI application; without --show the simulator stays headless.
    const std::unique_ptr<QCoreApplication> application =
        kx9::view::BoardDisplay::WantsWindow(argc, argv) ? std::make_unique<QGuiApplication>(argc, argv)
                                                         : std::make_unique<QCoreApplication>(argc, argv);
    QCoreApplication& app = *application;
    QCoreApplication::setApplicationName("kx9-sim");
    QCommandLineParser p;
    p.setApplicationDescription("Simulated KX9 board answering Modbus RTU on a pseudo-terminal.");
    p.addHelpOption();
    const QList<QCommandLineOption> options = {
        {"link", "Name of the link to the line (default COM1 here).", "PATH", "COM1"},
        {"address",
         "Board address 1..247 (default 1); a list such as 3,9,17 puts a board of its own at each.", "N",
         "1"},
        {"baud",
         "Rate in bit/s: 2400 4800 9600 14400 19200 28800 38400 57600 76800 115200; one, or one for "
         "each address.",
         "B", "115200"},
        {"frame", "Character frame: 8N1, 8N2, 8E1 or 8O1 (default 8N2); one, or one for each address.", "F",
         "8N2"},
        {"columns", "Display width in 8x8 modules (default 15).", "N", "15"},
        {"rows", "Display height in 8x8 modules (default 5).", "N", "5"},
        {"log", "Hex log of every request and reply on stderr."},
        {"pace", "Take the wire time of every frame at the board's rate."},
        {"fault",
         "none, noreply, badcrc, wrongaddr, short, exception[:code], delay:ms, late[:ms] (default 1100), "
         "flood (320 bytes) or vanish (the line goes away and comes back); @N for the board at address N "
         "only (e.g. noreply@9). May be given again.",
         "F", "none"},
        {"fault-count", "Number of replies the fault hits (default: all); N@A for board A only.", "N", "-1"},
        {"fault-after", "Sound replies before the fault hits (default 0); N@A for board A only.", "N", "0"},
        {"fault-rate",
         "Percent of replies hit by a random fault, e.g. 0.5 (default 0); P@A for board A only.", "P", "0"},
        {"seed", "Seed of the random faults (default 1).", "N", "1"},
        {"status", "Initial status register 4265 (0..65535).", "N", "0"},
        {"turnaround", "Pause before each reply in ms (default 2).", "ms", "2"},
        {"listen",
         "Serve the line over TCP as RTU over TCP instead of a pseudo-terminal, at [ADDRESS:]PORT "
         "(loopback unless an address is given).",
         "ADDRESS:PORT"},
        {"listen-modbus-tcp",
         "Serve the line behind a Modbus TCP gateway at [ADDRESS:]PORT (loopback unless an "
         "address is given).",
         "ADDRESS:PORT"},
        {"latency", "The network's delay added to every request in ms (default 0).", "ms", "0"},
        {"net-fault",
         "echo (the converter echoes each request), othertid (replies carry another transaction "
         "identifier), reset (the connection is reset, once), silent (nothing is answered); :N for "
         "N sound requests first.",
         "F", "none"},
    };
    p.addOptions(options);
    kx9::view::BoardDisplay::AddOptions(p);
    p.process(app);

    // One board a listed address; boards.front() is the first (by default the only) one.
    std::vector<BoardModel> boards;
    if (const QString error = BuildBoards(p, boards); !error.isEmpty())
        return Fail(error);

    kx9::SimOptions sim;
    sim.link = p.value("link");
    sim.log = p.isSet("log");
    sim.pace = p.isSet("pace");
    if (!IntIn(p.value("turnaround"), 0, 10000, sim.turnaroundMs))
        return Fail("--turnaround must be 0..10000");

    // The view shows the first board on the line.
    QString viewError;
    const auto display = kx9::view::BoardDisplay::FromOptions(p, boards.front(), viewError);
    if (!viewError.isEmpty())
        return Fail(viewError);
    if (display)
        sim.betweenFrames = [&display] { return display->Service(); };

    std::vector<BoardModel*> line;
    for (BoardModel& board : boards)
        line.push_back(&board);
    if (p.isSet("listen") || p.isSet("listen-modbus-tcp")) {
        if (p.isSet("listen") && p.isSet("listen-modbus-tcp"))
            return Fail("--listen and --listen-modbus-tcp exclude each other");
        kx9::TcpOptions tcp;
        tcp.gateway = p.isSet("listen-modbus-tcp");
        tcp.listen = p.value(tcp.gateway ? "listen-modbus-tcp" : "listen");
        if (!IntIn(p.value("latency"), 0, 60000, tcp.latencyMs))
            return Fail("--latency must be 0..60000");
        if (!kx9::ParseNetFault(p.value("net-fault"), tcp.fault))
            return Fail("bad --net-fault " + p.value("net-fault"));
        return kx9::RunTcpBoard(line, sim, tcp);
    }
    return kx9::RunPtyBoard(line, sim);
}
