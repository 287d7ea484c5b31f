// SPDX-License-Identifier: MIT
// Read and write cycles against kx9-sim with random faults, watching resident memory, open files
// and whether the board holds what was sent: after each write that succeeded, the next read
// that succeeds must bring back exactly that. Long: run by scripts/soak, which sets the number
// of cycles; not in the test run.
#include "EditorWindows.h"
#include "SimProcess.h"
#include "common/PictureFiles.h"
#include "common/TestWorld.h"
#include "config/PageLayout.h"
#include "editors/PresentationList.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <cstdio>
#include <gtest/gtest.h>

#include <map>

namespace kx9::test {
namespace {

// A clock that neither pauses nor keeps a record of its pauses, so the cycles run as fast as
// the line answers and nothing of the test's own grows.
class QuickClock : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
    void pause(int) override {}
};

struct SoakSeams {
    QtSerialPort port;
    QuickClock clock;
    RecordingDialogs dialogs;
};
using SoakWorld = ProgramWorld<SoakSeams>;

struct Usage {
    long residentKb = -1;
    int openFiles = -1;
};

Usage Measure() {
    Usage u;
#ifdef Q_OS_LINUX
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly))
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.startsWith("VmRSS:"))
                u.residentKb = line.mid(6).trimmed().split(' ').value(0).toLong();
    u.openFiles = int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size());
#endif
    return u;
}

int EnvInt(const char* name, int fallback) {
    bool ok = false;
    const int v = qEnvironmentVariableIntValue(name, &ok);
    return ok ? v : fallback;
}

QStringList SimArgs(bool log) {
    QStringList args{"--fault-rate", qEnvironmentVariable("KX9_SOAK_FAULT_RATE", QStringLiteral("0.2")),
                     "--seed",       QString::number(EnvInt("KX9_SOAK_SEED", 1)),
                     "--turnaround", "0"};
    if (log)
        args << "--log";
    return args;
}

struct Range {
    int first;
    int count;
};

// A page as the board gives it back: an empty place reads as a blank.
ConfigImage::Page Blanked(ConfigImage::Page page) {
    for (uint8_t& b : page)
        if (b == 0)
            b = ' ';
    return page;
}

// What the board holds as far as the soak knows: what each write that succeeded sent; a write
// that failed leaves its registers unknown.
class KnownBoard {
public:
    void Wrote(const ConfigImage& image, const std::vector<Range>& ranges) {
        for (const Range& r : ranges)
            for (int reg = r.first; reg < r.first + r.count; ++reg)
                m_regs[reg] = image.Reg(reg);
    }
    void Lost(const std::vector<Range>& ranges) {
        for (const Range& r : ranges)
            for (int reg = r.first; reg < r.first + r.count; ++reg)
                m_regs.erase(reg);
    }
    void WrotePages(const ConfigImage& image) {
        for (int p = 0; p < PageCount; ++p)
            m_pages[p] = Blanked(image.pages[size_t(p)]);
    }
    void LostPages() { m_pages.clear(); }

    // Registers of `ranges` (and pages when asked) that the image, just read from the board,
    // holds otherwise than the board was sent; the first few are named.
    int Mismatches(const ConfigImage& image, const std::vector<Range>& ranges, const char* what,
                   bool pages = false) {
        int found = 0;
        for (const Range& r : ranges)
            for (int reg = r.first; reg < r.first + r.count; ++reg)
                if (const auto it = m_regs.find(reg); it != m_regs.end() && it->second != image.Reg(reg))
                    found += Say(what, QStringLiteral("register %1: sent %2, read %3")
                                           .arg(reg)
                                           .arg(it->second)
                                           .arg(image.Reg(reg)));
        if (pages)
            for (const auto& [p, sent] : m_pages)
                if (Blanked(image.pages[size_t(p)]) != sent)
                    found += Say(what, QStringLiteral("page %1").arg(p));
        return found;
    }
    int Say(const char* what, const QString& text) {
        if (++m_said <= 20)
            std::printf("soak: %s: the board does not hold what was sent: %s\n", what, qPrintable(text));
        return 1;
    }

private:
    std::map<int, int32_t> m_regs;
    std::map<int, ConfigImage::Page> m_pages;
    int m_said = 0;
};

