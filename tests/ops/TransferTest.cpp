// SPDX-License-Identifier: MIT
#include "common/TestWorld.h"
#include "link/ModbusFrame.h"
#include <QSignalSpy>
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
using test::RecordingProgress;

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
        if (failOpenAfter == 0)
            failOpen = true;
        else if (failOpenAfter > 0)
            --failOpenAfter;
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
    int failOpenAfter = -1; // opens that still succeed before every later one fails
    int opens = 0;

private:
    ScriptedBoard& m_board;
    bool m_open = false;
};

class TransferTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test::EnsureCoreApplication(); }

    void SetUp() override {
        program.progress.Attach(&progress);
        program.ops.SetStatusView(&status);
        s.SetLinkShown([this] { ++linkShown; });
    }
    void TearDown() override { s.Abandon(); }

    // One 10 ms step of a simulated clock driving the three timers; false once all have stopped.
    // Asserts that no handler sends while a reply is awaited and that only the sequencer sends.
    bool Tick() {
        ++m_tick;
        size_t sent = port.requests.size();
        if (s.PollActive()) {
            s.TestOdpowiedziTimer();
            EXPECT_EQ(port.requests.size(), sent) << "the reply poll sent a request";
        }
        if (m_tick % 2 == 0 && s.SequencerActive()) {
            const int awaited = s.ReplyEnd();
            s.TransmisjaWrTimer();
            if (awaited != 0) {
                EXPECT_EQ(port.requests.size(), sent) << "sent while ReplyEnd was " << awaited;
            }
            EXPECT_LE(port.requests.size(), sent + 1) << "two requests in one tick";
        }
        if (port.requests.size() != sent || !s.TimeOutActive())
            m_waitedMs = 0;
        if (s.TimeOutActive()) {
            m_waitedMs += 10;
            if (m_waitedMs >= s.TimeOutInterval()) {
                m_waitedMs = 0;
                s.TimeOutTimer();
            }
        }
        return !s.Idle();
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
        EXPECT_FALSE(s.JobRunning());
        EXPECT_FALSE(s.Busy());
        EXPECT_EQ(s.ReplyEnd(), 0);
        EXPECT_FALSE(image.link.PortOpen);
        EXPECT_FALSE(port.isOpen());
        EXPECT_FALSE(progress.shown);
        EXPECT_FALSE(s.TimeOutActive());
        EXPECT_FALSE(s.PollActive());
        EXPECT_FALSE(s.SequencerActive());
    }

    // Pages whose window registers tell page and cell apart: page p, cell i holds
    // 'A' + p % 26 and 'a' + i % 26.
    void FillPages() {
        for (int p = 0; p < PageCount; ++p)
            for (int i = 0; i < PageSize; ++i)
                image.pages[size_t(p)][size_t(i)] = uint8_t(i % 2 ? 'a' + (i / 2) % 26 : 'A' + p % 26);
    }
    static int WindowWord(int page, int cell) { return ('A' + page % 26) * 256 + 'a' + cell % 26; }

    FakeClock clock;
    RecordingDialogs dialogs;
    ScriptedBoard board;
    ScriptedPort port{board};
    Program program{port, dialogs, clock};
    ConfigImage& image = program.image;
    Scheduler& s = program.scheduler;
    BoardOperations& ops = program.ops;
    RecordingProgress progress;
    test::ScriptedStatus status;
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
    auto timer = [&](const char* name) { return s.findChild<QTimer*>(QString::fromLatin1(name)); };
    for (const Row& r : {Row{timer("TimeOut"), "TimeOut", 1000, true},
                         Row{timer("TestOdpowiedzi"), "TestOdpowiedzi", 10, false},
                         Row{timer("TransmisjaWr"), "TransmisjaWr", 20, false}}) {
        ASSERT_NE(r.timer, nullptr) << r.name;
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
    EXPECT_TRUE(QTest::qWaitFor([&] { return s.ReplyEnd() == 0; }, 5000)); // the poll takes the reply
    EXPECT_FALSE(s.TimeOutActive());

    board.address = 9;
    s.SendRead(4100, 2);
    s.EnableWatchdog();
    // no reply: the time-out, then the sequencer, end it
    EXPECT_TRUE(QTest::qWaitFor([&] { return !s.SequencerActive(); }, 5000));
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
    EXPECT_TRUE(s.TimeOutActive());
    EXPECT_EQ(s.TimeOutInterval(), 1500);
    EXPECT_TRUE(s.PollActive());
    EXPECT_EQ(s.findChild<QTimer*>(QStringLiteral("TestOdpowiedzi"))->interval(), 10);
    image.link.ReplyTimeoutMs = 0; // a damaged setting must still end the wait
    s.StartReplyWait();
    EXPECT_GE(s.TimeOutInterval(), 1);
}

