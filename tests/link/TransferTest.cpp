// SPDX-License-Identifier: MIT
#include "common/SchedulerTicks.h"
#include "common/TestSeams.h"
#include "link/ModbusFrame.h"
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <functional>
#include <utility>
#include <vector>

namespace kx9 {
namespace {

using test::FakeClock;
using test::RecordingDialogs;

const QString TransmissionError = QStringLiteral("Błąd transmisji danych");

uint16_t Word(const QByteArray& f, int at) {
    return uint16_t((uint8_t(f[at]) << 8) | uint8_t(f[at + 1]));
}
int Function(const QByteArray& f) {
    return uint8_t(f[1]);
}
int FirstReg(const QByteArray& f) {
    return Word(f, 2);
}
int RegCount(const QByteArray& f) {
    return Word(f, 4);
}

QByteArray WithCrc(QByteArray body) {
    uint8_t buf[frame::BufferSize];
    std::memcpy(buf, body.constData(), size_t(body.size()));
    int n = frame::AppendCrc(buf, int(body.size()));
    return QByteArray(reinterpret_cast<const char*>(buf), n);
}

// A board reduced to what the scheduler relies on: registers that keep what is written and
// give it back, and the identification reply. Tests change its replies through `tamper`.
class ScriptedBoard {
public:
    ScriptedBoard() { regs.fill(0); }

    QByteArray Reply(const QByteArray& req) {
        if (req.size() < 4 || uint8_t(req[0]) != address ||
            !frame::CrcMatches(reinterpret_cast<const uint8_t*>(req.constData()), int(req.size())))
            return {};
        QByteArray body;
        body.append(char(address));
        switch (Function(req)) {
        case 3: {
            const int first = FirstReg(req), count = RegCount(req);
            body.append(char(3)).append(char(2 * count));
            for (int k = 0; k < count; ++k) {
                uint16_t v = regs[size_t(first + k)];
                body.append(char(v >> 8)).append(char(v & 0xFF));
            }
            break;
        }
        case 16: {
            const int first = FirstReg(req), count = RegCount(req);
            for (int k = 0; k < count; ++k)
                regs[size_t(first + k)] = Word(req, 7 + 2 * k);
            body.append(req.mid(1, 5));
            break;
        }
        case 17:
            body.append(char(17)).append(char(7)).append(char(0x98)).append(char(0xFF)).append("KX9");
            body.append(char(14)).append(char(4)); // 15 x 5 modules
            break;
        default:
            return {};
        }
        QByteArray reply = WithCrc(body);
        return tamper ? tamper(req, reply) : reply;
    }

    uint8_t address = 1;
    std::array<uint16_t, 4400> regs{};
    std::function<QByteArray(const QByteArray& req, QByteArray reply)> tamper;
};

// Serial port whose written frames are answered by the scripted board, at once or on demand.
class ScriptedPort : public SerialPort {
public:
    explicit ScriptedPort(ScriptedBoard& board) : m_board(board) {}
    bool open(const QString&, const LineSettings&) override {
        ++opens;
        m_open = !failOpen;
        return m_open;
    }
    void close() override { m_open = false; }
    bool isOpen() const override { return m_open; }
    void purge() override { input.clear(); }
    int write(const uint8_t* data, int length) override {
        QByteArray req(reinterpret_cast<const char*>(data), length);
        requests.push_back(req);
        QByteArray reply = m_board.Reply(req);
        (holdReplies ? held : input) += reply;
        return length;
    }
    int bytesWaiting() override { return int(input.size()); }
    int read(uint8_t* buffer, int max) override {
        int n = std::min(max, int(input.size()));
        std::memcpy(buffer, input.constData(), size_t(n));
        input.remove(0, n);
        return n;
    }
    void Deliver() {
        input += held;
        held.clear();
    }

