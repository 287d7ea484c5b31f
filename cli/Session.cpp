// SPDX-License-Identifier: MIT
#include "Session.h"

#include "config/ConfigFile.h"
#include "config/SettingsFiles.h"

#include <QEventLoop>
#include <QThread>
#include <algorithm>

namespace kx9::cli {

LinePort::LinePort(QString path) : m_map(PortMap::UserFile()), m_port(m_map), m_path(std::move(path)) {
    m_map.Load();
}

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
    return m_port.deviceName(m_path.isEmpty() ? name : m_path);
}

QString InputFileText(const QString& path, FileProblem problem) {
    switch (problem) {
    case FileProblem::None:
        break;
    case FileProblem::Missing:
        return QStringLiteral("Błąd otwarcia pliku: Nie ma takiego pliku: ") + path;
    case FileProblem::NotRegular:
        return QStringLiteral(
                   "Błąd otwarcia pliku: To nie jest zwykły plik (folder, potok lub urządzenie): ") +
               path;
    case FileProblem::Unreadable:
        return QStringLiteral("Błąd otwarcia pliku: Nie można odczytać pliku: ") + path;
    case FileProblem::TooLarge:
        break; // no configuration file is that large: the damaged-file words say it
    }
    return QStringLiteral("Błąd otwarcia pliku: Plik jest uszkodzony lub wskazany plik nie jest plikiem "
                          "konfiguracyjnym KX9: ") +
           path;
}

QString LoadConfig(const QString& path, ConfigImage& image) {
    FileProblem problem = FileProblem::None;
    const std::optional<QByteArray> bytes = ReadRegularFile(path, ConfigFileSize, &problem);
    if (!bytes)
        return InputFileText(path, problem);
    if (!DecodeConfigFile(*bytes, image))
        return InputFileText(path, FileProblem::TooLarge);
    return {};
}

QString OutputFileProblem(const QString& path) {
    switch (CheckOutputFile(path)) {
    case FileProblem::None:
        return {};
    case FileProblem::NotRegular:
        return QStringLiteral(
                   "Nie można zapisać pliku: to nie jest zwykły plik (folder, potok lub urządzenie): ") +
               path;
    default:
        return QStringLiteral("Nie można zapisać pliku: nie ma takiego folderu: ") + path;
    }
}

QString OutputFolderProblem(const QString& path) {
    const QString reason = FolderWriteProblem(path, ConfigFileSize);
    return reason.isEmpty() ? QString() : SaveFailureText(path, reason);
}

QString SaveFailureText(const QString& path, const QString& reason) {
    QString text = QStringLiteral("Nie można zapisać pliku: ") + path;
    if (!reason.isEmpty())
        text += QStringLiteral(" (") + reason + QLatin1Char(')');
    return text;
}

Session::Session(SerialPort& port, Clock& clock, const Options& options, std::FILE* err)
    : options(options), progress(err, IsTerminal(err)), dialogs(err, progress), program(port, dialogs, clock),
      image(program.image) {
    program.progress.Attach(&progress);
    program.ops.SetStatusView(&status);
    status.clear = options.clear;
    dialogs.portGiven = options.link.portPath;
}

Session::~Session() {
    program.scheduler.Abandon();
}

bool Session::UseDefaults() {
    image.ResetImage(program.clock.now());
    const QString defaults = SettingsFileToRead(DefaultFileName);
    // A missing or damaged def.cfg leaves the defaults, as in the program; a pipe or a device
    // of that name is never opened (it would block) and is said.
    const FileProblem problem = CheckInputFile(defaults, ConfigFileSize);
    if (problem == FileProblem::NotRegular) {
        dialogs.Report(InputFileText(defaults, problem));
        return false;
    }
    if (problem == FileProblem::None)
        LoadConfig(defaults, image);
    options.link.ApplyTo(image.link);
    return LinkUsable();
}