TEST_F(TransferTest, RequestFramesAndAwaitedEnds) {
    ASSERT_EQ(s.OpenLink(), 1);
    image.SetReg(4300, 0x1234);
    image.SetReg(4301, 0xABCD);

    s.SendRead(4100, 62);
    EXPECT_EQ(port.requests.back(), QByteArray::fromHex("01031004003E811B"));
    EXPECT_EQ(s.ReplyEnd(), 128);
    EXPECT_EQ(s.ReadStart(), 4100);
    s.TimeOutTimer(); // the reply is not taken up: the error stands until the next send

    ASSERT_TRUE(s.TransferError());
    ASSERT_EQ(s.OpenLink(), 1);
    s.SendWrite(4300, 2);
    EXPECT_EQ(port.requests.back(), WithCrc(QByteArray::fromHex("011010CC0002041234ABCD")));
    EXPECT_EQ(s.ReplyEnd(), 7);
    EXPECT_FALSE(s.TransferError());

    s.SendIdentify();
    EXPECT_EQ(port.requests.back(), WithCrc(QByteArray::fromHex("0111")));
    EXPECT_EQ(s.ReplyEnd(), 9);
    EXPECT_TRUE(s.TimeOutActive());
    EXPECT_TRUE(s.PollActive());
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
    std::function<bool(Program&)> start;
};

class SilentBoardTest : public TransferTest, public ::testing::WithParamInterface<SilentCase> {};

TEST_P(SilentBoardTest, EndsWithOneTransmissionError) {
    board.address = 99;
    const auto pagesBefore = image.pages;
    ASSERT_TRUE(GetParam().start(program));
    Pump();
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].text, TransmissionError);
    EXPECT_EQ(dialogs.boxes[0].title, QStringLiteral("Błąd"));
    EXPECT_EQ(dialogs.boxes[0].icon, MsgIcon::Error);
    EXPECT_TRUE(s.TransferError());
    ExpectIdle();
    EXPECT_EQ(image.pages, pagesBefore);
}

