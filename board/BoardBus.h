// SPDX-License-Identifier: MIT
#pragma once

#include "../link/SerialPort.h"
#include "BoardModel.h"

#include <QByteArray>
#include <functional>
#include <vector>

namespace kx9 {

// The line settings under which `board` understands what it is sent, and sends its replies.
LineSettings BoardLine(const BoardModel& board);

// What came back on the line for one request.
struct BusReply {
    QByteArray reply;                 // the bytes on the line; empty: silence
    int heard = 0;                    // boards that took the request at their own settings
    int answered = 0;                 // boards that replied; more than one collide
    const BoardModel* from = nullptr; // the board that replied (the first of several)
    LineSettings line;                // its settings when it was asked, the reply's too
    int frameIndex = 1;
    int delayMs = 0;     // the reply held back this long (Delay fault)
    bool vanish = false; // a board asked for the line to go away
};

// RS-485: every board hears every request, but only one at its own rate and frame can make
// sense of it (`hears` tells which), and of those only the one at the request's address
// answers. Replies of several boards at one address collide: the line carries neither.
BusReply DeliverOnBus(const std::vector<BoardModel*>& boards, const QByteArray& request,
                      const std::function<bool(const LineSettings&)>& hears);

} // namespace kx9
