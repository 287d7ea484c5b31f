// SPDX-License-Identifier: MIT
#include "link/ModbusFrame.h"
#include "link/SerialPort.h"

#include <QByteArray>
#include <gtest/gtest.h>
#include <random>
#include <vector>

using namespace kx9;

namespace {

// Bit by bit, straight from the polynomial: an independent check of the table-driven CRC.
uint16_t BitwiseCrc(const uint8_t* data, int length) {
    uint16_t crc = 0xFFFF;
    for (int i = 0; i < length; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? uint16_t((crc >> 1) ^ 0xA001) : uint16_t(crc >> 1);
    }
    return crc;
}

const uint8_t* Bytes(const QByteArray& a) {
    return reinterpret_cast<const uint8_t*>(a.constData());
}

QByteArray Frame(const uint8_t* data, int length) {
    return QByteArray(reinterpret_cast<const char*>(data), length);
}

struct CrcCase {
    const char* body;
    const char* crcOnWire; // low byte first
};

class CrcVectors : public ::testing::TestWithParam<CrcCase> {};

TEST_P(CrcVectors, TableAndBitwiseAgreeWithKnownValue) {
    const QByteArray body = QByteArray::fromHex(GetParam().body);
    const QByteArray wire = QByteArray::fromHex(GetParam().crcOnWire);
    const uint16_t crc = frame::Crc16(Bytes(body), int(body.size()));
    // Bits 8..15 go first on the wire.
    EXPECT_EQ(uint8_t(crc >> 8), uint8_t(wire[0]));
    EXPECT_EQ(uint8_t(crc & 0xFF), uint8_t(wire[1]));
    const uint16_t reference = BitwiseCrc(Bytes(body), int(body.size()));
    EXPECT_EQ(uint8_t(reference & 0xFF), uint8_t(wire[0]));
    EXPECT_EQ(uint8_t(reference >> 8), uint8_t(wire[1]));
}

INSTANTIATE_TEST_SUITE_P(Known, CrcVectors,
                         ::testing::Values(CrcCase{"01031004003e", "811b"}, CrcCase{"01030000000a", "c5cd"},
                                           CrcCase{"1103006b0003", "7687"},
                                           CrcCase{"11100001000204000a0102", "c6f0"}, CrcCase{"0111", "c02c"},
                                           CrcCase{"018302", "c0f1"}, CrcCase{"", "ffff"}));

TEST(Crc16, MatchesBitwiseOnRandomData) {
    std::mt19937 rng(12345);
    uint8_t data[300];
    for (int round = 0; round < 500; ++round) {
        const int length = int(rng() % 301);
        for (int i = 0; i < length; ++i)
            data[i] = uint8_t(rng());
        const uint16_t reference = BitwiseCrc(data, length);
        const uint16_t crc = frame::Crc16(data, length);
        ASSERT_EQ(crc, uint16_t((reference << 8) | (reference >> 8))) << "length " << length;
    }
}

TEST(Crc16, ExampleReadRequestValue) {
    const QByteArray body = QByteArray::fromHex("01031004003e");
    EXPECT_EQ(frame::Crc16(Bytes(body), 6), 0x811B);
}

TEST(CrcMatches, AcceptsOwnCrcAndRejectsAnyFlippedBit) {
    uint8_t data[16] = {0x01, 0x03, 0x04, 0x12, 0x34, 0xAB, 0xCD};
    const int length = frame::AppendCrc(data, 7);
    ASSERT_EQ(length, 9);
    EXPECT_TRUE(frame::CrcMatches(data, length));
    for (int byte = 0; byte < length; ++byte) {
        for (int bit = 0; bit < 8; ++bit) {
            data[byte] ^= uint8_t(1 << bit);
            EXPECT_FALSE(frame::CrcMatches(data, length)) << byte << ":" << bit;
            data[byte] ^= uint8_t(1 << bit);
        }
    }
    data[length] = 0x55;
    EXPECT_FALSE(frame::CrcMatches(data, length + 1)); // a trailing byte breaks it
    EXPECT_FALSE(frame::CrcMatches(data, 2));
    EXPECT_FALSE(frame::CrcMatches(data, 0));
}

struct FrameCase {
    const char* name;
    int function;
    int address;
    int firstRegister;
    std::vector<int32_t> values; // count for reads, values for writes
    const char* hex;
};

class FrameLayouts : public ::testing::TestWithParam<FrameCase> {};

TEST_P(FrameLayouts, ByteForByte) {
    const FrameCase& c = GetParam();
    uint8_t out[frame::BufferSize] = {};
    int length = 0;
    if (c.function == 3)
        length = frame::BuildRead(out, c.address, c.firstRegister, c.values.at(0));
    else if (c.function == 16)
        length = frame::BuildWrite(out, c.address, c.firstRegister, int(c.values.size()), c.values.data());
    else
        length = frame::BuildIdentify(out, c.address);
    EXPECT_EQ(Frame(out, length).toHex(), QByteArray::fromHex(c.hex).toHex());
}

INSTANTIATE_TEST_SUITE_P(
    Requests, FrameLayouts,
    ::testing::Values(FrameCase{"read62from4100", 3, 1, 4100, {62}, "01031004003e811b"},
                      FrameCase{"read10from0", 3, 1, 0, {10}, "01030000000ac5cd"},
                      FrameCase{"read3at17", 3, 0x11, 0x6B, {3}, "1103006b00037687"},
                      FrameCase{"read100at247", 3, 247, 4000, {100}, "f7030fa000645381"},
                      FrameCase{"write2at17", 16, 0x11, 1, {0x000A, 0x0102}, "11100001000204000a0102c6f0"},
                      // Only the low 16 bits of a slot travel.
                      FrameCase{
                          "writeLow16", 16, 1, 4000, {0x10001, 0x10001, 9}, "01100fa00003060001000100097c10"},
                      FrameCase{"identify1", 17, 1, 0, {}, "0111c02c"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FrameLayouts, IdentifyAtOtherAddressCarriesItsCrc) {
    uint8_t out[4];
    ASSERT_EQ(frame::BuildIdentify(out, 0x1B), 4);
    EXPECT_EQ(out[0], 0x1B);
    EXPECT_EQ(out[1], 17);
    EXPECT_TRUE(frame::CrcMatches(out, 4));
}

TEST(BuildWrite, CountLimits) {
    std::vector<int32_t> values(128, 0xFFFF);
    uint8_t out[frame::BufferSize];
    EXPECT_EQ(frame::BuildWrite(out, 1, 4000, 0, values.data()), 0);
    EXPECT_EQ(frame::BuildWrite(out, 1, 4000, 128, values.data()), 0);
    EXPECT_EQ(frame::BuildWrite(out, 1, 4000, -1, values.data()), 0);
    EXPECT_EQ(frame::BuildWrite(out, 1, 4000, 1, nullptr), 0);
    const int length = frame::BuildWrite(out, 1, 4163, 127, values.data());
    EXPECT_EQ(length, 9 + 2 * 127);
    EXPECT_EQ(out[6], 254);
    EXPECT_TRUE(frame::CrcMatches(out, length));
}

TEST(ReplyEndIndex, LastByteOfReadReply) {
    EXPECT_EQ(frame::ReplyEndIndex(62), 128);
    EXPECT_EQ(frame::ReplyEndIndex(45), 94);
    EXPECT_EQ(frame::ReplyEndIndex(100), 204);
}

// The one check the program, kx9ctl and the scan share: slave ID 0x98 and "KX9", whole.
TEST(IsKx9Identification, NeedsTheIdTheNameAndTheWholeReply) {
    // Address, 17, count, ID, run, "KX9", columns and rows less one, CRC.
    const QByteArray kx9 = QByteArray::fromHex("01110798ff4b58390f01abcd");
    EXPECT_TRUE(frame::IsKx9Identification(Bytes(kx9), int(kx9.size())));
    EXPECT_FALSE(frame::IsKx9Identification(Bytes(kx9), int(kx9.size()) - 1));
    for (const int at : {3, 5, 6, 7}) {
        QByteArray other = kx9;
        other[at] = char(other[at] ^ 0x20);
        EXPECT_FALSE(frame::IsKx9Identification(Bytes(other), int(other.size()))) << at;
    }
}

struct LineCase {
    int frame;
    int baud;
    int rate;
    Parity parity;
    int stopBits;
};

class LineTable : public ::testing::TestWithParam<LineCase> {};

TEST_P(LineTable, FrameAndRate) {
    const LineCase& c = GetParam();
    const LineSettings line = LineSettingsFor(c.frame, c.baud);
    EXPECT_EQ(line.baud, c.rate);
    EXPECT_EQ(line.parity, c.parity);
    EXPECT_EQ(line.stopBits, c.stopBits);
}

INSTANTIATE_TEST_SUITE_P(
    Indexes, LineTable,
    ::testing::Values(LineCase{0, 0, 2400, Parity::None, 1}, LineCase{1, 7, 115200, Parity::None, 2},
                      LineCase{2, 2, 9600, Parity::Even, 1}, LineCase{3, 3, 14400, Parity::Odd, 1},
                      LineCase{1, 5, 38400, Parity::None, 2}, LineCase{0, 6, 57600, Parity::None, 1},
                      // Out of range: clamped to the nearest entry.
                      LineCase{-1, 99, 115200, Parity::None, 1}, LineCase{9, -3, 2400, Parity::Odd, 1}));

} // namespace
