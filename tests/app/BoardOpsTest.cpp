// SPDX-License-Identifier: MIT
// Board operations against the in-process board: request sequences, round trips, failures.
#include "app/Ppost.h"
#include "app/Status_kx91.h"
#include "common/TestWorld.h"
#include "ops/PageCodec.h"

#include <QByteArray>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <tuple>
#include <vector>

namespace kx9::test {
namespace {

// One request as the board saw it.
struct Request {
    int address = 0;
    int function = 0;
    int first = -1;
    int count = 0;
    std::vector<int> values; // function 16 only
};

uint16_t WordAt(const QByteArray& f, int at) {
    return uint16_t((uint8_t(f[at]) << 8) | uint8_t(f[at + 1]));
}

Request Decode(const QByteArray& f) {
    Request r;
    if (f.size() < 2)
        return r;
    r.address = uint8_t(f[0]);
    r.function = uint8_t(f[1]);
    if ((r.function == 3 || r.function == 16) && f.size() >= 6) {
        r.first = WordAt(f, 2);
        r.count = WordAt(f, 4);
    }
    if (r.function == 16)
        for (int k = 0; k < r.count && 8 + 2 * k < f.size(); ++k)
            r.values.push_back(WordAt(f, 7 + 2 * k));
    return r;
}

const QString OpenFailText = QStringLiteral(
    "Niewłaściwa nazwa portu lub  port jest aktywny\nZamknij uruchomione aplikacje lub wybierz inny port");

// The program's shared data and board operations around the in-process board; the timers'
// handlers are ticked by hand.
struct OpsWorld : BoardWorld {
    explicit OpsWorld(const BoardModel::Options& options = {}) : BoardWorld(options) {
        // The board's clock stands still, so what is written comes back unchanged.
        board.SetTicker([] { return int64_t(0); });
        program.progress.Attach(&progress);
        program.ops.SetStatusView(&status);
    }
    ~OpsWorld() { program.progress.Attach(nullptr); }

    // The real progress and status windows in place of the recording ones.
    TPpasek progress{program.scheduler};
    TPStatus status;

    Scheduler& s() { return program.scheduler; }
    ConfigImage& image() { return program.image; }

    int Run(const std::function<bool()>& stop = {}, const std::function<void()>& each = {}) {
        return TickUntilIdle(program.scheduler, port, stop, each);
    }

    std::vector<Request> Requests() const {
        std::vector<Request> out;
        for (const QByteArray& f : board.Requests())
            out.push_back(Decode(f));
        return out;
    }

