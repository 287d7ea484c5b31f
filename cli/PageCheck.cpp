// SPDX-License-Identifier: MIT
#include "PageCheck.h"

#include "Console.h"
#include "Report.h"
#include "ops/PageCodec.h"
#include "ops/RequestChain.h"

#include <QJsonArray>

namespace kx9::cli {

namespace {

constexpr int SelectPauseMs = 10;
constexpr int WindowRegs = 101; // the selector, which says what the window holds, and the window

} // namespace

Outcome CheckPage(Session& s, int page, const ConfigImage::Page& wanted, const QStringList& lines) {
    Transfers& t = s.program.transfers;
    std::vector<ChainStep> steps{{[&] {
                                      if (t.scheduler.OpenLink() != 1)
                                          return false;
                                      s.image.SetReg(RegPageSelector, page);
                                      t.scheduler.SendWrite(RegPageSelector, 1);
                                      return true;
                                  },
                                  0},
                                 {[&] {
                                      t.clock.pause(SelectPauseMs);
                                      t.scheduler.SendRead(RegPageSelector, WindowRegs);
                                      return true;
                                  },
                                  50}};
    bool arrived = false; // the chain ran to its end: every reply matched
    const bool ran = s.RunChain(std::move(steps), QStringLiteral("Odczyt Strony Tekstowej"), arrived);
    if (ran && !arrived)
        s.dialogs.Report(QStringLiteral("Błąd transmisji danych: strona nie została odczytana z tablicy"));
    if (!ran || !arrived)
        return {BoardFailed, {}, {}};
    // The window is the page the selector names after the read, whichever that is.
    if (s.image.Reg(RegPageSelector) != page) {
        s.dialogs.Report(QStringLiteral("Tablica podaje w oknie stronę %1 zamiast %2")
                             .arg(s.image.Reg(RegPageSelector))
                             .arg(page));
        return {BoardFailed, {}, {}};
    }
    pagecodec::PageFromWindow(s.image);
    const QStringList board = PageLines(s.image, page);
    const bool same = SameText(wanted, s.image.pages[size_t(page)]);
    QString text = same ? QStringLiteral("Strona %1 na tablicy zgodna\n").arg(page)
                        : QStringLiteral("Strona %1 na tablicy różni się:\n").arg(page);
    if (!same)
        for (const QString& line : board)
            text += QStringLiteral("  tablica: | ") + PrintableLine(line) + QLatin1Char('\n');
    return {same ? Done : BoardFailed,
            text,
            {{"page", page},
             {"lines", QJsonArray::fromStringList(lines)},
             {"board", QJsonArray::fromStringList(board)},
             {"differences", same ? 0 : 1}}};
}

} // namespace kx9::cli