INSTANTIATE_TEST_SUITE_P(
    Jobs, SilentBoardTest,
    ::testing::Values(SilentCase{"ConfigRead", [](Program& p) { return p.ops.StartConfigRead(); }},
                      SilentCase{"PagesRead", [](Program& p) { return p.ops.StartPagesRead(); }},
                      SilentCase{"PagesWrite", [](Program& p) { return p.ops.StartPagesWrite(); }},
                      SilentCase{"Status", [](Program& p) { return p.ops.StartStatusRead(); }},
                      SilentCase{"ClockRead", [](Program& p) { return p.ops.StartClockRead(); }},
                      SilentCase{"ConfigWrite", [](Program& p) { return p.ops.StartConfigWrite(); }},
                      SilentCase{"SingleRequest",
                                 [](Program& p) {
                                     return p.transfers.Single(Transfers::Kind::Write, RegTimePosition, 4);
                                 }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(TransferTest, TimeOutHidesTheProgressAtOnce) {
    board.address = 99;
    ASSERT_EQ(s.OpenLink(), 1);
    progress.ShowProgress(QString());
    s.SendRead(RegStatus, 1); // a lone request: nothing but the time-out ends it
    s.TimeOutTimer();
    EXPECT_EQ(Messages(TransmissionError), 1);
    EXPECT_FALSE(progress.shown);
    EXPECT_FALSE(image.link.PortOpen);
    EXPECT_EQ(s.ReplyEnd(), 0);
}

TEST_F(TransferTest, TimeOutWithThePortAlreadyClosedShowsNothing) {
    board.address = 99;
    ASSERT_TRUE(ops.StartClockRead());
    s.CloseLink();
    s.TimeOutTimer();
    EXPECT_TRUE(dialogs.boxes.empty());
    EXPECT_EQ(s.ReplyEnd(), 0);
    EXPECT_TRUE(s.TransferError());
    EXPECT_FALSE(s.PollActive());
    s.TransmisjaWrTimer();
    ExpectIdle();
    EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(TransferTest, PageReadSelectsAndReadsEveryPageInOrder) {
    for (int p = 0; p < 115; ++p)
        board.regs[size_t(RegPageWindow + p % 100)] = uint16_t(p + 1);
    board.regs[RegDoubleHeight] = 0x0102;
    ASSERT_TRUE(ops.StartPagesRead());
    EXPECT_EQ(progress.titles, std::vector<QString>{QStringLiteral("Odczyt Stron Tekstowych")});
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
    // Every page is stored once its window is in, in order; the last read only refreshes the window.
    for (int p = 1; p < 115; ++p)
        EXPECT_LT(image.PageRevision(p - 1), image.PageRevision(p)) << p;
    EXPECT_LT(image.PageRevision(114), image.RegsRevision(RegPageSelector));
    EXPECT_EQ(image.pages[7][0], ' '); // byte 0 from the board is a blank
    EXPECT_EQ(image.pages[7][1], 101);
    EXPECT_EQ(image.Reg(RegPageSelector), 114);
    EXPECT_EQ(image.Reg(RegDoubleHeight), 0x0102);

    // The window from 0, then 0 for page 0 and page 1, up to 99 for page 114.
    ASSERT_EQ(progress.values.size(), 116u);
    EXPECT_EQ(progress.values[1], 0);
    EXPECT_EQ(progress.values[2], 0);
    EXPECT_EQ(progress.values.back(), 99);
    EXPECT_TRUE(std::is_sorted(progress.values.begin(), progress.values.end()));
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
    const auto pagesBefore = image.pages;
    ASSERT_TRUE(ops.StartPagesRead());
    s.TransmisjaWrTimer(); // select page 0
    s.TestOdpowiedziTimer();
    s.TransmisjaWrTimer(); // read its window
    s.TestOdpowiedziTimer();
    EXPECT_TRUE(s.TransferError());
    EXPECT_EQ(s.ReplyEnd(), 0);
    EXPECT_EQ(image.pages, pagesBefore);
    s.TransmisjaWrTimer();
    EXPECT_EQ(port.requests.size(), 2u);
    EXPECT_TRUE(dialogs.boxes.empty());
    ExpectIdle();
}

TEST_F(TransferTest, PageWriteSendsEveryPageFromTheImage) {
    image.SetReg(RegPageTail, 0x0A0B);
    image.SetReg(RegDoubleHeight, 0x0001);
    FillPages();
    ASSERT_TRUE(ops.StartPagesWrite());
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
        EXPECT_EQ(Word(w, 9), WindowWord(p, 0));
        EXPECT_EQ(Word(w, 7 + 2 * 100), WindowWord(p, 99));
    }
    const QByteArray& last = port.requests.back();
    EXPECT_EQ(Word(last, 7 + 2 * 101), 0x0A0B);
    EXPECT_EQ(Word(last, 7 + 2 * 102), 0x0001);
    EXPECT_EQ(std::count(clock.pauses.begin(), clock.pauses.end(), 10), 115);
    EXPECT_EQ(progress.values.front(), 0);
    EXPECT_EQ(progress.values.back(), 99);
    EXPECT_EQ(board.regs[RegPageWindow + 5], WindowWord(114, 5));
    ExpectIdle();
}

TEST_F(TransferTest, AbortDuringPageWriteLetsTheReplyInFlightComplete) {
    FillPages();
    ASSERT_TRUE(ops.StartPagesWrite());
    while (port.requests.size() < 3)
        ASSERT_TRUE(Tick());
    port.holdReplies = true;
    while (port.requests.size() < 4)
        ASSERT_TRUE(Tick());
    s.TestOdpowiedziTimer(); // page 2's reply is not there yet
    ASSERT_EQ(s.ReplyEnd(), 7);
    s.AbortJob(); // "Przerwij"
    s.TransmisjaWrTimer();
    s.TransmisjaWrTimer();
    EXPECT_TRUE(progress.shown);
    EXPECT_TRUE(image.link.PortOpen);
    port.Deliver();
    Pump();
    EXPECT_EQ(port.requests.size(), 4u);
    EXPECT_EQ(Word(port.requests.back(), 7), 2); // pages 0, 1 and 2 went out, no more
    EXPECT_FALSE(s.TransferError());
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
    const auto pagesBefore = image.pages;
    ASSERT_EQ(s.OpenLink(), 1);
    image.SetReg(RegPageSelector, 3);
    s.SendRead(RegPageSelector, 2);
    s.SetReplyTimeout(2000); // as the long steps of the configuration write do
    s.TestOdpowiedziTimer();
    if (!s.PollActive()) {
        // taken up and refused: only the time-out is armed again, with the request's interval
        EXPECT_TRUE(s.TimeOutActive());
        EXPECT_EQ(s.TimeOutInterval(), 2000);
        EXPECT_EQ(s.ReplyEnd(), 8);
    }
    Pump();
    EXPECT_EQ(Messages(TransmissionError), 1);
    EXPECT_EQ(image.Reg(RegPageSelector), 3);
    EXPECT_EQ(image.pages, pagesBefore);
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
    ASSERT_EQ(s.OpenLink(), 1);
    port.holdReplies = true;
    s.SendRead(4100, 2);
    port.input = port.held.left(8); // ReplyEnd 8: nine bytes make it complete
    s.TestOdpowiedziTimer();
    EXPECT_TRUE(s.PollActive());
    EXPECT_EQ(s.ReplyEnd(), 8);
    port.input = port.held;
    s.TestOdpowiedziTimer();
    EXPECT_FALSE(s.PollActive());
    EXPECT_FALSE(s.TimeOutActive());
    EXPECT_EQ(s.ReplyEnd(), 0);
}

TEST_F(TransferTest, StrayBytesWithNoReplyAwaitedAreLeftAlone) {
    ASSERT_EQ(s.OpenLink(), 1);
    port.input = WithCrc(QByteArray::fromHex("01030400070008"));
    s.TestOdpowiedziTimer();
    EXPECT_FALSE(s.PollActive());
    EXPECT_EQ(port.input.size(), 9);
    EXPECT_EQ(image.Reg(RegPageSelector), 0);
}

TEST_F(TransferTest, IdentificationReplyIsShownAndClosesThePort) {
    ASSERT_EQ(s.OpenLink(), 1);
    s.SendIdentify();
    Pump();
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].text, program.link.DescribeIdentification());
    EXPECT_TRUE(dialogs.boxes[0].text.contains(QStringLiteral("15x5")));
    EXPECT_EQ(dialogs.boxes[0].title, QStringLiteral("Identyfikacja"));
    EXPECT_EQ(dialogs.boxes[0].icon, MsgIcon::Information);
    EXPECT_EQ(s.ReplyEnd(), 0);
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
    image.SetReg(RegBoardFrame, 1);
    image.SetReg(RegBoardBaud, 9);
    ASSERT_TRUE(ops.StartLinkChange());
    ASSERT_EQ(port.requests.size(), 1u); // the new settings, sent to the old address
    EXPECT_EQ(FirstReg(port.requests[0]), RegBoardAddress);
    EXPECT_EQ(clock.pauses, (std::vector<int>{200, 300, 200})); // open, the board switching, reopen
    board.address = 5;
    s.TransmisjaWrTimer();
    EXPECT_FALSE(s.JobRunning());
    EXPECT_FALSE(s.SequencerActive());
    EXPECT_EQ(image.link.BoardAddress, 5);
    ASSERT_EQ(port.requests.size(), 2u);
    EXPECT_EQ(port.requests[1], WithCrc(QByteArray::fromHex("0511")));
    Pump();
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].title, QStringLiteral("Identyfikacja"));
    EXPECT_FALSE(image.link.PortOpen);
}

