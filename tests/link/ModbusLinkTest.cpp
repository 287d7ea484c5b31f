// SPDX-License-Identifier: MIT
#include "common/TestSeams.h"
#include "config/ConfigImage.h"
#include "link/Modbus.h"

#include <QByteArray>
#include <QStringList>
#include <algorithm>
#include <array>
#include <cstring>
#include <gtest/gtest.h>
#include <random>

using namespace kx9;

namespace {

// A port that keeps what is written and hands out what a test queued, nothing more.
class FakePort : public SerialPort {
public:
    bool open(const QString& name, const LineSettings& line) override {
        events << "open:" + name;
        if (m_open)
            openedWhileOpen = true;
        lastLine = line;
        if (missing.contains(name))
            return false;
        m_open = true;
        return true;
    }
    void close() override {
        events << "close";
        m_open = false;
    }
    bool isOpen() const override { return m_open; }
    void purge() override {
        events << "purge";
        input.clear();
    }
    int write(const uint8_t* data, int length) override {
        if (!m_open)
            return 0;
        if (vanishOnWrite) {
            m_open = false; // the device went away under the write
            return 0;
        }
        length = std::min(length, writeLimit);
        written.append(reinterpret_cast<const char*>(data), length);
        return length;
    }
    int bytesWaiting() override {
        if (vanishOnPoll)
            m_open = false;
        return m_open ? int(input.size()) : 0;
    }
    int read(uint8_t* buffer, int max) override {
        if (!m_open)
            return 0;
        const int n = std::min<int>(max, int(input.size()));
        std::memcpy(buffer, input.constData(), size_t(n));
        input.remove(0, n);
        return n;
    }

    QStringList events;
    QStringList missing;
    QByteArray input;
    QByteArray written;
    LineSettings lastLine;
    bool openedWhileOpen = false;
    bool vanishOnWrite = false;
    bool vanishOnPoll = false;
    int writeLimit = 1 << 20;

private:
    bool m_open = false;
};

QByteArray WithCrc(const char* hex) {
    QByteArray frame = QByteArray::fromHex(hex);
    const uint16_t crc = frame::Crc16(reinterpret_cast<const uint8_t*>(frame.constData()), int(frame.size()));
    frame.append(char(crc >> 8));
    frame.append(char(crc & 0xFF));
    return frame;
}

// A function 3 reply carrying `values`.
QByteArray ReadReply(int address, const std::vector<int>& values) {
    QByteArray body;
    body.append(char(address));
    body.append(char(3));
    body.append(char(2 * values.size()));
    for (int v : values) {
        body.append(char((v >> 8) & 0xFF));
        body.append(char(v & 0xFF));
    }
    return WithCrc(body.toHex().constData());
}

class ModbusLinkTest : public ::testing::Test {
protected:
    ConfigImage image;
    FakePort port;
    test::RecordingDialogs dialogs;
    test::FakeClock clock;
    ModbusLink link{image, port, dialogs, clock};

