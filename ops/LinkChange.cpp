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

    const int newBaud = BaudIndexFromCode(image.Reg(RegBoardBaud));
    const int newFrame = image.Reg(RegBoardFrame) & 0xFF;

    const LineTarget old = LineTarget::Of(image.link);
    if (s.OpenLink(old) != 1)
        return false;
    s.ClearTransferError();

    // The new line is a copy: the settings change only once the PC talks on it. A code the
    // board refuses leaves its setting as it is, so the PC keeps its own too.
    m_new = old;
    if (newFrame < static_cast<int>(FrameNames.size()))
        m_new.frameIndex = newFrame;
    if (newBaud >= 0)
        m_new.baudIndex = newBaud;

    // Sent at the old settings; the board answers before it switches, and that reply is
    // dropped by the reopening below, so none is awaited.
    const int length =
        m_link.BuildWriteRequest(old.address, RegBoardAddress, BoardLinkRegisters, image.main.data());
    m_link.Send(length);

    m_t.clock.pause(LinkSettleMs);
    s.CloseLink();
    // A failure here shows at the next tick, which drops the job with the settings untouched.
    s.OpenLink(m_new);
    return true;
}

Job::StepResult LinkChangeJob::Step() {
    Scheduler& s = m_t.scheduler;
    m_new.address = m_t.image.Reg(RegBoardAddress) & 0xFF;
    if (s.OpenLink(m_new) != 1) {
        // The port is closed now: the next tick abandons the job, the settings as they were.
        return StepResult::Continue;
    }
    // The PC follows the board from here on, whatever the identification finds.
    LinkSettings& link = m_t.image.link;
    link.BoardAddress = uint8_t(m_new.address);
    link.FrameIndex = uint8_t(m_new.frameIndex);
    link.BaudIndex = uint8_t(m_new.baudIndex);
    s.SendIdentify();
    // The identification reply closes the port, or the time-out does.
    s.StopWatchdog();
    return StepResult::Finished;
}

} // namespace kx9
