// SPDX-License-Identifier: MIT
#pragma once

#include "CliOptions.h"
#include "Console.h"
#include "config/RegularFile.h"
#include "link/RoutedPort.h"
#include "ops/Program.h"
#include "ops/RequestChain.h"

#include <QTimer>
#include <cstdio>
#include <functional>

namespace kx9::cli {

// The real port, opened at any device path, by-id name or network line when one is given
// instead of COMn, counting what crosses it. COMn leads where it does in the program, the
// user's choice of device or network line included.
class LinePort : public SerialPort {
public:
    explicit LinePort(QString path = {});

    bool open(const QString& name, const LineSettings& line) override;
    void close() override { m_port.close(); }
    bool isOpen() const override { return m_port.isOpen(); }
    void purge() override { m_port.purge(); }
    int write(const uint8_t* data, int length) override;
    int bytesWaiting() override { return m_port.bytesWaiting(); }
    int read(uint8_t* buffer, int max) override;
    int peek(uint8_t* buffer, int max) override { return m_port.peek(buffer, max); }
    QString deviceName(const QString& name) const override;
    QString lastError() const override { return m_port.lastError(); }
    bool network() const override { return m_port.network(); }
    bool connecting() override { return m_port.connecting(); }
    QString noAnswerReason() const override { return m_port.noAnswerReason(); }
    void setTrace(Trace trace) override { m_port.setTrace(std::move(trace)); }

    int requests = 0;
    qint64 bytesOut = 0;
    qint64 bytesIn = 0;

private:
    PortMap m_map; // before the port, which uses it
    RoutedPort m_port;
    QString m_path;
};

// Why a configuration file cannot be used, as kx9ctl says it: missing, no regular file, or
// damaged (the program's own words).
QString InputFileText(const QString& path, FileProblem problem);
// Loads `path` into `image` when it is a good configuration file; else the reason, and the
// image stays as it was. Never opens anything but a regular file.
QString LoadConfig(const QString& path, ConfigImage& image);
// Why `path` cannot take an output file (empty when it can): kx9ctl writes only regular files
// or new ones, by rename.
QString OutputFileProblem(const QString& path);
// Why a configuration file cannot be written beside `path` now (no room, no permission), in
// the system's words; empty when it can.
QString OutputFolderProblem(const QString& path);
// "Nie można zapisać pliku: x.cfg (Permission denied)".
QString SaveFailureText(const QString& path, const QString& reason);

// Why a board cannot be reached at `link` (a rate or frame outside the tables, address 0 or
// above 247), as the failure's headline says it; empty when it can.
QString LinkProblem(const LinkSettings& link);
// The link a command's session goes out at: its configuration file's for write and verify,
// def.cfg's (or the built-in one) for the others, with the command line's settings over it.
LinkSettings PlannedLink(const Options& step);

// The PC's clock, adding up the pauses taken for the board.
class CountingClock : public Clock {
public:
    QDateTime now() const override { return m_clock.now(); }
    void pause(int ms) override {
        pausedMs += ms > 0 ? ms : 0;
        m_clock.pause(ms);
    }
    qint64 pausedMs = 0;

private:
    SystemClock m_clock;
};

// One run of kx9ctl: the program's image, link, scheduler and operations on the port and clock
// given, with boxes and the progress bar on `err`.
class Session {
public:
    Session(SerialPort& port, Clock& clock, const Options& options, std::FILE* err = stderr);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // def.cfg from the working folder (the built-in defaults without a good one), then the link
    // settings of the command line. False, after saying why, when def.cfg is no regular file or
    // the settings cannot reach a board (address 0, a rate or frame outside the tables).
    bool UseDefaults();
    // FILE.cfg, link settings included, then those of the command line. False, after saying
    // why, for a bad file (which changes nothing) or settings that cannot reach a board.
    bool UseFile(const QString& path);

    // `start` begins an operation and says whether it did; then the timers run until nothing
    // is left, `chain` (an operation's own request chain timer, ticking `tick`) included.
    // True when it started and ended without a failure.
    bool Run(const std::function<bool()>& start, QTimer* chain = nullptr,
             const std::function<void()>& tick = {});
    // `steps` as one request chain, `title` on the progress; `arrived` when it ran to its end.
    // True when it started and ended without a failure.
    bool RunChain(std::vector<ChainStep> steps, const QString& title, bool& arrived);
    // A failure was shown, or the last request failed or got no reply.
    bool Failed() const;

    // Text for stdout that a command gives as it goes (a scan's finds); null: it goes into the
    // command's result instead.
    std::function<void(const QString&)> printNow;

    const Options& options;
    TermProgress progress;
    CliDialogs dialogs;
    CliStatus status;
    Program program;
    ConfigImage& image;

private:
    // Settings a board cannot be reached at are named in the headline, not left to the open's
    // box about port names.
    bool LinkUsable();
    void DriveTimers(QTimer* chain);
    void DriveFast(QTimer* chain, const std::function<void()>& tick);
    // Half again a character time of the line in force: a reply that trickles in shows
    // growing between two polls.
    unsigned long PollMicros() const;
};

} // namespace kx9::cli