    void ExpectFlagsAgree() const { EXPECT_EQ(link.IsOpen, image.link.PortOpen); }
    QByteArray Tx(int length) const {
        return QByteArray(reinterpret_cast<const char*>(link.TxBuffer), length);
    }
    void Deliver(const QByteArray& bytes) { port.input += bytes; }
};

TEST_F(ModbusLinkTest, OpenConfiguresPurgesAndLeavesTheSettings) {
    image.link.BoardAddress = 9;
    EXPECT_EQ(link.Open(LineTarget{QStringLiteral("COM3"), 2, 4, 9}), 1);
    EXPECT_TRUE(link.IsOpen);
    EXPECT_TRUE(image.link.PortOpen);
    EXPECT_EQ(port.events, QStringList({"open:COM3", "purge"}));
    EXPECT_EQ(port.lastLine.baud, 19200);
    EXPECT_EQ(port.lastLine.parity, Parity::Even);
    EXPECT_EQ(port.lastLine.stopBits, 1);
    // The line is a value: the settings keep theirs.
    EXPECT_EQ(image.link.PortIndex, 0);
    EXPECT_EQ(image.link.FrameIndex, 1);
    EXPECT_EQ(image.link.BaudIndex, 7);
    EXPECT_EQ(link.Line(), (LineTarget{QStringLiteral("COM3"), 2, 4, 9}));
    EXPECT_EQ(clock.pauses, std::vector<int>({200}));
    EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(ModbusLinkTest, OpenMissingPortFailsWithMessage) {
    port.missing << "COM5";
    image.link.PortIndex = 1;
    EXPECT_EQ(link.Open(4, 0, 0), -1);
    EXPECT_FALSE(link.IsOpen);
    EXPECT_FALSE(image.link.PortOpen);
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].text,
              QString::fromUtf8("Niewłaściwa nazwa portu lub  port jest aktywny\n"
                                "Zamknij uruchomione aplikacje lub wybierz inny port"));
    EXPECT_EQ(dialogs.boxes[0].title, QString::fromUtf8("Błąd otwarcia portu"));
    EXPECT_EQ(dialogs.boxes[0].icon, MsgIcon::Information);
    EXPECT_FALSE(dialogs.boxes[0].confirmation);
    EXPECT_EQ(image.link.PortIndex, 1); // only a successful open stores the indexes
    EXPECT_TRUE(clock.pauses.empty());
    // Nothing was opened, so there is nothing to close.
    EXPECT_EQ(link.Close(), 0);
    EXPECT_EQ(port.events, QStringList({"open:COM5"}));
}

TEST_F(ModbusLinkTest, ReopenClosesFirstHandleFirst) {
    ASSERT_EQ(link.Open(0, 1, 7), 1);
    ASSERT_EQ(link.Open(1, 1, 7), 1);
    EXPECT_FALSE(port.openedWhileOpen);
    EXPECT_EQ(port.events, QStringList({"open:COM1", "purge", "close", "open:COM2", "purge"}));
    EXPECT_EQ(clock.pauses, std::vector<int>({200, 200}));
    ExpectFlagsAgree();
}

TEST_F(ModbusLinkTest, FailedReopenLeavesPortClosed) {
    ASSERT_EQ(link.Open(0, 1, 7), 1);
    port.missing << "COM2";
    EXPECT_EQ(link.Open(1, 1, 7), -1);
    EXPECT_FALSE(port.isOpen());
    EXPECT_FALSE(link.IsOpen);
    EXPECT_FALSE(image.link.PortOpen);
}

TEST_F(ModbusLinkTest, CloseResults) {
    EXPECT_EQ(link.Close(), 0);
    EXPECT_TRUE(port.events.isEmpty());
    ASSERT_EQ(link.Open(0, 1, 7), 1);
    EXPECT_EQ(link.Close(), 1);
    EXPECT_FALSE(port.isOpen());
    EXPECT_FALSE(link.IsOpen);
    EXPECT_FALSE(image.link.PortOpen);
}

TEST_F(ModbusLinkTest, SendOnlyWhileOpen) {
    const int length = link.BuildReadRequest(1, 4100, 62);
    EXPECT_EQ(link.Send(length), 0);
    EXPECT_TRUE(port.written.isEmpty());
    ASSERT_EQ(link.Open(0, 1, 7), 1);
    EXPECT_EQ(link.Send(length), 8);
    EXPECT_EQ(port.written.toHex(), QByteArray("01031004003e811b"));
    // A length past the buffer never reads beyond it.
    port.written.clear();
    EXPECT_EQ(link.Send(1000), frame::BufferSize);
    EXPECT_EQ(port.written.size(), frame::BufferSize);
}

TEST_F(ModbusLinkTest, WriteTakesValuesFromSlotOfItsRange) {
    std::vector<int32_t> block(300);
    for (int i = 0; i < 300; ++i)
        block[size_t(i)] = 0x100 + i;
    struct Case {
        int reg;
        int slot;
    };
    for (const Case c : {Case{4300, 0}, Case{4027, 27}, Case{100, 100}, Case{4000, 0}, Case{4299, 299}}) {
        const int length = link.BuildWriteRequest(1, c.reg, 1, block.data());
        ASSERT_EQ(length, 11) << c.reg;
        EXPECT_EQ(link.TxBuffer[2] * 256 + link.TxBuffer[3], c.reg);
        EXPECT_EQ(link.TxBuffer[7] * 256 + link.TxBuffer[8], 0x100 + c.slot) << c.reg;
    }
    EXPECT_EQ(link.BuildWriteRequest(1, 4000, 1, nullptr), 0);
}

