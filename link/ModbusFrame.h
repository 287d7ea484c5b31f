// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

// Modbus RTU frames and CRC; knows nothing of ports or the image.
namespace kx9::frame {

constexpr int BufferSize = 300;

// Addresses a device on the line can have: 0 is a broadcast to every device, 248 and up are
// reserved.
constexpr int MinAddress = 1;
constexpr int MaxAddress = 247;

// Standard Modbus CRC-16. The CRC's low byte is returned in bits 8..15 and its high byte in
// bits 0..7, so writing bits 8..15 first puts the low byte first on the wire, as RTU requires.
uint16_t Crc16(const uint8_t* data, int length);

// Appends the CRC at data[length], data[length+1]; returns length + 2.
int AppendCrc(uint8_t* data, int length);
// True when the last two of `length` bytes are the CRC of the ones before.
bool CrcMatches(const uint8_t* data, int length);

// Function 3: 8 bytes.
int BuildRead(uint8_t* out, int address, int firstRegister, int count);
// Function 16: 9 + 2*count bytes, values are the low 16 bits of `values[0..count-1]`.
// count must be 1..127 (the buffer holds 300 bytes); returns 0 otherwise.
int BuildWrite(uint8_t* out, int address, int firstRegister, int count, const int32_t* values);
// Function 17: 4 bytes.
int BuildIdentify(uint8_t* out, int address);

// The slave ID a KX9 board gives in its identification reply (function 17).
constexpr uint8_t Kx9SlaveId = 0x98;
// A KX9 board's identification reply: address, 17, count, slave ID, run indicator, "KX9",
// columns, rows, CRC.
constexpr int Kx9IdentificationBytes = 12;
// The `length` bytes of `reply` are a KX9 board's identification (the CRC is checked apart).
bool IsKx9Identification(const uint8_t* reply, int length);

// Index of the last byte of a function 3 reply carrying `count` registers.
constexpr int ReplyEndIndex(int count) {
    return 4 + 2 * count;
}

} // namespace kx9::frame
