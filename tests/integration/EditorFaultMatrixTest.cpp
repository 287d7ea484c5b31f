// SPDX-License-Identifier: MIT
// Every fault kx9-sim injects against every transfer an editor window starts, a chain's later
// steps included, over a real pseudo-terminal: each ends in one message whose details name the
// window's operation, the request and (for a transfer of several requests) what the board
// confirmed; the chain stays stopped, the port closed, no timer runs, the progress window is
// hidden, nothing the board did not send is stored, and the window's next transfer works.
#include "EditorWindows.h"
#include "SimProcess.h"
#include "common/RequestFrames.h"
#include "common/RequestLog.h"
#include "common/TestWorld.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <set>

namespace kx9::test {
namespace {

// The PC's clock, or a moment the test sets; pauses block, unless the cell runs quick.
class LineClock : public Clock {
public:
    QDateTime now() const override { return fixed.isValid() ? fixed : QDateTime::currentDateTime(); }
    void pause(int ms) override {
        if (!hold.Hold() && !quick && ms > 0)
            QThread::msleep(static_cast<unsigned long>(ms));
    }
    QDateTime fixed;
    bool quick = false;
    LateReplyHold hold;
};

struct EditorLineSeams {
    QtSerialPort port;
    LineClock clock;
    RecordingDialogs dialogs;
};
using EditorWorld = ProgramWorld<EditorLineSeams>;

using Editors = EditorWindows;

class EditorCell;

// A value put into a register the transfer reads, so that anything stored from a reply shows.
struct Mark {
    int reg;
    int32_t value;
};

std::vector<Mark> Marked(int first, int count) {
    std::vector<Mark> marks;
    for (int r = first; r < first + count; ++r)
        marks.push_back({r, 0x7000 + r % 1000});
    return marks;
}

// A request as the details name it, and the length of the reply it awaits.
struct Request {
    QString text;
    int replyBytes;
};

Request Read(int first, int count) {
    return {DescribeRequest(3, first, count), 5 + 2 * count};
}
Request Write(int first, int count) {
    return {DescribeRequest(16, first, count), 8};
}

struct Row {
    const char* name;
    QString operation; // "Operacja:" of the details
    Request request;   // "Zapytanie:": the request the fault hits
    int soundReplies;  // replies before the fault
    QString confirmed; // "Potwierdzone przez tablicę:"; empty for a transfer of one request
    std::vector<Mark> reads;
    std::set<int> sets; // registers the transfer sets itself once it runs
    std::function<void(EditorCell&)> start;
    // The whole transfer as the next one sends it; empty for one that repeats until stopped.
    std::vector<std::string> requests;
    std::function<void(EditorCell&)> stop = {};
};

std::vector<std::string> Repeat(std::vector<std::string> one, int times) {
    std::vector<std::string> all;
    for (int i = 0; i < times; ++i)
        all.insert(all.end(), one.begin(), one.end());
    return all;
}

class EditorCell : public OnTheLine<EditorWorld, ::testing::TestWithParam<std::tuple<int, int>>> {
public:
    std::unique_ptr<Editors> ed;

