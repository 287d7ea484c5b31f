// SPDX-License-Identifier: MIT
#include "Session.h"

#include "config/ConfigFile.h"

#include <QEventLoop>
#include <QThread>
#include <algorithm>

namespace kx9::cli {

bool LinePort::open(const QString& name, const LineSettings& line) {
    return m_port.open(m_path.isEmpty() ? name : m_path, line);
}

int LinePort::write(const uint8_t* data, int length) {
    const int written = m_port.write(data, length);
    ++requests;
    bytesOut += std::max(written, 0);
    return written;
}

int LinePort::read(uint8_t* buffer, int max) {
    const int got = m_port.read(buffer, max);
    bytesIn += std::max(got, 0);
    return got;
}

QString LinePort::deviceName(const QString& name) const {
    return m_path.isEmpty() ? m_port.deviceName(name) : QtSerialPort::DeviceFor(m_path);
}

Session::Session(SerialPort& port, Clock& clock, const Options& options, std::FILE* err)
    : options(options), progress(err, IsTerminal(err)), dialogs(err, progress), program(port, dialogs, clock),
      image(program.image) {
    program.progress.Attach(&progress);
    program.ops.SetStatusView(&status);
    status.clear = options.clear;
}

Session::~Session() {
    program.scheduler.Abandon();
}

void Session::UseDefaults() {
    image.ResetImage(program.clock.now());
    LoadDefaultFile(image);
    options.link.ApplyTo(image.link);
}

bool Session::UseFile(const QString& path) {
    // Everything comes from the file; a bad one leaves the image as it was.
    if (!ReadConfigFile(path, image))
        return false;
    options.link.ApplyTo(image.link);
    return true;
}

bool Session::Run(const std::function<bool()>& start, QTimer* chain, const std::function<void()>& tick) {
    const size_t failuresBefore = dialogs.failures.size();
    const bool started = start();
    if (started) {
        if (options.fast)
            DriveFast(chain, tick);
        else
            DriveTimers(chain);
    }
    const bool ok = started && !Failed();
    if (!ok && dialogs.failures.size() == failuresBefore)
        dialogs.Report(QStringLiteral("Błąd transmisji danych")); // a failure that showed no box
    return ok;
}

bool Session::Failed() const {
    return !dialogs.failures.empty() || program.scheduler.TransferError();
}

void Session::DriveTimers(QTimer* chain) {
    const Scheduler& s = program.scheduler;
    const auto done = [&] { return s.Idle() && !(chain && chain->isActive()); };
    if (done())
        return;
    // The program's own timers, as in the windows; this one only notices the end.
    QEventLoop loop;
    QTimer watch;
    watch.setTimerType(Qt::PreciseTimer);
    QObject::connect(&watch, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    watch.start(1);
    loop.exec();
}

void Session::DriveFast(QTimer* chain, const std::function<void()>& tick) {
    // The handlers run as their timers would, without waiting for the timers' ticks: a reply
    // is taken the moment it is whole and the next request goes out at once. The pauses the
    // board needs are taken inside the operations as always.
    Scheduler& s = program.scheduler;
    const QTimer* timeOut = s.findChild<QTimer*>(QStringLiteral("TimeOut"));
    const unsigned long pollUs = PollMicros();
    while (!s.Idle() || (chain && chain->isActive())) {
        if (s.PollActive())
            s.TestOdpowiedziTimer();
        if (s.TimeOutActive() && timeOut && timeOut->remainingTime() == 0)
            s.TimeOutTimer();
        if (s.SequencerActive())
            s.TransmisjaWrTimer();
        if (chain && chain->isActive() && tick)
            tick();
        if (s.ReplyEnd() > 0)
            QThread::usleep(pollUs);
    }
}

unsigned long Session::PollMicros() const {
    const LineSettings line = LineSettingsFor(image.link.FrameIndex, image.link.BaudIndex);
    const int bits = 1 + 8 + (line.parity == Parity::None ? 0 : 1) + line.stopBits;
    return std::max(250UL, static_cast<unsigned long>(1.5e6 * bits / line.baud));
}

} // namespace kx9::cli
