// SPDX-License-Identifier: MIT
#include "BoardModel.h"

#include "link/ModbusFrame.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <random>

namespace kx9 {

namespace {

constexpr int LowCount = 601;  // registers 0..600: graphics transfer
constexpr int HighBase = 4000; // registers 4000..4344: configuration
constexpr int HighCount = 345;
constexpr int MaxReadCount = 125;
constexpr int MaxWriteCount = 123;

constexpr int RegAddress = 4000;
constexpr int RegFrame = 4001;
constexpr int RegBaud = 4002;
constexpr int RegTime = 4006;
constexpr int RegYear = 4007;
constexpr int RegDate = 4008;
constexpr int RegSelector = 4162;
constexpr int RegWindow = 4163;
constexpr int WindowCount = 100;
constexpr int RegStatus = 4265;

constexpr uint8_t ExIllegalFunction = 1;
constexpr uint8_t ExIllegalAddress = 2;
constexpr uint8_t ExIllegalValue = 3;

constexpr uint8_t RunIndicator = 0xFF;

// Written bit by bit on purpose: the board checks the link's table-driven CRC independently.
uint16_t Crc(const uint8_t* data, int length) {
    uint16_t crc = 0xFFFF;
    for (int i = 0; i < length; ++i) {
        crc ^= data[i];
        for (int b = 0; b < 8; ++b)
            crc = (crc & 1) ? uint16_t((crc >> 1) ^ 0xA001) : uint16_t(crc >> 1);
    }
    return crc;
}

void AppendCrc(QByteArray& frame) {
    const uint16_t crc = Crc(reinterpret_cast<const uint8_t*>(frame.constData()), int(frame.size()));
    frame.append(char(crc & 0xFF)); // low byte first on the wire
    frame.append(char(crc >> 8));
}

bool CrcOk(const QByteArray& frame) {
    const int n = int(frame.size());
    if (n < 4)
        return false;
    const auto* p = reinterpret_cast<const uint8_t*>(frame.constData());
    const uint16_t crc = Crc(p, n - 2);
    return p[n - 2] == (crc & 0xFF) && p[n - 1] == (crc >> 8);
}

int Word(const QByteArray& f, int at) {
    return (uint8_t(f[at]) << 8) | uint8_t(f[at + 1]);
}

bool RangeInside(int first, int count) {
    const int last = first + count - 1;
    return (first >= 0 && last < LowCount) || (first >= HighBase && last < HighBase + HighCount);
}

bool Touches(int first, int count, int lo, int hi) {
    return first <= hi && first + count - 1 >= lo;
}

int64_t SteadyMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

} // namespace

struct BoardModel::Impl {
    Options options;
    int address = 1;
    int frameIndex = 1;
    int baudCode = 9;

    std::array<uint16_t, LowCount> low{};
    std::array<uint16_t, HighCount> high{};
    std::array<std::array<uint8_t, 200>, TextPages> pages{};
    std::vector<QByteArray> graphics;

    // The clock runs from `clockBase` set at ticker time `clockSetAt`; a time that is not a
    // valid date stops it and the registers keep what was written.
    QDateTime clockBase;
    int64_t clockSetAt = 0;
    bool clockRunning = false;
    std::function<int64_t()> ticker = SteadyMs;

    Fault fault = Fault::None;
    int faultCount = -1;
    int delayMs = 100;
    uint8_t exceptionCode = 4;
    int lastDelay = 0;
    bool lastVanish = false;
    int faultAfter = 0;
    int faultRate = 0; // in 0.01 %
    int lateMs = 1100;
    std::mt19937 random;

    std::vector<QByteArray> requests;

    uint16_t& At(int reg) { return reg < LowCount ? low[size_t(reg)] : high[size_t(reg - HighBase)]; }

    void Factory() {
        address = options.address;
        frameIndex = options.frameIndex;
        baudCode = options.baudCode;
        low.fill(0);
        high.fill(0);
        const uint16_t head[] = {uint16_t(address), uint16_t(frameIndex), uint16_t(baudCode), 5, 1, 9};
        for (int i = 0; i < 6; ++i)
            At(4000 + i) = head[i];
        const uint16_t mid[] = {100, 50, 600, 2200, 414, 14, 0, 50, 100, 1, 100, 15};
        for (int i = 0; i < 12; ++i)
            At(4009 + i) = mid[i];
        At(4028) = 10;
        for (int k = 0; k <= 114; ++k)
            At(4029 + k) = uint16_t(k);
        At(RegStatus) = options.status;
        for (int d = 0; d < 5; ++d) {
            const uint16_t rec[] = {0, uint16_t(d + 1), 4000, 1, 1, 3, 1, 0, 3};
            for (int i = 0; i < 9; ++i)
                At(4300 + 9 * d + i) = rec[i];
        }
        graphics.assign(GraphicSlots, QByteArray(GraphicBytes, '\0'));
        SetClock(QDateTime::currentDateTime());
    }

