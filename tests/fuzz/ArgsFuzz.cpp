// SPDX-License-Identifier: MIT
// kx9ctl's command line, one argument per line of the input: every command line is taken or
// refused with a reason, and what is taken keeps the limits the commands rely on.
#include "cli/CliOptions.h"

#include <cstdlib>
#include <set>

using namespace kx9;
using namespace kx9::cli;

namespace {

void Check(bool holds) {
    if (!holds)
        std::abort();
}

bool LinkHolds(const LinkChoice& link) {
    return (!link.address || (*link.address >= 1 && *link.address <= 247)) &&
           (!link.portIndex || (*link.portIndex >= 0 && *link.portIndex < 8)) &&
           (!link.baudIndex || (*link.baudIndex >= 0 && *link.baudIndex < int(BaudRates.size()))) &&
           (!link.frameIndex || (*link.frameIndex >= 0 && *link.frameIndex < int(FrameNames.size()))) &&
           (!link.timeoutMs || (*link.timeoutMs >= 100 && *link.timeoutMs <= 20000));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QStringList args =
        QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size)).split('\n');
    const Parsed parsed = ParseOptions(QStringList{QStringLiteral("kx9ctl")} + args);
    const int outcomes =
        int(parsed.options.has_value()) + int(!parsed.error.isEmpty()) + int(!parsed.print.isEmpty());
    Check(outcomes == 1);
    if (!parsed.options)
        return 0;
    const Options& o = *parsed.options;
    Check(!CommandName(o.command).isEmpty());
    Check(LinkHolds(o.link));
    Check(o.boards.size() <= size_t(MaxBoards) && o.boards.size() != 1);
    std::set<std::pair<QString, int>> boards;
    for (const LinkChoice& b : o.boards) {
        Check(LinkHolds(b));
        Check(boards.insert({b.portGiven, b.address.value_or(0)}).second);
    }
    switch (o.command) {
    case Command::Page: {
        bool ok = false;
        const int page = o.args.value(0).trimmed().toInt(&ok);
        Check(ok && page >= 0 && page < PageCount);
        for (const QString& line : o.args.mid(1))
            Check(ControlCharAt(line) < 0);
        Check(!o.name || ControlCharAt(*o.name) < 0);
        break;
    }
    case Command::Clock:
        Check(o.clock != ClockMode::Set ||
              (o.setTo.isValid() && o.setTo.date().year() >= 2000 && o.setTo.date().year() <= 2099));
        break;
    case Command::Read:
        Check(o.args.size() == (o.outputDir.isEmpty() ? 1 : 0));
        break;
    case Command::Scan:
        Check(!o.probeMs || (*o.probeMs >= 1 && *o.probeMs <= 5000));
        break;
    default:
        break;
    }
    return 0;
}
