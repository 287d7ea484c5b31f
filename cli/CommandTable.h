// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cstddef>

// kx9ctl's commands: what the parser, the help, the dispatch and the fleet know of each command,
// one row a command. A new command is one enum value, one row and its runner in the dispatch
// (Execute), which checks at compile time that every command has one. The table is data only,
// so that the parser builds without the commands (the fuzz targets take the parser alone).
namespace kx9::cli {

// In the order of the help; the table's rows are in the same order.
enum class Command {
    Identify,
    Read,
    Write,
    Verify,
    Dump,
    Diff,
    Page,
    Clock,
    Status,
    Graphic,
    Scan,
    Ports,
    Render,
    Apply
};

// Which boards a command reaches.
enum class Boards {
    None,     // no board: files, or the system's ports
    One,      // one line, one board at a time
    Lists,    // one board, or lists of ports and addresses that a fleet runs
    Manifest, // the boards a manifest lists, always through the fleet
};

// Where the command's link settings come from before the command line's own.
enum class LinkFrom {
    None,     // it opens no line of its own
    Defaults, // def.cfg, else the built-in defaults
    File,     // its FILE.cfg, as loading it in the program does
};

constexpr size_t CommandCount = size_t(Command::Apply) + 1;

struct CommandOption {
    const char* name = nullptr;  // "name" for --name; null ends the list
    const char* value = nullptr; // what it takes ("TEXT"); null for a switch
};

struct CommandRow {
    Command command;
    const char* name;
    int minArgs;
    int maxArgs;
    std::array<CommandOption, 5> options = {}; // the options that go with this command only
    Boards boards;
    LinkFrom link;
    bool resultText = false;           // in a fleet, each board's text is its result, printed even when done
    bool drawsPictures = false;        // it needs Qt Gui's application object (an SVG's text needs its fonts)
    const char* help = nullptr;        // its lines of --help
    const char* windowsHelp = nullptr; // the same on Windows where they differ
};

// Every command, in the order of the help.
const std::array<CommandRow, CommandCount>& CommandTable();
const CommandRow& RowOf(Command command);

} // namespace kx9::cli