    void ExpectEndedQuietly() {
        EXPECT_TRUE(Idle());
        EXPECT_FALSE(s().JobRunning());
        EXPECT_EQ(s().ReplyEnd(), 0);
        EXPECT_FALSE(image().link.PortOpen);
        EXPECT_FALSE(progress.isVisible());
    }
};

using Block = std::tuple<int, int, int>; // function, first register, count

std::vector<Block> Blocks(const std::vector<Request>& requests) {
    std::vector<Block> out;
    for (const Request& r : requests)
        out.emplace_back(r.function, r.first, r.count);
    return out;
}

// A page of printable ASCII and all 18 Polish letters, different for every page.
ConfigImage::Page SamplePage(int p) {
    static const QByteArray letters = [] {
        QByteArray a;
        for (int c = 33; c < 127; ++c)
            a.append(char(c));
        for (int c :
             {165, 198, 202, 163, 209, 211, 140, 143, 175, 185, 230, 234, 179, 241, 243, 156, 159, 191})
            a.append(char(c));
        return a;
    }();
    ConfigImage::Page page{};
    for (int i = 0; i < PageSize; ++i)
        page[size_t(i)] = uint8_t(letters[(p * 7 + i * 13) % letters.size()]);
    return page;
}

// A value for every register of the image that the board takes as it is.
int32_t SampleValue(int reg) {
    return (reg * 37 + 11) & 0x7FFF;
}

bool WrittenByWholeWrite(int reg) {
    return (reg >= 4003 && reg <= 4012) || (reg >= 4014 && reg <= 4143) || (reg >= 4145 && reg <= 4161) ||
           reg == RegPageTail || reg == RegDoubleHeight || (reg >= SlaveBase && reg < SlaveBase + SlaveCount);
}

TEST(BoardOps, WholeWriteSendsTheBlocksInOrderAndLeavesTheLinkRegistersOut) {
    OpsWorld w;
    w.image().ResetImage(w.clock.now());
    w.clock.current = QDateTime(QDate(2026, 3, 7), QTime(9, 5));
    for (int p = 0; p < PageCount; ++p)
        w.image().pages[size_t(p)] = SamplePage(p);

    std::vector<std::pair<int, int>> slowReplies; // first register, time-out of its wait
    std::vector<std::pair<int, QString>> titles;
    size_t seen = 0;
    const auto watch = [&] {
        const auto& log = w.board.Requests();
        for (; seen < log.size(); ++seen) {
            const Request r = Decode(log[seen]);
            slowReplies.emplace_back(r.first, w.s().TimeOutInterval());
            titles.emplace_back(r.first, w.progress.Label1->text());
        }
    };

    w.ops.StartConfigWrite();
    watch();
    w.Run({}, watch);

    std::vector<Block> expected = {{16, 4003, 3},   {16, 4006, 3},  {16, 4009, 4}, {16, 4014, 15},
                                   {16, 4029, 115}, {16, 4145, 17}, {16, 4027, 1}};
    for (int p = 0; p < PageCount; ++p)
        expected.emplace_back(16, 4162, p < 114 ? 101 : 103);
    expected.emplace_back(16, 4300, 45);
    const std::vector<Request> requests = w.Requests();
    EXPECT_EQ(Blocks(requests), expected);

    for (const Request& r : requests) {
        EXPECT_EQ(r.address, 1);
        for (int reg = r.first; reg < r.first + r.count; ++reg) {
            EXPECT_FALSE(reg >= 4000 && reg <= 4002) << reg;
            EXPECT_NE(reg, 4013);
            EXPECT_NE(reg, 4144);
        }
    }
    ASSERT_GE(requests.size(), 2u);
    EXPECT_EQ(requests[1].values, (std::vector<int>{905, 26, 307}));
    for (size_t k = 0; k < slowReplies.size(); ++k) {
        const int first = slowReplies[k].first;
        EXPECT_EQ(slowReplies[k].second, first == 4014 || first == 4029 ? 2000 : 1000) << first;
    }
    EXPECT_EQ(titles.front().second, QStringLiteral("Zapis Konfiguracji"));
    EXPECT_EQ(titles[6].second, QStringLiteral("Zapis Stron Tekstowych..."));
    EXPECT_EQ(titles.back().second, QStringLiteral("Zapis Konfiguracji Slave"));

    // The pages arrive in the board's codes; the Polish letters are translated.
    for (int p = 0; p < PageCount; ++p)
        for (int i = 0; i < PageSize; ++i)
            ASSERT_EQ(w.board.Page(p)[size_t(i)],
                      pagecodec::ConvertPageChar(w.image().pages[size_t(p)][size_t(i)],
                                                 pagecodec::Direction::ToBoard))
                << "page " << p << " char " << i;
    EXPECT_TRUE(w.dialogs.boxes.empty());
    EXPECT_EQ(w.image().Reg(RegPageSelector), 114);
    w.ExpectEndedQuietly();
}

TEST(BoardOps, WholeReadReadsTheBlocksThenEveryPage) {
    OpsWorld w;
    w.board.SetHolding(4100, 4242);
    w.board.SetHolding(4320, 77);
    std::array<uint8_t, 200> boardPage{};
    boardPage.fill('x');
    boardPage[0] = 136; // Ż
    boardPage[1] = 0;
    w.board.SetPage(57, boardPage);

    w.ops.StartConfigRead();
    EXPECT_TRUE(w.progress.isVisible());
    EXPECT_EQ(w.progress.Label1->text(), QStringLiteral("Odczyt Konfiguracji"));
    QString pageTitle;
    w.Run({}, [&] {
        if (w.board.Requests().size() > 4 && pageTitle.isEmpty())
            pageTitle = w.progress.Label1->text();
    });

    std::vector<Block> expected = {{3, 4000, 100}, {3, 4100, 62}, {3, 4264, 2}, {3, 4300, 45}};
    for (int p = 0; p < PageCount; ++p) {
        expected.emplace_back(16, 4162, 1);
        expected.emplace_back(3, 4162, 103);
    }
    expected.emplace_back(3, 4162, 103);
    const std::vector<Request> requests = w.Requests();
    EXPECT_EQ(Blocks(requests), expected);
    EXPECT_EQ(requests.size() - 4, 231u);
    for (int p = 0; p < PageCount; ++p)
        EXPECT_EQ(requests[size_t(4 + 2 * p)].values, std::vector<int>{p});

    EXPECT_EQ(pageTitle, QStringLiteral("Odczyt Stron Tekstowych"));
    EXPECT_EQ(w.image().Reg(4100), 4242);
    EXPECT_EQ(w.image().Reg(4320), 77);
    EXPECT_EQ(w.image().pages[57][0], 175); // Ż in Windows-1250
    EXPECT_EQ(w.image().pages[57][1], ' ');
    EXPECT_EQ(w.image().pages[57][2], 'x');
    EXPECT_EQ(w.image().pages[56][0], ' '); // an empty board page reads as blanks
    EXPECT_TRUE(w.dialogs.boxes.empty());
    w.ExpectEndedQuietly();
}

TEST(BoardOps, WholeWriteThenWholeReadGivesBackTheImage) {
    OpsWorld w;
    ConfigImage& image = w.image();
    image.ResetImage(w.clock.now());
    for (int reg = 4003; reg < MainBase + MainCount; ++reg)
        if (reg != RegPageSelector)
            image.SetReg(reg, SampleValue(reg));
    for (int reg = SlaveBase; reg < SlaveBase + SlaveCount; ++reg)
        image.SetReg(reg, SampleValue(reg));
    for (int p = 0; p < PageCount; ++p) {
        image.pages[size_t(p)] = SamplePage(p);
        image.SetPageName(p, QByteArray("Strona ") + QByteArray::number(p) + char(179)); // ł
    }
    image.link.ReplyTimeoutMs = 1500;
    image.link.PortIndex = 2;

    w.ops.StartConfigWrite();
    w.Run();
    ASSERT_TRUE(w.dialogs.boxes.empty());

    ConfigImage written;
    written.main = image.main;
    written.slave = image.slave;
    written.pages = image.pages;

    image.ResetImage(QDateTime(QDate(2020, 1, 1), QTime(0, 0)));
    for (auto& page : image.pages)
        page.fill('?');
    w.ops.StartConfigRead();
    w.Run();
    ASSERT_TRUE(w.dialogs.boxes.empty());

    for (int reg = MainBase; reg < MainBase + MainCount; ++reg) {
        if (!WrittenByWholeWrite(reg))
            continue;
        EXPECT_EQ(image.Reg(reg), written.Reg(reg)) << "register " << reg;
    }
    for (int reg = SlaveBase; reg < SlaveBase + SlaveCount; ++reg)
        EXPECT_EQ(image.Reg(reg), written.Reg(reg)) << "register " << reg;
    // What the write leaves out comes back as the board holds it.
    for (int reg : {4000, 4001, 4002, 4013, 4144})
        EXPECT_EQ(image.Reg(reg), w.board.Holding(reg)) << reg;
    EXPECT_EQ(image.pages, written.pages);
    for (int p = 0; p < PageCount; ++p)
        EXPECT_EQ(image.PageName(p), QByteArray("Strona ") + QByteArray::number(p) + char(179));
    EXPECT_EQ(image.link.ReplyTimeoutMs, 1500);
    EXPECT_EQ(image.link.PortIndex, 2);
}

TEST(BoardOps, PolishLettersGoOutInTheBoardsCodes) {
    OpsWorld w;
    ConfigImage::Page page{};
    page.fill(' ');
    const uint8_t start[] = {'Z', 'a', 191, 243, 179, 230}; // Z a ż ó ł ć in Windows-1250
    std::copy(std::begin(start), std::end(start), page.begin());
    w.image().pages[3] = page;

    EXPECT_EQ(pagecodec::PageToWindow(w.image(), 3), 1);
    EXPECT_EQ(w.image().Reg(RegPageSelector), 3);
    EXPECT_EQ(w.image().Reg(4163), 90 * 256 + 97);
    EXPECT_EQ(w.image().Reg(4164), 145 * 256 + 142);
    EXPECT_EQ(w.image().Reg(4165), 140 * 256 + 138);
    EXPECT_EQ(w.image().Reg(4166), 32 * 256 + 32);

    // And back: the window as the board returns it, with a 0 byte among the letters.
    w.image().pages[3].fill('?');
    w.image().SetReg(4166, 0 * 256 + 'q');
    EXPECT_EQ(pagecodec::PageFromWindow(w.image()), 1);
    EXPECT_TRUE(std::equal(std::begin(start), std::end(start), w.image().pages[3].begin()));
    EXPECT_EQ(w.image().pages[3][6], ' ');
    EXPECT_EQ(w.image().pages[3][7], 'q');

    EXPECT_EQ(pagecodec::PageToWindow(w.image(), 115), -1);
    EXPECT_EQ(pagecodec::PageToWindow(w.image(), -1), -1);
    w.image().SetReg(RegPageSelector, 115);
    const auto before = w.image().pages;
    EXPECT_EQ(pagecodec::PageFromWindow(w.image()), -1);
    EXPECT_EQ(w.image().pages, before);
}

TEST(BoardOps, ConvertPageCharTranslatesOnlyTheEighteenLetters) {
    using D = pagecodec::Direction;
    const int cp1250[18] = {165, 198, 202, 163, 209, 211, 140, 143, 175,
                            185, 230, 234, 179, 241, 243, 156, 159, 191};
    for (int k = 0; k < 18; ++k) {
        EXPECT_EQ(pagecodec::ConvertPageChar(uint8_t(cp1250[k]), D::ToBoard), 128 + k);
        EXPECT_EQ(pagecodec::ConvertPageChar(uint8_t(128 + k), D::FromBoard), cp1250[k]);
    }
    int unchangedOut = 0, unchangedIn = 0;
    for (int c = 0; c < 256; ++c) {
        if (pagecodec::ConvertPageChar(uint8_t(c), D::ToBoard) == c)
            ++unchangedOut;
        if (pagecodec::ConvertPageChar(uint8_t(c), D::FromBoard) == c)
            ++unchangedIn;
    }
    EXPECT_EQ(unchangedOut, 256 - 18);
    EXPECT_EQ(unchangedIn, 256 - 18 - 1); // and 0 becomes a blank
    EXPECT_EQ(pagecodec::ConvertPageChar(0, D::FromBoard), ' ');
    EXPECT_EQ(pagecodec::ConvertPageChar(0, D::ToBoard), 0);
}

// Answers the modal status window once it is up.
void AnswerStatus(OpsWorld& w, std::vector<int> rowsToTick, bool ok, QStringList* shown) {
    QTimer::singleShot(0, &w.status, [&w, rowsToTick, ok, shown] {
        if (!w.status.isVisible()) {
            ADD_FAILURE() << "the status window is not shown";
            return;
        }
        if (shown) {
            for (QLineEdit* e : w.status.EditE)
                shown->append(e->text());
        }
        for (int row : rowsToTick)
            w.status.CheckBox[size_t(row - 1)]->setChecked(true);
        (ok ? w.status.Button1 : w.status.Button2)->click();
    });
}

TEST(BoardOps, ClearedStatusBitsAreWrittenBack) {
    BoardModel::Options options;
    options.status = 0xA400;
    OpsWorld w(options);
    w.image().SetReg(RegBoardFrame, 2);
    QStringList shown;
    AnswerStatus(w, {1, 6}, true, &shown);

    w.ops.StartStatusRead();
    EXPECT_FALSE(w.progress.isVisible());
    w.Run();

    EXPECT_EQ(shown, (QStringList{"Błąd pamięci SRAM", "Pamięć EEPROM...OK", "Błąd nastaw zegara RTC",
                                  "Brak zmiany czasu...OK", "Zenętrzny czujnik oświetlenia...OK",
                                  "Przerwa w zasilaniu tablicy"}));
    const std::vector<Request> requests = w.Requests();
    ASSERT_EQ(Blocks(requests), (std::vector<Block>{{3, 4265, 1}, {16, 4265, 1}}));
    EXPECT_EQ(requests[1].values, std::vector<int>{0x2000});
    EXPECT_EQ(w.board.Holding(RegStatus), 0x2000);
    EXPECT_EQ(w.image().Reg(RegStatus), 0x2000);
    EXPECT_EQ(w.image().Reg(RegBoardFrame), 2); // the board's new frame waits for a link change
    EXPECT_TRUE(w.dialogs.boxes.empty());
    w.ExpectEndedQuietly();
}

// Closing with OK and no box ticked, with boxes ticked only on clear bits, or with Anuluj.
class StatusUnchanged : public ::testing::TestWithParam<std::tuple<std::vector<int>, bool>> {};

TEST_P(StatusUnchanged, SendsNothingBack) {
    BoardModel::Options options;
    options.status = 0xA400;
    OpsWorld w(options);
    AnswerStatus(w, std::get<0>(GetParam()), std::get<1>(GetParam()), nullptr);
    w.ops.StartStatusRead();
    w.Run();
    EXPECT_EQ(Blocks(w.Requests()), (std::vector<Block>{{3, 4265, 1}}));
    EXPECT_EQ(w.image().Reg(RegStatus), 0xA400);
    w.ExpectEndedQuietly();
}

INSTANTIATE_TEST_SUITE_P(BoardOps, StatusUnchanged,
                         ::testing::Values(std::make_tuple(std::vector<int>{}, true),
                                           std::make_tuple(std::vector<int>{2, 4, 5}, true),
                                           std::make_tuple(std::vector<int>{1, 6}, false)));

TEST(BoardOps, ClockAndTimeDisplayTransfers) {
    OpsWorld w;
    w.clock.current = QDateTime(QDate(2026, 3, 7), QTime(9, 5, 41));
    w.ops.StartClockWrite(true);
    w.Run();
    std::vector<Request> requests = w.Requests();
    ASSERT_EQ(Blocks(requests), (std::vector<Block>{{16, 4006, 3}}));
    EXPECT_EQ(requests[0].values, (std::vector<int>{905, 26, 307}));
    w.ExpectEndedQuietly();

    // Without the PC time the registers go as the window left them.
    w.board.ClearRequests();
    w.image().SetReg(RegClockTime, 2359);
    w.image().SetReg(RegClockYear, 30);
    w.image().SetReg(RegClockDate, 1231);
    w.ops.StartClockWrite(false);
    w.Run();
    requests = w.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].values, (std::vector<int>{2359, 30, 1231}));