// Runs the scheduler's handlers as fast as the replies come; the time-out stays a real timer.
void RunToIdle(SoakWorld& w, const std::vector<EditorWindow*>& windows = {}) {
    auto idle = [&] {
        if (!w.scheduler.Idle())
            return false;
        for (EditorWindow* window : windows)
            for (QTimer* timer : window->findChildren<QTimer*>())
                if (timer->isActive())
                    return false;
        return true;
    };
    ASSERT_TRUE(DriveTimers(w.scheduler, windows, idle)) << "a transfer never ended";
}

// The soak's figures, as it goes and at the end.
struct Figures {
    Usage start;
    QElapsedTimer elapsed;
    int failed = 0;
    int clean = 0;
    int mismatches = 0;

    void Print(int cycle, int cycles) const {
        const Usage u = Measure();
        std::printf("soak: cycle %d of %d, %.0f s: resident %ld kB, open files %d, failed operations %d, "
                    "clean cycles "
                    "%d, board/image mismatches %d\n",
                    cycle, cycles, elapsed.elapsed() / 1000.0, u.residentKb, u.openFiles, failed, clean,
                    mismatches);
        std::fflush(stdout);
    }
    void Finish() const {
        const Usage end = Measure();
        std::printf(
            "soak: start resident %ld kB, open files %d; end resident %ld kB, open files %d; board/image "
            "mismatches %d\n",
            start.residentKb, start.openFiles, end.residentKb, end.openFiles, mismatches);
        EXPECT_LE(end.residentKb - start.residentKb, 2048);
        EXPECT_EQ(end.openFiles, start.openFiles);
        EXPECT_EQ(mismatches, 0);
    }
};

// The whole write's registers, as the whole read brings them back (not the clock, which runs).
const std::vector<Range> WholeWritten{{RegSlaveTimeout, 3},       {RegDayBrightness, 4},
                                      {RegLineLength, 15},        {RegPresentationFirst, 115},
                                      {RegPresentationCount, 17}, {4263, 2},
                                      {SlaveBase, SlaveCount}};

// One value in each block the whole write sends, and one page, different every cycle.
void Vary(ConfigImage& image, int cycle) {
    image.SetReg(RegSlaveTimeout + 1, cycle % 4);
    image.SetReg(RegDayBrightness + 1, 1 + cycle % 100);
    image.SetReg(RegScrollSpeed, 1 + cycle % 1000);
    image.SetReg(RegPresentationFirst + 71, cycle % 125);
    image.SetReg(RegPresentationCount + 3, cycle % 2 ? 0 : 1207);
    image.SetReg(4264, cycle % 2);
    image.SetReg(SlaveBase + 20, cycle & 0xFFFF);
    image.SetPage(cycle % PageCount, layout::LinesToPage({"Cykl " + QByteArray::number(cycle)},
                                                         image.Reg(RegBoardSize), image.Reg(RegLineLength)));
}

TEST(FaultSoak, DISABLED_WholeCyclesKeepMemoryAndOpenFilesFlat) {
    const int cycles = EnvInt("KX9_SOAK_CYCLES", 10);
    SimProcess sim(SimArgs(false));
    ASSERT_TRUE(sim.Start()) << sim.Log().constData();
    const QString oldDir = QDir::currentPath();
    QDir::setCurrent(sim.Dir());
    {
        SoakWorld w;
        w.image.link.ReplyTimeoutMs = 150;
        KnownBoard board;
        Figures figures;
        figures.elapsed.start();
        for (int cycle = 0; cycle <= cycles; ++cycle) {
            if (cycle == 1)
                figures.start = Measure(); // after one cycle, so first-use allocations are in
            if (cycle == 1 || cycle == cycles || (cycle > 0 && cycle % 100 == 0))
                figures.Print(cycle, cycles);
            if (cycle == cycles)
                break;
            const size_t boxes = w.dialogs.boxes.size();
            ASSERT_TRUE(w.ops.StartConfigRead());
            RunToIdle(w);
            if (w.dialogs.boxes.size() == boxes)
                figures.mismatches += board.Mismatches(w.image, WholeWritten, "whole read", true);
            Vary(w.image, cycle);
            const size_t beforeWrite = w.dialogs.boxes.size();
            ASSERT_TRUE(w.ops.StartConfigWrite());
            RunToIdle(w);
            if (w.dialogs.boxes.size() == beforeWrite) {
                board.Wrote(w.image, WholeWritten);
                board.WrotePages(w.image);
            } else {
                board.Lost(WholeWritten);
                board.LostPages();
            }
            figures.failed += int(w.dialogs.boxes.size() - boxes);
            figures.clean += w.dialogs.boxes.size() == boxes;
            w.dialogs.boxes.clear();
            w.progress.titles.clear();
            w.progress.values.clear();
            ASSERT_FALSE(w.image.link.PortOpen);
        }
        figures.Finish();
        EXPECT_TRUE(sim.Running());
    }
    QDir::setCurrent(oldDir);
}