TEST_F(ModbusLinkTest, WriteFromImageBlocks) {
    image.slave[0] = 7;
    image.slave[1] = 0xFFFF;
    const int length = link.BuildWriteRequest(3, 4300, 2, image.slave.data());
    EXPECT_EQ(Tx(length).toHex(), WithCrc("03 10 10cc 0002 04 0007 ffff").toHex());
    EXPECT_EQ(link.BuildIdentifyRequest(3), 4);
    EXPECT_EQ(Tx(4).toHex(), WithCrc("0311").toHex());
}

struct ReplyCase {
    const char* name;
    QByteArray bytes;
    int address;
    int expected;
};

class CheckReplyTable : public ModbusLinkTest, public ::testing::WithParamInterface<ReplyCase> {};

TEST_P(CheckReplyTable, Classifies) {
    ASSERT_EQ(link.Open(0, 1, 7), 1);
    Deliver(GetParam().bytes);
    EXPECT_EQ(link.CheckReply(GetParam().address), GetParam().expected);
    EXPECT_EQ(link.RxLength, GetParam().bytes.size());
    EXPECT_EQ(link.BytesWaiting(), 0); // what was read is gone from the queue
}

QByteArray Corrupted(QByteArray bytes) {
    bytes[bytes.size() - 1] = char(bytes[bytes.size() - 1] ^ 0x01);
    return bytes;
}