    w.board.ClearRequests();
    w.board.SetHolding(RegTimePosition, 305);
    w.board.SetHolding(4026, 4);
    w.image().SetReg(RegClockTime, 0);
    w.ops.StartClockRead();
    EXPECT_TRUE(w.s().JobRunning());
    w.Run();
    w.ops.StartTimeDisplayRead();
    w.Run();
    EXPECT_EQ(w.image().Reg(RegClockTime), 2359);
    EXPECT_EQ(w.image().Reg(RegTimePosition), 305);
    EXPECT_EQ(w.image().Reg(4026), 4);

    w.image().SetReg(4024, 111);
    w.ops.StartTimeDisplayWrite();
    w.Run();
    EXPECT_EQ(Blocks(w.Requests()), (std::vector<Block>{{3, 4006, 3}, {3, 4023, 4}, {16, 4023, 4}}));
    EXPECT_EQ(w.board.Holding(4024), 111);
    EXPECT_TRUE(w.dialogs.boxes.empty());
    w.ExpectEndedQuietly();
}

TEST(BoardOps, IdentificationShowsTheBoardAndClosesThePort) {
    OpsWorld w;
    w.ops.StartIdentification();
    EXPECT_FALSE(w.s().SequencerActive());
    w.Run();
    ASSERT_EQ(w.dialogs.boxes.size(), 1u);
    EXPECT_EQ(w.dialogs.boxes[0].title, QStringLiteral("Identyfikacja"));
    EXPECT_TRUE(w.dialogs.boxes[0].text.startsWith(QStringLiteral("Uzyskano odpowiedź z KX9")));
    EXPECT_EQ(Blocks(w.Requests()), (std::vector<Block>{{17, -1, 0}}));
    w.ExpectEndedQuietly();
}

