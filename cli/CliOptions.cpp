// SPDX-License-Identifier: MIT
#include "CliOptions.h"

#include <QCommandLineParser>
#include <QRegularExpression>

namespace kx9::cli {

namespace {

const char* const HelpText = R"(Usage: kx9ctl [options] COMMAND [ARGUMENTS]

The KX9 board from a terminal, through the same operations, requests and checks
as the KX9 Konfigurator windows.

Commands:
  identify              identify the board (function 17)
  read FILE.cfg         read the whole configuration and save it to FILE.cfg
  write FILE.cfg        write the whole configuration in FILE.cfg to the board
  verify FILE.cfg       read the board back and list each register and page that
                        differs from what a write of FILE.cfg puts there
  dump FILE.cfg         FILE.cfg as readable text
  diff A.cfg B.cfg      every register, page, name and link setting that differs
  page N [--name TEXT] [LINE ...]
                        set text page N (0..114) on the board to the lines given
                        (none: an empty page); the page and its name are kept in
                        def.cfg as well. Put "--" before a line that starts with "-".
  clock [--sync | --minute | --set "YYYY-MM-DD HH:MM"]
                        read the board's clock; or set it from this PC now, at the
                        next full minute, or to the time given
  status [--clear]      show the status bits; --clear clears every error bit set
  graphic SLOT PICTURE  send PICTURE as graphic page SLOT (115..124, or 0..9)
  scan [--rates LIST] [--frames LIST] [--all] [--save]
                        find a board by identification at every address, rate
                        and frame, starting with def.cfg's settings, then the
                        board's defaults; stops at the first board unless --all;
                        --save keeps the settings found in def.cfg

Options:
  --port COMn|PATH      COM1..COM8 (COMn is the file COMn in this folder when
                        there, else /dev/ttyS<n-1>), or any device path
  --address N           board address 1..247
  --baud RATE           2400 4800 9600 14400 19200 38400 57600 115200
  --frame FRAME         8N1 8N2 8E1 8O1
  --timeout MS          reply time-out, 100..20000 ms
  --fast                the same requests and pauses, but each reply is taken as
                        soon as it is in and the next request goes out at once
  --json                one JSON result on stdout
  --rates LIST, --frames LIST
                        scan only these, comma-separated, in this order
  -h, --help            this text
  --version             the version

Link settings not given come from def.cfg in the working folder, else from the
built-in defaults (COM1, 115200 bit/s, 8N2, 1000 ms, address 1); write and verify
take them from FILE.cfg, as loading it in the program does.

Exit codes: 0 done; 1 the board or the line failed (the cause on stderr), or
verify or diff found a difference; 2 bad usage or a bad file.
)";

struct CommandInfo {
    const char* name;
    Command command;
    int minArgs;
    int maxArgs;
};

constexpr CommandInfo Commands[] = {
    {"identify", Command::Identify, 0, 0}, {"read", Command::Read, 1, 1},   {"write", Command::Write, 1, 1},
    {"verify", Command::Verify, 1, 1},     {"dump", Command::Dump, 1, 1},   {"diff", Command::Diff, 2, 2},
    {"page", Command::Page, 1, 1 + 5},     {"clock", Command::Clock, 0, 0}, {"status", Command::Status, 0, 0},
    {"graphic", Command::Graphic, 2, 2},   {"scan", Command::Scan, 0, 0},
};

// Options that belong to one command only.
struct OwnOption {
    const char* name;
    Command command;
};
constexpr OwnOption OwnOptions[] = {
    {"name", Command::Page},   {"sync", Command::Clock},   {"minute", Command::Clock},
    {"set", Command::Clock},   {"clear", Command::Status}, {"rates", Command::Scan},
    {"frames", Command::Scan}, {"all", Command::Scan},     {"save", Command::Scan},
};

std::optional<int> NumberIn(const QString& text, int low, int high) {
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    if (!ok || value < low || value > high)
        return std::nullopt;
    return value;
}

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

QString ParseLink(const QCommandLineParser& p, LinkChoice& link) {
    if (p.isSet("port")) {
        const QString port = p.value("port");
        static const QRegularExpression com(QStringLiteral("^COM([1-8])$"),
                                            QRegularExpression::CaseInsensitiveOption);
        const QRegularExpressionMatch match = com.match(port);
        if (match.hasMatch())
            link.portIndex = match.captured(1).toInt() - 1;
        else if (port.isEmpty())
            return QStringLiteral("--port needs COM1..COM8 or a device path");
        else
            link.portPath = port;
    }
    if (p.isSet("address") && !(link.address = NumberIn(p.value("address"), 1, 247)))
        return QStringLiteral("--address must be 1..247");
    if (p.isSet("baud") && !(link.baudIndex = BaudIndexOf(p.value("baud"))))
        return QStringLiteral("--baud must be 2400, 4800, 9600, 14400, 19200, 38400, 57600 or 115200");
    if (p.isSet("frame") && !(link.frameIndex = FrameIndexOf(p.value("frame"))))
        return QStringLiteral("--frame must be 8N1, 8N2, 8E1 or 8O1");
    if (p.isSet("timeout") && !(link.timeoutMs = NumberIn(p.value("timeout"), 100, 20000)))
        return QStringLiteral("--timeout must be 100..20000 ms");
    return {};
}

QString ParseCommandOptions(const QCommandLineParser& p, Options& o) {
    switch (o.command) {
    case Command::Page: {
        if (!NumberIn(o.args[0], 0, PageCount - 1))
            return QStringLiteral("page: N must be a text page 0..114");
        if (p.isSet("name"))
            o.name = p.value("name");
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
            o.setTo = QDateTime::fromString(p.value("set").trimmed(), QStringLiteral("yyyy-MM-dd HH:mm"));
            // The board keeps the year within its century, taken as 2000.
            if (!o.setTo.isValid() || o.setTo.date().year() < 2000 || o.setTo.date().year() > 2099)
                return QStringLiteral("clock --set needs \"YYYY-MM-DD HH:MM\" in the years 2000..2099");
        }
        break;
    }
    case Command::Status:
        o.clear = p.isSet("clear");
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
        break;
    default:
        break;
    }
    return {};
}

} // namespace