    std::vector<QByteArray> requests;
    QByteArray input;
    QByteArray held;
    bool holdReplies = false;
    bool failOpen = false;
    int opens = 0;

private:
    ScriptedBoard& m_board;
    bool m_open = false;
};

class RecordingProgress : public ProgressView {
public:
    explicit RecordingProgress(TransferState& state) : m_state(state) {}
    void ShowProgress(const QString& title) override {
        visible = true;
        titles.push_back(title);
    }
    void SetProgress(int percent) override { set.push_back({int(m_state.PageCounter), percent}); }
    void HideProgress() override {
        visible = false;
        ++hides;
    }
    std::vector<int> Percents() const {
        std::vector<int> out;
        for (auto& p : set)
            out.push_back(p.second);
        return out;
    }
    bool visible = false;
    int hides = 0;
    std::vector<QString> titles;
    std::vector<std::pair<int, int>> set; // page counter when set, percent

private:
    TransferState& m_state;
};

// The board operations' step actions, as far as the jobs see them.
class RecordingActions : public JobActions {
public:
    RecordingActions(World& w, RecordingProgress& progress) : m_w(w), m_progress(progress) {}
    int PageFromWindow() override {
        int p = m_w.image.Reg(RegPageSelector);
        if (p > 114)
            return -1;
        fromWindow.push_back(p);
        return 1;
    }
    int PageToWindow(int page) override {
        if (page > 114)
            return -1;
        m_w.image.SetReg(RegPageSelector, page);
        for (int i = 0; i < 100; ++i)
            m_w.image.SetReg(RegPageWindow + i, (page * 256 + i) & 0xFFFF);
        toWindow.push_back(page);
        return 1;
    }
    void ShowStatus() override { ++showStatus; }
    void ConfigWriteStep(int step) override { configSteps.push_back(step); }
    void StartPagesRead() override {
        ++pagesRead;
        if (!followPagesRead)
            return;
        test::BeginPagesRead(m_w,
                             [this] { m_progress.ShowProgress(QStringLiteral("Odczyt Stron Tekstowych")); });
    }
    void StartPagesWrite() override {
        test::BeginPagesWrite(m_w,
                              [this] { m_progress.ShowProgress(QStringLiteral("Zapis Stron Tekstowych...")); });
    }

    bool followPagesRead = true;
    std::vector<int> fromWindow, toWindow, configSteps;
    int showStatus = 0, pagesRead = 0;

private:
    World& m_w;
    RecordingProgress& m_progress;
};

class TransferTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test::EnsureCoreApplication(); }

    void SetUp() override {
        s.SetProgressView(&progress);
        s.SetJobActions(&actions);
        s.SetLinkShown([this] { ++linkShown; });
    }

    // One 10 ms step of a simulated clock driving the three timers; false once all have stopped.
    // Asserts that no handler sends while a reply is awaited and that only the sequencer sends.
    bool Tick() {
        ++m_tick;
        size_t sent = port.requests.size();
        if (s.TestOdpowiedzi.isActive()) {
            s.TestOdpowiedziTimer();
            EXPECT_EQ(port.requests.size(), sent) << "the reply poll sent a request";
        }
        if (m_tick % 2 == 0 && s.TransmisjaWr.isActive()) {
            const int awaited = s.state.ReplyEnd;
            s.TransmisjaWrTimer();
            if (awaited != 0) {
                EXPECT_EQ(port.requests.size(), sent) << "sent while ReplyEnd was " << awaited;
            }
            EXPECT_LE(port.requests.size(), sent + 1) << "two requests in one tick";
        }
        if (port.requests.size() != sent || !s.TimeOut.isActive())
            m_waitedMs = 0;
        if (s.TimeOut.isActive()) {
            m_waitedMs += 10;
            if (m_waitedMs >= s.TimeOut.interval()) {
                m_waitedMs = 0;
                s.TimeOutTimer();
            }
        }
        return !test::SchedulerIdle(s);
    }

    void Pump(int maxTicks = 20000) {
        for (int i = 0; i < maxTicks; ++i)
            if (!Tick())
                return;
        ADD_FAILURE() << "timers still running after " << maxTicks << " ticks";
    }

    // A job as its operation leaves it: port open, progress shown, watchdog running.
    void StartJob(const QString& title = QString()) {
        ASSERT_EQ(s.OpenLink(), 1);
        progress.ShowProgress(title);
        s.EnableWatchdog();
    }

    int Messages(const QString& text) const {
        return int(std::count_if(dialogs.boxes.begin(), dialogs.boxes.end(),
                                 [&](const RecordingDialogs::Box& b) { return b.text == text; }));
    }