// The requests kx9-sim logged since `offset` (which moves on past them).
std::vector<QByteArray> NewRequests(const SimProcess& sim, qint64& offset) {
    std::vector<QByteArray> frames;
    QFile log(QDir(sim.Dir()).filePath(QStringLiteral("sim.log")));
    if (!log.open(QIODevice::ReadOnly) || !log.seek(offset))
        return frames;
    const QByteArray more = log.readAll();
    const qsizetype end = more.lastIndexOf('\n') + 1; // whole lines only
    for (const QByteArray& line : more.left(end).split('\n'))
        if (line.startsWith("rx "))
            frames.push_back(QByteArray::fromHex(line.mid(3)));
    offset += end;
    return frames;
}

// One editor's write and read, each cycle with other values.
struct EditorRound {
    const char* name;
    std::function<void(int)> write; // puts the cycle's values in and starts the write
    std::function<void()> read;
    std::vector<Range> ranges;
    bool pages = false;
    // The read must bring the registers back: they are spoiled first (not where a spoiled value
    // would lay the shown page out again).
    bool spoil = true;
};

TEST(FaultSoak, DISABLED_EditorCyclesKeepMemoryAndTheBoard) {
    const int cycles = EnvInt("KX9_SOAK_CYCLES", 10);
    SimProcess sim(SimArgs(true));
    ASSERT_TRUE(sim.Start()) << sim.Log().constData();
    const QString oldDir = QDir::currentPath();
    QDir::setCurrent(sim.Dir());
    {
        SoakWorld w;
        ConfigImage& image = w.image;
        image.ResetImage(w.clock.now());
        image.link.ReplyTimeoutMs = 150;
        EditorWindows ed(w);
        const std::vector<EditorWindow*> windows = ed.All();
        PictureFolder folder;
        const QString pictures[2] = {
            folder.Write(Blocks({Qt::white, Qt::black}, 20), QStringLiteral("a.png")),
            folder.Write(Blocks({Qt::black, Qt::yellow, Qt::black}, 13), QStringLiteral("b.png"))};
        const int baseLength = layout::LineLength(image.Reg(RegLineLength));
        KnownBoard board;
        Figures figures;
        std::map<std::string, int> mismatchesBy{{"graphics", 0}};
        qint64 logOffset = 0;

        const std::vector<EditorRound> rounds{
            {"scrolling",
             [&](int c) {
                 image.SetReg(RegScrollSpeed, 1 + c % 1000);
                 image.SetReg(RegScrollDirection, c % 3);
                 image.SetReg(RegScrollLines, c % 32);
                 ed.przewijanie.FillAll();
                 ed.przewijanie.BitBtn3Click();
             },
             [&] { ed.przewijanie.BitBtn2Click(); },
             {{RegScrollSpeed, 3}}},
            {"brightness",
             [&](int c) {
                 const int32_t values[] = {1 + c % 100, 1 + (c * 7) % 100, (c % 24) * 100 + c % 60,
                                           ((c + 5) % 24) * 100 + (c * 3) % 60};
                 for (int i = 0; i < 4; ++i)
                     image.SetReg(RegDayBrightness + i, values[i]);
                 image.SetReg(RegLightSensorOn, c % 2);
                 image.SetReg(RegLightSensorOn + 1, 1 + (c * 3) % 100);
                 image.SetReg(RegLightSensorOn + 2, 1 + (c * 11) % 100);
                 ed.jasnosc.FillAll();
                 ed.jasnosc.BitBtn2Click();
             },
             [&] { ed.jasnosc.BitBtn1Click(); },
             {{RegDayBrightness, 4}, {RegLightSensorOn, 3}}},
            {"time display",
             [&](int c) {
                 const int32_t values[] = {101 + c % 400, c % 2, c % 3 ? 101 + (c * 3) % 400 : 0, c % 4};
                 for (int i = 0; i < 4; ++i)
                     image.SetReg(RegTimePosition + i, values[i]);
                 ed.czas.FillAll();
                 ed.czas.BitBtn6Click();
             },
             [&] { ed.czas.BitBtn5Click(); },
             {{RegTimePosition, 4}}},
            // The clock runs on: only its date and year must come back as sent.
            {"clock",
             [&](int c) {
                 ed.czas.MonthCalendar1->setDate(QDate(2030, 1, 1).addDays(c));
                 ed.czas.DateTimePicker1->setTime(QTime(c % 24, c % 59));
                 ed.czas.BitBtn2Click();
             },
             [&] { ed.czas.BitBtn1Click(); },
             {{RegClockYear, 2}}},
            {"external devices",
             [&](int c) {
                 image.SetReg(RegSlaveTimeout, 1 + c % 50);
                 image.SetReg(RegSlaveTimeout + 1, c % 4);
                 image.SetReg(RegSlaveTimeout + 2, c % 10);
                 const int d = c % slave::Devices;
                 const int32_t record[] = {c % 3 ? 101 + c % 400 : 0,
                                           1 + c % 247,
                                           (c * 13) & 0xFFFF,
                                           1 + c % 10,
                                           1,
                                           c % 7,
                                           1 + c % 60,
                                           c % 4,
                                           3 + c % 37};
                 for (int word = 0; word < slave::RecordSize; ++word)
                     image.SetReg(slave::RecordRegister(d, word), record[word]);
                 ed.slave.FillAll();
                 ed.slave.BitBtn1Click();
             },
             [&] { ed.slave.BitBtn2Click(); },
             {{RegSlaveTimeout, 3}, {SlaveBase, SlaveCount}}},
            {"presentation",
             [&](int c) {
                 image.SetReg(RegPresentationTime, 1 + c % 240);
                 presentation::Clear(image);
                 for (int k = 0; k <= c % 5; ++k)
                     presentation::Add(image, (c * (k + 3)) % 125);
                 ed.prezentacja.FillAll();
                 ed.prezentacja.BitBtn5Click();
             },
             [&] { ed.prezentacja.BitBtn4Click(); },
             {{RegPresentationTime, presentation::BlockCount}}},
            {"active page",
             [&](int c) {
                 ed.stron.Edit1->setText(QString::number(c % 125));
                 ed.stron.BitBtn5Click();
             },
             [&] { ed.stron.BitBtn6Click(); },
             {{RegActivePage, 1}}},
            {"line length",
             [&](int c) {
                 const int length = baseLength + (c % 2 ? 4 : 0);
                 const auto code = layout::EncodeLineLength(length, image.Reg(RegBoardSize));
                 ed.stron.Edit8->setText(
                     QString::number(code.refusal == layout::LineLengthRefusal::None ? length : baseLength));
                 ed.stron.Button2Click();
             },
             [&] { ed.stron.Button1Click(); },
             {{RegLineLength, 1}},
             false,
             false},
            {"text pages",
             [&](int c) {
                 image.SetPage(c % PageCount,
                               layout::LinesToPage({"Strona " + QByteArray::number(c)},
                                                   image.Reg(RegBoardSize), image.Reg(RegLineLength)));
                 image.SetReg(RegDoubleHeight, c % 2);
                 ed.stron.FillAll();
                 ed.stron.BitBtn2Click();
             },
             [&] { ed.stron.BitBtn1Click(); },
             {{4263, 2}}, // the last page carries 4263 and 4264, the last read brings them back
             true},
        };

        figures.elapsed.start();
        for (int cycle = 0; cycle <= cycles; ++cycle) {
            if (cycle == 1)
                figures.start = Measure();
            if (cycle == 1 || cycle == cycles || (cycle > 0 && cycle % 50 == 0))
                figures.Print(cycle, cycles);
            if (cycle == cycles)
                break;
            const size_t cycleBoxes = w.dialogs.boxes.size();
            for (const EditorRound& round : rounds) {
                const size_t boxes = w.dialogs.boxes.size();
                round.write(cycle);
                RunToIdle(w, windows);
                if (w.dialogs.boxes.size() == boxes) {
                    board.Wrote(image, round.ranges);
                    if (round.pages)
                        board.WrotePages(image);
                } else {
                    board.Lost(round.ranges);
                    if (round.pages)
                        board.LostPages();
                }
                // What comes back must come from the board: the image is spoiled first, and put
                // back when the read fails.
                const auto mainBefore = image.main;
                const auto slaveBefore = image.slave;
                const auto pagesBefore = image.pages;
                for (const Range& r : round.ranges)
                    for (int reg = r.first; reg < r.first + r.count && round.spoil; ++reg)
                        image.SetReg(reg, 0x5A5A);
                if (round.pages)
                    for (int p = 0; p < PageCount; ++p)
                        image.SetPage(p, ConfigImage::Page{});
                const size_t beforeRead = w.dialogs.boxes.size();
                round.read();
                RunToIdle(w, windows);
                if (w.dialogs.boxes.size() == beforeRead) {
                    const int found = board.Mismatches(image, round.ranges, round.name, round.pages);
                    figures.mismatches += found;
                    mismatchesBy[round.name] += found;
                } else {
                    for (const Range& r : round.ranges)
                        for (int reg = r.first; reg < r.first + r.count; ++reg)
                            image.SetReg(reg, reg < SlaveBase ? mainBefore[size_t(reg - MainBase)]
                                                              : slaveBefore[size_t(reg - SlaveBase)]);
                    if (round.pages)
                        for (int p = 0; p < PageCount; ++p)
                            image.SetPage(p, pagesBefore[size_t(p)]);
                }
                ASSERT_FALSE(image.link.PortOpen) << round.name;
            }

            // Graphics: a write only; the board's pages are what its frames leave in a board.
            ed.graf.TreeView1->setCurrentItem(ed.graf.Node(cycle % dots::GraphicSlots));
            w.dialogs.fileAnswers.push_back(pictures[cycle % 2]);
            ed.graf.BitBtn1Click();
            NewRequests(sim, logOffset);
            const size_t boxes = w.dialogs.boxes.size();
            ed.graf.BitBtn4Click();
            RunToIdle(w, windows);
            const std::vector<QByteArray> frames = NewRequests(sim, logOffset);
            if (w.dialogs.boxes.size() == boxes) {
                BoardModel replay;
                for (const QByteArray& frame : frames)
                    replay.Handle(frame);
                for (int k = 0; k < dots::GraphicSlots; ++k) {
                    dots::Matrix sent;
                    dots::PackDots(ed.graf.SlotBitmap(k), sent);
                    if (replay.GraphicPages()[size_t(k)] !=
                        QByteArray(reinterpret_cast<const char*>(sent.data()), dots::MatrixBytes)) {
                        figures.mismatches +=
                            board.Say("graphics", QStringLiteral("graphic page %1").arg(115 + k));
                        ++mismatchesBy["graphics"];
                    }
                }
            }

            for (size_t b = cycleBoxes; b < w.dialogs.boxes.size() && figures.failed < 20; ++b)
                std::printf("soak: cycle %d: %s | %s\n", cycle, qPrintable(w.dialogs.boxes[b].text),
                            qPrintable(w.dialogs.boxes[b].details.split('\n').filter("Przyczyna").join(' ')));
            figures.failed += int(w.dialogs.boxes.size() - cycleBoxes);
            figures.clean += w.dialogs.boxes.size() == cycleBoxes;
            w.dialogs.boxes.clear();
            w.progress.titles.clear();
            w.progress.values.clear();
        }
        for (const auto& [name, found] : mismatchesBy)
            std::printf("soak: %s: %d board/image mismatches\n", name.c_str(), found);
        figures.Finish();
        EXPECT_TRUE(sim.Running());
    }
    QDir::setCurrent(oldDir);
}

} // namespace
} // namespace kx9::test
