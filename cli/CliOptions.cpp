// SPDX-License-Identifier: MIT
#include "CliOptions.h"

#include "link/NetworkLine.h"
#include "link/PortMap.h"

#include <QCommandLineParser>
#include <QRegularExpression>

#include <algorithm>

namespace kx9::cli {

namespace {

const char* const Head = R"(Usage: kx9ctl [options] COMMAND [ARGUMENTS]

The KX9 board from a terminal, through the same operations, requests and checks
as the KX9 Konfigurator windows.

Commands:
)";

// After the commands' lines.
const char* const OptionsHelp = R"(
Options:
  --port COMn|PATH|ID|tcp://HOST:PORT|modbus-tcp://HOST:PORT
                        COM1..COM8 (COMn is the file COMn in this folder when
                        there, else the device or network line chosen for it in
                        the program, else /dev/ttyS<n-1>), any device path, a
                        name of /dev/serial/by-id, or a network line (RTU over
                        TCP, or a Modbus TCP gateway); give it again for more
                        ports, which run at the same time
  --address LIST        board address 1..247, or a list: 3,9,17 or 1-12; the
                        boards of one port go one after another
  --output-dir DIR      read with several boards: one file per board in DIR,
                        named by port and address (COM1-3.cfg)
  --baud RATE           2400 4800 9600 14400 19200 38400 57600 115200
  --frame FRAME         8N1 8N2 8E1 8O1
  --timeout MS          reply time-out, 100..20000 ms
  --fast                the same requests and pauses, but each reply is taken as
                        soon as it is in and the next request goes out at once
  --json                one JSON result on stdout
  --trace FILE          every request and reply with a millisecond time stamp, the
                        line and what the check made of it, to FILE (- for stderr)
  --rates LIST, --frames LIST
                        scan only these, comma-separated, in this order
  -h, --help            this text
  --version             the version

Link settings not given come from def.cfg in the working folder, else from the
built-in defaults (COM1, 115200 bit/s, 8N2, 1000 ms, address 1); write and verify
take them from FILE.cfg, as loading it in the program does.

Several boards (or apply) end with one report: a table of board, result,
duration and cause on stdout, or with --json one result per board.

Exit codes: 0 done (every board); 1 the board or the line failed (the cause on
stderr), or verify or diff found a difference (any board); 2 bad usage, a bad
file or bad link settings, found before anything is sent.
)";

// On Windows a port is a COM port, by its name, with no device files and no by-id names.
const char* const WindowsPorts[][2] = {
    {R"(  --port COMn|PATH|ID|tcp://HOST:PORT|modbus-tcp://HOST:PORT
                        COM1..COM8 (COMn is the file COMn in this folder when
                        there, else the device or network line chosen for it in
                        the program, else /dev/ttyS<n-1>), any device path, a
                        name of /dev/serial/by-id, or a network line (RTU over
                        TCP, or a Modbus TCP gateway); give it again for more
                        ports, which run at the same time
)",
     R"(  --port COMn|tcp://HOST:PORT|modbus-tcp://HOST:PORT
                        COM1..COM8 (the COM port or network line chosen for it
                        in the program, else the port of that name), any other
                        COM port, such as COM12, or a network line (RTU over
                        TCP, or a Modbus TCP gateway); give it again for more
                        ports, which run at the same time
)"},
};

// A comma-separated list of table entries; nothing when one is not in the table.
template <class Lookup> std::optional<std::vector<int>> ListOf(const QString& text, Lookup lookup) {
    std::vector<int> indexes;
    for (const QString& item : text.split(',', Qt::SkipEmptyParts)) {
        const std::optional<int> index = lookup(item);
        if (!index)
            return std::nullopt;
        indexes.push_back(*index);
    }
    if (indexes.empty())
        return std::nullopt;
    return indexes;
}

