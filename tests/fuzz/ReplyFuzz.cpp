// SPDX-License-Identifier: MIT
// Replies from the line, checked and stored as the program does: the first bytes choose the
// request in flight, the rest arrive as its reply.
#include "board/SimPort.h"
#include "common/TestSeams.h"
#include "link/Modbus.h"
#include "link/ReplyCheck.h"
#include "link/Transfer.h"

#include <QCoreApplication>
#include <cstdlib>
#include <cstring>

using namespace kx9;

namespace {

// A port whose only input is what the fuzzer gives.
class FeedPort : public SerialPort {
public:
    bool open(const QString&, const LineSettings&) override { return m_open = true; }
    void close() override { m_open = false; }
    bool isOpen() const override { return m_open; }
    void purge() override {}
    int write(const uint8_t*, int length) override { return m_open ? length : 0; }
    int bytesWaiting() override { return m_open ? int(input.size()) : 0; }
    int read(uint8_t* buffer, int max) override { return take(buffer, max, true); }
    int peek(uint8_t* buffer, int max) override { return take(buffer, max, false); }
    QByteArray input;

private:
    int take(uint8_t* buffer, int max, bool remove) {
        const int n = m_open ? std::min(max, int(input.size())) : 0;
        std::memcpy(buffer, input.constData(), size_t(n));
        if (remove)
            input.remove(0, n);
        return n;
    }
    bool m_open = false;
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    new QCoreApplication(*argc, *argv); // the scheduler's timers need one
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4)
        return 0;
    static constexpr int Functions[] = {3, 16, 17};
    const int function = Functions[data[0] % 3];
    const int first = 4000 + (data[1] | (data[2] << 8)) % 400;
    const int count = 1 + data[3] % 127;
    const QByteArray reply(reinterpret_cast<const char*>(data + 4), int(size - 4));

    // The check alone: an accepted reply is exactly what the request awaits.
    const PendingRequest request{1, function, first, count};
    const auto* bytes = reinterpret_cast<const uint8_t*>(reply.constData());
    const LinkFailure verdict = MatchReply(request, bytes, int(reply.size()));
    const int awaited = AwaitedReplyLength(request);
    if (!verdict.Failed() && awaited > 0 && reply.size() != awaited)
        std::abort();
    if (ExceptionCodeOf(request, bytes, int(reply.size())) != 0 && reply.size() == 5 &&
        verdict.cause != LinkFailure::Cause::Exception)
        std::abort();
    DescribeCause(verdict);

    // Through the scheduler: nothing outside the registers asked for may change.
    test::FakeClock clock;
    test::RecordingDialogs dialogs;
    FeedPort port;
    ConfigImage image;
    image.main.fill(0x5A5A);
    image.slave.fill(0x5A5A);
    ModbusLink link(image, port, dialogs, clock);
    Scheduler scheduler(image, link, dialogs);
    if (scheduler.OpenLink() != 1)
        std::abort();
    switch (function) {
    case 3:
        scheduler.SendRead(first, count);
        break;
    case 16:
        scheduler.SendWrite(first, count);
        break;
    default:
        scheduler.SendIdentify();
        break;
    }
    port.input = reply;
    scheduler.TestOdpowiedziTimer();
    scheduler.TestOdpowiedziTimer();
    if (scheduler.ReplyEnd() != 0)
        scheduler.TimeOutTimer();
    for (int r = MainBase; r < SlaveBase + SlaveCount; ++r) {
        const bool asked = function == 3 && r >= first && r < first + count;
        if (ConfigImage::HasRegister(r) && !asked && image.Reg(r) != 0x5A5A)
            std::abort();
    }
    scheduler.Abandon();
    return 0;
}
