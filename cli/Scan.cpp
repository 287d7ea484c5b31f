// SPDX-License-Identifier: MIT
#include "Scan.h"

#include "config/ConfigFile.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QThread>
#include <algorithm>
#include <set>
#include <tuple>

namespace kx9::cli {

namespace {

constexpr int FirstAddress = 1;
constexpr int LastAddress = 247;
constexpr int RequestBytes = 4;   // address, 17, CRC
constexpr int KX9ReplyBytes = 12; // what a KX9 board answers to it
constexpr int OpenPauseMs = 200;  // every open of the link waits that long
constexpr unsigned long PollMicros = 200;

double CharMs(int baudIndex, int frameIndex) {
    const LineSettings line = LineSettingsFor(frameIndex, baudIndex);
    const int bits = 1 + 8 + (line.parity == Parity::None ? 0 : 1) + line.stopBits;
    return 1000.0 * bits / line.baud;
}

// Default order: the fastest rates first, as their probes are the shortest; the board's own
// frame first.
std::vector<int> AllRates() {
    return {7, 6, 5, 4, 3, 2, 1, 0};
}
std::vector<int> AllFrames() {
    return {1, 0, 2, 3};
}

bool Listed(const std::vector<int>& list, int value) {
    return std::find(list.begin(), list.end(), value) != list.end();
}

QString Where(const ScanPoint& p) {
    return QStringLiteral("Adres: %1, %2, %3")
        .arg(p.address)
        .arg(BaudText(p.baudIndex), QLatin1String(FrameNames[size_t(p.frameIndex)]));
}

struct Found {
    ScanPoint at;
    QString identification;
    bool kx9 = false;
};

// Sends one identification request at the link's settings and waits for its reply; the
// reply when a whole one came.
std::optional<Found> Probe(ModbusLink& link, const ScanPoint& p) {
    const double windowMs = ProbeWindowMs(p.baudIndex, p.frameIndex);
    // Once bytes come, the reply has ended when the line stays quiet for 3.5 characters.
    const double quietMs = std::max(3.5 * CharMs(p.baudIndex, p.frameIndex), 2.0);
    const double capMs = windowMs + frame::BufferSize * CharMs(p.baudIndex, p.frameIndex);
    QElapsedTimer clock;
    clock.start();
    link.Send(link.BuildIdentifyRequest(p.address));
    int seen = 0;
    double lastChange = 0;
    for (;;) {
        const int waiting = link.BytesWaiting();
        const double now = clock.nsecsElapsed() / 1e6;
        if (waiting != seen) {
            seen = waiting;
            lastChange = now;
        }
        if ((seen > 0 && now - lastChange >= quietMs) || (seen == 0 && now >= windowMs) || now >= capMs ||
            !link.IsOpen)
            break;
        QThread::usleep(PollMicros);
    }
    if (seen == 0 || link.CheckAnswer({p.address, 17, 0, 0}).Failed())
        return std::nullopt;
    return Found{p, link.DescribeIdentification(), Kx9Answered(link)};
}

} // namespace

std::vector<ScanPoint> ScanOrder(const ScanPoint& first, const std::vector<int>& rates,
                                 const std::vector<int>& frames) {
    std::vector<ScanPoint> order;
    std::set<std::tuple<int, int, int>> taken;
    const auto add = [&](const ScanPoint& p) {
        const bool valid = p.address >= FirstAddress && p.address <= LastAddress &&
                           Listed(rates, p.baudIndex) && Listed(frames, p.frameIndex);
        if (valid && taken.insert({p.address, p.baudIndex, p.frameIndex}).second)
            order.push_back(p);
    };
    add(first);
    add(BoardDefaults);
    for (int rate : rates)
        for (int frame : frames)
            for (int address = FirstAddress; address <= LastAddress; ++address)
                add({address, rate, frame});
    return order;
}

double ProbeWindowMs(int baudIndex, int frameIndex) {
    return (RequestBytes + KX9ReplyBytes + 3.5) * CharMs(baudIndex, frameIndex) + ProbeTurnaroundMs;
}

double ScanWorstCaseMs(const std::vector<int>& rates, const std::vector<int>& frames) {
    double ms = 0;
    for (int rate : rates)
        for (int frame : frames)
            ms += OpenPauseMs + (LastAddress - FirstAddress + 1) * ProbeWindowMs(rate, frame);
    return ms;
}

Outcome RunScan(Session& s) {
    const Options& o = s.options;
    s.UseDefaults();
    const LinkSettings start = s.image.link;
    const std::vector<int> rates = o.rates.empty() ? AllRates() : o.rates;
    const std::vector<int> frames = o.frames.empty() ? AllFrames() : o.frames;
    const std::vector<ScanPoint> order =
        ScanOrder({start.BoardAddress, start.BaudIndex, start.FrameIndex}, rates, frames);

    ModbusLink& link = s.program.link;
    LinkSettings& settings = s.image.link;
    std::vector<Found> found;
    std::optional<ScanPoint> open;
    int probes = 0;
    for (const ScanPoint& p : order) {
        settings.BoardAddress = uint8_t(p.address);
        if (!open || open->baudIndex != p.baudIndex || open->frameIndex != p.frameIndex) {
            s.progress.ShowProgress(
                QStringLiteral("Szukanie tablicy: %1 %2")
                    .arg(BaudText(p.baudIndex), QLatin1String(FrameNames[size_t(p.frameIndex)])));
            if (link.Open(settings.PortIndex, p.frameIndex, p.baudIndex) != 1) {
                s.progress.HideProgress();
                return {BoardFailed, {}, {}};
            }
            open = p;
        }
        s.progress.SetProgress(probes * 100 / int(order.size()));
        ++probes;
        const std::optional<Found> answer = Probe(link, p);
        if (!link.IsOpen) {
            s.progress.HideProgress();
            const QString why = s.program.port.lastError();
            s.dialogs.Report(QStringLiteral("Błąd transmisji danych") +
                             (why.isEmpty() ? QString() : QStringLiteral(": ") + why));
            return {BoardFailed, {}, {}};
        }
        if (!answer)
            continue;
        found.push_back(*answer);
        if (answer->kx9 && !o.all)
            break;
    }
    link.Close();
    s.progress.HideProgress();
    // The scan changed the address, rate and frame in use; they were only tried.
    settings = start;

    QString text;
    QJsonArray list;
    for (const Found& f : found) {
        text += Where(f.at) + QLatin1Char('\n') + f.identification + QLatin1Char('\n');
        list.append(QJsonObject{{"address", f.at.address},
                                {"baud", BaudRates[size_t(f.at.baudIndex)]},
                                {"frame", QLatin1String(FrameNames[size_t(f.at.frameIndex)])},
                                {"identification", f.identification},
                                {"kx9", f.kx9}});
    }
    QJsonObject json{{"found", list}, {"probes", probes}};
    const auto board = std::find_if(found.begin(), found.end(), [](const Found& f) { return f.kx9; });
    if (board == found.end()) {
        s.dialogs.Report(QStringLiteral("Nie znaleziono tablicy KX9"));
        return {BoardFailed, text, json};
    }
    if (o.save) {
        ConfigImage kept;
        kept.ResetImage(s.program.clock.now());
        LoadDefaultFile(kept);
        o.link.ApplyTo(kept.link);
        kept.link.BoardAddress = uint8_t(board->at.address);
        kept.link.BaudIndex = uint8_t(board->at.baudIndex);
        kept.link.FrameIndex = uint8_t(board->at.frameIndex);
        if (!SaveDefaultFile(kept)) {
            s.dialogs.Report(QStringLiteral("Nie można zapisać pliku: ") + QLatin1String(DefaultFileName));
            return {BadUsage, text, json};
        }
        text += QStringLiteral("Zapisano w %1\n").arg(QLatin1String(DefaultFileName));
        json["saved"] = true;
    }
    return {Done, text, json};
}

} // namespace kx9::cli