// Board baud code in 4002, PC rate it leads to, and whether the board still hears the PC
// (codes 5 and 8 have no PC rate, so the PC lands beside the board).
class LinkChange : public ::testing::TestWithParam<std::tuple<int, int, bool>> {};

TEST_P(LinkChange, BoardAndProgramMoveToTheNewSettings) {
    const auto [code, baudIndex, answers] = GetParam();
    OpsWorld w;
    w.image().SetReg(RegBoardAddress, 23);
    w.image().SetReg(RegBoardFrame, 0);
    w.image().SetReg(RegBoardBaud, code);

    w.ops.StartLinkChange();
    w.Run();

    const std::vector<Request> requests = w.Requests();
    ASSERT_GE(requests.size(), 1u);
    EXPECT_EQ(requests[0].address, 1);
    EXPECT_EQ(requests[0].function, 16);
    EXPECT_EQ(requests[0].first, 4000);
    EXPECT_EQ(requests[0].values, (std::vector<int>{23, 0, code}));
    EXPECT_EQ(w.board.Address(), 23);
    EXPECT_EQ(w.board.BaudCode(), code);
    EXPECT_EQ(w.board.FrameIndex(), 0);

    // The PC follows whether or not the board answers there.
    EXPECT_EQ(w.image().link.BoardAddress, 23);
    EXPECT_EQ(w.image().link.FrameIndex, 0);
    EXPECT_EQ(w.image().link.BaudIndex, baudIndex);
    EXPECT_EQ(w.port.LastLine().baud, BaudRates[size_t(baudIndex)]);
    EXPECT_EQ(w.port.LastLine().stopBits, 1);
    ASSERT_EQ(w.dialogs.boxes.size(), 1u);
    if (answers) {
        ASSERT_EQ(requests.size(), 2u);
        EXPECT_EQ(requests[1].address, 23);
        EXPECT_EQ(requests[1].function, 17);
        EXPECT_EQ(w.dialogs.boxes[0].title, QStringLiteral("Identyfikacja"));
        EXPECT_EQ(w.dialogs.boxes[0].icon, MsgIcon::Information);
    } else {
        EXPECT_EQ(requests.size(), 1u);
        EXPECT_TRUE(w.port.Mismatched());
        EXPECT_EQ(w.dialogs.boxes[0].text, QStringLiteral("Błąd transmisji danych"));
        EXPECT_EQ(w.dialogs.boxes[0].title, QStringLiteral("Błąd"));
        EXPECT_EQ(w.dialogs.boxes[0].icon, MsgIcon::Error);
    }
    w.ExpectEndedQuietly();
}

