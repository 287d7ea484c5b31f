// SPDX-License-Identifier: MIT
#include "Commands.h"

#include "PageCheck.h"
#include "Ports.h"
#include "Render.h"
#include "Report.h"
#include "Scan.h"
#include "config/ConfigFile.h"
#include "config/Cp1250.h"
#include "config/Encodings.h"
#include "config/PageLayout.h"
#include "config/RegularFile.h"
#include "config/SettingsFiles.h"
#include "ops/DotMatrix.h"
#include "ops/PageCodec.h"
#include "ops/RequestChain.h"
#include "ops/StatusTexts.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>

#include <iterator>
#include <limits>
#include <utility>

namespace kx9::cli {

namespace {

constexpr int PageWriteRegs = 101; // the selector and the window: one page, nothing else
constexpr int PageWritePauseMs = 10;
constexpr int GraphicFrameWords = 100;
constexpr int GraphicFrames = 6;
constexpr int GraphicFramePauseMs = 50;

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
    // Checked again right before the rename: what stands there now must still be a file.
    if (const QString why = OutputFileProblem(path); !why.isEmpty()) {
        s.dialogs.Report(why);
        return false;
    }
    QString reason;
    if (WriteConfigFile(path, image, &reason))
        return true;
    s.dialogs.Report(SaveFailureText(path, reason));
    return false;
}

// def.cfg where kx9ctl writes it, or reads it (the working folder unless it cannot be written).
QString DefaultsPath() {
    return SettingsFileToWrite(DefaultFileName);
}

QString DefaultsToRead() {
    return SettingsFileToRead(DefaultFileName);
}

// A board whose registers say it has no lines, lines of no characters, or more than a page
// holds cannot be laid out for; nothing is sent to it.
bool GeometryUsable(Session& s) {
    const QString why = GeometryProblem(s.image.Reg(RegBoardSize), s.image.Reg(RegLineLength));
    if (why.isEmpty())
        return true;
    s.dialogs.Report(QStringLiteral("Tablica podaje rozmiar, którego nie może mieć: ") + why +
                     QStringLiteral("; nic nie wysłano. Sprawdź rozmiar tablicy i długość wiersza w oknie "
                                    "edytora stron."));
    return false;
}

QString ClockText(const ConfigImage& image) {
    const int hm = image.Reg(RegClockTime), year = image.Reg(RegClockYear), md = image.Reg(RegClockDate);
    // The board's time as it stands, in no zone: a time in the PC's daylight-saving gap is one.
    const QDate date(2000 + year, md / 100, md % 100);
    const QTime time(hm / 100, hm % 100);
    if (year < 100 && date.isValid() && time.isValid())
        return date.toString(QStringLiteral("yyyy-MM-dd")) + time.toString(QStringLiteral(" HH:mm"));
    return QStringLiteral("nieprawidłowy czas: %1 %2 %3").arg(hm).arg(year).arg(md);
}

QString Hex(int value) {
    return QStringLiteral("0x") + QString::number(value, 16).toUpper().rightJustified(4, '0');
}

} // namespace

