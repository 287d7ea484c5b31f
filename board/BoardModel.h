// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace kx9 {

// What a KX9 board does, seen from the configurator's side of the line.
class BoardModel {
public:
    struct Options {
        int address = 1;        // 1..247
        int frameIndex = 1;     // 8N1, 8N2, 8E1, 8O1
        int baudCode = 9;       // board table 0..9, 9 = 115200
        int moduleColumns = 15; // display size in 8x8 modules
        int moduleRows = 5;
        uint16_t status = 0; // register 4265 at power-up
    };

    static constexpr int TextPages = 115;
    static constexpr int GraphicSlots = 10;
    static constexpr int GraphicBytes = 1200;

    // Faults injected into replies on request. Delay holds a reply back (as long as the PC's
    // time-out or longer: a late reply); Flood sends more than 300 bytes; Vanish takes the
    // line away, which only the pseudo-terminal backend can do.
    enum class Fault { None, NoReply, BadCrc, WrongAddress, CutShort, Exception, Delay, Flood, Vanish };
    static constexpr int FloodBytes = 320;

    BoardModel();
    explicit BoardModel(const Options& options);

    // Takes one complete request frame and returns the reply; empty when the board stays
    // silent (another address, bad CRC, or an injected silence).
    QByteArray Handle(const QByteArray& request);

    // Link parameters in force; a write of 4000..4002 takes effect after its reply.
    int Address() const;
    int FrameIndex() const;
    int BaudCode() const;

    // Holding registers 0..600 and 4000..4344 as the board holds them.
    static bool HasRegister(int reg);
    uint16_t Holding(int reg) const;
    void SetHolding(int reg, uint16_t value);

    // Text page p (0..114) in the board's character codes.
    const std::array<uint8_t, 200>& Page(int p) const;
    void SetPage(int p, const std::array<uint8_t, 200>& bytes);

    // Graphic pages received through registers 0..600.
    const std::vector<QByteArray>& GraphicPages() const;

    void SetClock(const QDateTime& now);
    // The board's clock now, to the second; invalid while a nonsense time has stopped it.
    QDateTime Clock() const;
    // Milliseconds of a monotonic clock that makes the board clock run; tests drive it by hand.
    void SetTicker(std::function<int64_t()> monotonicMs);

    void SetFault(Fault fault, int count = -1); // count < 0: every reply from now on
    // Replies that go out sound before the fault set next hits.
    void SetFaultAfter(int replies);
    // Random faults: `percent` of the replies (0.01 steps) get one of the faults above
    // (exception codes 1..4, late replies held back by `lateMs`); 0 ends them.
    void SetFaultRate(double percent, uint32_t seed, int lateMs);
    Fault CurrentFault() const;
    int DelayMs() const;
    void SetDelayMs(int ms);
    uint8_t ExceptionCode() const;
    void SetExceptionCode(uint8_t code);
    // Delay the last reply asked for (Delay fault), 0 otherwise; the line backend waits it out.
    int LastReplyDelayMs() const;
    // The last request asked for the line to go away (Vanish fault).
    bool LastReplyVanishes() const;

    // Every request frame taken, in order (for tests that compare sequences).
    const std::vector<QByteArray>& Requests() const;
    void ClearRequests();

private:
    struct Impl;
    std::shared_ptr<Impl> d;
};

} // namespace kx9