INSTANTIATE_TEST_SUITE_P(BoardOps, LinkChange,
                         ::testing::Values(std::make_tuple(9, 7, true), std::make_tuple(6, 5, true),
                                           std::make_tuple(7, 6, true), std::make_tuple(4, 4, true),
                                           std::make_tuple(0, 0, true), std::make_tuple(5, 4, false),
                                           std::make_tuple(8, 6, false)));

// A clock whose long pause pulls the port away, as if the adapter were unplugged meanwhile.
struct UnpluggingClock : FakeClock {
    SimPort* port = nullptr;
    void pause(int ms) override {
        FakeClock::pause(ms);
        if (ms == 300 && port)
            port->SetMissing(QStringLiteral("COM1"));
    }
};

TEST(BoardOps, LinkChangeThatCannotReopenLeavesTheSettingsInForce) {
    BoardModel board;
    SimPort port(board);
    UnpluggingClock clock;
    clock.port = &port;
    RecordingDialogs dialogs;
    Program world(port, dialogs, clock);
    BoardOperations& ops = world.ops;
    world.image.SetReg(RegBoardAddress, 9);
    world.image.SetReg(RegBoardFrame, 3);
    world.image.SetReg(RegBoardBaud, 2);

    ops.StartLinkChange();
    EXPECT_EQ(world.image.link.BaudIndex, 7); // the new line was only tried
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].title, QStringLiteral("Błąd otwarcia portu"));
    EXPECT_TRUE(dialogs.boxes[0].details.contains(QStringLiteral("prędkość: 9600 bit/s")))
        << dialogs.boxes[0].details.toStdString();
    world.scheduler.TransmisjaWrTimer();

    EXPECT_EQ(world.image.link.BoardAddress, 1);
    EXPECT_EQ(world.image.link.FrameIndex, 1);
    EXPECT_EQ(world.image.link.BaudIndex, 7);
    EXPECT_FALSE(world.scheduler.JobRunning());
    EXPECT_FALSE(world.scheduler.SequencerActive());
    EXPECT_EQ(board.Requests().size(), 1u); // the write went out, no identification followed
    EXPECT_EQ(dialogs.boxes.size(), 1u);
}