bool Session::UseFile(const QString& path) {
    // Everything comes from the file; a bad one leaves the image as it was.
    if (const QString why = LoadConfig(path, image); !why.isEmpty()) {
        dialogs.Report(why);
        return false;
    }
    options.link.ApplyTo(image.link);
    return LinkUsable();
}

namespace {

// Why a board cannot be reached at `link`, with the cause the details name.
QString LinkRefusal(const LinkSettings& link, LinkFailure* failure) {
    using C = LinkFailure::Cause;
    LinkFailure refusal;
    QString headline;
    if (link.FrameIndex >= FrameNames.size()) {
        refusal = LinkFailure::Of(C::BadFrame, link.FrameIndex);
        headline = QStringLiteral("Ramka transmisji spoza tabeli (nr %1)").arg(link.FrameIndex);
    } else if (link.BaudIndex >= BaudRates.size()) {
        refusal = LinkFailure::Of(C::BadBaud, link.BaudIndex);
        headline = QStringLiteral("Prędkość transmisji spoza tabeli (nr %1)").arg(link.BaudIndex);
    } else if (link.BoardAddress < frame::MinAddress || link.BoardAddress > frame::MaxAddress) {
        refusal = LinkFailure::Of(C::BadAddress, link.BoardAddress);
        headline =
            link.BoardAddress == 0
                ? QStringLiteral("Adres tablicy 0 jest niedozwolony: adres 0 to rozgłoszenie do wszystkich "
                                 "urządzeń")
                : QStringLiteral("Adres tablicy %1 spoza zakresu 1..247").arg(link.BoardAddress);
    }
    if (failure)
        *failure = refusal;
    return headline;
}

} // namespace

QString LinkProblem(const LinkSettings& link) {
    return LinkRefusal(link, nullptr);
}

LinkSettings PlannedLink(const Options& step) {
    ConfigImage image;
    image.ResetImage(QDateTime::currentDateTime());
    const bool fromFile = RowOf(step.command).link == LinkFrom::File && !step.args.isEmpty();
    const QString file = fromFile ? step.args[0] : SettingsFileToRead(DefaultFileName);
    if (CheckInputFile(file, ConfigFileSize) == FileProblem::None)
        LoadConfig(file, image);
    step.link.ApplyTo(image.link);
    return image.link;
}

bool Session::LinkUsable() {
    const LinkSettings& link = image.link;
    LinkFailure refusal;
    const QString headline = LinkRefusal(link, &refusal);
    if (headline.isEmpty())
        return true;
    FailureReport report;
    report.port =
        options.link.portPath.isEmpty() ? ModbusLink::PortName(link.PortIndex) : options.link.portPath;
    report.device = program.port.deviceName(ModbusLink::PortName(link.PortIndex));
    if (!options.link.portPath.isEmpty())
        report.device = report.port;
    report.address = link.BoardAddress;
    report.frameIndex = link.FrameIndex;
    report.baudIndex = link.BaudIndex;
    report.failure = refusal;
    dialogs.messageWithDetails(headline, QStringLiteral("Błąd ustawień połączenia"), MsgIcon::Error,
                               FailureDetails(report));
    return false;
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

bool Session::RunChain(std::vector<ChainStep> steps, const QString& title, bool& arrived) {
    constexpr int ChainTickMs = 20;
    Transfers& t = program.transfers;
    QTimer timer;
    timer.setInterval(ChainTickMs);
    timer.setTimerType(Qt::PreciseTimer);
    RequestChain chain(t, timer);
    QObject::connect(&timer, &QTimer::timeout, [&] { chain.Tick(); });
    arrived = false;
    return Run(
        [&] {
            if (!chain.Start(std::move(steps), [&] {
                    arrived = true;
                    t.scheduler.CloseLink();
                    t.progress.HideProgress();
                }))
                return false;
            t.ShowFromZero(title);
            return true;
        },
        &timer, [&] { chain.Tick(); });
}

bool Session::Failed() const {
    // Done means arrived: the last request's reply must have been matched, not merely waited for.
    return !dialogs.failures.empty() || program.scheduler.TransferError() ||
           program.scheduler.LastFailure().Failed();
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