INSTANTIATE_TEST_SUITE_P(Replies, CheckReplyTable,
                         ::testing::Values(ReplyCase{"read", WithCrc("010304000100ff"), 1, 3},
                                           ReplyCase{"write", WithCrc("011010040002"), 1, 16},
                                           ReplyCase{"identify",
                                                     WithCrc("0111089800"
                                                             "4b5839"
                                                             "0b01"),
                                                     1, 17},
                                           ReplyCase{"otherAddress", WithCrc("010304000100ff"), 2, 0},
                                           ReplyCase{"addressAbove247", WithCrc("f80304000100ff"), 248, 3},
                                           ReplyCase{"empty", QByteArray(), 1, 0},
                                           ReplyCase{"oneByte", QByteArray::fromHex("01"), 1, 0},
                                           ReplyCase{"twoBytes", QByteArray::fromHex("0103"), 1, 0},
                                           ReplyCase{"badCrc", Corrupted(WithCrc("010304000100ff")), 1, 0},
                                           ReplyCase{"trailingByte", WithCrc("010304000100ff") + char(0x55),
                                                     1, 0},
                                           ReplyCase{"readException", WithCrc("018302"), 1, -2},
                                           ReplyCase{"writeException", WithCrc("019003"), 1, -3},
                                           ReplyCase{"readExceptionOfOne", WithCrc("018301"), 1, -1},
                                           ReplyCase{"otherException", WithCrc("018102"), 1, -1},
                                           ReplyCase{"otherFunction", WithCrc("010600010003"), 1, -1}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ModbusLinkTest, CheckReplyWhileClosedReadsNothing) {
    Deliver(WithCrc("010304000100ff"));
    EXPECT_EQ(link.BytesWaiting(), 0);
    EXPECT_EQ(link.CheckReply(1), 0);
    EXPECT_EQ(link.RxLength, 0);
}

class StoreReplyTest : public ModbusLinkTest {
protected:
    void SetUp() override {
        ASSERT_EQ(link.Open(0, 1, 7), 1);
        image.main.fill(-7);
        image.slave.fill(-7);
    }
    // Receives `bytes` as the scheduler would and stores them.
    int Store(const QByteArray& bytes, int firstRegister, int endIndex) {
        Deliver(bytes);
        link.Receive();
        return link.StoreReadReply(firstRegister, endIndex);
    }
    static std::vector<int> Values(int count, int seed) {
        std::vector<int> v;
        for (int k = 0; k < count; ++k)
            v.push_back((seed + 977 * k) & 0xFFFF);
        return v;
    }
    bool Untouched() const {
        return std::all_of(image.main.begin(), image.main.end(), [](int32_t x) { return x == -7; }) &&
               std::all_of(image.slave.begin(), image.slave.end(), [](int32_t x) { return x == -7; });
    }
};

TEST_F(StoreReplyTest, MainBlockFrom4100) {
    const auto values = Values(62, 40000);
    ASSERT_EQ(Store(ReadReply(1, values), 4100, 128), 1);
    for (int k = 0; k < 62; ++k)
        EXPECT_EQ(image.main[size_t(100 + k)], values[size_t(k)]) << k;
    EXPECT_EQ(image.main[99], -7);
    EXPECT_EQ(image.main[162], -7);
}

TEST_F(StoreReplyTest, SlaveBlockFrom4300) {
    const auto values = Values(45, 3);
    ASSERT_EQ(Store(ReadReply(1, values), 4300, 94), 1);
    for (int k = 0; k < 45; ++k)
        EXPECT_EQ(image.slave[size_t(k)], values[size_t(k)]) << k;
    EXPECT_EQ(image.main[0], -7);
}

TEST_F(StoreReplyTest, TwoRegistersFrom4264AndUnsignedValues) {
    ASSERT_EQ(Store(ReadReply(1, {0xFFFF, 0x8001}), 4264, 8), 1);
    EXPECT_EQ(image.main[264], 65535);
    EXPECT_EQ(image.main[265], 0x8001);
    EXPECT_EQ(image.main[263], -7);
    EXPECT_EQ(image.main[266], -7);
}

// A trailing zero byte passes any CRC-16 check (the residue of a whole frame is 0), so the
// check accepts it; the values are still taken from the frame that ends at the awaited index.
TEST_F(StoreReplyTest, TrailingZeroByteStillStoresTheFrame) {
    Deliver(ReadReply(1, {0x1234, 0xABCD}) + char(0));
    EXPECT_EQ(link.CheckReply(1), 3);
    EXPECT_EQ(link.StoreReadReply(4010, frame::ReplyEndIndex(2)), 1);
    EXPECT_EQ(image.main[10], 0x1234);
    EXPECT_EQ(image.main[11], 0xABCD);
}

TEST_F(StoreReplyTest, ReplyReachingLastSlotIsStored) {
    ASSERT_EQ(Store(ReadReply(1, Values(2, 9)), 4298, 8), 1);
    EXPECT_EQ(image.main[299], Values(2, 9)[1]);
    ASSERT_EQ(Store(ReadReply(1, Values(1, 9)), 4344, 6), 1);
    EXPECT_EQ(image.slave[44], 9);
}

struct RefusedCase {
    const char* name;
    QByteArray bytes;
    int firstRegister;
    int endIndex;
};

class StoreRefused : public StoreReplyTest, public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(StoreRefused, NothingStored) {
    EXPECT_EQ(Store(GetParam().bytes, GetParam().firstRegister, GetParam().endIndex), -1);
    EXPECT_TRUE(Untouched());
}

QByteArray Reply(int count) {
    std::vector<int> v(size_t(count), 0x1234);
    return ReadReply(1, v);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, StoreRefused,
    ::testing::Values(
        RefusedCase{"badCrc", Corrupted(Reply(62)), 4100, 128},
        RefusedCase{"endIndexBeforeCrc", Reply(62), 4100, 126},
        RefusedCase{"endIndexPastReceived", Reply(2), 4000, 20},
        RefusedCase{"endIndexPastBuffer", Reply(2), 4000, 400},
        RefusedCase{"negativeEnd", Reply(2), 4000, -3}, RefusedCase{"pastMainBlock", Reply(62), 4280, 128},
        RefusedCase{"pastSlaveBlock", Reply(6), 4340, 16}, RefusedCase{"mainIntoSlave", Reply(2), 4299, 8},
        RefusedCase{"belowImage", Reply(2), 100, 8}, RefusedCase{"aboveImage", Reply(1), 4345, 6},
        // The byte count claims more values than the reply brings, yet the CRC is right.
        RefusedCase{"countBeyondReceived", WithCrc("0103f800010002"), 4000, 8},
        RefusedCase{"countIntoCrc", WithCrc("01030600010002"), 4000, 8}),
    [](const auto& info) { return std::string(info.param.name); });

struct IdentCase {
    const char* name;
    QByteArray bytes;
    const char* text;
};

class Identification : public ModbusLinkTest, public ::testing::WithParamInterface<IdentCase> {};

TEST_P(Identification, Text) {
    image.link.BoardAddress = 17;
    ASSERT_EQ(link.Open(0, 1, 7), 1);
    Deliver(GetParam().bytes);
    link.Receive();
    EXPECT_EQ(link.DescribeIdentification(), QString::fromUtf8(GetParam().text));
}

INSTANTIATE_TEST_SUITE_P(
    Replies, Identification,
    ::testing::Values(IdentCase{"kx9",
                                WithCrc("1111089800"
                                        "4b5839"
                                        "0b01"),
                                "Uzyskano odpowiedź z KX9 o rozdzielczości matrycowej: 12x2\n"
                                "Rozdzielczość tablicy :1536 punktów"},
                      IdentCase{"kx9Large",
                                WithCrc("111108980f"
                                        "4b5839"
                                        "ffff"
                                        "0102"),
                                "Uzyskano odpowiedź z KX9 o rozdzielczości matrycowej: 256x256\n"
                                "Rozdzielczość tablicy :4194304 punktów"},
                      IdentCase{"otherDevice",
                                WithCrc("1111089700"
                                        "4b5839"
                                        "0b01"),
                                "Urządzenie o adresie: 17 nie jest tablicą KX9"},
                      IdentCase{"otherLetters",
                                WithCrc("1111089800"
                                        "4b5838"
                                        "0b01"),
                                "Błąd przetworzenia"},
                      IdentCase{"shortAfterLetters",
                                WithCrc("1111089800"
                                        "4b5839"),
                                "Błąd przetworzenia"},
                      IdentCase{"onlyIdByte", WithCrc("11110198"), "Błąd przetworzenia"},
                      IdentCase{"shortOtherDevice", WithCrc("11110197"),
                                "Urządzenie o adresie: 17 nie jest tablicą KX9"},
                      IdentCase{"nothing", QByteArray(), "Błąd przetworzenia"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ModbusLinkTest, StaleBufferBeyondReceivedIsNotRead) {
    ASSERT_EQ(link.Open(0, 1, 7), 1);
    Deliver(WithCrc("1111089800"
                    "4b5839"
                    "0b01"));
    link.Receive();
    ASSERT_NE(link.DescribeIdentification(), QString::fromUtf8("Błąd przetworzenia"));
    // A later, shorter reply leaves the old bytes in the buffer; they must not be used.
    Deliver(QByteArray::fromHex("1111"));
    link.Receive();
    EXPECT_EQ(link.RxLength, 2);
    EXPECT_EQ(link.DescribeIdentification(), QString::fromUtf8("Błąd przetworzenia"));
    Deliver(ReadReply(0x11, std::vector<int>(62, 5)));
    link.Receive();
    Deliver(QByteArray::fromHex("1103"));
    link.Receive();
    EXPECT_EQ(link.StoreReadReply(4100, 128), -1);
}

TEST_F(ModbusLinkTest, MoreThanBufferWaiting) {
    ASSERT_EQ(link.Open(0, 1, 7), 1);
    std::memset(link.TxBuffer, 0x5A, sizeof link.TxBuffer);
    Deliver(QByteArray(350, char(0x01)));
    EXPECT_EQ(link.BytesWaiting(), 350);
    EXPECT_EQ(link.CheckReply(1), 0);
    EXPECT_EQ(link.RxLength, 300);
    EXPECT_EQ(link.BytesWaiting(), 50);
    EXPECT_EQ(link.Receive(), 50);
    EXPECT_EQ(link.Receive(), 0);
    EXPECT_TRUE(
        std::all_of(std::begin(link.TxBuffer), std::end(link.TxBuffer), [](uint8_t b) { return b == 0x5A; }));
}

TEST_F(ModbusLinkTest, PortLostDuringWriteEndsOpenState) {
    ASSERT_EQ(link.Open(0, 1, 7), 1);
    port.vanishOnWrite = true;
    EXPECT_EQ(link.Send(link.BuildReadRequest(1, 4000, 100)), 0);
    EXPECT_FALSE(link.IsOpen);
    EXPECT_FALSE(image.link.PortOpen);
    EXPECT_EQ(link.BytesWaiting(), 0);
    EXPECT_EQ(link.CheckReply(1), 0);
    // The next operation opens it afresh.
    port.vanishOnWrite = false;
    EXPECT_EQ(link.Open(0, 1, 7), 1);
    EXPECT_EQ(link.Send(8), 8);
    EXPECT_EQ(link.Close(), 1);
}

TEST_F(ModbusLinkTest, FrameLeftHalfWayClosesThePort) {
    ASSERT_EQ(link.Open(0, 1, 7), 1);
    port.writeLimit = 3;
    EXPECT_EQ(link.Send(link.BuildReadRequest(1, 4000, 100)), 3);
    EXPECT_FALSE(port.isOpen());
    EXPECT_FALSE(link.IsOpen);
    EXPECT_FALSE(image.link.PortOpen);
}

TEST_F(ModbusLinkTest, PortLostWhilePolling) {
    ASSERT_EQ(link.Open(0, 1, 7), 1);
    Deliver(QByteArray(10, char(1)));
    port.vanishOnPoll = true;
    EXPECT_EQ(link.BytesWaiting(), 0);
    EXPECT_FALSE(link.IsOpen);
    EXPECT_FALSE(image.link.PortOpen);
}

// Any bytes from the line, any order of calls: no crash, no overrun, flags always agree.
TEST_F(ModbusLinkTest, FuzzedRepliesAndCalls) {
    std::mt19937 rng(20260101);
    std::memset(link.TxBuffer, 0x5A, sizeof link.TxBuffer);
    for (int round = 0; round < 4000; ++round) {
        switch (rng() % 10) {
        case 0:
            link.Open(int(rng() % 12) - 2, int(rng() % 6) - 1, int(rng() % 10) - 1);
            break;
        case 1:
            link.Close();
            break;
        case 2: {
            QByteArray junk(int(rng() % 400), Qt::Uninitialized);
            for (auto& c : junk)
                c = char(rng());
            if (rng() % 3 == 0 && junk.size() > 4) {
                // Make some of it look like a valid reply so the deeper paths run.
                junk[0] = char(1);
                junk[1] = char(std::array<int, 5>{3, 16, 17, 0x83, 0x90}[rng() % 5]);
                junk = WithCrc(
                    junk.left(int(rng() % std::min<qsizetype>(junk.size(), 260))).toHex().constData());
            }
            Deliver(junk);
            break;
        }
        case 3:
            link.BytesWaiting();
            break;
        case 4:
            link.CheckReply(1);
            break;
        case 5:
            link.StoreReadReply(int(rng() % 4600), int(rng() % 320) - 10);
            break;
        case 6:
            link.DescribeIdentification();
            break;
        case 7:
            link.Receive();
            break;
        case 8:
            port.vanishOnWrite = rng() % 4 == 0;
            link.Send(8);
            break;
        default:
            link.StoreReadReply(4000 + int(rng() % 345), frame::ReplyEndIndex(int(rng() % 130)));
            break;
        }
        ASSERT_GE(link.RxLength, 0);
        ASSERT_LE(link.RxLength, frame::BufferSize);
        ASSERT_EQ(link.IsOpen, image.link.PortOpen) << round;
        ASSERT_EQ(link.IsOpen, port.isOpen()) << round;
    }
    EXPECT_TRUE(
        std::all_of(std::begin(link.TxBuffer), std::end(link.TxBuffer), [](uint8_t b) { return b == 0x5A; }));
}

} // namespace