TEST(BoardOps, LinkChangeWithNoPortSendsNothing) {
    OpsWorld w;
    w.port.SetMissing(QStringLiteral("COM1"));
    w.image().SetReg(RegBoardBaud, 2);
    w.ops.StartLinkChange();
    EXPECT_TRUE(w.Requests().empty());
    EXPECT_EQ(w.image().link.BaudIndex, 7);
    EXPECT_FALSE(w.s().JobRunning());
    ASSERT_EQ(w.dialogs.boxes.size(), 1u);
    EXPECT_EQ(w.dialogs.boxes[0].title, QStringLiteral("Błąd otwarcia portu"));
}

// Each operation with no port: the link's message, then the operation's own, if any.
struct NoPortCase {
    const char* name;
    std::function<void(BoardOperations&)> start;
    QString text;
    QString title;
    MsgIcon icon;
};

class NoPort : public ::testing::TestWithParam<NoPortCase> {};

TEST_P(NoPort, ShowsTheMessagesAndStartsNothing) {
    OpsWorld w;
    w.port.SetMissing(QStringLiteral("COM1"));
    GetParam().start(w.ops);

    ASSERT_GE(w.dialogs.boxes.size(), 1u);
    EXPECT_EQ(w.dialogs.boxes[0].text, OpenFailText);
    EXPECT_EQ(w.dialogs.boxes[0].title, QStringLiteral("Błąd otwarcia portu"));
    EXPECT_EQ(w.dialogs.boxes[0].icon, MsgIcon::Information);
    if (GetParam().text.isEmpty()) {
        EXPECT_EQ(w.dialogs.boxes.size(), 1u);
    } else {
        ASSERT_EQ(w.dialogs.boxes.size(), 2u);
        EXPECT_EQ(w.dialogs.boxes[1].text, GetParam().text);
        EXPECT_EQ(w.dialogs.boxes[1].title, GetParam().title);
        EXPECT_EQ(w.dialogs.boxes[1].icon, GetParam().icon);
        EXPECT_FALSE(w.dialogs.boxes[1].confirmation);
    }
    EXPECT_TRUE(w.Requests().empty());
    EXPECT_FALSE(w.s().JobRunning());
    EXPECT_FALSE(w.s().SequencerActive());
    EXPECT_FALSE(w.progress.isVisible());
}

