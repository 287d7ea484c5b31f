// SPDX-License-Identifier: MIT
// kx9ctl's fleet manifest: any bytes are boards or a reason, and every board taken has a port,
// one address of 1..247 once on its port, and commands that stay within the board's pages.
#include "cli/Manifest.h"

#include <cstdlib>
#include <set>
#include <tuple>

using namespace kx9;
using namespace kx9::cli;

namespace {

void Check(bool holds) {
    if (!holds)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QString why;
    const auto boards = ParseManifest(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)),
                                      QStringLiteral("/hall"), &why);
    Check(boards.has_value() == why.isEmpty());
    if (!boards)
        return 0;
    Check(!boards->empty() && boards->size() <= size_t(MaxBoards));
    std::set<std::tuple<int, QString, int>> seen;
    for (const ManifestBoard& b : *boards) {
        Check(b.link.portIndex.has_value() != !b.link.portPath.isEmpty());
        Check(b.link.address && *b.link.address >= 1 && *b.link.address <= 247);
        Check(seen.insert({b.link.portIndex.value_or(-1), b.link.portPath, *b.link.address}).second);
        Check(!b.config.isEmpty() || b.page || !b.graphics.empty() || b.clock);
        if (b.page) {
            Check(b.page->number >= 0 && b.page->number < PageCount && b.page->lines.size() <= 5);
            for (const QString& line : b.page->lines)
                Check(ControlCharAt(line) < 0);
        }
        std::set<int> taken;
        for (const ManifestGraphic& g : b.graphics) {
            Check((g.slot >= 0 && g.slot <= 9) || (g.slot >= 115 && g.slot <= 124));
            Check(taken.insert(g.slot % 115).second && !g.file.isEmpty());
        }
        const std::vector<Options> steps = ManifestSteps(b, Options{});
        Check(!steps.empty());
        for (const Options& step : steps)
            Check(step.link.address == b.link.address && step.link.portPath == b.link.portPath &&
                  !step.keepPage);
    }
    return 0;
}
