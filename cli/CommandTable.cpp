// SPDX-License-Identifier: MIT
#include "CommandTable.h"

namespace kx9::cli {

namespace {

constexpr std::array<CommandRow, CommandCount> Table{{
    {.command = Command::Identify,
     .name = "identify",
     .minArgs = 0,
     .maxArgs = 0,
     .boards = Boards::Lists,
     .link = LinkFrom::Defaults,
     .resultText = true,
     .help = R"(  identify              identify the board (function 17)
)"},
    {.command = Command::Read,
     .name = "read",
     .minArgs = 0,
     .maxArgs = 1,
     .options = {{{"output-dir", "DIR"}}},
     .boards = Boards::Lists,
     .link = LinkFrom::Defaults,
     .help = R"(  read FILE.cfg         read the whole configuration and save it to FILE.cfg
)"},
    {.command = Command::Write,
     .name = "write",
     .minArgs = 1,
     .maxArgs = 1,
     .boards = Boards::Lists,
     .link = LinkFrom::File,
     .help = R"(  write FILE.cfg        write the whole configuration in FILE.cfg to the board
)"},
    {.command = Command::Verify,
     .name = "verify",
     .minArgs = 1,
     .maxArgs = 1,
     .boards = Boards::Lists,
     .link = LinkFrom::File,
     .help = R"(  verify FILE.cfg       read the board back and list each register and page that
                        differs from what a write of FILE.cfg puts there
)"},
    {.command = Command::Dump,
     .name = "dump",
     .minArgs = 1,
     .maxArgs = 1,
     .boards = Boards::None,
     .link = LinkFrom::None,
     .help = R"(  dump FILE.cfg         FILE.cfg as readable text
)"},
    {.command = Command::Diff,
     .name = "diff",
     .minArgs = 2,
     .maxArgs = 2,
     .options = {{{"bytes"}}},
     .boards = Boards::None,
     .link = LinkFrom::None,
     .help = R"(  diff A.cfg B.cfg [--bytes]
                        every register, page, name and link setting that differs;
                        a blank and an empty place count alike unless --bytes
)"},
    {.command = Command::Page,
     .name = "page",
     .minArgs = 1,
     .maxArgs = 1 + 5,
     .options = {{{"name", "TEXT"}, {"verify"}}},
     .boards = Boards::Lists,
     .link = LinkFrom::Defaults,
     .help = R"(  page N [--name TEXT | --verify] [LINE ...]
                        set text page N (0..114) on the board to the lines given
                        (none: an empty page); the page and its name are kept in
                        def.cfg as well. Put "--" before a line that starts with "-".
                        --verify only compares page N on the board with the lines
                        (exit 1 when it differs); it selects the page to read it
                        and writes nothing else
)"},
    {.command = Command::Clock,
     .name = "clock",
     .minArgs = 0,
     .maxArgs = 0,
     .options = {{{"sync"}, {"minute"}, {"set", "TIME"}}},
     .boards = Boards::Lists,
     .link = LinkFrom::Defaults,
     .resultText = true,
     .help = R"(  clock [--sync | --minute | --set "YYYY-MM-DD HH:MM"]
                        read the board's clock; or set it from this PC now, at the
                        next full minute, or to the time given (the board's time,
                        as it stands: no time zone)
)"},
    {.command = Command::Status,
     .name = "status",
     .minArgs = 0,
     .maxArgs = 0,
     .options = {{{"clear"}}},
     .boards = Boards::Lists,
     .link = LinkFrom::Defaults,
     .resultText = true,
     .help = R"(  status [--clear]      show the status bits; --clear clears every error bit set
)"},
    {.command = Command::Graphic,
     .name = "graphic",
     .minArgs = 2,
     .maxArgs = 2,
     .boards = Boards::Lists,
     .link = LinkFrom::Defaults,
     .drawsPictures = true,
     .help = R"(  graphic SLOT PICTURE  send PICTURE as graphic page SLOT (115..124, or 0..9)
)"},
    {.command = Command::Scan,
     .name = "scan",
     .minArgs = 0,
     .maxArgs = 0,
     .options = {{{"rates", "LIST"}, {"frames", "LIST"}, {"all"}, {"save"}, {"probe-ms", "MS"}}},
     .boards = Boards::One,
     .link = LinkFrom::Defaults,
     .help = R"(  scan [--rates LIST] [--frames LIST] [--all] [--save] [--probe-ms MS]
                        find a board by identification at every address, rate
                        and frame, starting with def.cfg's settings, then the
                        board's defaults; stops at the first board unless --all
                        (then every board on the line, once each); --save keeps
                        the settings found in def.cfg; each probe waits MS
                        (1..5000, default 150) for a reply to begin
)"},
    {.command = Command::Ports,
     .name = "ports",
     .minArgs = 0,
     .maxArgs = 0,
     .boards = Boards::None,
     .link = LinkFrom::None,
     .help = R"(  ports                 where COM1..COM8 lead (the file COMn in this folder, the
                        user's choice made in the program's "Port Szeregowy"
                        window, or /dev/ttyS<n-1>) and the serial devices of the
                        system with description and serial number
)",
     .windowsHelp = R"(  ports                 where COM1..COM8 lead (the COM port chosen for the name in
                        the program's "Port Szeregowy" window, else the port of
                        that name) and the COM ports of the system with
                        description and serial number
)"},
    {.command = Command::Render,
     .name = "render",
     .minArgs = 3,
     .maxArgs = 3,
     .boards = Boards::None,
     .link = LinkFrom::None,
     .help = R"(  render FILE.cfg PAGE OUT.png
                        draw page PAGE (0..124) of FILE.cfg as the board's display
                        shows it, without a board (graphic pages take their
                        picture from grafika.ini in this folder)
)"},
    {.command = Command::Apply,
     .name = "apply",
     .minArgs = 1,
     .maxArgs = 1,
     .boards = Boards::Manifest,
     .link = LinkFrom::None,
     .drawsPictures = true,
     .help = R"(  apply FLEET.json      write, verify and set up every board the manifest lists
                        (configuration file, page text, graphics, clock), one
                        line in a row, the ports side by side; one report
)"},
}};

// The rows follow the enum, so that a command is found by its value.
constexpr bool InEnumOrder() {
    for (size_t k = 0; k < Table.size(); ++k)
        if (Table[k].command != Command(k))
            return false;
    return true;
}
static_assert(InEnumOrder(), "one row per command, in the order of the enum");

} // namespace

const std::array<CommandRow, CommandCount>& CommandTable() {
    return Table;
}

const CommandRow& RowOf(Command command) {
    return Table[size_t(command)];
}

} // namespace kx9::cli
