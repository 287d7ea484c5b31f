// SPDX-License-Identifier: MIT
#include "Commands.h"

#include "Report.h"
#include "Scan.h"
#include "config/ConfigFile.h"
#include "config/Cp1250.h"
#include "config/Encodings.h"
#include "config/PageLayout.h"
#include "ops/DotMatrix.h"
#include "ops/PageCodec.h"
#include "ops/RequestChain.h"
#include "ops/StatusTexts.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>

namespace kx9::cli {

namespace {

constexpr int PageWriteRegs = 101; // the selector and the window: one page, nothing else
constexpr int PageWritePauseMs = 10;
constexpr int GraphicFrameWords = 100;
constexpr int GraphicFrames = 6;
constexpr int GraphicFramePauseMs = 50;
constexpr int ChainTickMs = 20;

Outcome Failed() {
    return {BoardFailed, {}, {}};
}

Outcome Usage(Session& s, const QString& why) {
    s.dialogs.Report(why);
    return {BadUsage, {}, {}};
}

Outcome Text(const QString& text, QJsonObject json = {}) {
    return {Done, text + QLatin1Char('\n'), json};
}

Outcome WithDifferences(const Report& report) {
    return {report.differences > 0 ? BoardFailed : Done, report.text, report.json};
}

// Registers 4013 and 4014 from the board: pages and pictures are laid out for its geometry.
bool ReadGeometry(Session& s) {
    return s.Run([&] { return s.program.transfers.Single(Transfers::Kind::Read, RegBoardSize, 2); });
}

bool SaveOrSay(Session& s, const QString& path, const ConfigImage& image) {
    if (WriteConfigFile(path, image))
        return true;
    s.dialogs.Report(QStringLiteral("Nie można zapisać pliku: ") + path);
    return false;
}

QString ClockText(const ConfigImage& image) {
    const int hm = image.Reg(RegClockTime), year = image.Reg(RegClockYear), md = image.Reg(RegClockDate);
    const QDateTime at(QDate(2000 + year, md / 100, md % 100), QTime(hm / 100, hm % 100));
    if (year < 100 && at.isValid())
        return at.toString(QStringLiteral("yyyy-MM-dd HH:mm"));
    return QStringLiteral("nieprawidłowy czas: %1 %2 %3").arg(hm).arg(year).arg(md);
}

QString Hex(int value) {
    return QStringLiteral("0x") + QString::number(value, 16).toUpper().rightJustified(4, '0');
}

Outcome Identify(Session& s) {
    s.UseDefaults();
    s.dialogs.resultTitles << QStringLiteral("Identyfikacja");
    if (!s.Run([&] { return s.program.ops.StartIdentification(); }) || s.dialogs.results.empty())
        return Failed();
    const QString text = s.dialogs.results.back().text;
    const ModbusLink& link = s.program.link;
    const bool kx9 = Kx9Answered(link);
    QJsonObject json{{"identification", text}, {"kx9", kx9}};
    if (kx9) {
        json["columns"] = link.RxBuffer[8] + 1;
        json["rows"] = link.RxBuffer[9] + 1;
    }
    // A device that answers but is no KX9 board is no success.
    return {kx9 ? Done : BoardFailed, text + QLatin1Char('\n'), json};
}

Outcome Read(Session& s, const QString& path) {
    s.UseDefaults();
    if (!QFileInfo(path).absoluteDir().exists())
        return Usage(s, QStringLiteral("Nie można zapisać pliku: ") + path);
    if (!s.Run([&] { return s.program.ops.StartConfigRead(); }))
        return Failed();
    if (!SaveOrSay(s, path, s.image))
        return {BadUsage, {}, {}};
    return Text(QStringLiteral("Konfiguracja odczytana do pliku: ") + path, {{"file", path}});
}

Outcome Write(Session& s, const QString& path) {
    if (!s.UseFile(path))
        return Usage(s, BadFileText(path));
    if (!s.Run([&] { return s.program.ops.StartConfigWrite(); }))
        return Failed();
    return Text(QStringLiteral("Konfiguracja zapisana do tablicy z pliku: ") + path, {{"file", path}});
}

Outcome Verify(Session& s, const QString& path) {
    ConfigImage file;
    if (!ReadConfigFile(path, file) || !s.UseFile(path))
        return Usage(s, BadFileText(path));
    if (!s.Run([&] { return s.program.ops.StartConfigRead(); }))
        return Failed();
    return WithDifferences(cli::Verify(file, s.image));
}

Outcome Dump(Session& s, const QString& path) {
    ConfigImage image;
    if (!ReadConfigFile(path, image))
        return Usage(s, BadFileText(path));
    const Report report = cli::Dump(image, path);
    return {Done, report.text, report.json};
}

Outcome Diff(Session& s, const QString& first, const QString& second) {
    ConfigImage a, b;
    if (!ReadConfigFile(first, a))
        return Usage(s, BadFileText(first));
    if (!ReadConfigFile(second, b))
        return Usage(s, BadFileText(second));
    return WithDifferences(cli::Diff(a, b));
}

Outcome Page(Session& s) {
    const Options& o = s.options;
    const int page = o.args[0].toInt();
    const QStringList lines = o.args.mid(1);
    std::vector<QByteArray> bytes;
    for (const QString& line : lines) {
        const std::optional<QByteArray> text = pagecodec::BoardText(line);
        if (!text)
            return Usage(s, QStringLiteral("page: \"%1\" holds a character the board cannot show").arg(line));
        bytes.push_back(*text);
    }
    const std::optional<QByteArray> name = o.name ? pagecodec::BoardText(*o.name) : std::nullopt;
    if (o.name && (!name || name->size() > NameMax))
        return Usage(s, QStringLiteral("page: --name must be at most 32 characters the board can show"));

    s.UseDefaults();
    if (!ReadGeometry(s))
        return Failed();
    const int sizeCode = s.image.Reg(RegBoardSize), lineCode = s.image.Reg(RegLineLength);
    const int rows = std::min(layout::Rows(sizeCode), layout::MaxLines);
    const int length = layout::LineLength(lineCode);
    if (int(bytes.size()) > rows)
        return Usage(s, QStringLiteral("page: the board shows %1 lines").arg(rows));
    for (const QByteArray& line : bytes)
        if (line.size() > length)
            return Usage(s, QStringLiteral("page: a line of the board holds %1 characters").arg(length));
    const ConfigImage::Page text = layout::LinesToPage(bytes, sizeCode, lineCode);

    Transfers& t = s.program.transfers;
    const bool sent = s.Run([&] {
        if (!t.MayStart() || t.scheduler.OpenLink() != 1)
            return false;
        t.clock.pause(PageWritePauseMs);
        s.image.SetPage(page, text);
        pagecodec::PageToWindow(s.image, page);
        t.scheduler.SendWrite(RegPageSelector, PageWriteRegs);
        t.scheduler.EnableWatchdog();
        return true;
    });
    if (!sent)
        return Failed();

    // The page and its name, which only the PC keeps, for the next start of the program.
    ConfigImage kept;
    kept.ResetImage(s.program.clock.now());
    LoadDefaultFile(kept);
    kept.SetPage(page, text);
    if (name)
        kept.SetPageName(page, *name);
    if (!SaveOrSay(s, QString::fromLatin1(DefaultFileName), kept))
        return {BadUsage, {}, {}};
    return Text(QStringLiteral("Strona %1 zapisana do tablicy").arg(page),
                {{"page", page},
                 {"name", cp1250::ToUnicode(kept.PageName(page))},
                 {"lines", QJsonArray::fromStringList(lines)}});
}

Outcome Clock(Session& s) {
    const Options& o = s.options;
    s.UseDefaults();
    BoardOperations& ops = s.program.ops;
    bool ok = false;
    switch (o.clock) {
    case ClockMode::Read:
        ok = s.Run([&] { return ops.StartClockRead(); });
        break;
    case ClockMode::Sync:
        ok = s.Run([&] { return ops.StartClockWrite(true); });
        break;
    case ClockMode::Minute: {
        // As "Synchronizuj Sek": the PC's time goes out at the first moment of a full minute.
        ::kx9::Clock& clock = s.program.clock;
        TermProgress& bar = s.progress;
        for (int waited = 0; clock.now().time().second() != 0 && waited <= 61000;) {
            const QTime now = clock.now().time();
            bar.ShowProgress(QStringLiteral("Pozostało: %1 s").arg(60 - now.second()));
            bar.SetProgress(now.second() * 100 / 60);
            const int step = std::clamp(1000 - now.msec(), 1, 200);
            clock.pause(step);
            waited += step;
        }
        bar.HideProgress();
        ok = s.Run([&] { return ops.StartClockWrite(true); });
        break;
    }
    case ClockMode::Set: {
        const ClockRegisters clock = EncodeClock(o.setTo);
        s.image.SetReg(RegClockTime, clock.time);
        s.image.SetReg(RegClockYear, clock.year);
        s.image.SetReg(RegClockDate, clock.date);
        ok = s.Run([&] { return ops.StartClockWrite(false); });
        break;
    }
    }
    if (!ok)
        return Failed();
    const QString at = ClockText(s.image);
    return Text(at, {{"clock", at}, {"set", o.clock != ClockMode::Read}});
}

Outcome Status(Session& s) {
    s.UseDefaults();
    if (!s.Run([&] { return s.program.ops.StartStatusRead(); }) || !s.status.shown)
        return Failed();
    const uint16_t read = s.status.read;
    const QStringList texts = StatusTexts(read);
    QString text = QStringLiteral("Rejestr statusu: ") + Hex(read) + QLatin1Char('\n') + texts.join('\n');
    QJsonObject json{{"status", read}, {"texts", QJsonArray::fromStringList(texts)}};
    if (s.options.clear) {
        const int now = s.image.Reg(RegStatus);
        text += QStringLiteral("\nKasuj Błąd: ") + (now == read ? QStringLiteral("brak błędów") : Hex(now));
        json["cleared"] = now;
    }
    return Text(text, json);
}

Outcome Graphic(Session& s) {
    const int number = s.options.args[0].toInt();
    const int slot = number < dots::GraphicSlots ? number : number - dots::FirstGraphicPage;
    const QString file = s.options.args[1];
    if (dots::LoadPicture(file).isNull())
        return Usage(s, QStringLiteral("Nie można wczytać pliku graficznego: ") + file);

    s.UseDefaults();
    if (!ReadGeometry(s))
        return Failed();
    const QSize size = dots::GraphicSize(s.image.Reg(RegBoardSize), s.image.Reg(RegLineLength));
    dots::Matrix matrix{};
    dots::Buffer buffer{};
    dots::PackDots(dots::DrawToBoard(dots::LoadPicture(file, size), size), matrix);
    dots::PackWords(matrix, buffer);
    buffer[0] = slot;

    // The six frames of one slot, as the graphics window sends each of its ten.
    Transfers& t = s.program.transfers;
    QTimer timer;
    timer.setInterval(ChainTickMs);
    timer.setTimerType(Qt::PreciseTimer);
    RequestChain chain(t, timer);
    QObject::connect(&timer, &QTimer::timeout, [&] { chain.Tick(); });
    const auto frame = [&](int first, int count) {
        if (first == 0 && t.scheduler.OpenLink() != 1)
            return false;
        if (first > 0)
            t.clock.pause(GraphicFramePauseMs);
        t.scheduler.SendWriteFrom(first, count, buffer.data(), dots::BufferWords);
        return true;
    };
    std::vector<ChainStep> steps{{[&] { return frame(0, GraphicFrameWords + 1); }, 0}};
    for (int f = 1; f < GraphicFrames; ++f) {
        // Register 600 goes along only when the page reaches it.
        const bool word600 = f == GraphicFrames - 1 && dots::UsedBytes(size) > dots::MatrixBytes - 2;
        const int count = GraphicFrameWords + (word600 ? 1 : 0);
        steps.push_back(
            {[&, f, count] { return frame(f * GraphicFrameWords, count); }, 100 * f / (GraphicFrames - 1)});
    }
    const bool sent = s.Run(
        [&] {
            if (!chain.Start(std::move(steps), [&] {
                    t.scheduler.CloseLink();
                    t.progress.HideProgress();
                }))
                return false;
            t.ShowFromZero(QStringLiteral("Transmisja Grafiki"));
            return true;
        },
        &timer, [&] { chain.Tick(); });
    if (!sent)
        return Failed();
    const int page = dots::FirstGraphicPage + slot;
    return Text(QStringLiteral("Strona graficzna %1 zapisana do tablicy").arg(page),
                {{"page", page}, {"width", size.width()}, {"height", size.height()}});
}

} // namespace

bool Kx9Answered(const ModbusLink& link) {
    constexpr int Kx9ReplyBytes = 12; // address, 17, count, ID, run, "KX9", columns, rows, CRC
    return link.RxLength >= Kx9ReplyBytes && link.RxBuffer[3] == 0x98 && link.RxBuffer[5] == 'K' &&
           link.RxBuffer[6] == 'X' && link.RxBuffer[7] == '9';
}

QString BadFileText(const QString& path) {
    return QStringLiteral("Błąd otwarcia pliku: Plik jest uszkodzony lub wskazany plik nie jest plikiem "
                          "konfiguracyjnym KX9: ") +
           path;
}

Outcome Execute(Session& s) {
    const QStringList& a = s.options.args;
    switch (s.options.command) {
    case Command::Identify:
        return Identify(s);
    case Command::Read:
        return Read(s, a[0]);
    case Command::Write:
        return Write(s, a[0]);
    case Command::Verify:
        return Verify(s, a[0]);
    case Command::Dump:
        return Dump(s, a[0]);
    case Command::Diff:
        return Diff(s, a[0], a[1]);
    case Command::Page:
        return Page(s);
    case Command::Clock:
        return Clock(s);
    case Command::Status:
        return Status(s);
    case Command::Graphic:
        return Graphic(s);
    case Command::Scan:
        return RunScan(s);
    }
    return {BadUsage, {}, {}};
}

} // namespace kx9::cli