    void ExpectIdle() {
        EXPECT_FALSE(s.state.AnyJob());
        EXPECT_EQ(s.state.ReplyEnd, 0);
        EXPECT_FALSE(image.link.PortOpen);
        EXPECT_FALSE(port.isOpen());
        EXPECT_FALSE(progress.visible);
        EXPECT_FALSE(s.TimeOut.isActive());
        EXPECT_FALSE(s.TestOdpowiedzi.isActive());
        EXPECT_FALSE(s.TransmisjaWr.isActive());
    }

    FakeClock clock;
    RecordingDialogs dialogs;
    ScriptedBoard board;
    ScriptedPort port{board};
    World world{port, dialogs, clock};
    ConfigImage& image = world.image;
    Scheduler& s = world.scheduler;
    RecordingProgress progress{s.state};
    RecordingActions actions{world, progress};
    int linkShown = 0;

private:
    int m_tick = 0;
    int m_waitedMs = 0;
};

TEST_F(TransferTest, TimersAreNamedPreciseAndStopped) {
    struct Row {
        QTimer* timer;
        const char* name;
        int interval;
        bool singleShot;
    };
    for (const Row& r :
         {Row{&s.TimeOut, "TimeOut", 1000, true}, Row{&s.TestOdpowiedzi, "TestOdpowiedzi", 10, false},
          Row{&s.TransmisjaWr, "TransmisjaWr", 20, false}}) {
        EXPECT_EQ(r.timer->objectName(), QString::fromLatin1(r.name));
        EXPECT_EQ(r.timer->interval(), r.interval) << r.name;
        EXPECT_EQ(r.timer->isSingleShot(), r.singleShot) << r.name;
        EXPECT_EQ(r.timer->timerType(), Qt::PreciseTimer) << r.name;
        EXPECT_FALSE(r.timer->isActive()) << r.name;
    }
}

TEST_F(TransferTest, TimersReachTheirHandlers) {
    image.link.ReplyTimeoutMs = 30;
    ASSERT_EQ(s.OpenLink(), 1);
    s.SendRead(4100, 2);
    EXPECT_TRUE(QTest::qWaitFor([&] { return s.state.ReplyEnd == 0; }, 5000)); // the poll takes the reply
    EXPECT_FALSE(s.TimeOut.isActive());

    board.address = 9;
    s.SendRead(4100, 2);
    s.EnableWatchdog();
    // no reply: the time-out, then the sequencer, end it
    EXPECT_TRUE(QTest::qWaitFor([&] { return !s.TransmisjaWr.isActive(); }, 5000));
    EXPECT_EQ(Messages(TransmissionError), 1);
    ExpectIdle();
}

TEST_F(TransferTest, OpenAndCloseFollowTheLinkSettingsAndTellTheStatusBar) {
    image.link.PortIndex = 2;
    image.link.FrameIndex = 0;
    image.link.BaudIndex = 3;
    EXPECT_EQ(s.OpenLink(), 1);
    EXPECT_EQ(linkShown, 1);
    EXPECT_TRUE(image.link.PortOpen);
    s.CloseLink();
    EXPECT_EQ(linkShown, 2);
    EXPECT_FALSE(image.link.PortOpen);
    port.failOpen = true;
    EXPECT_EQ(s.OpenLink(), -1);
    EXPECT_EQ(linkShown, 3);
}

TEST_F(TransferTest, ReplyWaitArmsBothTimersWithTheCurrentTimeout) {
    image.link.ReplyTimeoutMs = 1500;
    s.StartReplyWait();
    EXPECT_TRUE(s.TimeOut.isActive());
    EXPECT_EQ(s.TimeOut.interval(), 1500);
    EXPECT_TRUE(s.TestOdpowiedzi.isActive());
    EXPECT_EQ(s.TestOdpowiedzi.interval(), 10);
    image.link.ReplyTimeoutMs = 0; // a damaged setting must still end the wait
    s.StartReplyWait();
    EXPECT_GE(s.TimeOut.interval(), 1);
}

