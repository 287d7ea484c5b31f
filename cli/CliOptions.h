// SPDX-License-Identifier: MIT
#pragma once

#include "config/ConfigImage.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

// What kx9ctl was asked to do, from its command line.
namespace kx9::cli {

// Exit codes.
constexpr int Done = 0;
constexpr int BoardFailed = 1; // the board or the line failed, or the board differs from the file
constexpr int BadUsage = 2;    // a bad command line or a bad file

enum class Command { Identify, Read, Write, Verify, Dump, Diff, Page, Clock, Status, Graphic, Scan };

// Link settings given on the command line; each one given replaces the one from def.cfg or a file.
struct LinkChoice {
    std::optional<int> portIndex; // --port COMn
    QString portPath;             // --port PATH: any other device
    std::optional<int> address;
    std::optional<int> baudIndex;
    std::optional<int> frameIndex;
    std::optional<int> timeoutMs;

    void ApplyTo(LinkSettings& link) const;
};

enum class ClockMode { Read, Sync, Minute, Set };

struct Options {
    Command command = Command::Identify;
    QStringList args; // what follows the command
    LinkChoice link;
    bool fast = false;
    bool json = false;

    std::optional<QString> name; // page --name
    ClockMode clock = ClockMode::Read;
    QDateTime setTo;         // clock --set
    bool clear = false;      // status --clear
    std::vector<int> rates;  // scan: baud indexes, in the order to try
    std::vector<int> frames; // scan: frame indexes
    bool all = false;
    bool save = false;
};

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
std::optional<int> BaudIndexOf(const QString& text);
std::optional<int> FrameIndexOf(const QString& text);

} // namespace kx9::cli