    // A moment 59 s into a minute, then the full minute: the synchronisation goes at its tick.
    void FullMinute() {
        const QDateTime at(QDate(2031, 5, 6), QTime(7, 8, 59));
        clock.fixed = at;
        ed->czas.BitBtn7Click();
        clock.fixed = at.addSecs(1);
    }

protected:
    void SetUp() override {
        const auto [f, r] = GetParam();
        StartSim(FaultCellArgs(SimFaults[f], r, Rows()[size_t(r)].soundReplies, {"--log"}));
        image.ResetImage(clock.now());
        image.link.ReplyTimeoutMs = MatrixReplyTimeoutMs;
        ed = std::make_unique<Editors>(static_cast<EditorWorld&>(*this));
    }
    void TearDown() override {
        ed.reset();
        OnTheLine::TearDown();
    }

public:
    static const std::vector<Row>& Rows();

protected:
    std::vector<QTimer*> WindowTimers() const {
        std::vector<QTimer*> timers;
        for (EditorWindow* window : ed->All())
            for (QTimer* timer : window->findChildren<QTimer*>())
                timers.push_back(timer);
        return timers;
    }
    bool WindowTimerRunning() const {
        for (QTimer* timer : WindowTimers())
            if (timer->isActive())
                return true;
        return false;
    }
    bool Settled() const { return scheduler.Idle() && !WindowTimerRunning(); }
    // Real timers, until nothing runs.
    bool Settle(int ms = 15000) {
        return QTest::qWaitFor([this] { return Settled(); }, ms);
    }
    // The timers' handlers called as fast as the replies come, until `done` holds.
    bool Drive(const std::function<bool()>& done) {
        std::vector<QObject*> windows;
        for (EditorWindow* window : ed->All())
            windows.push_back(window);
        return DriveTimers(scheduler, windows, done, 30000);
    }
    std::vector<std::string> Sent() const { return RequestSummary(sim->Requests()); }
    std::vector<RecordingDialogs::Box> Messages() const {
        std::vector<RecordingDialogs::Box> boxes;
        for (const auto& box : dialogs.boxes)
            if (!box.confirmation)
                boxes.push_back(box);
        return boxes;
    }
};

// A page as the board gives it back: an empty place reads as a blank.
ConfigImage::Page Blanked(ConfigImage::Page page) {
    for (uint8_t& b : page)
        if (b == 0)
            b = ' ';
    return page;
}

// Replies before the fault from which a cell no longer waits for the timers' ticks.
constexpr int LongWay = 10;

bool IsClock(int reg) {
    return reg >= RegClockTime && reg <= RegClockDate;
}

const std::vector<Row>& EditorCell::Rows() {
    using C = EditorCell;
    const std::set<int> clockRegs{RegClockTime, RegClockYear, RegClockDate};
    std::vector<std::string> graphics;
    for (int k = 0; k < dots::GraphicSlots; ++k)
        graphics.insert(graphics.end(),
                        {"w0x101", "w100x100", "w200x100", "w300x100", "w400x100", "w500x100"});
    const std::vector<std::string> presentationWrite{"w4028x10", "w4038x10", "w4048x10", "w4058x10",
                                                     "w4068x10", "w4078x10", "w4088x10", "w4098x10",
                                                     "w4108x10", "w4118x10", "w4128x10", "w4138x8"};
    std::vector<std::string> pagesRead = Repeat({"w4162x1", "r4162x103"}, PageCount);
    pagesRead.push_back("r4162x103");
    std::vector<std::string> pagesWrite{"w4027x1"};
    for (const std::string& page : Repeat({"w4162x101"}, PageCount - 1))
        pagesWrite.push_back(page);
    pagesWrite.push_back("w4162x103");
    QStringList slotsBeforeLast;
    for (int p = 115; p < 124; ++p)
        slotsBeforeLast << QStringLiteral("strona graficzna %1").arg(p);
    const QString brightnessWrite = QStringLiteral("Zapis nastaw jasności");
    const QString slaveRead = QStringLiteral("Odczyt konfiguracji SLAVE");
    const QString slaveWrite = QStringLiteral("Zapis konfiguracji SLAVE");
    const QString graphic = QStringLiteral("Transmisja Grafiki");
    const QString presentation = QStringLiteral("Zapis konfiguracji prezentacji");
    const QString preview = QStringLiteral("Podgląd tablicy");
    const QString tracking = QStringLiteral("Śledzenie aktywnej strony");
    // A page write puts each page into the window registers before it goes out.
    std::set<int> pageWindow;
    for (int r = RegPageSelector; r <= RegPageSelector + 100; ++r)
        pageWindow.insert(r);
    const auto checkTracking = [](C& c) { c.ed->stron.CheckBox3->setChecked(true); };
    const auto stopTracking = [](C& c) { c.ed->stron.CheckBox3->setChecked(false); };
    const auto startPreview = [](C& c) {
        c.ed->prezentacja.RadioButton2->setChecked(true);
        c.ed->prezentacja.CheckBox1->setChecked(true);
    };
    const auto stopPreview = [](C& c) { c.ed->prezentacja.CheckBox1->setChecked(false); };

    static const std::vector<Row> rows{
        // Scrolling.
        {"ScrollRead",
         QStringLiteral("Odczyt nastaw przewijania"),
         Read(4020, 3),
         0,
         {},
         Marked(4020, 3),
         {},
         [](C& c) { c.ed->przewijanie.BitBtn2Click(); },
         {"r4020x3"}},
        {"ScrollWrite",
         QStringLiteral("Zapis nastaw przewijania"),
         Write(4020, 3),
         0,
         {},
         {},
         {},
         [](C& c) { c.ed->przewijanie.BitBtn3Click(); },
         {"w4020x3"}},
        // Brightness: one read, a write in two steps.
        {"BrightnessRead",
         QStringLiteral("Odczyt nastaw jasności"),
         Read(4009, 11),
         0,
         {},
         Marked(4009, 11),
         {},
         [](C& c) { c.ed->jasnosc.BitBtn1Click(); },
         {"r4009x11"}},
        {"BrightnessWrite1",
         brightnessWrite,
         Write(4009, 4),
         0,
         QStringLiteral("0 z 2 zapytań"),
         {},
         {},
         [](C& c) { c.ed->jasnosc.BitBtn2Click(); },
         {"w4009x4", "w4015x3"}},
        {"BrightnessWrite2",
         brightnessWrite,
         Write(4015, 3),
         1,
         QStringLiteral("1 z 2 zapytań: ") + Write(4009, 4).text,
         {},
         {},
         [](C& c) { c.ed->jasnosc.BitBtn2Click(); },
         {"w4009x4", "w4015x3"}},
        // Time and date: its four requests and the full-minute synchronisation.
        {"ClockRead",
         QStringLiteral("Odczyt Zegara"),
         Read(4006, 3),
         0,
         {},
         {{RegClockTime, 1111}, {RegClockYear, 11}, {RegClockDate, 1111}},
         {},
         [](C& c) { c.ed->czas.BitBtn1Click(); },
         {"r4006x3"}},
        {"ClockWrite",
         QStringLiteral("Zapis Zegara"),
         Write(4006, 3),
         0,
         {},
         {},
         {},
         [](C& c) { c.ed->czas.BitBtn2Click(); },
         {"w4006x3"}},
        {"ClockSync",
         QStringLiteral("Synchronizacja Zegara"),
         Write(4006, 3),
         0,
         {},
         {},
         clockRegs,
         [](C& c) { c.ed->czas.BitBtn3Click(); },
         {"w4006x3"}},
        {"ClockFullMinute",
         QStringLiteral("Synchronizacja Zegara w pełnej minucie"),
         Write(4006, 3),
         0,
         {},
         {},
         clockRegs,
         [](C& c) { c.FullMinute(); },
         {"w4006x3"}},
        {"TimeDisplayRead",
         QStringLiteral("Odczyt Wyświetlania Czasu"),
         Read(4023, 4),
         0,
         {},
         Marked(4023, 4),
         {},
         [](C& c) { c.ed->czas.BitBtn5Click(); },
         {"r4023x4"}},
        {"TimeDisplayWrite",
         QStringLiteral("Zapis Wyświetlania Czasu"),
         Write(4023, 4),
         0,
         {},
         {},
         {},
         [](C& c) { c.ed->czas.BitBtn6Click(); },
         {"w4023x4"}},
        // External devices: two requests each way.
        {"SlaveRead1",
         slaveRead,
         Read(4003, 3),
         0,
         QStringLiteral("0 z 2 zapytań"),
         [] {
             auto marks = Marked(4003, 3);
             for (const Mark& m : Marked(SlaveBase, SlaveCount))
                 marks.push_back(m);
             return marks;
         }(),
         {},
         [](C& c) { c.ed->slave.BitBtn2Click(); },
         {"r4003x3", "r4300x45"}},
        {"SlaveRead2",
         slaveRead,
         Read(4300, 45),
         1,
         QStringLiteral("1 z 2 zapytań: ") + Read(4003, 3).text,
         Marked(SlaveBase, SlaveCount),
         {},
         [](C& c) { c.ed->slave.BitBtn2Click(); },
         {"r4003x3", "r4300x45"}},
        {"SlaveWrite1",
         slaveWrite,
         Write(4003, 3),
         0,
         QStringLiteral("0 z 2 zapytań"),
         {},
         {},
         [](C& c) { c.ed->slave.BitBtn1Click(); },
         {"w4003x3", "w4300x45"}},
        {"SlaveWrite2",
         slaveWrite,
         Write(4300, 45),
         1,
         QStringLiteral("1 z 2 zapytań: ") + Write(4003, 3).text,
         {},
         {},
         [](C& c) { c.ed->slave.BitBtn1Click(); },
         {"w4003x3", "w4300x45"}},
        // Graphics: sixty frames with a 50 ms pause before each but the first of a page.
        {"GraphicsFrame1",
         graphic,
         Write(0, 101),
         0,
         QStringLiteral("0 z 60 zapytań"),
         {},
         {},
         [](C& c) { c.ed->graf.BitBtn4Click(); },
         graphics},
        {"GraphicsFrame2",
         graphic,
         Write(100, 100),
         1,
         QStringLiteral("1 z 60 zapytań: strona graficzna 115 (1 z 6 zapytań)"),
         {},
         {},
         [](C& c) { c.ed->graf.BitBtn4Click(); },
         graphics},
        {"GraphicsFrame4",
         graphic,
         Write(300, 100),
         3,
         QStringLiteral("3 z 60 zapytań: strona graficzna 115 (3 z 6 zapytań)"),
         {},
         {},
         [](C& c) { c.ed->graf.BitBtn4Click(); },
         graphics},
        {"GraphicsLastFrame",
         graphic,
         Write(500, 100),
         59,
         QStringLiteral("59 z 60 zapytań: ") + slotsBeforeLast.join(QStringLiteral(", ")) +
             QStringLiteral(", strona graficzna 124 (5 z 6 zapytań)"),
         {},
         {},
         [](C& c) { c.ed->graf.BitBtn4Click(); },
         graphics},
        // Presentation: one read, twelve writes, the board preview.
        {"PresentationRead",
         QStringLiteral("Odczyt konfiguracji prezentacji"),
         Read(4028, 118),
         0,
         {},
         Marked(4028, 118),
         {},
         [](C& c) { c.ed->prezentacja.BitBtn4Click(); },
         {"r4028x118"}},
        {"PresentationWrite1",
         presentation,
         Write(4028, 10),
         0,
         QStringLiteral("0 z 12 zapytań"),
         {},
         {},
         [](C& c) { c.ed->prezentacja.BitBtn5Click(); },
         presentationWrite},
        {"PresentationWrite2",
         presentation,
         Write(4038, 10),
         1,
         QStringLiteral("1 z 12 zapytań: ") + Write(4028, 10).text,
         {},
         {},
         [](C& c) { c.ed->prezentacja.BitBtn5Click(); },
         presentationWrite},
        {"PresentationWrite4",
         presentation,
         Write(4058, 10),
         3,
         QStringLiteral("3 z 12 zapytań: ") + Write(4028, 30).text,
         {},
         {},
         [](C& c) { c.ed->prezentacja.BitBtn5Click(); },
         presentationWrite},
        {"PresentationWriteLast",
         presentation,
         Write(4138, 8),
         11,
         QStringLiteral("11 z 12 zapytań: ") + Write(4028, 110).text,
         {},
         {},
         [](C& c) { c.ed->prezentacja.BitBtn5Click(); },
         presentationWrite},
        {"BoardPreview", preview, Read(4146, 1), 0, {}, Marked(4146, 1), {}, startPreview, {}, stopPreview},
        {"BoardPreviewLater",
         preview,
         Read(4146, 1),
         2,
         {},
         Marked(4146, 1),
         {},
         startPreview,
         {},
         stopPreview},
        // Text pages from the editor.
        {"PagesRead1",
         QStringLiteral("Odczyt Stron Tekstowych"),
         Write(4162, 1),
         0,
         {},
         Marked(RegPageSelector + 1, 102),
         {RegPageSelector},
         [](C& c) { c.ed->stron.BitBtn1Click(); },
         pagesRead},
        {"PagesRead2",
         QStringLiteral("Odczyt Stron Tekstowych"),
         Read(4162, 103),
         1,
         {},
         Marked(RegPageSelector + 1, 102),
         {RegPageSelector},
         [](C& c) { c.ed->stron.BitBtn1Click(); },
         pagesRead},
        {"PagesRead4",
         QStringLiteral("Odczyt Stron Tekstowych"),
         Read(4162, 103),
         3,
         {},
         Marked(RegPageSelector + 1, 102),
         {RegPageSelector},
         [](C& c) { c.ed->stron.BitBtn1Click(); },
         pagesRead},
        // The last read only refreshes the page window: every page is in by then.
        {"PagesReadLast",
         QStringLiteral("Odczyt Stron Tekstowych"),
         Read(4162, 103),
         2 * PageCount,
         {},
         Marked(RegPageSelector + 1, 102),
         {RegPageSelector},
         [](C& c) { c.ed->stron.BitBtn1Click(); },
         pagesRead},
        {"PagesWrite1",
         QStringLiteral("Zapis Stron Tekstowych"),
         Write(4027, 1),
         0,
         QStringLiteral("0 z 116 zapytań"),
         {},
         pageWindow,
         [](C& c) { c.ed->stron.BitBtn2Click(); },
         pagesWrite},
        {"PagesWrite2",
         QStringLiteral("Zapis Stron Tekstowych"),
         Write(4162, 101),
         1,
         QStringLiteral("1 z 116 zapytań: ") + Write(4027, 1).text,
         {},
         pageWindow,
         [](C& c) { c.ed->stron.BitBtn2Click(); },
         pagesWrite},
        {"PagesWrite4",
         QStringLiteral("Zapis Stron Tekstowych"),
         Write(4162, 101),
         3,
         QStringLiteral("3 z 116 zapytań: ") + Write(4027, 1).text +
             QStringLiteral(", strony tekstowe (2 z 115 zapytań)"),
         {},
         pageWindow,
         [](C& c) { c.ed->stron.BitBtn2Click(); },
         pagesWrite},
        {"PagesWriteLast",
         QStringLiteral("Zapis Stron Tekstowych"),
         Write(4162, 103),
         PageCount,
         QStringLiteral("115 z 116 zapytań: ") + Write(4027, 1).text +
             QStringLiteral(", strony tekstowe (114 z 115 zapytań)"),
         {},
         pageWindow,
         [](C& c) { c.ed->stron.BitBtn2Click(); },
         pagesWrite},
        // Active page, tracking and geometry.
        {"ActivePageWrite",
         QStringLiteral("Zmiana aktywnej strony"),
         Write(4146, 1),
         0,
         {},
         {},
         {},
         [](C& c) {
             c.ed->stron.Edit1->setText(QStringLiteral("7"));
             c.ed->stron.BitBtn5Click();
         },
         {"w4146x1"}},
        {"ActivePageRead",
         QStringLiteral("Odczyt aktywnej strony"),
         Read(4146, 1),
         0,
         {},
         Marked(4146, 1),
         {},
         [](C& c) { c.ed->stron.BitBtn6Click(); },
         {"r4146x1"}},
        {"Tracking", tracking, Read(4146, 1), 0, {}, Marked(4146, 1), {}, checkTracking, {}, stopTracking},
        {"TrackingLater",
         tracking,
         Read(4146, 1),
         2,
         {},
         Marked(4146, 1),
         {},
         checkTracking,
         {},
         stopTracking},
        {"LineLengthRead",
         QStringLiteral("Odczyt liczby znaków w wierszu"),
         Read(4014, 1),
         0,
         {},
         {{RegLineLength, 9}},
         {},
         [](C& c) { c.ed->stron.Button1Click(); },
         {"r4014x1"}},
        {"LineLengthWrite",
         QStringLiteral("Zapis liczby znaków w wierszu"),
         Write(4014, 1),
         0,
         {},
         {},
         {},
         [](C& c) { c.ed->stron.Button2Click(); },
         {"w4014x1"}},
        {"BoardSizeRead",
         QStringLiteral("Odczyt rozmiaru tablicy"),
         Read(4013, 1),
         0,
         {},
         {{RegBoardSize, 210}},
         {},
         [](C& c) { c.ed->stron.Button3Click(); },
         {"r4013x1"}},
        {"BoardSizeWrite",
         QStringLiteral("Zapis rozmiaru tablicy"),
         Write(4013, 1),
         0,
         {},
         {},
         {},
         [](C& c) { c.ed->stron.Button4Click(); },
         {"w4013x1"}},
    };
    return rows;
}

// Every register and page as it stands.
struct Snapshot {
    explicit Snapshot(const ConfigImage& image) : main(image.main), slave(image.slave), pages(image.pages) {}
    int32_t Reg(int r) const {
        return r < SlaveBase ? main[size_t(r - MainBase)] : slave[size_t(r - SlaveBase)];
    }
    decltype(ConfigImage::main) main;
    decltype(ConfigImage::slave) slave;
    decltype(ConfigImage::pages) pages;
};

TEST_P(EditorCell, EndsInItsMessageStaysStoppedAndTheNextTransferWorks) {
    const auto [f, r] = GetParam();
    const SimFault& fault = SimFaults[f];
    const Row& row = Rows()[size_t(r)];
    const BoardModel factory;
    for (const Mark& m : row.reads)
        image.SetReg(m.reg, m.value);

    row.start(*this);
    const Snapshot before(image); // what the window stored as it started, before any reply
    // A long way to the fault goes at the pace of the replies; the time-out stays a real timer.
    if (row.soundReplies >= LongWay)
        ASSERT_TRUE(Drive([this] { return Settled(); })) << sim->Log().constData();
    else
        ASSERT_TRUE(Settle()) << sim->Log().constData();

    // One message, whose details say what failed and what had arrived.
    const auto boxes = Messages();
    ASSERT_EQ(boxes.size(), 1u) << sim->Log().constData();
    ExpectTransferErrorBox(boxes[0], *sim, row.operation, row.request.text,
                           FaultCause(fault, r, row.request.replyBytes));
    const QString confirmed = QStringLiteral("Potwierdzone przez tablicę: ");
    if (row.confirmed.isEmpty())
        EXPECT_FALSE(boxes[0].details.contains(confirmed)) << boxes[0].details.toStdString();
    else
        EXPECT_TRUE(boxes[0].details.contains(confirmed + row.confirmed + QStringLiteral("\n")))
            << boxes[0].details.toStdString();

    // Port closed, no timer running, the progress window hidden.
    EXPECT_FALSE(image.link.PortOpen);
    EXPECT_FALSE(port.isOpen());
    EXPECT_TRUE(scheduler.Idle());
    EXPECT_FALSE(scheduler.Busy());
    EXPECT_FALSE(progress.shown);

    // Nothing stored that the board did not send.
    std::set<int> read;
    for (const Mark& m : row.reads)
        read.insert(m.reg);
    for (int reg = MainBase; reg < SlaveBase + SlaveCount; ++reg) {
        if (!ConfigImage::HasRegister(reg) || row.sets.count(reg))
            continue;
        const int32_t now = image.Reg(reg);
        if (!read.count(reg)) {
            EXPECT_EQ(now, before.Reg(reg)) << reg;
        } else if (reg == RegClockTime) {
            // The board's clock runs: any time of day it can hold.
            EXPECT_TRUE(now == before.Reg(reg) || (now / 100 < 24 && now % 100 < 60)) << reg << ": " << now;
        } else {
            EXPECT_TRUE(now == before.Reg(reg) || now == factory.Holding(reg)) << reg << ": " << now;
        }
    }
    for (int p = 0; p < PageCount; ++p) {
        const ConfigImage::Page now = Blanked(image.pages[size_t(p)]);
        EXPECT_TRUE(now == Blanked(before.pages[size_t(p)]) || now == Blanked(factory.Page(p)))
            << "page " << p;
    }

    // Stopped for good: a later transfer clears the error, and the window sends nothing more. A
    // late reply comes in on the open port just before that transfer's request goes out.
    clock.quick = true; // the board's pauses matter no more
    if (IsLate(fault))
        clock.hold.Arm(port);
    dialogs.boxes.clear();
    const size_t sentBefore = sim->Requests().size();
    ASSERT_TRUE(ops.StartIdentification());
    ASSERT_TRUE(Settle(5000));
    if (IsLate(fault)) {
        EXPECT_GT(clock.hold.heard, 0) << "the late reply did not meet the next request\n"
                                       << sim->Log().constData();
    }
    QTest::qWait(60);
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(Messages()[0].title, QStringLiteral("Identyfikacja")) << Messages()[0].details.toStdString();
    ASSERT_EQ(sim->Requests().size(), sentBefore + 1) << sim->Log().constData();
    EXPECT_EQ(uint8_t(sim->Requests().back().at(1)), 17); // the identification
    EXPECT_FALSE(WindowTimerRunning());

    // The next transfer of the same window works.
    dialogs.boxes.clear();
    const size_t first = sim->Requests().size();
    row.start(*this);
    if (row.requests.empty()) {
        ASSERT_TRUE(Drive([&] { return sim->Requests().size() >= first + 3; }));
        row.stop(*this);
    }
    ASSERT_TRUE(Drive([this] { return Settled(); })) << sim->Log().constData();
    const std::vector<std::string> all = Sent();
    const std::vector<std::string> next(all.begin() + std::ptrdiff_t(first), all.end());
    EXPECT_TRUE(Messages().empty()) << Messages()[0].text.toStdString() << "\n"
                                    << Messages()[0].details.toStdString();
    if (row.requests.empty()) {
        EXPECT_GE(next.size(), 3u);
        EXPECT_EQ(next, std::vector<std::string>(next.size(), "r4146x1"));
    } else {
        EXPECT_EQ(next, row.requests);
    }
    EXPECT_FALSE(image.link.PortOpen);
    EXPECT_FALSE(progress.shown);
    // What was read is the board's; what was written is what the image holds.
    for (const Mark& m : row.reads)
        EXPECT_TRUE(IsClock(m.reg) ? image.Reg(m.reg) != m.value : image.Reg(m.reg) == factory.Holding(m.reg))
            << m.reg << ": " << image.Reg(m.reg);
    const std::vector<QByteArray> frames = sim->Requests();
    for (size_t i = first; i < frames.size(); ++i) {
        const QByteArray& frame = frames[i];
        const int reg = uint8_t(frame[2]) * 256 + uint8_t(frame[3]);
        const int count = uint8_t(frame[4]) * 256 + uint8_t(frame[5]);
        if (uint8_t(frame[1]) != 16 || reg < MainBase || reg == RegPageSelector)
            continue;
        std::vector<int32_t> values;
        for (int k = 0; k < count; ++k)
            values.push_back(image.Reg(reg + k));
        EXPECT_EQ(frame.toHex().toStdString(), WriteFrame(reg, values).toHex().toStdString()) << reg;
    }
}

INSTANTIATE_TEST_SUITE_P(Cells, EditorCell,
                         ::testing::Combine(::testing::Range(0, int(std::size(SimFaults))),
                                            ::testing::Range(0, int(EditorCell::Rows().size()))),
                         [](const auto& info) {
                             return std::string(SimFaults[std::get<0>(info.param)].name) + "_" +
                                    EditorCell::Rows()[size_t(std::get<1>(info.param))].name;
                         });

} // namespace
} // namespace kx9::test