// The port cannot be opened at the new settings: either when the change reopened it, or when
// its job step does. The new line was only tried: the settings in force never change, and the
// status bar shows them.
class LinkChangeFailure : public TransferTest, public ::testing::WithParamInterface<bool> {};

TEST_P(LinkChangeFailure, LeavesTheSettingsInForce) {
    const bool failAtReopen = GetParam();
    image.link.BoardAddress = 3;
    image.link.FrameIndex = 1;
    image.link.BaudIndex = 7;
    image.SetReg(RegBoardAddress, 9);
    image.SetReg(RegBoardFrame, 3);
    image.SetReg(RegBoardBaud, 2);
    std::vector<std::tuple<int, int, int>> shown;
    s.SetLinkShown(
        [&] { shown.emplace_back(image.link.BoardAddress, image.link.FrameIndex, image.link.BaudIndex); });
    if (failAtReopen) {
        // The write goes out, then the port will not open at the new settings.
        port.failOpenAfter = 1;
        ASSERT_TRUE(ops.StartLinkChange());
    } else {
        ASSERT_TRUE(ops.StartLinkChange());
        port.failOpen = true;
    }
    Pump();
    EXPECT_EQ(image.link.BoardAddress, 3);
    EXPECT_EQ(image.link.FrameIndex, 1);
    EXPECT_EQ(image.link.BaudIndex, 7);
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.back(), std::make_tuple(3, 1, 7)); // the last close showed the old settings
    EXPECT_EQ(port.requests.size(), 1u);
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
    ASSERT_TRUE(ops.StartConfigRead());
    clock.pauses.clear();
    Pump();

    ASSERT_EQ(port.requests.size(), 4u + 231u);
    const std::vector<std::pair<int, int>> expected{{4000, 100}, {4100, 62}, {4264, 2}, {4300, 45}};
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(Function(port.requests[i]), 3);
        EXPECT_EQ(std::make_pair(FirstReg(port.requests[i]), RegCount(port.requests[i])), expected[i]);
    }
    EXPECT_EQ(progress.titles, (std::vector<QString>{QStringLiteral("Odczyt Konfiguracji"),
                                                     QStringLiteral("Odczyt Stron Tekstowych")}));
    EXPECT_EQ(std::vector<int>(progress.values.begin(), progress.values.begin() + 5),
              (std::vector<int>{0, 62, 99, 100, 0}));
    EXPECT_EQ(std::count(clock.pauses.begin(), clock.pauses.end(), 100), 3);
    EXPECT_EQ(image.Reg(4161), 4161);
    EXPECT_EQ(image.Reg(RegDoubleHeight), 0x11);
    EXPECT_EQ(image.Reg(RegStatus), 0x8000);
    EXPECT_EQ(image.Reg(4344), 45);
    ExpectIdle();
}