INSTANTIATE_TEST_SUITE_P(
    BoardOps, NoPort,
    ::testing::Values(
        NoPortCase{"StatusRead", [](BoardOperations& o) { o.StartStatusRead(); },
                   QStringLiteral("Odczyt Statusu nie powiódł się"), QStringLiteral("Błąd"), MsgIcon::Error},
        NoPortCase{"ConfigRead", [](BoardOperations& o) { o.StartConfigRead(); },
                   QStringLiteral("Odczyt konfiguracji nie powiódł się."),
                   QStringLiteral("Błąd odczytu konfiguracji"), MsgIcon::Error},
        NoPortCase{"ConfigWrite", [](BoardOperations& o) { o.StartConfigWrite(); },
                   QStringLiteral("Transmisja niemożliwa"), QStringLiteral("Błąd"), MsgIcon::Information},
        NoPortCase{
            "Identification", [](BoardOperations& o) { o.StartIdentification(); }, {}, {}, MsgIcon::None},
        NoPortCase{"PagesRead", [](BoardOperations& o) { o.StartPagesRead(); }, {}, {}, MsgIcon::None},
        NoPortCase{"PagesWrite", [](BoardOperations& o) { o.StartPagesWrite(); }, {}, {}, MsgIcon::None},
        NoPortCase{"SlaveWrite", [](BoardOperations& o) { o.StartSlaveWrite(); }, {}, {}, MsgIcon::None},
        NoPortCase{"ClockWrite", [](BoardOperations& o) { o.StartClockWrite(true); }, {}, {}, MsgIcon::None},
        NoPortCase{"TimeDisplayWrite",
                   [](BoardOperations& o) { o.StartTimeDisplayWrite(); },
                   {},
                   {},
                   MsgIcon::None}),
    [](const ::testing::TestParamInfo<NoPortCase>& info) { return std::string(info.param.name); });