void LinkChoice::ApplyTo(LinkSettings& link) const {
    if (portIndex)
        link.PortIndex = uint8_t(*portIndex);
    if (address)
        link.BoardAddress = uint8_t(*address);
    if (baudIndex)
        link.BaudIndex = uint8_t(*baudIndex);
    if (frameIndex)
        link.FrameIndex = uint8_t(*frameIndex);
    if (timeoutMs)
        link.ReplyTimeoutMs = *timeoutMs;
}

QString CommandName(Command command) {
    for (const CommandInfo& c : Commands)
        if (c.command == command)
            return QString::fromLatin1(c.name);
    return {};
}

std::optional<int> BaudIndexOf(const QString& text) {
    const std::optional<int> baud = NumberIn(text, 1, 1000000);
    for (size_t k = 0; baud && k < BaudRates.size(); ++k)
        if (BaudRates[k] == *baud)
            return int(k);
    return std::nullopt;
}

std::optional<int> FrameIndexOf(const QString& text) {
    for (size_t k = 0; k < FrameNames.size(); ++k)
        if (text.trimmed().compare(QLatin1String(FrameNames[k]), Qt::CaseInsensitive) == 0)
            return int(k);
    return std::nullopt;
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
        {"name", "", "TEXT"},
        {"sync", ""},
        {"minute", ""},
        {"set", "", "TIME"},
        {"clear", ""},
        {"rates", "", "LIST"},
        {"frames", "", "LIST"},
        {"all", ""},
        {"save", ""},
    });

    Parsed parsed;
    if (!p.parse(arguments)) {
        parsed.error = p.errorText();
        return parsed;
    }
    if (p.isSet("help")) {
        parsed.print = QString::fromUtf8(HelpText);
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
    const CommandInfo* info = nullptr;
    for (const CommandInfo& c : Commands)
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
    for (const OwnOption& own : OwnOptions)
        if (p.isSet(own.name) && own.command != info->command) {
            parsed.error = QStringLiteral("--%1 does not go with %2").arg(QLatin1String(own.name), name);
            return parsed;
        }

    Options o;
    o.command = info->command;
    o.args = positional;
    o.fast = p.isSet("fast");
    o.json = p.isSet("json");
    parsed.error = ParseLink(p, o.link);
    if (parsed.error.isEmpty())
        parsed.error = ParseCommandOptions(p, o);
    if (parsed.error.isEmpty())
        parsed.options = o;
    return parsed;
}

} // namespace kx9::cli