TEST_F(TransferTest, ConfigWriteWaitsForThePageWriteThenSendsTheSlaveBlock) {
    ASSERT_TRUE(ops.StartConfigWrite());
    Pump();
    ASSERT_EQ(port.requests.size(), 6u + 116u + 1u);
    const std::vector<std::pair<int, int>> blocks{{4003, 3},  {4006, 3},   {4009, 4},
                                                  {4014, 15}, {4029, 115}, {4145, 17}};
    for (size_t i = 0; i < blocks.size(); ++i)
        EXPECT_EQ(std::make_pair(FirstReg(port.requests[i]), RegCount(port.requests[i])), blocks[i]);
    EXPECT_EQ(FirstReg(port.requests[6]), RegOccasionalAllowed);
    EXPECT_EQ(FirstReg(port.requests.back()), SlaveBase);
    EXPECT_EQ(RegCount(port.requests.back()), SlaveCount);
    ExpectIdle();
}

TEST_F(TransferTest, StatusAndClockJobsRunInOneTickThenTheWatchdogEnds) {
    board.regs[RegStatus] = 0x8000;
    ASSERT_TRUE(ops.StartStatusRead());
    s.TestOdpowiedziTimer();
    s.TransmisjaWrTimer();
    EXPECT_EQ(status.shown, std::vector<uint16_t>{0x8000});
    EXPECT_FALSE(s.JobRunning());
    s.TransmisjaWrTimer();
    ExpectIdle();
    EXPECT_EQ(port.requests.size(), 1u); // nothing cleared: nothing written back
}