TEST_F(TransferTest, RequestFramesAndAwaitedEnds) {
    ASSERT_EQ(s.OpenLink(), 1);
    image.SetReg(4300, 0x1234);
    image.SetReg(4301, 0xABCD);

    s.SendRead(4100, 62);
    EXPECT_EQ(port.requests.back(), QByteArray::fromHex("01031004003E811B"));
    EXPECT_EQ(s.state.ReplyEnd, 128);
    EXPECT_EQ(s.state.ReadStart, 4100);
    s.state.ReplyEnd = 0;

    s.state.TransferError = true;
    s.SendWrite(4300, 2);
    EXPECT_EQ(port.requests.back(), WithCrc(QByteArray::fromHex("011010CC0002041234ABCD")));
    EXPECT_EQ(s.state.ReplyEnd, 7);
    EXPECT_FALSE(s.state.TransferError);
    s.state.ReplyEnd = 0;

    s.SendIdentify();
    EXPECT_EQ(port.requests.back(), WithCrc(QByteArray::fromHex("0111")));
    EXPECT_EQ(s.state.ReplyEnd, 9);
    EXPECT_TRUE(s.TimeOut.isActive());
    EXPECT_TRUE(s.TestOdpowiedzi.isActive());
}

TEST_F(TransferTest, WriteOutsideTheImageSendsNothingAndTimesOut) {
    ASSERT_EQ(s.OpenLink(), 1);
    s.SendWrite(4290, 20); // would run past 4299
    s.SendWrite(4340, 6);  // past 4344
    EXPECT_TRUE(port.requests.empty());
    Pump();
    EXPECT_EQ(Messages(TransmissionError), 1);
}

// Every job the scheduler runs ends the same way when the board stays silent.
struct SilentCase {
    const char* name;
    std::function<void(Scheduler&, RecordingActions&)> start;
};

class SilentBoardTest : public TransferTest, public ::testing::WithParamInterface<SilentCase> {};