Outcome RunIdentify(Session& s) {
    if (!s.UseDefaults())
        return {BadUsage, {}, {}};
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

Outcome RunRead(Session& s) {
    const QString& path = s.options.args[0];
    if (!s.UseDefaults())
        return {BadUsage, {}, {}};
    if (!s.Run([&] { return s.program.ops.StartConfigRead(); }))
        return Failed();
    if (!SaveOrSay(s, path, s.image))
        return {BadUsage, {}, {}};
    return Text(QStringLiteral("Konfiguracja odczytana do pliku: ") + path, {{"file", path}});
}

Outcome RunWrite(Session& s) {
    const QString& path = s.options.args[0];
    if (!s.UseFile(path))
        return {BadUsage, {}, {}};
    if (!s.Run([&] { return s.program.ops.StartConfigWrite(); }))
        return Failed();
    return Text(QStringLiteral("Konfiguracja zapisana do tablicy z pliku: ") + path, {{"file", path}});
}

Outcome RunVerify(Session& s) {
    const QString& path = s.options.args[0];
    ConfigImage file;
    if (const QString why = LoadConfig(path, file); !why.isEmpty())
        return Usage(s, why);
    if (!s.UseFile(path))
        return {BadUsage, {}, {}};
    if (!s.Run([&] { return s.program.ops.StartConfigRead(); }))
        return Failed();
    return WithDifferences(cli::Verify(file, s.image));
}

Outcome RunDump(Session& s) {
    const QString& path = s.options.args[0];
    ConfigImage image;
    if (const QString why = LoadConfig(path, image); !why.isEmpty())
        return Usage(s, why);
    const Report report = cli::Dump(image, path);
    return {Done, report.text, report.json};
}

Outcome RunDiff(Session& s) {
    const QString &first = s.options.args[0], &second = s.options.args[1];
    ConfigImage a, b;
    if (const QString why = LoadConfig(first, a); !why.isEmpty())
        return Usage(s, why);
    if (const QString why = LoadConfig(second, b); !why.isEmpty())
        return Usage(s, why);
    return WithDifferences(cli::Diff(a, b, s.options.bytes));
}

Outcome RunPage(Session& s) {
    const Options& o = s.options;
    const int page = o.args[0].toInt();
    const QStringList lines = o.args.mid(1);
    std::vector<QByteArray> bytes;
    if (const QString why = PageTextProblem(o); !why.isEmpty())
        return Usage(s, why);
    for (const QString& line : lines)
        bytes.push_back(*pagecodec::BoardText(line));
    const std::optional<QByteArray> name = o.name ? pagecodec::BoardText(*o.name) : std::nullopt;

    if (!s.UseDefaults())
        return {BadUsage, {}, {}};
    if (!ReadGeometry(s))
        return Failed();
    if (!GeometryUsable(s))
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
    if (o.verifyPage)
        return CheckPage(s, page, text, lines);

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

    const QString written = QStringLiteral("Strona %1 zapisana do tablicy").arg(page);
    QJsonObject json{{"page", page}, {"lines", QJsonArray::fromStringList(lines)}, {"boardWritten", true}};
    if (!o.keepPage)
        return Text(written, json);
    // The page and its name, which only the PC keeps, for the next start of the program.
    ConfigImage kept;
    kept.ResetImage(s.program.clock.now());
    if (CheckInputFile(DefaultsToRead(), ConfigFileSize) == FileProblem::None)
        LoadConfig(DefaultsToRead(), kept);
    kept.SetPage(page, text);
    if (name)
        kept.SetPageName(page, *name);
    json["name"] = cp1250::ToUnicode(kept.PageName(page));
    if (!SaveOrSay(s, DefaultsPath(), kept)) {
        // The board has the page: a script must not take the failure for a page not sent.
        s.dialogs.Report(written + QStringLiteral(", ale strona i jej nazwa nie zostały zapisane w pliku ") +
                         DefaultsPath());
        json["savedInDefaults"] = false;
        return {BadUsage, written + QStringLiteral(" (nie zapisano w %1)\n").arg(DefaultsPath()), json};
    }
    json["savedInDefaults"] = true;
    return Text(written, json);
}

Outcome RunClock(Session& s) {
    const Options& o = s.options;
    if (!s.UseDefaults())
        return {BadUsage, {}, {}};
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

Outcome RunStatus(Session& s) {
    if (!s.UseDefaults())
        return {BadUsage, {}, {}};
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

Outcome RunGraphic(Session& s) {
    const int number = s.options.args[0].toInt();
    const int slot = number < dots::GraphicSlots ? number : number - dots::FirstGraphicPage;
    const QString file = s.options.args[1];
    if (const QString why = PictureProblem(file); !why.isEmpty())
        return Usage(s, why);

    if (!s.UseDefaults())
        return {BadUsage, {}, {}};
    if (!ReadGeometry(s))
        return Failed();
    if (!GeometryUsable(s))
        return Failed();
    const QSize size = dots::GraphicSize(s.image.Reg(RegBoardSize), s.image.Reg(RegLineLength));
    dots::Matrix matrix{};
    dots::Buffer buffer{};
    dots::PackDots(dots::DrawToBoard(dots::LoadPicture(file, size), size), matrix);
    dots::PackWords(matrix, buffer);
    buffer[0] = slot;

    // The six frames of one slot, as the graphics window sends each of its ten.
    Transfers& t = s.program.transfers;
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
    bool arrived = false; // the chain ran to its end: every reply matched
    const bool sent = s.RunChain(std::move(steps), QStringLiteral("Transmisja Grafiki"), arrived);
    if (sent && !arrived)
        s.dialogs.Report(
            QStringLiteral("Błąd transmisji danych: nie wszystkie ramki grafiki dotarły do tablicy"));
    if (!sent || !arrived)
        return Failed();
    const int page = dots::FirstGraphicPage + slot;
    return Text(QStringLiteral("Strona graficzna %1 zapisana do tablicy").arg(page),
                {{"page", page}, {"width", size.width()}, {"height", size.height()}});
}

bool Kx9Answered(const ModbusLink& link) {
    return frame::IsKx9Identification(link.RxBuffer, link.RxLength);
}

QString BadFileText(const QString& path) {
    return InputFileText(path, FileProblem::TooLarge);
}

QString GeometryProblem(int boardSizeCode, int lineLengthCode) {
    const int rows = layout::Rows(boardSizeCode);
    const int length = layout::LineLength(lineLengthCode);
    if (rows < 1 || rows > layout::MaxLines)
        return QStringLiteral("rejestr %1 = %2 (%3 wierszy)").arg(RegBoardSize).arg(boardSizeCode).arg(rows);
    if (length < 1)
        return QStringLiteral("rejestr %1 = %2 (wiersz bez znaków)").arg(RegLineLength).arg(lineLengthCode);
    if (length * rows > PageSize)
        return QStringLiteral("rejestry %1 = %2 i %3 = %4 (%5 wierszy po %6 znaków, strona mieści %7)")
            .arg(RegBoardSize)
            .arg(boardSizeCode)
            .arg(RegLineLength)
            .arg(lineLengthCode)
            .arg(rows)
            .arg(length)
            .arg(PageSize);
    return {};
}

QString PageTextProblem(const Options& o) {
    for (const QString& line : o.args.mid(1)) {
        if (ControlCharAt(line) >= 0)
            return QStringLiteral("page: \"%1\" holds a control character").arg(PrintableLine(line));
        if (!pagecodec::BoardText(line))
            return QStringLiteral("page: \"%1\" holds a character the board cannot show").arg(line);
    }
    if (o.name) {
        const std::optional<QByteArray> name = pagecodec::BoardText(*o.name);
        if (ControlCharAt(*o.name) >= 0 || !name || name->size() > NameMax)
            return QStringLiteral("page: --name must be at most 32 characters the board can show");
    }
    return {};
}

QString PictureProblem(const QString& file) {
    // A pipe or a device is never handed to the picture reader, which would block on it.
    const FileProblem problem = CheckInputFile(file, dots::MaxPictureFileBytes);
    if (problem == FileProblem::Missing)
        return QStringLiteral("Nie można wczytać pliku graficznego: nie ma takiego pliku: ") + file;
    if (problem == FileProblem::TooLarge)
        return QStringLiteral("Nie można wczytać pliku graficznego: plik jest za duży: ") + file;
    if (problem != FileProblem::None)
        return QStringLiteral("Nie można wczytać pliku graficznego: to nie jest zwykły plik: ") + file;
    if (dots::LoadPicture(file).isNull())
        return QStringLiteral("Nie można wczytać pliku graficznego: ") + file;
    return {};
}

QString Precheck(const Options& o) {
    const QStringList& a = o.args;
    if (RowOf(o.command).link == LinkFrom::Defaults &&
        CheckInputFile(DefaultsToRead(), ConfigFileSize) == FileProblem::NotRegular)
        return InputFileText(DefaultsToRead(), FileProblem::NotRegular);
    ConfigImage image;
    switch (o.command) {
    case Command::Read:
        if (a.isEmpty())
            return QStringLiteral("read: no file named");
        if (const QString why = OutputFileProblem(a[0]); !why.isEmpty())
            return why;
        // Before the many requests of a whole read, not after them.
        return OutputFolderProblem(a[0]);
    case Command::Write:
    case Command::Verify:
    case Command::Dump:
        return LoadConfig(a[0], image);
    case Command::Diff:
        if (const QString why = LoadConfig(a[0], image); !why.isEmpty())
            return why;
        return LoadConfig(a[1], image);
    case Command::Page:
        if (const QString why = PageTextProblem(o); !why.isEmpty())
            return why;
        if (!o.keepPage || o.verifyPage)
            return {};
        if (const QString why = OutputFileProblem(DefaultsPath()); !why.isEmpty())
            return why;
        return OutputFolderProblem(DefaultsPath());
    case Command::Graphic:
        return PictureProblem(a[1]);
    case Command::Scan:
        // A scan that keeps its find saves def.cfg.
        return o.save ? OutputFileProblem(DefaultsPath()) : QString();
    default:
        return {};
    }
}

namespace {

// Each command's runner, in the table's order. Apply has none: a manifest runs as a fleet.
using Runner = Outcome (*)(Session&);
constexpr std::pair<Command, Runner> Runners[] = {
    {Command::Identify, RunIdentify}, {Command::Read, RunRead},   {Command::Write, RunWrite},
    {Command::Verify, RunVerify},     {Command::Dump, RunDump},   {Command::Diff, RunDiff},
    {Command::Page, RunPage},         {Command::Clock, RunClock}, {Command::Status, RunStatus},
    {Command::Graphic, RunGraphic},   {Command::Scan, RunScan},   {Command::Ports, RunPorts},
    {Command::Render, RenderPage},    {Command::Apply, nullptr},
};

constexpr bool EveryCommandOnce() {
    if (std::size(Runners) != CommandCount)
        return false;
    for (size_t k = 0; k < CommandCount; ++k)
        if (Runners[k].first != Command(k))
            return false;
    return true;
}
static_assert(EveryCommandOnce(), "one runner per command of the table, in its order");

} // namespace

Outcome Execute(Session& s) {
    // Everything that can be found wrong without the board is found before anything is sent.
    if (const QString why = Precheck(s.options); !why.isEmpty())
        return Usage(s, why);
    if (const Runner run = Runners[size_t(s.options.command)].second)
        return run(s);
    return Usage(s, QStringLiteral("%1: not a command of one board").arg(CommandName(s.options.command)));
}

} // namespace kx9::cli
