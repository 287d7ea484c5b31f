// SPDX-License-Identifier: MIT
// The simulated board's request handling: frames of any bytes, in any order, with faults.
#include "board/BoardModel.h"
#include "link/ModbusFrame.h"

#include <cstdlib>

using namespace kx9;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    BoardModel::Options options;
    options.address = 1 + data[0] % 247;
    options.moduleColumns = 1 + data[1];
    BoardModel board(options);
    board.SetTicker([] { return int64_t(0); });
    size_t at = 2;
    while (at < size) {
        // A length byte, then the frame; half of them get a right CRC so the handlers are reached.
        const size_t length = std::min<size_t>(data[at] % 64 + (data[at] & 0x80 ? 200 : 0), size - at - 1);
        const bool withCrc = data[at] & 0x40;
        ++at;
        uint8_t frame[frame::BufferSize + 2] = {};
        std::copy(data + at, data + at + std::min<size_t>(length, frame::BufferSize), frame);
        int n = int(std::min<size_t>(length, frame::BufferSize));
        at += length;
        if (withCrc && n > 0)
            n = frame::AppendCrc(frame, n);
        if (n > 1 && frame[1] == 0x55)
            board.SetFault(BoardModel::Fault(frame[0] % 9), frame[0] % 3);
        const bool sound = board.CurrentFault() == BoardModel::Fault::None;
        const int address = board.Address(); // a link change answers at the old address
        const QByteArray reply = board.Handle(QByteArray(reinterpret_cast<const char*>(frame), n));
        // At most 320 bytes (a flood); a sound reply is a whole frame for the board's address.
        if (reply.size() > BoardModel::FloodBytes)
            std::abort();
        const auto* bytes = reinterpret_cast<const uint8_t*>(reply.constData());
        if (sound && !reply.isEmpty() &&
            (reply.size() < 5 || bytes[0] != address || !frame::CrcMatches(bytes, int(reply.size()))))
            std::abort();
    }
    return 0;
}