TEST_P(SilentBoardTest, EndsWithOneTransmissionError) {
    board.address = 99;
    StartJob();
    GetParam().start(s, actions);
    Pump();
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].text, TransmissionError);
    EXPECT_EQ(dialogs.boxes[0].title, QStringLiteral("Błąd"));
    EXPECT_EQ(dialogs.boxes[0].icon, MsgIcon::Error);
    EXPECT_TRUE(s.state.TransferError);
    ExpectIdle();
    EXPECT_TRUE(actions.fromWindow.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Jobs, SilentBoardTest,
    ::testing::Values(SilentCase{"ConfigRead",
                                 [](Scheduler& s, RecordingActions&) {
                                     s.state.ReadConfigJob = true;
                                     s.SendRead(4000, 100);
                                 }},
                      SilentCase{"PagesRead",
                                 [](Scheduler& s, RecordingActions&) {
                                     s.state.ReadPagesJob = true;
                                     s.Image().SetReg(RegPageSelector, 200);
                                 }},
                      SilentCase{"PagesWrite", [](Scheduler&, RecordingActions& a) { a.StartPagesWrite(); }},
                      SilentCase{"Status",
                                 [](Scheduler& s, RecordingActions&) {
                                     s.state.StatusJob = true;
                                     s.SendRead(RegStatus, 1);
                                 }},
                      SilentCase{"ClockRead",
                                 [](Scheduler& s, RecordingActions&) {
                                     s.state.ClockReadJob = true;
                                     s.SendRead(RegClockTime, 3);
                                 }},
                      SilentCase{"ConfigWrite",
                                 [](Scheduler& s, RecordingActions&) {
                                     s.state.WriteConfigJob = true;
                                     s.SendWrite(4003, 3);
                                 }},
                      SilentCase{"SingleRequest",
                                 [](Scheduler& s, RecordingActions&) { s.SendWrite(RegTimePosition, 4); }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(TransferTest, TimeOutHidesTheProgressAtOnce) {
    board.address = 99;
    StartJob();
    s.TransmisjaWr.stop(); // a lone request: nothing but the time-out ends it
    s.SendRead(RegStatus, 1);
    s.TimeOutTimer();
    EXPECT_EQ(Messages(TransmissionError), 1);
    EXPECT_FALSE(progress.visible);
    EXPECT_FALSE(image.link.PortOpen);
    EXPECT_EQ(s.state.ReplyEnd, 0);
}

TEST_F(TransferTest, TimeOutWithThePortAlreadyClosedShowsNothing) {
    board.address = 99;
    StartJob();
    s.state.ClockReadJob = true;
    s.SendRead(RegClockTime, 3);
    s.CloseLink();
    s.TimeOutTimer();
    EXPECT_TRUE(dialogs.boxes.empty());
    EXPECT_EQ(s.state.ReplyEnd, 0);
    EXPECT_TRUE(s.state.TransferError);
    EXPECT_FALSE(s.TestOdpowiedzi.isActive());
    s.TransmisjaWrTimer();
    ExpectIdle();
    EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(TransferTest, PageReadSelectsAndReadsEveryPageInOrder) {
    for (int p = 0; p < 115; ++p)
        board.regs[size_t(RegPageWindow + p % 100)] = uint16_t(p + 1);
    board.regs[RegDoubleHeight] = 0x0102;
    StartJob(QStringLiteral("Odczyt Stron Tekstowych"));
    actions.followPagesRead = true;
    actions.StartPagesRead();
    Pump();

    ASSERT_EQ(port.requests.size(), 231u);
    for (int p = 0; p < 115; ++p) {
        const QByteArray& select = port.requests[size_t(2 * p)];
        const QByteArray& read = port.requests[size_t(2 * p + 1)];
        ASSERT_EQ(Function(select), 16) << p;
        EXPECT_EQ(FirstReg(select), RegPageSelector);
        EXPECT_EQ(RegCount(select), 1);
        EXPECT_EQ(Word(select, 7), p);
        ASSERT_EQ(Function(read), 3) << p;
        EXPECT_EQ(FirstReg(read), RegPageSelector);
        EXPECT_EQ(RegCount(read), 103);
    }
    EXPECT_EQ(Function(port.requests.back()), 3);
    std::vector<int> pages(115);
    for (int p = 0; p < 115; ++p)
        pages[size_t(p)] = p;
    EXPECT_EQ(actions.fromWindow, pages); // the last read only refreshes the window
    EXPECT_EQ(image.Reg(RegPageSelector), 114);
    EXPECT_EQ(image.Reg(RegDoubleHeight), 0x0102);

    ASSERT_EQ(progress.set.size(), 115u);
    EXPECT_EQ(progress.set[0], std::make_pair(0, 0));
    EXPECT_EQ(progress.set[1], std::make_pair(1, 0));
    EXPECT_EQ(progress.set[114], std::make_pair(114, 99));
    EXPECT_TRUE(std::is_sorted(progress.set.begin(), progress.set.end()));
    EXPECT_TRUE(dialogs.boxes.empty());
    ExpectIdle();
}

TEST_F(TransferTest, PageWindowBeyondTheLastPageDropsTheJobSilently) {
    board.tamper = [](const QByteArray& req, QByteArray reply) {
        if (Function(req) == 3 && FirstReg(req) == RegPageSelector) {
            reply[3] = 0;
            reply[4] = char(200);
            reply = WithCrc(reply.left(reply.size() - 2));
        }
        return reply;
    };
    StartJob();
    actions.StartPagesRead();
    s.TransmisjaWrTimer(); // select page 0
    s.TestOdpowiedziTimer();
    s.TransmisjaWrTimer(); // read its window
    s.TestOdpowiedziTimer();
    EXPECT_TRUE(s.state.TransferError);
    EXPECT_EQ(s.state.ReplyEnd, 0);
    EXPECT_TRUE(actions.fromWindow.empty());
    s.TransmisjaWrTimer();
    EXPECT_EQ(port.requests.size(), 2u);
    EXPECT_TRUE(dialogs.boxes.empty());
    ExpectIdle();
}

TEST_F(TransferTest, PageWriteSendsEveryPageFromTheImage) {
    image.SetReg(RegPageTail, 0x0A0B);
    image.SetReg(RegDoubleHeight, 0x0001);
    StartJob();
    actions.StartPagesWrite();
    Pump();

    ASSERT_EQ(port.requests.size(), 116u);
    EXPECT_EQ(FirstReg(port.requests[0]), RegOccasionalAllowed);
    for (int p = 0; p < 115; ++p) {
        const QByteArray& w = port.requests[size_t(p + 1)];
        ASSERT_EQ(Function(w), 16);
        EXPECT_EQ(FirstReg(w), RegPageSelector);
        const int count = p < 114 ? 101 : 103;
        ASSERT_EQ(RegCount(w), count) << p;
        ASSERT_EQ(w.size(), 9 + 2 * count);
        EXPECT_EQ(Word(w, 7), p);
        EXPECT_EQ(Word(w, 9), p * 256);
        EXPECT_EQ(Word(w, 7 + 2 * 100), p * 256 + 99);
    }
    const QByteArray& last = port.requests.back();
    EXPECT_EQ(Word(last, 7 + 2 * 101), 0x0A0B);
    EXPECT_EQ(Word(last, 7 + 2 * 102), 0x0001);
    EXPECT_EQ(std::count(clock.pauses.begin(), clock.pauses.end(), 10), 115);
    EXPECT_EQ(progress.Percents().front(), 0);
    EXPECT_EQ(progress.Percents().back(), 99);
    EXPECT_EQ(board.regs[RegPageWindow + 5], 114 * 256 + 5);
    ExpectIdle();
}

TEST_F(TransferTest, AbortDuringPageWriteLetsTheReplyInFlightComplete) {
    StartJob();
    actions.StartPagesWrite();
    while (port.requests.size() < 3)
        ASSERT_TRUE(Tick());
    port.holdReplies = true;
    while (port.requests.size() < 4)
        ASSERT_TRUE(Tick());
    s.TestOdpowiedziTimer(); // page 2's reply is not there yet
    ASSERT_EQ(s.state.ReplyEnd, 7);
    s.state.ClearJobs(); // "Przerwij"
    s.TransmisjaWrTimer();
    s.TransmisjaWrTimer();
    EXPECT_TRUE(progress.visible);
    EXPECT_TRUE(image.link.PortOpen);
    port.Deliver();
    Pump();
    EXPECT_EQ(port.requests.size(), 4u);
    EXPECT_EQ(actions.toWindow, (std::vector<int>{0, 1, 2}));
    EXPECT_FALSE(s.state.TransferError);
    EXPECT_TRUE(dialogs.boxes.empty());
    ExpectIdle();
}

// Replies the link refuses: each ends as the time-out's message, with nothing stored.
struct BadReply {
    const char* name;
    std::function<QByteArray(QByteArray)> spoil;
};

class BadReplyTest : public TransferTest, public ::testing::WithParamInterface<BadReply> {};

TEST_P(BadReplyTest, EndsInTheTimeOutMessage) {
    board.regs[RegPageSelector] = 7;
    board.tamper = [spoil = GetParam().spoil](const QByteArray&, QByteArray r) { return spoil(r); };
    StartJob();
    s.state.ReadPagesJob = true;
    image.SetReg(RegPageSelector, 3);
    s.SendRead(RegPageSelector, 2);
    s.TimeOut.setInterval(2000); // as the long steps of the configuration write do
    s.TestOdpowiedziTimer();
    if (!s.TestOdpowiedzi.isActive()) {
        // taken up and refused: only the time-out is armed again, with the request's interval
        EXPECT_TRUE(s.TimeOut.isActive());
        EXPECT_EQ(s.TimeOut.interval(), 2000);
        EXPECT_EQ(s.state.ReplyEnd, 8);
    }
    Pump();
    EXPECT_EQ(Messages(TransmissionError), 1);
    EXPECT_EQ(image.Reg(RegPageSelector), 3);
    EXPECT_TRUE(actions.fromWindow.empty());
    ExpectIdle();
}

INSTANTIATE_TEST_SUITE_P(
    Replies, BadReplyTest,
    ::testing::Values(BadReply{"BadCrc",
                               [](QByteArray r) {
                                   r[r.size() - 1] = char(r[r.size() - 1] ^ 0x55);
                                   return r;
                               }},
                      BadReply{"WrongAddress",
                               [](QByteArray r) {
                                   r[0] = 2;
                                   return WithCrc(r.left(r.size() - 2));
                               }},
                      BadReply{"UnexpectedFunction",
                               [](QByteArray r) {
                                   r[1] = 5;
                                   return WithCrc(r.left(r.size() - 2));
                               }},
                      BadReply{"LongerThanAwaited", // passes the check, refused when stored
                               [](QByteArray r) {
                                   r[2] = 6;
                                   return WithCrc(r.left(r.size() - 2).append(2, '\0'));
                               }},
                      BadReply{"Exception",
                               [](QByteArray) { return WithCrc(QByteArray::fromHex("018302")); }},
                      BadReply{"CutShort", [](QByteArray r) { return r.left(6); }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(TransferTest, IncompleteReplyKeepsPolling) {
    StartJob();
    port.holdReplies = true;
    s.SendRead(4100, 2);
    port.input = port.held.left(8); // ReplyEnd 8: nine bytes make it complete
    s.TestOdpowiedziTimer();
    EXPECT_TRUE(s.TestOdpowiedzi.isActive());
    EXPECT_EQ(s.state.ReplyEnd, 8);
    port.input = port.held;
    s.TestOdpowiedziTimer();
    EXPECT_FALSE(s.TestOdpowiedzi.isActive());
    EXPECT_FALSE(s.TimeOut.isActive());
    EXPECT_EQ(s.state.ReplyEnd, 0);
}

TEST_F(TransferTest, StrayBytesWithNoReplyAwaitedAreLeftAlone) {
    StartJob();
    port.input = WithCrc(QByteArray::fromHex("01030400070008"));
    s.state.ReadStart = RegPageSelector;
    s.TestOdpowiedzi.start();
    s.TestOdpowiedziTimer();
    EXPECT_FALSE(s.TestOdpowiedzi.isActive());
    EXPECT_EQ(port.input.size(), 9);
    EXPECT_EQ(image.Reg(RegPageSelector), 0);
}

TEST_F(TransferTest, IdentificationReplyIsShownAndClosesThePort) {
    ASSERT_EQ(s.OpenLink(), 1);
    s.SendIdentify();
    Pump();
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].text, world.link.DescribeIdentification());
    EXPECT_TRUE(dialogs.boxes[0].text.contains(QStringLiteral("15x5")));
    EXPECT_EQ(dialogs.boxes[0].title, QStringLiteral("Identyfikacja"));
    EXPECT_EQ(dialogs.boxes[0].icon, MsgIcon::Information);
    EXPECT_EQ(s.state.ReplyEnd, 0);
    EXPECT_FALSE(image.link.PortOpen);
}

TEST_F(TransferTest, PortVanishingDuringARequestEndsInTheTransmissionError) {
    StartJob();
    port.holdReplies = true;
    s.SendRead(4100, 62);
    port.close(); // the adapter is pulled while the reply is awaited
    Pump();
    EXPECT_EQ(Messages(QStringLiteral("Błąd transmisji danych")), 1);
    ExpectIdle();
}

TEST_F(TransferTest, IdentificationReplyArrivingInPiecesIsTakenUpWhole) {
    // At low rates the poll sees the first ten bytes before the rest has arrived.
    ASSERT_EQ(s.OpenLink(), 1);
    port.holdReplies = true;
    s.SendIdentify();
    const QByteArray reply = port.held;
    ASSERT_GT(reply.size(), 10);
    port.held.clear();
    port.input = reply.left(10);
    s.TestOdpowiedziTimer();
    port.input += reply.mid(10);
    s.TestOdpowiedziTimer();
    EXPECT_TRUE(dialogs.boxes.empty()) << "taken up while bytes were still arriving";
    s.TestOdpowiedziTimer();
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_TRUE(dialogs.boxes[0].text.contains(QStringLiteral("15x5")));
    EXPECT_EQ(dialogs.boxes[0].title, QStringLiteral("Identyfikacja"));
}

TEST_F(TransferTest, LinkChangeIdentifiesTheBoardAtItsNewAddress) {
    image.SetReg(RegBoardAddress, 0x0105);
    board.address = 5;
    StartJob();
    s.state.LinkChangeJob = true;
    s.TransmisjaWrTimer();
    EXPECT_FALSE(s.state.LinkChangeJob);
    EXPECT_FALSE(s.TransmisjaWr.isActive());
    EXPECT_EQ(image.link.BoardAddress, 5);
    ASSERT_EQ(port.requests.size(), 1u);
    EXPECT_EQ(port.requests[0], WithCrc(QByteArray::fromHex("0511")));
    Pump();
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].title, QStringLiteral("Identyfikacja"));
    EXPECT_FALSE(image.link.PortOpen);
}

// The port cannot be opened at the new settings: either when the change reopened it, or when
// its job step does. Both put the old settings back at the next tick.
class LinkChangeFailure : public TransferTest, public ::testing::WithParamInterface<bool> {};

TEST_P(LinkChangeFailure, PutsTheSavedSettingsBack) {
    const bool portOpenAtStep = GetParam();
    image.link.BoardAddress = 3;
    s.state.SavedAddress = 3;
    s.state.SavedFrameIndex = 1;
    s.state.SavedBaudIndex = 7;
    image.link.FrameIndex = 2;
    image.link.BaudIndex = 4;
    image.SetReg(RegBoardAddress, 9);
    if (portOpenAtStep)
        StartJob();
    port.failOpen = true;
    s.state.LinkChangeJob = true;
    s.EnableWatchdog();
    Pump();
    EXPECT_EQ(image.link.BoardAddress, 3);
    EXPECT_EQ(image.link.FrameIndex, 1);
    EXPECT_EQ(image.link.BaudIndex, 7);
    EXPECT_TRUE(port.requests.empty());
    EXPECT_EQ(Messages(TransmissionError), 0);
    ExpectIdle();
}

INSTANTIATE_TEST_SUITE_P(Link, LinkChangeFailure, ::testing::Bool());

TEST_F(TransferTest, ConfigReadStepsThenHandsOverToThePageRead) {
    for (int r = 4100; r < 4162; ++r)
        board.regs[size_t(r)] = uint16_t(r);
    board.regs[RegDoubleHeight] = 0x11;
    board.regs[RegStatus] = 0x8000;
    for (int r = 4300; r < 4345; ++r)
        board.regs[size_t(r)] = uint16_t(r - 4300 + 1);
    actions.followPagesRead = false;
    StartJob(QStringLiteral("Odczyt Konfiguracji"));
    s.state.ReadConfigJob = true;
    s.state.ReadConfigStep = 0;
    s.SendRead(4000, 100);
    clock.pauses.clear();
    Pump();

    ASSERT_EQ(port.requests.size(), 4u);
    const std::vector<std::pair<int, int>> expected{{4000, 100}, {4100, 62}, {4264, 2}, {4300, 45}};
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(Function(port.requests[i]), 3);
        EXPECT_EQ(std::make_pair(FirstReg(port.requests[i]), RegCount(port.requests[i])), expected[i]);
    }
    EXPECT_EQ(progress.Percents(), (std::vector<int>{62, 99, 100}));
    EXPECT_EQ(std::count(clock.pauses.begin(), clock.pauses.end(), 100), 3);
    EXPECT_EQ(actions.pagesRead, 1);
    EXPECT_EQ(s.state.ReadConfigStep, 4);
    EXPECT_EQ(image.Reg(4161), 4161);
    EXPECT_EQ(image.Reg(RegDoubleHeight), 0x11);
    EXPECT_EQ(image.Reg(RegStatus), 0x8000);
    EXPECT_EQ(image.Reg(4344), 45);
    ExpectIdle();
}

TEST_F(TransferTest, ConfigWriteWaitsForThePageWrite) {
    StartJob();
    actions.StartPagesWrite();
    s.state.WriteConfigJob = true;
    s.state.WriteConfigStep = 5;
    while (s.state.WritePagesJob) {
        ASSERT_TRUE(actions.configSteps.empty()) << "page " << s.state.PageCounter;
        ASSERT_TRUE(Tick());
    }
    // The tick that ends the page job sends nothing, so the next step runs in that same tick.
    EXPECT_EQ(actions.configSteps, (std::vector<int>{6}));
    EXPECT_EQ(port.requests.size(), 116u);
}

TEST_F(TransferTest, FlagOnlyJobsRunInOneTickThenTheWatchdogEnds) {
    StartJob();
    s.state.StatusJob = true;
    s.state.ClockReadJob = true;
    s.TransmisjaWrTimer();
    EXPECT_EQ(actions.showStatus, 1);
    EXPECT_FALSE(s.state.AnyJob());
    EXPECT_TRUE(progress.visible);
    s.TransmisjaWrTimer();
    ExpectIdle();
    EXPECT_TRUE(port.requests.empty());
}

TEST_F(TransferTest, NothingIsSentWhileAReplyIsAwaited) {
    StartJob();
    port.holdReplies = true;
    s.SendRead(4100, 2);
    s.state.ReadPagesJob = s.state.WritePagesJob = s.state.ReadConfigJob = s.state.WriteConfigJob = true;
    s.state.LinkChangeJob = true;
    for (int i = 0; i < 10; ++i) {
        s.TransmisjaWrTimer();
        s.TestOdpowiedziTimer();
    }
    EXPECT_EQ(port.requests.size(), 1u);
    EXPECT_TRUE(actions.configSteps.empty());
    EXPECT_EQ(s.state.ReadConfigStep, 0);
    EXPECT_TRUE(s.TransmisjaWr.isActive());
}

} // namespace
} // namespace kx9