TEST(BoardOps, ClockReadWithNoPortIsDroppedAtTheNextTick) {
    OpsWorld w;
    w.port.SetMissing(QStringLiteral("COM1"));
    w.ops.StartClockRead();
    w.Run();
    EXPECT_TRUE(w.Requests().empty());
    ASSERT_EQ(w.dialogs.boxes.size(), 1u); // no transmission error for a port never opened
    EXPECT_EQ(w.dialogs.boxes[0].title, QStringLiteral("Błąd otwarcia portu"));
    w.ExpectEndedQuietly();
}

TEST(BoardOps, NoReplyInTheMiddleOfAPageReadDropsTheJobAndKeepsWhatCame) {
    OpsWorld w;
    for (int p = 0; p < PageCount; ++p) {
        std::array<uint8_t, 200> page{};
        page.fill(uint8_t('A' + p % 26));
        w.board.SetPage(p, page);
    }
    for (auto& page : w.image().pages)
        page.fill('.');

    w.ops.StartPagesRead();
    // Select and read pages 0..49, then the board goes silent.
    w.Run([&] { return w.board.Requests().size() >= 100; });
    w.board.SetFault(BoardModel::Fault::NoReply);
    w.Run();

    ASSERT_EQ(w.dialogs.boxes.size(), 1u);
    EXPECT_EQ(w.dialogs.boxes[0].text, QStringLiteral("Błąd transmisji danych"));
    EXPECT_EQ(w.dialogs.boxes[0].title, QStringLiteral("Błąd"));
    EXPECT_EQ(w.Requests().size(), 101u); // the selection of page 50 got no answer
    for (int p = 0; p < 50; ++p)
        EXPECT_EQ(w.image().pages[size_t(p)][0], 'A' + p % 26) << p;
    for (int p = 50; p < PageCount; ++p)
        EXPECT_EQ(w.image().pages[size_t(p)][0], '.') << p;
    w.ExpectEndedQuietly();
}

TEST(BoardOps, AbortDuringAWholeReadLetsTheRequestInFlightFinish) {
    OpsWorld w;
    w.ops.StartConfigRead();
    w.Run([&] { return w.board.Requests().size() >= 60; });
    ASSERT_TRUE(w.s().JobRunning());
    ASSERT_GT(w.s().ReplyEnd(), 0);
    w.progress.BitBtn1->click();
    EXPECT_TRUE(w.progress.isVisible());
    w.Run();

    EXPECT_EQ(w.board.Requests().size(), 60u);
    EXPECT_TRUE(w.dialogs.boxes.empty());
    w.ExpectEndedQuietly();
}

TEST(BoardOps, WholeWriteAbortedDuringThePagesSendsNoSlaveBlock) {
    OpsWorld w;
    w.ops.StartConfigWrite();
    w.Run([&] { return w.board.Requests().size() >= 20; });
    w.progress.BitBtn1Click();
    w.Run();
    EXPECT_EQ(w.board.Requests().size(), 20u);
    w.ExpectEndedQuietly();
}

} // namespace
} // namespace kx9::test
