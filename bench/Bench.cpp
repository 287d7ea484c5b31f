// SPDX-License-Identifier: MIT
// kx9-bench: times the whole-configuration and text page transfers through the program's own
// link, scheduler and board operations against kx9-sim, which takes the wire time of every
// frame, several runs each, and prints the fastest, middle and slowest beside the wire time of
// the same frames and the floor of the program's ticks, which none may pass by 5 %; and the picture
// conversion of the graphic pages, which must take under 2 ms; and a frame of kx9-sim's board
// view, which at 30 frames a second must take under 5 % of one core; and kx9ctl's write to a
// fleet of four lines of three boards, which must take at most 3.3 x one board's write; and over
// RTU over TCP with a 20 ms round trip, kx9ctl's whole read beside its floor and a write to ten
// lines of five boards beside one board's.
#include "Kx9ctlBench.h"
#include "board/view/BoardRender.h"
#include "config/PageLayout.h"
#include "link/QtSerialPort.h"
#include "ops/DotMatrix.h"
#include "ops/Program.h"
#include "render/ImageSource.h"
#include "render/Overflow.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace {

using namespace kx9;

// The real port, counting what crosses it.
class CountingPort : public SerialPort {
public:
    bool open(const QString& name, const LineSettings& line) override { return m_inner.open(name, line); }
    void close() override { m_inner.close(); }
    bool isOpen() const override { return m_inner.isOpen(); }
    void purge() override { m_inner.purge(); }
    int write(const uint8_t* data, int length) override {
        const int n = m_inner.write(data, length);
        ++requests;
        bytesOut += n;
        return n;
    }
    int bytesWaiting() override { return m_inner.bytesWaiting(); }
    int read(uint8_t* buffer, int max) override {
        const int n = m_inner.read(buffer, max);
        bytesIn += n;
        return n;
    }
    void Reset() { requests = bytesOut = bytesIn = 0; }

    int requests = 0;
    long bytesOut = 0;
    long bytesIn = 0;

private:
    QtSerialPort m_inner;
};

// Boxes go to stderr: any box during a benchmark run is a failure of that run.
class PrintingDialogs : public Dialogs {
public:
    void message(const QString& text, const QString& title, MsgIcon) override {
        std::fprintf(stderr, "  [%s] %s\n", title.toUtf8().constData(), text.toUtf8().constData());
        ++boxes;
    }
    bool confirm(const QString& text, const QString& title, MsgIcon icon) override {
        message(text, title, icon);
        return false;
    }
    QString openFile(const QString&) override { return {}; }
    QString saveFile(const QString&) override { return {}; }
    QString openPicture() override { return {}; }
    int boxes = 0;
};

// A simulator asked to end, then killed when it does not.
void EndProcess(QProcess& process) {
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(3000))
        process.kill();
    process.waitForFinished(3000);
}

// kx9-sim in a folder of its own, offering its pseudo-terminal there as "COM1".
class Sim {
public:
    bool Start(const QString& program, int baud, const QStringList& more = {}) {
        if (!m_dir.isValid())
            return false;
        m_process.setWorkingDirectory(m_dir.path());
        m_process.setStandardOutputFile(QProcess::nullDevice());
        m_process.setStandardErrorFile(m_dir.filePath(QStringLiteral("sim.log")));
        m_process.start(program, QStringList{"--link", "COM1", "--baud", QString::number(baud), "--frame",
                                             "8N2", "--pace"} +
                                     more);
        if (!m_process.waitForStarted(5000))
            return false;
        QElapsedTimer t;
        t.start();
        while (!QFileInfo(QDir(m_dir.path()).filePath(QStringLiteral("COM1"))).isSymLink()) {
            if (m_process.state() != QProcess::Running || t.hasExpired(5000))
                return false;
            QThread::msleep(10);
        }
        return true;
    }
    ~Sim() { EndProcess(m_process); }
    QString Dir() const { return m_dir.path(); }
    QString Link() const { return QDir(m_dir.path()).filePath(QStringLiteral("COM1")); }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
};