TEST_F(TransferTest, NothingIsSentWhileAReplyIsAwaited) {
    port.holdReplies = true;
    ASSERT_TRUE(ops.StartPagesWrite());
    for (int i = 0; i < 10; ++i) {
        s.TransmisjaWrTimer();
        s.TestOdpowiedziTimer();
    }
    EXPECT_EQ(port.requests.size(), 1u);
    EXPECT_TRUE(s.SequencerActive());
}

TEST_F(TransferTest, ATickSendsOnOnceTheReplyIsInThoughThePollHasNotLookedYet) {
    ASSERT_TRUE(ops.StartPagesRead());
    const size_t before = port.requests.size();
    for (int i = 0; i < 10; ++i)
        s.TransmisjaWrTimer(); // the poll's own tick would come up to 10 ms later
    EXPECT_EQ(port.requests.size(), before + 10);
    EXPECT_TRUE(dialogs.boxes.empty());
}

// Windows wait for the end of a transfer on idle(): it comes once, when the last part of the
// transfer is over, and not between the requests of a job or a chain.
TEST_F(TransferTest, IdleIsSignalledOnceWhenTheLastTransferEnds) {
    const int chain = 0;
    struct Row {
        const char* what;
        std::function<void()> start;
        std::function<void()> end; // after the pump
    };
    const std::vector<Row> rows{
        {"an answered read",
         [&] {
             ASSERT_EQ(s.OpenLink(), 1);
             s.SendRead(4100, 2);
             s.EnableWatchdog();
         },
         {}},
        {"a read timed out",
         [&] {
             board.address = 9;
             ASSERT_EQ(s.OpenLink(), 1);
             s.SendRead(4100, 2);
         },
         {}},
        {"a page read", [&] { ASSERT_TRUE(ops.StartPagesRead()); }, {}},
        {"a chain's two reads",
         [&] {
             ASSERT_EQ(s.OpenLink(), 1);
             s.Claim(&chain);
             s.SendRead(4100, 2);
             s.EnableWatchdog();
             while (s.ReplyEnd() != 0)
                 s.TestOdpowiedziTimer();
             s.SendRead(4102, 2);
             while (s.ReplyEnd() != 0)
                 s.TestOdpowiedziTimer();
         },
         [&] { s.Release(&chain); }},
    };
    for (const Row& row : rows) {
        board.address = 1;
        QSignalSpy idle(&s, &Scheduler::idle);
        row.start();
        EXPECT_EQ(idle.count(), 0) << row.what;
        if (row.end)
            row.end();
        Pump();
        EXPECT_EQ(idle.count(), 1) << row.what;
        EXPECT_FALSE(s.Busy()) << row.what;
        dialogs.boxes.clear();
    }
}

} // namespace
} // namespace kx9
