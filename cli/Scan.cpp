// SPDX-License-Identifier: MIT
#include "Scan.h"

#include "config/ConfigFile.h"

#include <QEventLoop>
#include <QJsonArray>
#include <QTimer>
#include <algorithm>

namespace kx9::cli {

namespace {

// How often the wait looks for Ctrl+C and the scan's end.
constexpr int LookMs = 10;

QString Where(const ScanPoint& p) {
    return QStringLiteral("Adres: %1, %2, %3")
        .arg(p.address)
        .arg(BaudText(p.baudIndex), QLatin1String(FrameNames[size_t(p.frameIndex)]));
}

} // namespace

QString ScanPlanText(const BoardScan& scan, int probeMs) {
    return QStringLiteral(
               "Szukanie tablicy%4: zapytań najwyżej %1, najdłużej %2, odpowiedź oczekiwana do %3 ms "
               "po zapytaniu")
        .arg(scan.Order().size())
        .arg(DurationText(scan.WorstCaseMs()))
        .arg(probeMs)
        .arg(scan.Network()
                 ? QStringLiteral(" na linii sieciowej (zmienia się tylko adres; prędkość i ramkę trzyma "
                                  "konwerter)")
                 : QString());
}

Outcome RunScan(Session& s) {
    const Options& o = s.options;
    // Settings that reach no board are what a scan is for: they are only left out of its order.
    s.UseDefaults();
    const LinkSettings& start = s.image.link;
    BoardScan::Plan plan;
    plan.first = {start.BoardAddress, start.BaudIndex, start.FrameIndex};
    if (!o.rates.empty())
        plan.rates = o.rates;
    if (!o.frames.empty())
        plan.frames = o.frames;
    plan.probeMs = o.probeMs.value_or(DefaultProbeMs);
    plan.all = o.all;

    BoardScan scan(s.program.scheduler, s.image, plan, &s.progress);
    QString text;
    scan.OnFound([&](const ScanFind& f) {
        const QString found = Where(f.at) + QLatin1Char('\n') + f.identification + QLatin1Char('\n');
        if (!s.printNow) {
            text += found;
            return;
        }
        s.progress.Interrupt();
        s.printNow(found);
    });
    s.progress.Interrupt();
    Print(stderr, QStringLiteral("kx9ctl: ") + ScanPlanText(scan, plan.probeMs) + QLatin1Char('\n'));
    const InterruptWatch ctrlC;
    // The scheduler's ticks drive the scan, as they do in the program.
    if (scan.Start()) {
        QEventLoop loop;
        QTimer look;
        QObject::connect(&look, &QTimer::timeout, &loop, [&] {
            if (InterruptWatch::Asked() || !scan.Running())
                loop.quit();
        });
        look.start(LookMs);
        loop.exec();
    }
    const bool interrupted = scan.Status() == BoardScan::State::Running;
    if (interrupted) {
        scan.Stop();
        s.dialogs.Report(QStringLiteral("Przerwano po %1 zapytaniach; znalezione urządzenia: %2")
                             .arg(scan.Probes())
                             .arg(scan.Found().size()));
    }

    if (scan.Status() == BoardScan::State::Failed) {
        if (scan.PortLost()) {
            const QString why = scan.FailureReason();
            s.dialogs.Report(QStringLiteral("Błąd transmisji danych") +
                             (why.isEmpty() ? QString() : QStringLiteral(": ") + why));
        }
        return {BoardFailed, {}, {}};
    }

    QJsonArray list;
    for (const ScanFind& f : scan.Found()) {
        list.append(QJsonObject{{"address", f.at.address},
                                {"baud", BaudRates[size_t(f.at.baudIndex)]},
                                {"frame", QLatin1String(FrameNames[size_t(f.at.frameIndex)])},
                                {"identification", f.identification},
                                {"kx9", f.kx9}});
    }
    QJsonObject json{{"found", list},
                     {"probes", scan.Probes()},
                     {"probeMs", plan.probeMs},
                     {"worstCaseSeconds", scan.WorstCaseMs() / 1000}};
    if (interrupted) {
        json["interrupted"] = true;
        return {Interrupted, text, json};
    }
    const ScanFind* board = scan.FirstKx9();
    if (!board) {
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
        QString path;
        if (!SaveDefaultFile(kept, &path)) {
            s.dialogs.Report(QStringLiteral("Nie można zapisać pliku: ") + path);
            return {BadUsage, text, json};
        }
        text += QStringLiteral("Zapisano w %1\n").arg(path);
        json["saved"] = true;
    }
    return {Done, text, json};
}

} // namespace kx9::cli