    void SetClock(const QDateTime& now) {
        clockBase = QDateTime(now.date(), now.time());
        clockSetAt = ticker();
        clockRunning = now.isValid();
        UpdateClockRegisters();
    }

    void UpdateClockRegisters() {
        if (!clockRunning)
            return;
        const QDateTime t = clockBase.addMSecs(ticker() - clockSetAt);
        At(RegTime) = uint16_t(t.time().hour() * 100 + t.time().minute());
        At(RegYear) = uint16_t(t.date().year() % 100);
        At(RegDate) = uint16_t(t.date().month() * 100 + t.date().day());
    }

    // After a write of the clock registers: start the clock there, or stop it on nonsense.
    void ClockWritten() {
        const int hm = At(RegTime), md = At(RegDate);
        const QDate date(2000 + At(RegYear), md / 100, md % 100);
        const QTime time(hm / 100, hm % 100);
        if (date.isValid() && time.isValid() && At(RegYear) < 100) {
            clockBase = QDateTime(date, time);
            clockSetAt = ticker();
            clockRunning = true;
        } else {
            clockRunning = false;
        }
    }

    int Selector() const { return high[size_t(RegSelector - HighBase)]; }

    void LoadWindow() {
        const int p = Selector();
        if (p < 0 || p >= TextPages)
            return;
        for (int i = 0; i < WindowCount; ++i)
            At(RegWindow + i) =
                uint16_t((pages[size_t(p)][size_t(2 * i)] << 8) | pages[size_t(p)][size_t(2 * i + 1)]);
    }

    void StoreWindow() {
        const int p = Selector();
        if (p < 0 || p >= TextPages)
            return;
        for (int i = 0; i < WindowCount; ++i) {
            pages[size_t(p)][size_t(2 * i)] = uint8_t(At(RegWindow + i) >> 8);
            pages[size_t(p)][size_t(2 * i + 1)] = uint8_t(At(RegWindow + i) & 0xFF);
        }
    }

    static QByteArray Exception(uint8_t addr, uint8_t function, uint8_t code) {
        QByteArray r;
        r.append(char(addr));
        r.append(char(function | 0x80));
        r.append(char(code));
        AppendCrc(r);
        return r;
    }

    // `f` is the request without its CRC.
    QByteArray Read(const QByteArray& f) {
        const uint8_t addr = uint8_t(f[0]);
        if (f.size() != 6)
            return Exception(addr, 3, ExIllegalValue);
        const int first = Word(f, 2), count = Word(f, 4);
        if (count < 1 || count > MaxReadCount)
            return Exception(addr, 3, ExIllegalValue);
        if (!RangeInside(first, count))
            return Exception(addr, 3, ExIllegalAddress);
        if (Touches(first, count, RegTime, RegDate))
            UpdateClockRegisters();
        QByteArray r;
        r.append(char(addr));
        r.append(char(3));
        r.append(char(2 * count));
        for (int k = 0; k < count; ++k) {
            const uint16_t v = At(first + k);
            r.append(char(v >> 8));
            r.append(char(v & 0xFF));
        }
        AppendCrc(r);
        return r;
    }

    // Returns the reply; `linkChanged` tells that 4000..4002 were written.
    QByteArray Write(const QByteArray& f, bool& linkChanged) {
        const uint8_t addr = uint8_t(f[0]);
        if (f.size() < 7)
            return Exception(addr, 16, ExIllegalValue);
        const int first = Word(f, 2), count = Word(f, 4), bytes = uint8_t(f[6]);
        if (count < 1 || count > MaxWriteCount || bytes != 2 * count || f.size() != 7 + bytes)
            return Exception(addr, 16, ExIllegalValue);
        if (!RangeInside(first, count))
            return Exception(addr, 16, ExIllegalAddress);
        auto value = [&](int reg) { return uint16_t(Word(f, 7 + 2 * (reg - first))); };
        const int last = first + count - 1;

        // Values a board cannot take: refuse the whole request, store nothing.
        auto refused = [&](int reg, int lo, int hi) {
            return reg >= first && reg <= last && (value(reg) < lo || value(reg) > hi);
        };
        if (refused(RegAddress, frame::MinAddress, frame::MaxAddress) || refused(RegFrame, 0, 3) ||
            refused(RegBaud, 0, 9) || refused(RegSelector, 0, TextPages - 1))
            return Exception(addr, 16, ExIllegalValue);

        const bool clock = Touches(first, count, RegTime, RegDate);
        if (clock)
            UpdateClockRegisters(); // untouched clock registers keep running values
        // Selecting a page loads it into the window before any window values of the same
        // request land there, so "select then store" works in one frame.
        if (first <= RegSelector && last >= RegSelector) {
            At(RegSelector) = value(RegSelector);
            LoadWindow();
        }
        for (int reg = first; reg <= last; ++reg)
            At(reg) = value(reg);
        if (Touches(first, count, RegWindow, RegWindow + WindowCount - 1))
            StoreWindow();
        if (clock)
            ClockWritten();
        if (first < LowCount)
            StoreGraphics(first, last);
        linkChanged = Touches(first, count, RegAddress, RegBaud);

        QByteArray r = f.left(6);
        AppendCrc(r);
        return r;
    }