QString ParseLink(const QCommandLineParser& p, Options& o) {
    LinkChoice& link = o.link;
    const QStringList ports = p.values("port");
    std::vector<LinkChoice> portChoices;
    for (const QString& port : ports) {
        const std::optional<LinkChoice> choice = PortChoice(port);
        if (!choice)
            return QStringLiteral("--port needs COM1..COM8, a device path, a by-id name, tcp://HOST:PORT or "
                                  "modbus-tcp://HOST:PORT");
        for (const LinkChoice& earlier : portChoices)
            if (earlier.portIndex == choice->portIndex && earlier.portPath == choice->portPath)
                return QStringLiteral("--port %1 is given twice").arg(port);
        portChoices.push_back(*choice);
    }
    if (!portChoices.empty()) {
        link.portIndex = portChoices.front().portIndex;
        link.portPath = portChoices.front().portPath;
        link.portGiven = portChoices.front().portGiven;
    }
    std::vector<int> addresses;
    if (p.values("address").size() > 1)
        return QStringLiteral("--address is given twice (a list goes in one: 3,9,17 or 1-12)");
    if (p.isSet("address")) {
        QString why;
        const std::optional<std::vector<int>> list = AddressList(p.value("address"), &why);
        if (!list)
            return QStringLiteral("--address ") + why;
        addresses = *list;
        link.address = addresses.front();
    }
    if (p.isSet("baud") && !(link.baudIndex = BaudIndexOf(p.value("baud"))))
        return QStringLiteral("--baud must be 2400, 4800, 9600, 14400, 19200, 38400, 57600 or 115200");
    if (p.isSet("frame") && !(link.frameIndex = FrameIndexOf(p.value("frame"))))
        return QStringLiteral("--frame must be 8N1, 8N2, 8E1 or 8O1");
    if (p.isSet("timeout") && !(link.timeoutMs = NumberIn(p.value("timeout"), 100, 20000)))
        return QStringLiteral("--timeout must be 100..20000 ms");

    if (RowOf(o.command).boards == Boards::Manifest && (!portChoices.empty() || !addresses.empty()))
        return QStringLiteral("apply takes ports and addresses from its manifest");
    const bool several = portChoices.size() > 1 || addresses.size() > 1;
    if (several && RowOf(o.command).boards != Boards::Lists)
        return QStringLiteral("%1 takes one port and one address").arg(CommandName(o.command));
    if (!several)
        return {};
    if (portChoices.size() * std::max<size_t>(addresses.size(), 1) > size_t(MaxBoards))
        return QStringLiteral("at most %1 boards in one run").arg(MaxBoards);
    if (portChoices.empty())
        portChoices.emplace_back(); // the port of def.cfg
    for (const LinkChoice& port : portChoices) {
        LinkChoice board = link;
        board.portIndex = port.portIndex;
        board.portPath = port.portPath;
        board.portGiven = port.portGiven;
        if (addresses.empty()) {
            o.boards.push_back(board);
            continue;
        }
        for (int address : addresses) {
            board.address = address;
            o.boards.push_back(board);
        }
    }
    return {};
}

// Lines and names are typed here: what a terminal or a board would take for a command is
// refused where it is typed.
QString RefuseControls(const QString& what, const QString& text) {
    const int at = ControlCharAt(text);
    if (at < 0)
        return {};
    return QStringLiteral(
               "page: %1 holds a control character (%2); the board shows only printable characters")
        .arg(what, CodePoint(text, at));
}

QString ParseCommandOptions(const QCommandLineParser& p, Options& o) {
    switch (o.command) {
    case Command::Page: {
        if (!NumberIn(o.args[0], 0, PageCount - 1))
            return QStringLiteral("page: N must be a text page 0..114");
        if (p.isSet("name"))
            o.name = p.value("name");
        o.verifyPage = p.isSet("verify");
        if (o.verifyPage && o.name)
            return QStringLiteral("page --verify compares the board's text; names are kept only in def.cfg");
        if (o.name) {
            if (const QString why = RefuseControls(QStringLiteral("--name"), *o.name); !why.isEmpty())
                return why;
        }
        for (int line = 1; line < o.args.size(); ++line)
            if (const QString why = RefuseControls(QStringLiteral("line %1").arg(line), o.args[line]);
                !why.isEmpty())
                return why;
        break;
    }
    case Command::Clock: {
        const int modes = int(p.isSet("sync")) + int(p.isSet("minute")) + int(p.isSet("set"));
        if (modes > 1)
            return QStringLiteral("clock: give one of --sync, --minute and --set");
        if (p.isSet("sync"))
            o.clock = ClockMode::Sync;
        if (p.isSet("minute"))
            o.clock = ClockMode::Minute;
        if (p.isSet("set")) {
            o.clock = ClockMode::Set;
            QString why;
            const std::optional<QDateTime> at = BoardTime(p.value("set"), &why);
            if (!at)
                return QStringLiteral("clock --set ") + why;
            o.setTo = *at;
        }
        break;
    }
    case Command::Status:
        o.clear = p.isSet("clear");
        break;
    case Command::Read:
        if (p.isSet("output-dir")) {
            o.outputDir = p.value("output-dir");
            if (o.outputDir.isEmpty())
                return QStringLiteral("--output-dir needs a folder");
            if (!o.args.isEmpty())
                return QStringLiteral("read --output-dir names the files itself: give no FILE.cfg");
        } else if (o.args.isEmpty()) {
            return QStringLiteral("read: wrong number of arguments (kx9ctl --help)");
        } else if (!o.boards.empty()) {
            return QStringLiteral("read with several boards writes one file per board: give --output-dir DIR "
                                  "instead of FILE.cfg");
        }
        break;
    case Command::Diff:
        o.bytes = p.isSet("bytes");
        break;
    case Command::Graphic: {
        const std::optional<int> slot = NumberIn(o.args[0], 0, 124);
        if (!slot || (*slot > 9 && *slot < 115))
            return QStringLiteral("graphic: SLOT must be a graphic page 115..124 or a slot 0..9");
        break;
    }
    case Command::Scan:
        o.all = p.isSet("all");
        o.save = p.isSet("save");
        if (p.isSet("rates")) {
            const auto rates = ListOf(p.value("rates"), BaudIndexOf);
            if (!rates)
                return QStringLiteral(
                    "--rates must list rates of 2400 4800 9600 14400 19200 38400 57600 115200");
            o.rates = *rates;
        }
        if (p.isSet("frames")) {
            const auto frames = ListOf(p.value("frames"), FrameIndexOf);
            if (!frames)
                return QStringLiteral("--frames must list frames of 8N1 8N2 8E1 8O1");
            o.frames = *frames;
        }
        if (p.isSet("probe-ms") && !(o.probeMs = NumberIn(p.value("probe-ms"), 1, 5000)))
            return QStringLiteral("--probe-ms must be 1..5000 ms");
        break;
    default:
        break;
    }
    return {};
}

} // namespace

