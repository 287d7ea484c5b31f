// SPDX-License-Identifier: MIT
#include "Report.h"

#include "Console.h"
#include "RegisterText.h"
#include "config/Cp1250.h"
#include "config/PageLayout.h"

#include <QJsonArray>

namespace kx9::cli {

namespace {

const char* const Blank = " ";

QString PageNumber(int page) {
    return QStringLiteral("%1").arg(page, 3, 10, QLatin1Char('0'));
}

QString Name(const ConfigImage& image, int page) {
    return cp1250::ToUnicode(image.PageName(page));
}

// Names and lines come from files and boards: as text they never carry a control character.
QString ShownName(const ConfigImage& image, int page) {
    return PrintableLine(Name(image, page));
}

QString PageHeading(const ConfigImage& image, int page) {
    return QStringLiteral("Strona %1 \"%2\"").arg(PageNumber(page), ShownName(image, page));
}

QString Listed(const QStringList& lines, const QString& prefix) {
    if (lines.isEmpty())
        return prefix + QStringLiteral("(pusta)\n");
    QString text;
    for (const QString& line : lines)
        text += prefix + PrintableLine(line) + QLatin1Char('\n');
    return text;
}

uint8_t Shown(uint8_t c) {
    return c == 0 ? uint8_t(' ') : c;
}

bool InWindow(int reg) {
    return reg > RegPageSelector && reg <= RegPageSelector + PageSize / 2;
}

// `page` at the geometry of `image`.
QStringList LinesAt(const ConfigImage& image, const ConfigImage::Page& page) {
    QStringList lines;
    for (const QByteArray& line :
         layout::PageToLines(page, image.Reg(RegBoardSize), image.Reg(RegLineLength)))
        lines << cp1250::ToUnicode(line);
    while (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

QString OrNone(const QString& text) {
    return text.isEmpty() ? QStringLiteral("poza listą") : text;
}

QString PortText(int index) {
    return QStringLiteral("COM%1").arg(index + 1);
}
QString BaudOf(int index) {
    return OrNone(BaudText(index));
}
QString FrameOf(int index) {
    return index >= 0 && index < int(FrameNames.size()) ? QString::fromLatin1(FrameNames[size_t(index)])
                                                        : QStringLiteral("poza listą");
}

QJsonObject LinkJson(const LinkSettings& link) {
    const bool rateKnown = link.BaudIndex < BaudRates.size();
    return {{"port", PortText(link.PortIndex)},
            {"baud", rateKnown ? QJsonValue(BaudRates[link.BaudIndex]) : QJsonValue()},
            {"frame", FrameOf(link.FrameIndex)},
            {"timeoutMs", int(link.ReplyTimeoutMs)},
            {"address", int(link.BoardAddress)}};
}

QJsonObject RegisterJson(int reg, int value) {
    return {{"register", reg}, {"value", value}, {"meaning", Meaning(reg)}, {"decoded", Decoded(reg, value)}};
}

template <class Each> void ForEachRegister(Each each) {
    for (int reg = MainBase; reg < MainBase + MainCount; ++reg)
        each(reg);
    for (int reg = SlaveBase; reg < SlaveBase + SlaveCount; ++reg)
        each(reg);
}

QString Summary(int differences, const QString& none) {
    return differences == 0 ? none + QLatin1Char('\n') : QStringLiteral("Różnic: %1\n").arg(differences);
}

} // namespace

bool WrittenByWholeWrite(int reg) {
    const auto in = [reg](int first, int last) { return reg >= first && reg <= last; };
    return in(RegSlaveTimeout, RegSlaveBaud) || in(RegDayBrightness, RegNightStart) ||
           in(RegLineLength, RegPresentationFirst + 114) || in(RegPresentationCount, RegPageSelector - 1) ||
           in(RegPageTail, RegDoubleHeight) || in(SlaveBase, SlaveBase + SlaveCount - 1);
}

QStringList PageLines(const ConfigImage& image, int page) {
    return LinesAt(image, image.pages[size_t(page)]);
}

bool SameText(const ConfigImage::Page& a, const ConfigImage::Page& b) {
    for (size_t i = 0; i < a.size(); ++i) {
        const uint8_t x = a[i] == 0 ? uint8_t(*Blank) : a[i];
        const uint8_t y = b[i] == 0 ? uint8_t(*Blank) : b[i];
        if (x != y)
            return false;
    }
    return true;
}

bool SameWindowWord(int a, int b) {
    return Shown(uint8_t(a >> 8)) == Shown(uint8_t(b >> 8)) && Shown(uint8_t(a)) == Shown(uint8_t(b)) &&
           (a & ~0xFFFF) == (b & ~0xFFFF);
}

Report Dump(const ConfigImage& image, const QString& fileName) {
    Report r;
    const LinkSettings& link = image.link;
    r.text = QStringLiteral("Plik: %1\n").arg(fileName);
    r.text += QStringLiteral("Połączenie: %1, %2, %3, czas odpowiedzi %4 ms, adres %5\n")
                  .arg(PortText(link.PortIndex), BaudOf(link.BaudIndex), FrameOf(link.FrameIndex))
                  .arg(link.ReplyTimeoutMs)
                  .arg(link.BoardAddress);

    r.text += QStringLiteral("Rejestry:\n");
    QJsonArray registers;
    ForEachRegister([&](int reg) {
        const int value = image.Reg(reg);
        const QString decoded = Decoded(reg, value);
        r.text += QStringLiteral("%1 %2  %3").arg(reg).arg(value, 6).arg(Meaning(reg));
        r.text += (decoded.isEmpty() ? QString() : QStringLiteral(": ") + decoded) + QLatin1Char('\n');
        registers.append(RegisterJson(reg, value));
    });

    r.text += QStringLiteral("Strony:\n");
    QJsonArray pages;
    for (int page = 0; page < PageCount; ++page) {
        const QStringList lines = PageLines(image, page);
        r.text += PageHeading(image, page) +
                  (lines.isEmpty() ? QStringLiteral(": pusta\n")
                                   : QStringLiteral(":\n") + Listed(lines, QStringLiteral("  | ")));
        pages.append(QJsonObject{
            {"page", page}, {"name", Name(image, page)}, {"lines", QJsonArray::fromStringList(lines)}});
    }
    r.json = {{"file", fileName}, {"link", LinkJson(link)}, {"registers", registers}, {"pages", pages}};
    return r;
}

Report Diff(const ConfigImage& a, const ConfigImage& b, bool bytes) {
    Report r;
    QJsonArray link;
    const auto setting = [&](const char* key, const QString& what, const QString& x, const QString& y) {
        if (x == y)
            return;
        r.text += QStringLiteral("Połączenie, %1: %2 -> %3\n").arg(what, x, y);
        link.append(QJsonObject{{"setting", key}, {"a", x}, {"b", y}});
        ++r.differences;
    };
    const LinkSettings& la = a.link;
    const LinkSettings& lb = b.link;
    setting("port", QStringLiteral("port"), PortText(la.PortIndex), PortText(lb.PortIndex));
    setting("baud", QStringLiteral("prędkość"), BaudOf(la.BaudIndex), BaudOf(lb.BaudIndex));
    setting("frame", QStringLiteral("ramka"), FrameOf(la.FrameIndex), FrameOf(lb.FrameIndex));
    setting("timeoutMs", QStringLiteral("czas odpowiedzi [ms]"), QString::number(la.ReplyTimeoutMs),
            QString::number(lb.ReplyTimeoutMs));
    setting("address", QStringLiteral("adres"), QString::number(la.BoardAddress),
            QString::number(lb.BoardAddress));

    QJsonArray registers;
    ForEachRegister([&](int reg) {
        const int x = a.Reg(reg), y = b.Reg(reg);
        if (x == y || (!bytes && InWindow(reg) && SameWindowWord(x, y)))
            return;
        r.text += QStringLiteral("%1  %2: %3 -> %4\n")
                      .arg(reg)
                      .arg(Meaning(reg), ValueText(reg, x), ValueText(reg, y));
        registers.append(QJsonObject{{"register", reg}, {"meaning", Meaning(reg)}, {"a", x}, {"b", y}});
        ++r.differences;
    });

    QJsonArray pages;
    for (int page = 0; page < PageCount; ++page) {
        if (Name(a, page) != Name(b, page)) {
            r.text += QStringLiteral("Nazwa strony %1: \"%2\" -> \"%3\"\n")
                          .arg(PageNumber(page), ShownName(a, page), ShownName(b, page));
            ++r.differences;
        }
        const bool same = bytes ? a.pages[size_t(page)] == b.pages[size_t(page)]
                                : SameText(a.pages[size_t(page)], b.pages[size_t(page)]);
        if (same)
            continue;
        const QStringList x = PageLines(a, page), y = PageLines(b, page);
        r.text += PageHeading(b, page) + QStringLiteral(": tekst różni się\n") +
                  Listed(x, QStringLiteral("  - ")) + Listed(y, QStringLiteral("  + "));
        pages.append(QJsonObject{
            {"page", page}, {"a", QJsonArray::fromStringList(x)}, {"b", QJsonArray::fromStringList(y)}});
        ++r.differences;
    }
    QJsonArray names;
    for (int page = 0; page < PageCount; ++page)
        if (Name(a, page) != Name(b, page))
            names.append(QJsonObject{{"page", page}, {"a", Name(a, page)}, {"b", Name(b, page)}});

    r.text += Summary(r.differences, QStringLiteral("Bez różnic"));
    r.json = {{"link", link},
              {"registers", registers},
              {"pages", pages},
              {"names", names},
              {"differences", r.differences}};
    return r;
}

Report Verify(const ConfigImage& file, const ConfigImage& board) {
    Report r;
    QJsonArray registers;
    ForEachRegister([&](int reg) {
        const int x = file.Reg(reg), y = board.Reg(reg);
        if (!WrittenByWholeWrite(reg) || x == y)
            return;
        r.text += QStringLiteral("%1  %2: plik %3, tablica %4\n")
                      .arg(reg)
                      .arg(Meaning(reg), ValueText(reg, x), ValueText(reg, y));
        registers.append(QJsonObject{{"register", reg},
                                     {"meaning", Meaning(reg)},
                                     {"file", x},
                                     {"board", y},
                                     {"fileText", ValueText(reg, x)},
                                     {"boardText", ValueText(reg, y)}});
        ++r.differences;
    });
    QJsonArray pages;
    for (int page = 0; page < PageCount; ++page) {
        if (SameText(file.pages[size_t(page)], board.pages[size_t(page)]))
            continue;
        // Both at the file's geometry, the one the write lays the pages out for.
        const QStringList x = PageLines(file, page), y = LinesAt(file, board.pages[size_t(page)]);
        r.text += PageHeading(file, page) + QStringLiteral(": tekst różni się\n") +
                  Listed(x, QStringLiteral("  plik:    | ")) + Listed(y, QStringLiteral("  tablica: | "));
        pages.append(QJsonObject{{"page", page},
                                 {"name", Name(file, page)},
                                 {"file", QJsonArray::fromStringList(x)},
                                 {"board", QJsonArray::fromStringList(y)}});
        ++r.differences;
    }
    r.text += Summary(r.differences, QStringLiteral("Tablica zgodna z plikiem"));
    r.json = {{"registers", registers}, {"pages", pages}, {"differences", r.differences}};
    return r;
}

} // namespace kx9::cli