    // Register 0 names the slot; registers 1..600 carry its 1200 bytes, two per register.
    void StoreGraphics(int first, int last) {
        const int slot = low[0];
        if (slot >= GraphicSlots)
            return;
        QByteArray& g = graphics[size_t(slot)];
        for (int j = std::max(first, 1); j <= last; ++j) {
            g[2 * j - 2] = char(low[size_t(j)] >> 8);
            g[2 * j - 1] = char(low[size_t(j)] & 0xFF);
        }
    }

    QByteArray Identify(const QByteArray& f) {
        const uint8_t addr = uint8_t(f[0]);
        if (f.size() != 2)
            return Exception(addr, 17, ExIllegalValue);
        QByteArray r;
        r.append(char(addr));
        r.append(char(17));
        r.append(char(7)); // byte count of what follows up to the CRC
        r.append(char(frame::Kx9SlaveId));
        r.append(char(RunIndicator));
        r.append("KX9", 3);
        r.append(char(std::clamp(options.moduleColumns, 1, 256) - 1));
        r.append(char(std::clamp(options.moduleRows, 1, 256) - 1));
        AppendCrc(r);
        return r;
    }

    QByteArray ApplyFault(QByteArray reply) {
        if (fault == Fault::None || reply.isEmpty())
            return reply;
        const Fault f = fault;
        if (faultCount > 0 && --faultCount == 0)
            fault = Fault::None;
        switch (f) {
        case Fault::None:
        case Fault::Exception: // handled before the request is carried out
            break;
        case Fault::NoReply:
            return {};
        case Fault::BadCrc:
            reply[reply.size() - 1] = char(reply[reply.size() - 1] ^ 0xFF);
            reply[reply.size() - 2] = char(reply[reply.size() - 2] ^ 0x5A);
            break;
        case Fault::WrongAddress:
            reply.chop(2);
            reply[0] = char(address % frame::MaxAddress + 1);
            AppendCrc(reply);
            break;
        case Fault::CutShort:
            reply.truncate(std::max<qsizetype>(1, reply.size() / 2));
            break;
        case Fault::Delay:
            lastDelay = delayMs;
            break;
        case Fault::Flood: {
            const QByteArray once = reply;
            while (reply.size() < FloodBytes)
                reply += once;
            reply.truncate(FloodBytes);
            break;
        }
        case Fault::Vanish:
            lastVanish = true;
            return {};
        }
        return reply;
    }

