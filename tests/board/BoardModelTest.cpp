// SPDX-License-Identifier: MIT
#include "board/BoardModel.h"
#include "config/ConfigImage.h"
#include "link/ModbusFrame.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

using kx9::BoardModel;
namespace frame = kx9::frame;

namespace {

// The frame with its CRC appended by the link's table-driven CRC, so the board's own
// bit-by-bit CRC is checked against an independent implementation.
QByteArray WithCrc(const QByteArray& body) {
    QByteArray f = body;
    f.resize(body.size() + 2);
    frame::AppendCrc(reinterpret_cast<uint8_t*>(f.data()), int(body.size()));
    return f;
}

QByteArray Hex(const char* hex) {
    return QByteArray::fromHex(hex);
}

bool CrcOk(const QByteArray& f) {
    return frame::CrcMatches(reinterpret_cast<const uint8_t*>(f.constData()), int(f.size()));
}

QByteArray ReadReq(int addr, int first, int count) {
    uint8_t buf[frame::BufferSize];
    const int n = frame::BuildRead(buf, addr, first, count);
    return QByteArray(reinterpret_cast<char*>(buf), n);
}

QByteArray WriteReq(int addr, int first, const std::vector<int32_t>& values) {
    uint8_t buf[frame::BufferSize];
    const int n = frame::BuildWrite(buf, addr, first, int(values.size()), values.data());
    return QByteArray(reinterpret_cast<char*>(buf), n);
}

std::vector<int> Values(const QByteArray& reply) {
    std::vector<int> v;
    for (int i = 3; i + 1 < reply.size() - 2; i += 2)
        v.push_back((uint8_t(reply[i]) << 8) | uint8_t(reply[i + 1]));
    return v;
}

std::vector<int> ReadBack(BoardModel& b, int first, int count) {
    const QByteArray r = b.Handle(ReadReq(b.Address(), first, count));
    EXPECT_TRUE(CrcOk(r));
    EXPECT_EQ(r.size(), 5 + 2 * count);
    return Values(r);
}

struct ManualTicker {
    int64_t ms = 0;
    std::function<int64_t()> fn() {
        return [this] { return ms; };
    }
};

} // namespace

TEST(BoardModel, AnswersTheDocumentedReadFrame) {
    BoardModel b;
    // Read 62 registers from 4100 at address 1, CRC as written in the protocol's example.
    const QByteArray r = b.Handle(Hex("010310 04003E811B"));
    ASSERT_EQ(r.size(), 5 + 124);
    EXPECT_EQ(r.left(3), Hex("01037C"));
    EXPECT_TRUE(CrcOk(r));
    const std::vector<int> v = Values(r);
    EXPECT_EQ(v[0], 71);   // 4100 = presentation entry 71
    EXPECT_EQ(v[43], 114); // 4143
    EXPECT_EQ(v[44], 0);   // 4144
}

TEST(BoardModel, FactoryRegistersMatchTheConfiguratorDefaults) {
    BoardModel b;
    kx9::ConfigImage image;
    image.ResetImage(QDateTime(QDate(2026, 12, 7), QTime(14, 35)));
    for (int reg = 4000; reg <= 4344; ++reg) {
        if (reg >= 4006 && reg <= 4008)
            continue;
        EXPECT_EQ(int(b.Holding(reg)), image.Reg(reg)) << "register " << reg;
    }
}

TEST(BoardModel, OptionsSetTheLinkAndStatusAtPowerUp) {
    BoardModel::Options o;
    o.address = 17;
    o.frameIndex = 3;
    o.baudCode = 2;
    o.status = 0xC000;
    BoardModel b(o);
    EXPECT_EQ(b.Address(), 17);
    EXPECT_EQ(ReadBack(b, 4000, 3), (std::vector<int>{17, 3, 2}));
    EXPECT_EQ(ReadBack(b, 4265, 1), (std::vector<int>{0xC000}));
    EXPECT_TRUE(b.Handle(ReadReq(1, 4265, 1)).isEmpty());
}

