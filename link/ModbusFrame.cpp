// SPDX-License-Identifier: MIT
#include "ModbusFrame.h"

#include <array>

namespace kx9::frame {

namespace {

// The two classic RTU lookup tables, built from the reflected polynomial 0xA001.
// "Hi" holds the byte that ends up in bits 8..15 of the result (the CRC's low byte),
// "Lo" the one in bits 0..7; the names follow the usual layout of these tables.
struct CrcTables {
    std::array<uint8_t, 256> hi{};
    std::array<uint8_t, 256> lo{};
};

constexpr CrcTables MakeTables() {
    CrcTables t;
    for (int i = 0; i < 256; ++i) {
        uint16_t crc = static_cast<uint16_t>(i);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : static_cast<uint16_t>(crc >> 1);
        t.hi[i] = static_cast<uint8_t>(crc & 0xFF);
        t.lo[i] = static_cast<uint8_t>(crc >> 8);
    }
    return t;
}

constexpr CrcTables Tables = MakeTables();

// Spot checks against the published tables.
static_assert(Tables.hi[0] == 0x00 && Tables.hi[1] == 0xC1 && Tables.hi[2] == 0x81 && Tables.hi[255] == 0x40);
static_assert(Tables.lo[0] == 0x00 && Tables.lo[1] == 0xC0 && Tables.lo[2] == 0xC1 && Tables.lo[255] == 0x40);

void Put16(uint8_t* out, int value) {
    out[0] = static_cast<uint8_t>((value >> 8) & 0xFF);
    out[1] = static_cast<uint8_t>(value & 0xFF);
}

} // namespace

uint16_t Crc16(const uint8_t* data, int length) {
    uint8_t hi = 0xFF;
    uint8_t lo = 0xFF;
    for (int i = 0; i < length; ++i) {
        const uint8_t index = hi ^ data[i];
        hi = lo ^ Tables.hi[index];
        lo = Tables.lo[index];
    }
    return static_cast<uint16_t>((hi << 8) | lo);
}

int AppendCrc(uint8_t* data, int length) {
    const uint16_t crc = Crc16(data, length);
    data[length] = static_cast<uint8_t>(crc >> 8); // the CRC's low byte goes first on the wire
    data[length + 1] = static_cast<uint8_t>(crc & 0xFF);
    return length + 2;
}

bool CrcMatches(const uint8_t* data, int length) {
    if (length < 3)
        return false;
    const uint16_t crc = Crc16(data, length - 2);
    return data[length - 2] == static_cast<uint8_t>(crc >> 8) &&
           data[length - 1] == static_cast<uint8_t>(crc & 0xFF);
}

int BuildRead(uint8_t* out, int address, int firstRegister, int count) {
    out[0] = static_cast<uint8_t>(address & 0xFF);
    out[1] = 3;
    Put16(out + 2, firstRegister);
    Put16(out + 4, count);
    return AppendCrc(out, 6);
}

int BuildWrite(uint8_t* out, int address, int firstRegister, int count, const int32_t* values) {
    if (count < 1 || count > 127 || values == nullptr)
        return 0;
    out[0] = static_cast<uint8_t>(address & 0xFF);
    out[1] = 16;
    Put16(out + 2, firstRegister);
    Put16(out + 4, count);
    out[6] = static_cast<uint8_t>(2 * count);
    for (int k = 0; k < count; ++k)
        Put16(out + 7 + 2 * k, values[k] & 0xFFFF);
    return AppendCrc(out, 7 + 2 * count);
}

int BuildIdentify(uint8_t* out, int address) {
    out[0] = static_cast<uint8_t>(address & 0xFF);
    out[1] = 17;
    return AppendCrc(out, 2);
}

bool IsKx9Identification(const uint8_t* reply, int length) {
    return length >= Kx9IdentificationBytes && reply[3] == Kx9SlaveId && reply[5] == 'K' && reply[6] == 'X' &&
           reply[7] == '9';
}

} // namespace kx9::frame
