// SPDX-License-Identifier: MIT
#include "BoardBus.h"

#include "../config/ConfigImage.h"

#include <algorithm>

namespace kx9 {

LineSettings BoardLine(const BoardModel& board) {
    LineSettings line;
    line.baud = BoardBaudRates[size_t(std::clamp(board.BaudCode(), 0, 9))];
    // A frame outside the table is taken as 8N2.
    const int frame = board.FrameIndex();
    const FrameShape shape =
        frame >= 0 && frame < int(FrameShapes.size()) ? FrameShapes[size_t(frame)] : FrameShapes[1];
    line.parity = shape.parity;
    line.stopBits = shape.stopBits;
    return line;
}

BusReply DeliverOnBus(const std::vector<BoardModel*>& boards, const QByteArray& request,
                      const std::function<bool(const LineSettings&)>& hears) {
    BusReply out;
    for (BoardModel* board : boards) {
        // Taken before the request: a link change switches the board only after its reply.
        const LineSettings line = BoardLine(*board);
        const int frameIndex = board->FrameIndex();
        if (!hears(line))
            continue;
        ++out.heard;
        const QByteArray reply = board->Handle(request);
        out.vanish = out.vanish || board->LastReplyVanishes();
        if (reply.isEmpty())
            continue;
        if (++out.answered == 1) {
            out.reply = reply;
            out.from = board;
            out.line = line;
            out.frameIndex = frameIndex;
            out.delayMs = board->LastReplyDelayMs();
            continue;
        }
        // Two drivers on the pair at once: what arrives is no reply of either.
        if (out.answered == 2)
            for (qsizetype i = std::max<qsizetype>(0, out.reply.size() - 2); i < out.reply.size(); ++i)
                out.reply[i] = char(~uint8_t(out.reply[i]));
    }
    return out;
}

} // namespace kx9
