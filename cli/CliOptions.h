// SPDX-License-Identifier: MIT
#pragma once

#include "CommandTable.h"
#include "config/ConfigImage.h"
#include "link/ModbusFrame.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

// What kx9ctl was asked to do, from its command line.
namespace kx9::cli {

// Exit codes.
constexpr int Done = 0;
constexpr int BoardFailed = 1;   // the board or the line failed, or the board differs from the file
constexpr int BadUsage = 2;      // a bad command line or a bad file
constexpr int Interrupted = 130; // stopped by Ctrl-C, as shells count a SIGINT

// The most boards one run takes: every address of a line on each of a hall's adapters.
constexpr int MaxBoards = frame::MaxAddress * 16;

// Link settings given on the command line; each one given replaces the one from def.cfg or a file.
struct LinkChoice {
    std::optional<int> portIndex; // --port COMn
    QString portPath;             // --port PATH: any other device, or its by-id name
    QString portGiven;            // --port as typed, for messages
    std::optional<int> address;
    std::optional<int> baudIndex;
    std::optional<int> frameIndex;
    std::optional<int> timeoutMs;

    void ApplyTo(LinkSettings& link) const;
};

// "COM3" (as COM3) or a device path; an empty text names no port.
std::optional<LinkChoice> PortChoice(const QString& text);
// What --help prints; `windows` names Windows' ports rather than device files.
QString HelpText(bool windows);

enum class ClockMode { Read, Sync, Minute, Set };

struct Options {
    Command command = Command::Identify;
    QStringList args; // what follows the command
    LinkChoice link;  // the one board, or what every board of a list shares
    // --port given more than once and --address with a list: every board listed, ports first
    // in the order given, each port's addresses in the order given. Empty for one board.
    std::vector<LinkChoice> boards;
    QString outputDir; // read --output-dir: one file per board
    bool fast = false;
    bool json = false;
    QString trace; // --trace: every request and reply to this file, "-" for stderr

    std::optional<QString> name; // page --name
    ClockMode clock = ClockMode::Read;
    QDateTime setTo;            // clock --set: the board's time as given, in no time zone
    bool clear = false;         // status --clear
    std::vector<int> rates;     // scan: baud indexes, in the order to try
    std::vector<int> frames;    // scan: frame indexes
    std::optional<int> probeMs; // scan: the wait for a reply to begin; none: the default
    bool all = false;
    bool save = false;
    bool bytes = false; // diff --bytes: a blank and an empty place differ
    // page: the page and its name also go into def.cfg; a fleet keeps def.cfg apart from its
    // boards' threads and saves it once.
    bool keepPage = true;
    bool verifyPage = false; // page --verify: compare the board's page with the lines, write nothing
};

// Several boards (a list, or a folder of files for read) or a manifest: the fleet runner and
// its report.
bool IsFleet(const Options& options);

struct Parsed {
    std::optional<Options> options; // set when the command line is good
    QString error;                  // why it is not
    QString print;                  // --help or --version: print this and end
};

// `arguments` as main gets them, the program's name first.
Parsed ParseOptions(const QStringList& arguments);

// "identify", "read" ...
QString CommandName(Command command);

// Rate and frame indexes from "9600" and "8O1"; nothing when the text names none.
// `text` as a whole number within low..high.
std::optional<int> NumberIn(const QString& text, int low, int high);
std::optional<int> BaudIndexOf(const QString& text);
std::optional<int> FrameIndexOf(const QString& text);

// "3,9,17", "1-12" or both ("1-3,9"): addresses 1..247, each once, in the order given; nothing
// when the text is no such list (`why` then says what is wrong).
std::optional<std::vector<int>> AddressList(const QString& text, QString* why = nullptr);

// A board time as typed, "YYYY-MM-DD HH:MM" in the years 2000..2099, taken as it stands (no time
// zone, so no daylight-saving gap); `why` names the date or time that does not exist.
std::optional<QDateTime> BoardTime(const QString& text, QString* why = nullptr);

// The first control character (tab, newline, escape, delete ...) in `text`; -1 when none.
int ControlCharAt(const QString& text);
// "U+0009" for the character at `at`.
QString CodePoint(const QString& text, int at);

} // namespace kx9::cli
