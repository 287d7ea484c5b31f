// SPDX-License-Identifier: MIT
#include "BoardOps.h"

#include "config/Encodings.h"

namespace kx9 {

namespace {

// Opens the port for an operation whose failed open has a message of its own, after the link's.
bool OpenOrSay(Transfers& t, const QString& text, const QString& title, MsgIcon icon) {
    if (t.scheduler.OpenLink() == 1)
        return true;
    t.dialogs.message(text, title, icon);
    return false;
}

} // namespace

BoardOperations::BoardOperations(Transfers& transfers, ModbusLink& link)
    : m_t(transfers), m_wholeRead(transfers),
      m_wholeWrite(
          transfers, [this] { return ClockWrite(true); }, [this] { return SlaveWrite(); }),
      m_pagesRead(transfers), m_pagesWrite(transfers), m_linkChange(transfers, link),
      m_status(transfers.scheduler, *this) {}

bool BoardOperations::StartIdentification() {
    Scheduler& s = m_t.scheduler;
    if (!m_t.MayStart(QStringLiteral("Identyfikacja")) || s.OpenLink() != 1)
        return false;
    // No watchdog: the reply or the time-out closes the port.
    s.SendIdentify();
    return true;
}

bool BoardOperations::StartStatusRead() {
    Scheduler& s = m_t.scheduler;
    if (!m_t.MayStart(QStringLiteral("Odczyt Statusu")))
        return false;
    if (!OpenOrSay(m_t, QStringLiteral("Odczyt Statusu nie powiódł się"), QStringLiteral("Błąd"),
                   MsgIcon::Error))
        return false;
    s.SendRead(RegStatus, 1);
    s.StartJob(m_status);
    return true;
}

Job::StepResult BoardOperations::StatusJob::Step() {
    // Done before the window shows: its modal loop keeps the sequencer ticking.
    m_s.EndJob();
    m_ops.ShowStatus();
    return StepResult::Finished;
}

void BoardOperations::ShowStatus() {
    ConfigImage& image = m_t.image;
    const int32_t before = image.Reg(RegStatus);
    if (!m_statusView)
        return;
    const int32_t after = m_statusView->ShowStatus(static_cast<uint16_t>(before));
    if (after == before)
        return;
    image.SetReg(RegStatus, after);
    m_t.scheduler.SetOperationName(QStringLiteral("Zapis Statusu"));
    WatchedWrite(RegStatus, 1);
}

bool BoardOperations::StartConfigRead() {
    Scheduler& s = m_t.scheduler;
    if (!m_t.MayStart(QStringLiteral("Odczyt Konfiguracji")))
        return false;
    if (!OpenOrSay(m_t, QStringLiteral("Odczyt konfiguracji nie powiódł się."),
                   QStringLiteral("Błąd odczytu konfiguracji"), MsgIcon::Error))
        return false;
    m_wholeRead.Begin();
    s.StartJob(m_wholeRead);
    return true;
}

bool BoardOperations::StartConfigWrite() {
    Scheduler& s = m_t.scheduler;
    if (!m_t.MayStart(QStringLiteral("Zapis Konfiguracji")))
        return false;
    if (!OpenOrSay(m_t, QStringLiteral("Transmisja niemożliwa"), QStringLiteral("Błąd"),
                   MsgIcon::Information))
        return false;
    m_wholeWrite.Begin();
    s.StartJob(m_wholeWrite);
    return true;
}

bool BoardOperations::StartPagesRead() {
    if (!m_t.MayStart(QStringLiteral("Odczyt Stron Tekstowych")) || !m_pagesRead.Begin())
        return false;
    m_t.scheduler.StartJob(m_pagesRead);
    return true;
}

bool BoardOperations::StartPagesWrite() {
    if (!m_t.MayStart(QStringLiteral("Zapis Stron Tekstowych")) || !m_pagesWrite.Begin())
        return false;
    m_t.scheduler.StartJob(m_pagesWrite);
    return true;
}

bool BoardOperations::StartLinkChange() {
    if (!m_t.MayStart(QStringLiteral("Zmiana parametrów transmisji")) || !m_linkChange.Begin())
        return false;
    m_t.scheduler.StartJob(m_linkChange);
    return true;
}

bool BoardOperations::StartClockRead() {
    Scheduler& s = m_t.scheduler;
    if (!m_t.MayStart(QStringLiteral("Odczyt Zegara")))
        return false;
    // With the port closed nothing goes out and the next tick drops the job.
    s.OpenLink();
    s.SendRead(RegClockTime, 3);
    s.StartJob(m_clockRead);
    return true;
}

bool BoardOperations::StartClockWrite(bool takePcTime, const QString& operation) {
    const QString name = operation.isEmpty() ? QStringLiteral("Zapis Zegara") : operation;
    return m_t.MayStart(name) && ClockWrite(takePcTime);
}

bool BoardOperations::ClockWrite(bool takePcTime) {
    const QDateTime now = m_t.clock.now();
    if (m_t.scheduler.OpenLink() != 1)
        return false;
    if (takePcTime) {
        const ClockRegisters clock = EncodeClock(now);
        m_t.image.SetReg(RegClockTime, clock.time);
        m_t.image.SetReg(RegClockYear, clock.year);
        m_t.image.SetReg(RegClockDate, clock.date);
    }
    m_t.scheduler.SendWrite(RegClockTime, 3);
    m_t.scheduler.EnableWatchdog();
    return true;
}

bool BoardOperations::StartTimeDisplayRead() {
    Scheduler& s = m_t.scheduler;
    if (!m_t.MayStart(QStringLiteral("Odczyt Wyświetlania Czasu")))
        return false;
    s.OpenLink();
    s.SendRead(RegTimePosition, 4);
    s.EnableWatchdog();
    return true;
}

bool BoardOperations::StartTimeDisplayWrite() {
    return m_t.MayStart(QStringLiteral("Zapis Wyświetlania Czasu")) && WatchedWrite(RegTimePosition, 4);
}

bool BoardOperations::StartSlaveWrite() {
    return m_t.MayStart(QStringLiteral("Zapis Konfiguracji Slave")) && SlaveWrite();
}

bool BoardOperations::SlaveWrite() {
    return WatchedWrite(SlaveBase, SlaveCount);
}

bool BoardOperations::WatchedWrite(int first, int count) {
    Scheduler& s = m_t.scheduler;
    if (s.OpenLink() != 1)
        return false;
    s.SendWrite(first, count);
    s.EnableWatchdog();
    return true;
}

} // namespace kx9