struct ExceptionCase {
    const char* name;
    const char* body;  // request without CRC, address 1
    const char* reply; // expected exception reply without CRC
};

class BoardExceptions : public ::testing::TestWithParam<ExceptionCase> {};

TEST_P(BoardExceptions, RefusesWithTheModbusException) {
    BoardModel b;
    const QByteArray r = b.Handle(WithCrc(Hex(GetParam().body)));
    EXPECT_EQ(r, WithCrc(Hex(GetParam().reply)));
}

INSTANTIATE_TEST_SUITE_P(
    Table, BoardExceptions,
    ::testing::Values(ExceptionCase{"ReadInputRegisters", "0104 0FA0 0001", "018401"},
                      ExceptionCase{"WriteSingleRegister", "0106 0FA0 0001", "018601"},
                      ExceptionCase{"ReportSlaveIdWithData", "0111 00", "019103"},
                      ExceptionCase{"ReadGap601", "0103 0259 0001", "018302"},
                      ExceptionCase{"ReadAcross600", "0103 0258 0002", "018302"},
                      ExceptionCase{"ReadFrom3999", "0103 0F9F 0002", "018302"},
                      ExceptionCase{"ReadPast4344", "0103 10F8 0002", "018302"},
                      ExceptionCase{"Read4345", "0103 10F9 0001", "018302"},
                      ExceptionCase{"ReadZero", "0103 0FA0 0000", "018303"},
                      ExceptionCase{"Read126", "0103 0FA0 007E", "018303"},
                      ExceptionCase{"ReadTooLong", "0103 0FA0 0001 00", "018303"},
                      ExceptionCase{"WriteZero", "0110 0FA0 0000 00", "019003"},
                      ExceptionCase{"WriteByteCountWrong", "0110 10CC 0001 04 00070008", "019003"},
                      ExceptionCase{"WriteDataShort", "0110 10CC 0002 04 0007", "019003"},
                      ExceptionCase{"WritePast4344", "0110 10F8 0002 04 00010002", "019002"},
                      ExceptionCase{"WriteGap", "0110 0300 0001 02 0001", "019002"},
                      ExceptionCase{"AddressZero", "0110 0FA0 0001 02 0000", "019003"},
                      ExceptionCase{"Address248", "0110 0FA0 0001 02 00F8", "019003"},
                      ExceptionCase{"FrameCode4", "0110 0FA1 0001 02 0004", "019003"},
                      ExceptionCase{"BaudCode10", "0110 0FA2 0001 02 000A", "019003"},
                      ExceptionCase{"PageSelector115", "0110 1042 0001 02 0073", "019003"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BoardModel, CountLimitsAndRangeEdgesAreAccepted) {
    BoardModel b;
    EXPECT_EQ(b.Handle(ReadReq(1, 0, 125)).size(), 5 + 250);
    EXPECT_EQ(b.Handle(ReadReq(1, 476, 125)).size(), 5 + 250);  // ends at 600
    EXPECT_EQ(b.Handle(ReadReq(1, 4220, 125)).size(), 5 + 250); // ends at 4344
    EXPECT_EQ(b.Handle(ReadReq(1, 4266, 34)).size(), 5 + 68);   // 4266..4299
    std::vector<int32_t> v(123, 7);
    EXPECT_EQ(b.Handle(WriteReq(1, 4222, v)), WithCrc(Hex("0110107E007B")));
    EXPECT_EQ(b.Holding(4344), 7);
}

TEST(BoardModel, StaysSilentOnFramesNotForIt) {
    BoardModel b;
    QByteArray badCrc = ReadReq(1, 4000, 1);
    badCrc[7] = char(badCrc[7] ^ 1);
    const std::vector<QByteArray> frames = {
        ReadReq(2, 4000, 1), ReadReq(0, 4000, 1), badCrc,
        Hex("0103"),         QByteArray(),        ReadReq(1, 4000, 1).left(7)};
    for (const QByteArray& f : frames)
        EXPECT_TRUE(b.Handle(f).isEmpty()) << f.toHex().constData();
    ASSERT_EQ(b.Requests().size(), frames.size());
    EXPECT_EQ(b.Requests()[2], badCrc);
    b.ClearRequests();
    EXPECT_TRUE(b.Requests().empty());
}

TEST(BoardModel, WriteIsEchoedAndReadsBack) {
    BoardModel b;
    std::vector<int32_t> v;
    for (int i = 0; i < 45; ++i)
        v.push_back(i * 1000 + 65535 - 44000);
    EXPECT_EQ(b.Handle(WriteReq(1, 4300, v)), WithCrc(Hex("011010CC002D")));
    const std::vector<int> back = ReadBack(b, 4300, 45);
    ASSERT_EQ(back.size(), 45u);
    for (int i = 0; i < 45; ++i)
        EXPECT_EQ(back[size_t(i)], int(v[size_t(i)] & 0xFFFF));
}

TEST(BoardModel, IdentifiesWithItsDisplaySize) {
    BoardModel::Options o;
    o.moduleColumns = 12;
    o.moduleRows = 2;
    BoardModel b(o);
    const QByteArray r = b.Handle(WithCrc(Hex("0111")));
    EXPECT_EQ(r, WithCrc(Hex("011107 98FF 4B5839 0B01")));
    EXPECT_EQ(r.size(), 12);
}

namespace {
std::array<uint8_t, 200> PageOf(uint8_t seed) {
    std::array<uint8_t, 200> p{};
    for (int i = 0; i < 200; ++i)
        p[size_t(i)] = uint8_t(seed + i);
    return p;
}
std::vector<int32_t> WindowOf(const std::array<uint8_t, 200>& p) {
    std::vector<int32_t> w;
    for (int i = 0; i < 100; ++i)
        w.push_back((p[size_t(2 * i)] << 8) | p[size_t(2 * i + 1)]);
    return w;
}
} // namespace

TEST(BoardPageWindow, SelectingLoadsThePageIntoTheWindow) {
    BoardModel b;
    const auto page = PageOf(128); // board character codes pass unchanged
    b.SetPage(5, page);
    ASSERT_FALSE(b.Handle(WriteReq(1, 4162, {5})).isEmpty());
    const std::vector<int> r = ReadBack(b, 4162, 103);
    ASSERT_EQ(r.size(), 103u);
    EXPECT_EQ(r[0], 5);
    const std::vector<int32_t> w = WindowOf(page);
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(r[size_t(1 + i)], w[size_t(i)]) << i;
    EXPECT_EQ(r[101], 0);
    EXPECT_EQ(r[102], 0);
}

TEST(BoardPageWindow, SelectAndStoreInOneRequest) {
    BoardModel b;
    const auto before6 = b.Page(6);
    std::vector<int32_t> req = {7};
    const auto page = PageOf(3);
    for (int32_t w : WindowOf(page))
        req.push_back(w);
    EXPECT_EQ(b.Handle(WriteReq(1, 4162, req)), WithCrc(Hex("011010420065")));
    EXPECT_EQ(b.Page(7), page);
    EXPECT_EQ(b.Page(6), before6);
    // Away and back: the board hands out what it stored.
    b.Handle(WriteReq(1, 4162, {0}));
    EXPECT_EQ(ReadBack(b, 4163, 1), (std::vector<int>{0}));
    b.Handle(WriteReq(1, 4162, {7}));
    EXPECT_EQ(ReadBack(b, 4163, 2), (std::vector<int>{(3 << 8) | 4, (5 << 8) | 6}));
}

TEST(BoardPageWindow, LastPageCarriesTailAndDoubleHeight) {
    BoardModel b;
    std::vector<int32_t> req = {114};
    for (int32_t w : WindowOf(PageOf(40)))
        req.push_back(w);
    req.push_back(9);
    req.push_back(1);
    ASSERT_EQ(req.size(), 103u);
    EXPECT_EQ(b.Handle(WriteReq(1, 4162, req)), WithCrc(Hex("011010420067")));
    EXPECT_EQ(b.Page(114), PageOf(40));
    EXPECT_EQ(ReadBack(b, 4263, 2), (std::vector<int>{9, 1}));
}

TEST(BoardPageWindow, PartialWindowWriteChangesOnlyItsCharacters) {
    BoardModel b;
    b.SetPage(20, PageOf(1));
    b.Handle(WriteReq(1, 4162, {20}));
    b.Handle(WriteReq(1, 4164, {0x5A61})); // characters 2 and 3
    auto expect = PageOf(1);
    expect[2] = 0x5A;
    expect[3] = 0x61;
    EXPECT_EQ(b.Page(20), expect);
}

TEST(BoardLinkChange, TakesEffectAfterTheReply) {
    BoardModel b;
    const QByteArray r = b.Handle(WriteReq(1, 4000, {5, 2, 4}));
    EXPECT_EQ(r, WithCrc(Hex("01100FA00003"))); // still from the old address
    EXPECT_EQ(b.Address(), 5);
    EXPECT_EQ(b.FrameIndex(), 2);
    EXPECT_EQ(b.BaudCode(), 4);
    EXPECT_TRUE(b.Handle(ReadReq(1, 4000, 3)).isEmpty());
    EXPECT_EQ(ReadBack(b, 4000, 3), (std::vector<int>{5, 2, 4}));
}

TEST(BoardLinkChange, WriteTouchingOnlyTheFrameChangesOnlyTheFrame) {
    BoardModel b;
    std::vector<int32_t> v = {0, 5, 1}; // 3999 is outside: refused as a whole
    EXPECT_EQ(b.Handle(WriteReq(1, 3999, v)), WithCrc(Hex("019002")));
    EXPECT_FALSE(b.Handle(WriteReq(1, 4001, {3, 9, 5})).isEmpty());
    EXPECT_EQ(b.Address(), 1);
    EXPECT_EQ(b.FrameIndex(), 3);
    EXPECT_EQ(b.BaudCode(), 9);
}

TEST(BoardLinkChange, RefusedValuesChangeNothing) {
    BoardModel b;
    EXPECT_EQ(b.Handle(WriteReq(1, 4000, {0, 2, 4})), WithCrc(Hex("019003")));
    EXPECT_EQ(b.Address(), 1);
    EXPECT_EQ(b.FrameIndex(), 1);
    EXPECT_EQ(ReadBack(b, 4000, 3), (std::vector<int>{1, 1, 9}));
}

// A board whose milliseconds the test moves by hand.
class BoardClock : public ::testing::Test {
protected:
    void SetUp() override { b.SetTicker(t.fn()); }
    BoardModel b;
    ManualTicker t;
};

TEST_F(BoardClock, RunsFromTheTimeSet) {
    b.SetClock(QDateTime(QDate(2026, 12, 7), QTime(14, 35, 0)));
    EXPECT_EQ(ReadBack(b, 4006, 3), (std::vector<int>{1435, 26, 1207}));
    t.ms = 59'999;
    EXPECT_EQ(b.Holding(4006), 1435);
    t.ms = 60'000;
    EXPECT_EQ(b.Holding(4006), 1436);
    b.SetClock(QDateTime(QDate(2026, 12, 31), QTime(23, 59, 30)));
    t.ms += 40'000;
    EXPECT_EQ(ReadBack(b, 4006, 3), (std::vector<int>{0, 27, 101}));
}

TEST_F(BoardClock, WriteSetsItAndItRunsOn) {
    b.SetClock(QDateTime(QDate(2026, 12, 7), QTime(14, 35)));
    ASSERT_FALSE(b.Handle(WriteReq(1, 4006, {905, 26, 307})).isEmpty());
    EXPECT_EQ(ReadBack(b, 4006, 3), (std::vector<int>{905, 26, 307}));
    t.ms += 120'000;
    EXPECT_EQ(ReadBack(b, 4006, 3), (std::vector<int>{907, 26, 307}));
    // Only the time: the date stays.
    b.Handle(WriteReq(1, 4006, {2359}));
    t.ms += 60'000;
    EXPECT_EQ(ReadBack(b, 4006, 3), (std::vector<int>{0, 26, 308}));
}

TEST_F(BoardClock, NonsenseStopsTheClockAndKeepsTheValues) {
    b.Handle(WriteReq(1, 4006, {2575, 26, 1340}));
    t.ms += 600'000;
    EXPECT_EQ(ReadBack(b, 4006, 3), (std::vector<int>{2575, 26, 1340}));
}

TEST(BoardStatus, WriteClearsBits) {
    BoardModel::Options o;
    o.status = 0xFC00;
    BoardModel b(o);
    b.Handle(WriteReq(1, 4265, {0x3C00}));
    EXPECT_EQ(ReadBack(b, 4265, 1), (std::vector<int>{0x3C00}));
}

TEST(BoardGraphics, SlotNumberInRegisterZeroPicksThePage) {
    BoardModel b;
    std::vector<int32_t> head = {3};
    for (int j = 1; j <= 100; ++j)
        head.push_back(0x0100 * j + j);
    b.Handle(WriteReq(1, 0, head));
    b.Handle(WriteReq(1, 500, std::vector<int32_t>(101, 0xABCD))); // 500..600
    const QByteArray& g = b.GraphicPages().at(3);
    ASSERT_EQ(g.size(), BoardModel::GraphicBytes);
    EXPECT_EQ(uint8_t(g[0]), 1);     // word 1, high byte
    EXPECT_EQ(uint8_t(g[199]), 100); // word 100, low byte
    EXPECT_EQ(uint8_t(g[200]), 0);
    EXPECT_EQ(uint8_t(g[1199]), 0xCD);
    EXPECT_EQ(b.GraphicPages().at(0), QByteArray(1200, '\0'));
    EXPECT_EQ(ReadBack(b, 100, 1), (std::vector<int>{0x6464}));
}

struct FaultCase {
    const char* name;
    BoardModel::Fault fault;
};

class BoardFaults : public ::testing::TestWithParam<FaultCase> {};

TEST_P(BoardFaults, SpoilsTheCountedRepliesOnly) {
    BoardModel b;
    b.SetExceptionCode(6);
    b.SetDelayMs(250);
    b.SetFault(GetParam().fault, 2);
    const QByteArray good = WithCrc(Hex("0103020005"));
    const QByteArray req = ReadReq(1, 4003, 1);
    for (int i = 0; i < 2; ++i) {
        const QByteArray r = b.Handle(req);
        switch (GetParam().fault) {
        case BoardModel::Fault::NoReply:
            EXPECT_TRUE(r.isEmpty());
            break;
        case BoardModel::Fault::BadCrc:
            EXPECT_EQ(r.size(), good.size());
            EXPECT_FALSE(CrcOk(r));
            break;
        case BoardModel::Fault::WrongAddress:
            EXPECT_TRUE(CrcOk(r));
            EXPECT_NE(r[0], good[0]);
            EXPECT_EQ(r.mid(1, 4), good.mid(1, 4));
            break;
        case BoardModel::Fault::CutShort:
            EXPECT_LT(r.size(), good.size());
            EXPECT_FALSE(r.isEmpty());
            EXPECT_EQ(r, good.left(r.size()));
            break;
        case BoardModel::Fault::Exception:
            EXPECT_EQ(r, WithCrc(Hex("018306")));
            break;
        case BoardModel::Fault::Delay:
            EXPECT_EQ(r, good);
            EXPECT_EQ(b.LastReplyDelayMs(), 250);
            break;
        case BoardModel::Fault::Flood:
            EXPECT_EQ(r.size(), BoardModel::FloodBytes);
            EXPECT_TRUE(r.startsWith(good));
            break;
        case BoardModel::Fault::Vanish:
            EXPECT_TRUE(r.isEmpty());
            EXPECT_TRUE(b.LastReplyVanishes());
            break;
        case BoardModel::Fault::None:
            break;
        }
    }
    EXPECT_EQ(b.CurrentFault(), BoardModel::Fault::None);
    EXPECT_EQ(b.Handle(req), good);
    EXPECT_EQ(b.LastReplyDelayMs(), 0);
    EXPECT_FALSE(b.LastReplyVanishes());
}

INSTANTIATE_TEST_SUITE_P(Table, BoardFaults,
                         ::testing::Values(FaultCase{"NoReply", BoardModel::Fault::NoReply},
                                           FaultCase{"BadCrc", BoardModel::Fault::BadCrc},
                                           FaultCase{"WrongAddress", BoardModel::Fault::WrongAddress},
                                           FaultCase{"CutShort", BoardModel::Fault::CutShort},
                                           FaultCase{"Exception", BoardModel::Fault::Exception},
                                           FaultCase{"Delay", BoardModel::Fault::Delay},
                                           FaultCase{"Flood", BoardModel::Fault::Flood},
                                           FaultCase{"Vanish", BoardModel::Fault::Vanish}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(BoardFaults, SoundRepliesGoFirstWhenAsked) {
    BoardModel b;
    b.SetFault(BoardModel::Fault::NoReply, 1);
    b.SetFaultAfter(2);
    const QByteArray req = ReadReq(1, 4003, 1);
    EXPECT_FALSE(b.Handle(req).isEmpty());
    EXPECT_FALSE(b.Handle(req).isEmpty());
    EXPECT_TRUE(b.Handle(req).isEmpty());
    EXPECT_FALSE(b.Handle(req).isEmpty());
}

// Random faults hit about the share asked for, with codes 1..4, the same for the same seed.
TEST(BoardFaults, RandomFaultsAtTheRateAsked) {
    auto spoiled = [](double percent, uint32_t seed) {
        BoardModel b;
        const QByteArray good = b.Handle(ReadReq(1, 4003, 1));
        b.SetFaultRate(percent, seed, 50);
        std::vector<int> hit;
        for (int i = 0; i < 400; ++i) {
            const QByteArray r = b.Handle(ReadReq(1, 4003, 1));
            if (r.size() == 5) {
                EXPECT_TRUE(r[2] >= 1 && r[2] <= 4) << int(r[2]);
            }
            if (r != good || b.LastReplyDelayMs() > 0)
                hit.push_back(i);
        }
        return hit;
    };
    EXPECT_TRUE(spoiled(0, 1).empty());
    const auto some = spoiled(25, 7);
    EXPECT_GT(some.size(), 60u);
    EXPECT_LT(some.size(), 140u);
    EXPECT_EQ(spoiled(25, 7), some);
    EXPECT_EQ(spoiled(100, 3).size(), 400u);
}

TEST(BoardFaults, ForeverUntilCleared) {
    BoardModel b;
    b.SetFault(BoardModel::Fault::NoReply);
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(b.Handle(ReadReq(1, 4000, 1)).isEmpty());
    b.SetFault(BoardModel::Fault::None);
    EXPECT_FALSE(b.Handle(ReadReq(1, 4000, 1)).isEmpty());
}

TEST(BoardFaults, LostReplyStillCarriesTheWriteOutButARefusalDoesNot) {
    BoardModel b;
    b.SetFault(BoardModel::Fault::NoReply, 1);
    EXPECT_TRUE(b.Handle(WriteReq(1, 4009, {42})).isEmpty());
    EXPECT_EQ(b.Holding(4009), 42);
    b.SetFault(BoardModel::Fault::Exception, 1);
    b.Handle(WriteReq(1, 4009, {43}));
    EXPECT_EQ(b.Holding(4009), 42);
}
