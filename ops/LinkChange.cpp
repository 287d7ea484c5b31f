// SPDX-License-Identifier: MIT
#include "LinkChange.h"

#include "config/Encodings.h"

namespace kx9 {

namespace {

constexpr int BoardLinkRegisters = 3; // 4000..4002
constexpr int LinkSettleMs = 300;     // the board answers the write, then switches

} // namespace

bool LinkChangeJob::Begin() {
    Scheduler& s = m_t.scheduler;
    ConfigImage& image = m_t.image;
    LinkSettings& link = image.link;

    const int newBaud = BaudIndexFromCode(image.Reg(RegBoardBaud));
    const int newFrame = image.Reg(RegBoardFrame) & 0xFF;

    if (s.OpenLink() != 1)
        return false;

    m_savedAddress = link.BoardAddress;
    m_savedFrameIndex = link.FrameIndex;
    m_savedBaudIndex = link.BaudIndex;
    s.ClearTransferError();

    // A code the board refuses leaves its setting as it is, so the PC keeps its own too.
    if (newFrame < static_cast<int>(FrameNames.size()))
        link.FrameIndex = static_cast<uint8_t>(newFrame);
    if (newBaud >= 0)
        link.BaudIndex = static_cast<uint8_t>(newBaud);

    // Sent at the old settings; the board answers before it switches, and that reply is
    // dropped by the reopening below, so none is awaited.
    const int length = m_link.BuildWriteRequest(link.BoardAddress, RegBoardAddress, BoardLinkRegisters,
                                                image.main.data());
    m_link.Send(length);

    m_t.clock.pause(LinkSettleMs);
    s.CloseLink();
    // A failure here shows at the next tick, which puts the old settings back.
    s.OpenLink();
    return true;
}

Job::StepResult LinkChangeJob::Step() {
    Scheduler& s = m_t.scheduler;
    m_t.image.link.BoardAddress = uint8_t(m_t.image.Reg(RegBoardAddress) & 0xFF);
    if (s.OpenLink() != 1) {
        // The port is closed now: the next tick abandons the job and restores the settings.
        return StepResult::Continue;
    }
    s.SendIdentify();
    // The identification reply closes the port, or the time-out does.
    s.StopWatchdog();
    return StepResult::Finished;
}

void LinkChangeJob::Abandon() {
    LinkSettings& link = m_t.image.link;
    link.BoardAddress = m_savedAddress;
    link.FrameIndex = m_savedFrameIndex;
    link.BaudIndex = m_savedBaudIndex;
}

} // namespace kx9