// kx9-sim serving its line over TCP (RTU over TCP) on a free loopback port, paced, with the
// network's round trip added to every request.
class NetSim {
public:
    // The line to give --port ("tcp://127.0.0.1:PORT"), or nothing when it did not start.
    QString Start(const QString& program, int baud, int latencyMs, const QStringList& more = {}) {
        m_process.setStandardErrorFile(QProcess::nullDevice());
        m_process.start(program,
                        QStringList{"--listen", "127.0.0.1:0", "--baud", QString::number(baud), "--frame",
                                    "8N2", "--pace", "--latency", QString::number(latencyMs)} +
                            more);
        if (!m_process.waitForStarted(5000))
            return {};
        // It names the line it listens on once it does.
        static const QRegularExpression behind(QStringLiteral("behind (tcp://\\S+)"));
        QByteArray out;
        QElapsedTimer t;
        t.start();
        while (!t.hasExpired(5000) && m_process.state() == QProcess::Running) {
            m_process.waitForReadyRead(100);
            out += m_process.readAllStandardOutput();
            const QRegularExpressionMatch match = behind.match(QString::fromUtf8(out));
            if (match.hasMatch())
                return match.captured(1);
        }
        return {};
    }
    ~NetSim() { EndProcess(m_process); }

private:
    QProcess m_process;
};

// The round trip of the network lines the benchmark goes over.
constexpr int NetworkLatencyMs = 20;

// The program on the real port, as the configurator builds it, without its windows.
struct Seams {
    CountingPort port;
    SystemClock clock;
    PrintingDialogs dialogs;
};
struct Bench : Seams {
    kx9::Program program{port, dialogs, clock};
    BoardOperations& ops = program.ops;

    // The real timers, in a real event loop, until every one has stopped.
    bool RunUntilIdle(int timeoutMs) { return program.scheduler.WaitUntilIdle(timeoutMs, 1); }
};

// The program's transfers may take at most this much over their tick floor.
constexpr double TicksLimit = 1.05;

// One transfer repeated: its wall times in order of size.
struct Result {
    const char* name;
    int baud;
    std::vector<double> wallS;
    int requests;
    double wireS;
    double ticksS; // the least it can take on the program's ticks
    bool ok;

    double Min() const { return wallS.front(); }
    double Median() const { return wallS[wallS.size() / 2]; }
    double Max() const { return wallS.back(); }
};

void FillSample(ConfigImage& image) {
    image.ResetImage(QDateTime::currentDateTime());
    const uint8_t polish[] = {165, 198, 202, 163, 209, 211, 140, 143, 175,
                              185, 230, 234, 179, 241, 243, 156, 159, 191};
    for (int p = 0; p < PageCount; ++p)
        for (int i = 0; i < PageSize; ++i)
            image.pages[size_t(p)][size_t(i)] =
                i % 11 == 5 ? polish[(p + i) % 18] : uint8_t('A' + (p + i) % 26);
}

// kx9ctl write to 4 lines of 3 boards each at the first rate, beside one board's write.
bool MeasureFleet(const QString& simProgram, const QString& kx9ctl, int baudIndex) {
    constexpr int Lines = 4;
    const int baud = BaudRates[size_t(baudIndex)];
    std::vector<std::unique_ptr<Sim>> lines;
    QStringList links;
    for (int k = 0; k < Lines; ++k) {
        lines.push_back(std::make_unique<Sim>());
        if (!lines.back()->Start(simProgram, baud, {"--address", "1,2,3"})) {
            std::fprintf(stderr, "kx9-bench: kx9-sim did not start (%s)\n", qPrintable(simProgram));
            return false;
        }
        links << lines.back()->Link();
    }
    std::fprintf(stderr, "kx9ctl fleet at %d bit/s ...\n", baud);
    ConfigImage sample;
    FillSample(sample);
    const QString oldDir = QDir::currentPath();
    QDir::setCurrent(lines.front()->Dir());
    const bench::FleetRun run = bench::MeasureFleet(kx9ctl, links, 3, baudIndex, sample);
    QDir::setCurrent(oldDir);
    return bench::PrintFleet(run);
}