QString HelpText(bool windows) {
    QString text = QString::fromUtf8(Head);
    for (const CommandRow& c : CommandTable())
        text += QString::fromUtf8(windows && c.windowsHelp ? c.windowsHelp : c.help);
    text += QString::fromUtf8(OptionsHelp);
    if (windows)
        for (const auto& [other, own] : WindowsPorts)
            text.replace(QString::fromUtf8(other), QString::fromUtf8(own));
    return text;
}

std::optional<LinkChoice> PortChoice(const QString& text) {
    static const QRegularExpression com(QStringLiteral("^COM([1-8])$"),
                                        QRegularExpression::CaseInsensitiveOption);
    if (text.isEmpty())
        return std::nullopt;
    LinkChoice choice;
    choice.portGiven = text;
    const QRegularExpressionMatch match = com.match(text);
    if (LooksLikeNetworkLine(text) && !ParseNetworkLine(text))
        return std::nullopt; // tcp://HOST:PORT or modbus-tcp://HOST:PORT, port 1..65535
    if (match.hasMatch())
        choice.portIndex = match.captured(1).toInt() - 1;
    else
        choice.portPath = text;
    return choice;
}

bool IsFleet(const Options& o) {
    return !o.boards.empty() || RowOf(o.command).boards == Boards::Manifest || !o.outputDir.isEmpty();
}

QString CommandName(Command command) {
    return QString::fromLatin1(RowOf(command).name);
}

Parsed ParseOptions(const QStringList& arguments) {
    QCommandLineParser p;
    p.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    p.addOptions({
        {{"h", "help"}, ""},
        {"version", ""},
        {"port", "", "PORT"},
        {"address", "", "N"},
        {"baud", "", "RATE"},
        {"frame", "", "FRAME"},
        {"timeout", "", "MS"},
        {"fast", ""},
        {"json", ""},
        {"trace", "", "FILE"},
    });
    for (const CommandRow& c : CommandTable())
        for (const CommandOption& own : c.options)
            if (own.name)
                p.addOption({QString::fromLatin1(own.name), QString(), QString::fromLatin1(own.value)});

    Parsed parsed;
    if (!p.parse(arguments)) {
        parsed.error = p.errorText();
        return parsed;
    }
    if (p.isSet("help")) {
        parsed.print = HelpText(PortMap::WindowsPorts());
        return parsed;
    }
    if (p.isSet("version")) {
        parsed.print = QStringLiteral("kx9ctl 1.01\n");
        return parsed;
    }

    QStringList positional = p.positionalArguments();
    if (positional.isEmpty()) {
        parsed.error = QStringLiteral("no command given (kx9ctl --help lists them)");
        return parsed;
    }
    const QString name = positional.takeFirst();
    const CommandRow* info = nullptr;
    for (const CommandRow& c : CommandTable())
        if (name == QLatin1String(c.name))
            info = &c;
    if (!info) {
        parsed.error = QStringLiteral("unknown command \"%1\" (kx9ctl --help lists them)").arg(name);
        return parsed;
    }
    if (positional.size() < info->minArgs || positional.size() > info->maxArgs) {
        parsed.error = QStringLiteral("%1: wrong number of arguments (kx9ctl --help)").arg(name);
        return parsed;
    }
    for (const CommandRow& other : CommandTable())
        for (const CommandOption& own : other.options)
            if (own.name && &other != info && p.isSet(own.name)) {
                parsed.error = QStringLiteral("--%1 does not go with %2").arg(QLatin1String(own.name), name);
                return parsed;
            }

    Options o;
    o.command = info->command;
    o.args = positional;
    o.fast = p.isSet("fast");
    o.json = p.isSet("json");
    o.trace = p.value("trace");
    if (p.isSet("trace") && o.trace.isEmpty()) {
        parsed.error = QStringLiteral("--trace needs a file, or - for stderr");
        return parsed;
    }
    parsed.error = ParseLink(p, o);
    if (parsed.error.isEmpty())
        parsed.error = ParseCommandOptions(p, o);
    if (parsed.error.isEmpty())
        parsed.options = o;
    return parsed;
}

} // namespace kx9::cli