    // Whether the fault set applies to this reply; the sound replies asked for go first.
    bool FaultDue() {
        if (faultRate > 0 && fault == Fault::None && int(random() % 10000) < faultRate) {
            static constexpr Fault Kinds[] = {Fault::NoReply,  Fault::BadCrc,    Fault::WrongAddress,
                                              Fault::CutShort, Fault::Exception, Fault::Delay,
                                              Fault::Flood,    Fault::Vanish};
            fault = Kinds[random() % std::size(Kinds)];
            faultCount = 1;
            exceptionCode = uint8_t(1 + random() % 4);
            delayMs = lateMs;
        }
        if (fault == Fault::None)
            return false;
        if (faultAfter > 0) {
            --faultAfter;
            return false;
        }
        return true;
    }
};

BoardModel::BoardModel() : BoardModel(Options{}) {}

BoardModel::BoardModel(const Options& options) : d(std::make_shared<Impl>()) {
    d->options = options;
    d->options.address = std::clamp(options.address, frame::MinAddress, frame::MaxAddress);
    d->options.frameIndex = std::clamp(options.frameIndex, 0, 3);
    d->options.baudCode = std::clamp(options.baudCode, 0, 9);
    d->Factory();
}

QByteArray BoardModel::Handle(const QByteArray& request) {
    d->requests.push_back(request);
    d->lastDelay = 0;
    d->lastVanish = false;
    if (request.size() < 4 || !CrcOk(request))
        return {};
    const uint8_t addr = uint8_t(request[0]);
    if (addr != d->address)
        return {};
    const QByteArray f = request.left(request.size() - 2);
    const uint8_t function = uint8_t(f[1]);

    const bool faulty = d->FaultDue();
    if (faulty && d->fault == Fault::Exception) {
        if (d->faultCount > 0 && --d->faultCount == 0)
            d->fault = Fault::None;
        return Impl::Exception(addr, function, d->exceptionCode);
    }

    bool linkChanged = false;
    QByteArray reply;
    switch (function) {
    case 3:
        reply = d->Read(f);
        break;
    case 16:
        reply = d->Write(f, linkChanged);
        break;
    case 17:
        reply = d->Identify(f);
        break;
    default:
        reply = Impl::Exception(addr, function, ExIllegalFunction);
        break;
    }
    if (faulty)
        reply = d->ApplyFault(reply);
    // The reply above still went out at the old settings; only now does the board switch.
    if (linkChanged) {
        d->address = d->At(RegAddress);
        d->frameIndex = d->At(RegFrame);
        d->baudCode = d->At(RegBaud);
    }
    return reply;
}

int BoardModel::Address() const {
    return d->address;
}
int BoardModel::FrameIndex() const {
    return d->frameIndex;
}
int BoardModel::BaudCode() const {
    return d->baudCode;
}

bool BoardModel::HasRegister(int reg) {
    return RangeInside(reg, 1);
}

uint16_t BoardModel::Holding(int reg) const {
    if (!HasRegister(reg))
        return 0;
    if (reg >= RegTime && reg <= RegDate)
        d->UpdateClockRegisters();
    return d->At(reg);
}

void BoardModel::SetHolding(int reg, uint16_t value) {
    if (!HasRegister(reg))
        return;
    d->At(reg) = value;
    if (reg >= RegTime && reg <= RegDate)
        d->ClockWritten();
    if (reg == RegSelector)
        d->LoadWindow();
    if (reg >= RegWindow && reg < RegWindow + WindowCount)
        d->StoreWindow();
}

const std::array<uint8_t, 200>& BoardModel::Page(int p) const {
    return d->pages[size_t(std::clamp(p, 0, TextPages - 1))];
}

void BoardModel::SetPage(int p, const std::array<uint8_t, 200>& bytes) {
    if (p < 0 || p >= TextPages)
        return;
    d->pages[size_t(p)] = bytes;
    if (d->Selector() == p)
        d->LoadWindow();
}

const std::vector<QByteArray>& BoardModel::GraphicPages() const {
    return d->graphics;
}

void BoardModel::SetClock(const QDateTime& now) {
    d->SetClock(now);
}

QDateTime BoardModel::Clock() const {
    return d->clockRunning ? d->clockBase.addMSecs(d->ticker() - d->clockSetAt) : QDateTime();
}

void BoardModel::SetTicker(std::function<int64_t()> monotonicMs) {
    if (!monotonicMs)
        monotonicMs = SteadyMs;
    const QDateTime current = d->clockBase.addMSecs(d->ticker() - d->clockSetAt);
    d->ticker = std::move(monotonicMs);
    if (d->clockRunning)
        d->SetClock(current);
}

void BoardModel::SetFault(Fault fault, int count) {
    d->fault = count == 0 ? Fault::None : fault;
    d->faultCount = count;
}

void BoardModel::SetFaultAfter(int replies) {
    d->faultAfter = std::max(0, replies);
}

void BoardModel::SetFaultRate(double percent, uint32_t seed, int lateMs) {
    d->faultRate = int(std::lround(std::clamp(percent, 0.0, 100.0) * 100));
    d->random.seed(seed);
    d->lateMs = std::max(0, lateMs);
}

BoardModel::Fault BoardModel::CurrentFault() const {
    return d->fault;
}
int BoardModel::DelayMs() const {
    return d->delayMs;
}
void BoardModel::SetDelayMs(int ms) {
    d->delayMs = std::max(0, ms);
}
uint8_t BoardModel::ExceptionCode() const {
    return d->exceptionCode;
}
void BoardModel::SetExceptionCode(uint8_t code) {
    d->exceptionCode = code;
}
int BoardModel::LastReplyDelayMs() const {
    return d->lastDelay;
}
bool BoardModel::LastReplyVanishes() const {
    return d->lastVanish;
}

const std::vector<QByteArray>& BoardModel::Requests() const {
    return d->requests;
}
void BoardModel::ClearRequests() {
    d->requests.clear();
}

} // namespace kx9