// Over RTU over TCP at the first rate: kx9ctl's whole read beside its floor, and a write to 10
// lines of 5 boards each beside one board's.
bool MeasureNetwork(const QString& simProgram, const QString& kx9ctl, int baudIndex) {
    constexpr int Lines = 10;
    constexpr int Boards = 5;
    const int baud = BaudRates[size_t(baudIndex)];
    QTemporaryDir dir;
    const QString oldDir = QDir::currentPath();
    if (!dir.isValid() || !QDir::setCurrent(dir.path()))
        return false;
    ConfigImage sample;
    FillSample(sample);
    bool ok = false;
    {
        NetSim one;
        const QString line = one.Start(simProgram, baud, NetworkLatencyMs);
        if (line.isEmpty()) {
            std::fprintf(stderr, "kx9-bench: kx9-sim did not listen (%s)\n", qPrintable(simProgram));
        } else {
            std::fprintf(stderr, "kx9ctl over %s at %d bit/s ...\n", qPrintable(line), baud);
            ok = bench::PrintNetwork(
                bench::MeasureNetworkRead(kx9ctl, line, baudIndex, sample, NetworkLatencyMs),
                NetworkLatencyMs);
        }
    }
    std::vector<std::unique_ptr<NetSim>> sims;
    QStringList lines;
    for (int k = 0; k < Lines; ++k) {
        sims.push_back(std::make_unique<NetSim>());
        const QString line =
            sims.back()->Start(simProgram, baud, NetworkLatencyMs, {"--address", "1,2,3,4,5"});
        if (line.isEmpty()) {
            std::fprintf(stderr, "kx9-bench: kx9-sim did not listen (%s)\n", qPrintable(simProgram));
            QDir::setCurrent(oldDir);
            return false;
        }
        lines << line;
    }
    std::fprintf(stderr, "kx9ctl fleet over %d network lines at %d bit/s ...\n", Lines, baud);
    bench::FleetRun run = bench::MeasureFleet(kx9ctl, lines, Boards, baudIndex, sample);
    run.kind = "network lines";
    QDir::setCurrent(oldDir);
    return bench::PrintFleet(run) && ok;
}

Result Measure(Bench& program, const char* name, int baud, int bitsPerChar, int runs,
               const std::function<void()>& start) {
    Result r{name, baud, {}, 0, 0, 0, true};
    for (int run = 0; run < runs; ++run) {
        program.port.Reset();
        const int boxesBefore = program.dialogs.boxes;
        QElapsedTimer wall;
        wall.start();
        start();
        const bool finished = program.RunUntilIdle(15 * 60 * 1000);
        r.wallS.push_back(wall.nsecsElapsed() / 1e9);
        r.wireS = double(program.port.bytesOut + program.port.bytesIn) * bitsPerChar / baud;
        r.requests = program.port.requests;
        r.ok = r.ok && finished && program.dialogs.boxes == boxesBefore;
    }
    std::sort(r.wallS.begin(), r.wallS.end());
    return r;
}

// Milliseconds to convert a 240 x 80 picture for the largest page (240 x 40, the whole matrix),
// averaged over many runs.
double ConversionMs() {
    QImage picture(240, 80, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            picture.setPixel(x, y, qRgb(x, 3 * y, (x * y) % 256));
    dots::Matrix matrix{};
    dots::Buffer buffer{};
    constexpr int Runs = 5000;
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < Runs; ++i) {
        dots::PackDots(dots::DrawToBoard(picture, QSize(240, 40)), matrix);
        dots::PackWords(matrix, buffer);
    }
    const double ms = timer.nsecsElapsed() / 1e6 / Runs;
    return buffer[1] >= 0 ? ms : -1; // keeps the work from being optimised away
}

// Milliseconds a frame of kx9-sim's board view takes for a 240 x 80 display with all five
// double-height lines scrolling, drawn at 30 frames a second: the frame composed and painted as
// round dots 6 pixels apart, then copied as the window's paint does.
double BoardViewFrameMs() {
    BoardModel board;
    board.SetHolding(RegBoardSize, 929); // 10 lines of 30 columns: 240 x 80 dots
    board.SetHolding(RegLineLength, 29); // 40 characters a line
    board.SetHolding(RegDoubleHeight, 1);
    board.SetHolding(RegScrollSpeed, 15);
    board.SetHolding(RegScrollLines, 0b11111);
    std::array<uint8_t, 200> page{};
    for (size_t i = 0; i < page.size(); ++i)
        page[i] = uint8_t("Zazolc gesla jazn 0123456789 KX9 "[i % 33]);
    board.SetPage(0, page);

    view::BoardRenderer renderer(6);
    QImage window(240 * 6, 80 * 6, QImage::Format_RGB32);
    constexpr int Frames = 900; // 30 s of display
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < Frames; ++i) {
        const QImage& frame = renderer.Render(board, {int64_t(i) * 1000 / 30, QDateTime()});
        QPainter painter(&window);
        painter.drawImage(0, 0, frame);
    }
    const double ms = timer.nsecsElapsed() / 1e6 / Frames;
    return renderer.Frame().width == 240 && renderer.Frame().height == 80 ? ms : -1;
}

// Milliseconds the configurator's preview takes to redraw a 240 x 80 display from the image
// with the edited page laid over it: the page laid out, composed, painted as dots 6 pixels
// apart and its cut measured, as each key typed does.
double PreviewRedrawMs() {
    ConfigImage image;
    image.ResetImage(QDateTime(QDate(2026, 12, 9), QTime(12, 0)));
    image.SetReg(RegBoardSize, 929); // 10 lines of 40 characters: 240 x 80 dots
    image.SetReg(RegLineLength, 29);
    image.SetReg(RegDoubleHeight, 1);
    render::ImageSource source(image);
    render::DotRenderer renderer(6);
    render::DotFrame frame;
    constexpr int Redraws = 500;
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < Redraws; ++i) {
        std::vector<QByteArray> lines(
            5, QByteArray("Zazolc gesla jazn 0123456789 KX9 abcdefg").left(1 + i % 40));
        source.ClearShown();
        source.ShowPage(0, layout::LinesToPage(lines, 929, 29));
        render::ComposePage(source, 0, {0, QDateTime()}, frame);
        renderer.Paint(frame);
        render::MeasureOverflow(lines, source);
    }
    const double ms = timer.nsecsElapsed() / 1e6 / Redraws;
    return renderer.Image().size() == QSize(240 * 6, 80 * 6) ? ms : -1;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kx9-bench"));
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Whole-configuration and text page transfers against kx9-sim with wire-time pacing."));
    parser.addHelpOption();
    const QCommandLineOption simOption("sim", "The kx9-sim program.", "PATH",
                                       QStringLiteral(KX9_SIM_DEFAULT));
    const QCommandLineOption ratesOption("rates", "Rates in bit/s, comma-separated.", "LIST", "115200,9600");
    const QCommandLineOption kx9ctlOption("kx9ctl", "The kx9ctl program.", "PATH",
                                          QStringLiteral(KX9CTL_DEFAULT));
    const QCommandLineOption runsOption("runs", "Runs of each transfer of the program (default 5).", "N",
                                        "5");
    const QCommandLineOption noNetworkOption("no-network", "Leave out the runs over network lines.");
    parser.addOptions({simOption, ratesOption, kx9ctlOption, runsOption, noNetworkOption});
    parser.process(app);
    const int runs = parser.value(runsOption).toInt();
    if (runs < 1 || runs > 100) {
        std::fprintf(stderr, "kx9-bench: --runs must be 1..100\n");
        return 2;
    }

    const double conversionMs = ConversionMs();
    const double viewMs = BoardViewFrameMs();
    const double previewMs = PreviewRedrawMs();

    std::vector<Result> results;
    std::vector<bench::Kx9ctlRow> kx9ctlRows;
    int firstBaudIndex = -1;
    for (const QString& text : parser.value(ratesOption).split(',', Qt::SkipEmptyParts)) {
        const int baud = text.trimmed().toInt();
        int baudIndex = -1;
        for (size_t k = 0; k < BaudRates.size(); ++k)
            if (BaudRates[k] == baud)
                baudIndex = int(k);
        if (baudIndex < 0) {
            std::fprintf(stderr, "kx9-bench: %s is not a rate of the PC\n", qPrintable(text));
            return 2;
        }

        if (firstBaudIndex < 0)
            firstBaudIndex = baudIndex;
        Sim sim;
        if (!sim.Start(parser.value(simOption), baud)) {
            std::fprintf(stderr, "kx9-bench: kx9-sim did not start (%s)\n",
                         qPrintable(parser.value(simOption)));
            return 1;
        }
        const QString oldDir = QDir::currentPath();
        QDir::setCurrent(sim.Dir());

        Bench program;
        ConfigImage& image = program.program.image;
        FillSample(image);
        image.link.PortIndex = 0;
        image.link.FrameIndex = 1; // 8N2, as the simulated board
        image.link.BaudIndex = uint8_t(baudIndex);
        const LineSettings line = LineSettingsFor(image.link.FrameIndex, baudIndex);
        const int bitsPerChar = 1 + 8 + (line.parity == Parity::None ? 0 : 1) + line.stopBits;

        std::fprintf(stderr, "%d bit/s ...\n", baud);
        const struct {
            const char* name;
            bench::Transfer transfer;
            std::function<void()> start;
        } transfers[] = {
            {"whole write", bench::Transfer::WholeWrite, [&] { program.ops.StartConfigWrite(); }},
            {"whole read", bench::Transfer::WholeRead, [&] { program.ops.StartConfigRead(); }},
            {"pages write", bench::Transfer::PagesWrite, [&] { program.ops.StartPagesWrite(); }},
            {"pages read", bench::Transfer::PagesRead, [&] { program.ops.StartPagesRead(); }},
        };
        for (const auto& t : transfers) {
            results.push_back(Measure(program, t.name, baud, bitsPerChar, runs, t.start));
            results.back().ticksS = bench::FloorOf(t.transfer, image, baudIndex).ticksS;
        }
        const double wholeWriteS = results[results.size() - 4].Median(),
                     wholeReadS = results[results.size() - 3].Median();
        for (const bench::Kx9ctlRow& row :
             bench::MeasureKx9ctl(parser.value(kx9ctlOption), baudIndex, image, wholeReadS, wholeWriteS))
            kx9ctlRows.push_back(row);
        QDir::setCurrent(oldDir);
    }

    std::printf("%d runs each; floor: every request on the first 20 ms tick after the reply before it\n",
                runs);
    std::printf("%-12s %8s %8s %8s %8s %9s %9s %10s %10s\n", "transfer", "bit/s", "min [s]", "med [s]",
                "max [s]", "requests", "wire [s]", "floor [s]", "max/floor");
    bool allOk = true;
    for (const Result& r : results) {
        const double toFloor = r.ticksS > 0 ? r.Max() / r.ticksS : 0.0;
        const bool kept = toFloor <= TicksLimit;
        std::printf("%-12s %8d %8.2f %8.2f %8.2f %9d %9.2f %10.2f %10.3f%s\n", r.name, r.baud, r.Min(),
                    r.Median(), r.Max(), r.requests, r.wireS, r.ticksS, toFloor,
                    !r.ok  ? "  FAILED"
                    : kept ? ""
                           : "  over 1.05 x floor");
        allOk = allOk && r.ok && kept;
    }
    allOk = bench::PrintKx9ctl(kx9ctlRows) && allOk;
    if (firstBaudIndex >= 0)
        allOk = MeasureFleet(parser.value(simOption), parser.value(kx9ctlOption), firstBaudIndex) && allOk;
    if (firstBaudIndex >= 0 && !parser.isSet(noNetworkOption))
        allOk = MeasureNetwork(parser.value(simOption), parser.value(kx9ctlOption), firstBaudIndex) && allOk;
    const bool conversionOk = conversionMs >= 0 && conversionMs < 2.0;
    std::printf("picture conversion 240x80 -> 240x40: %.3f ms (limit 2 ms)%s\n", conversionMs,
                conversionOk ? "" : "  FAILED");
    // 30 frames a second within 5 % of one core.
    const double viewShare = viewMs * 30 / 1000 * 100;
    const bool viewOk = viewMs >= 0 && viewShare < 5.0;
    std::printf(
        "board view 240x80 scrolling at 30 fps: %.3f ms a frame, %.2f %% of one core (limit 5 %%)%s\n",
        viewMs, viewShare, viewOk ? "" : "  FAILED");
    const bool previewOk = previewMs >= 0 && previewMs < 2.0;
    std::printf("preview 240x80 redraw of an edited page: %.3f ms (limit 2 ms)%s\n", previewMs,
                previewOk ? "" : "  FAILED");
    return allOk && conversionOk && viewOk && previewOk ? 0 : 1;
}
