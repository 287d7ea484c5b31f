// SPDX-License-Identifier: MIT
#include "Transfers.h"

namespace kx9 {

bool Transfers::MayStart(const QString& operation) {
    if (!scheduler.Busy()) {
        // Also without a name: the details must not name a transfer that ended before.
        scheduler.SetOperationName(operation);
        return true;
    }
    dialogs.message(QStringLiteral("Trwa transmisja danych. Poczekaj na jej zakończenie i spróbuj ponownie."),
                    QStringLiteral("Uwaga"), MsgIcon::Information);
    return false;
}

bool Transfers::StartQuietly(const QString& operation) {
    if (scheduler.Busy())
        return false;
    scheduler.SetOperationName(operation);
    return true;
}

QMetaObject::Connection Transfers::WhenIdle(QObject* context, std::function<void()> run) const {
    // Queued: the end is noted deep inside the scheduler's own handlers.
    return QObject::connect(&scheduler, &Scheduler::idle, context, std::move(run), Qt::QueuedConnection);
}

bool Transfers::Single(Kind kind, int firstRegister, int count, const QString& operation) {
    if (!MayStart(operation) || !Send(kind, firstRegister, count, Port::Open))
        return false;
    CloseWhenIdle();
    return true;
}

bool Transfers::OpenPort() {
    return scheduler.OpenLink() == 1;
}

void Transfers::ClosePort() {
    if (image.link.PortOpen)
        scheduler.CloseLink();
}

namespace {

bool Opened(Transfers& t, Transfers::Port port) {
    switch (port) {
    case Transfers::Port::Open:
        return t.OpenPort();
    case Transfers::Port::OpenIfClosed:
        return t.image.link.PortOpen || t.OpenPort();
    case Transfers::Port::AsIs:
        break;
    }
    return true;
}

} // namespace

bool Transfers::Send(Kind kind, int firstRegister, int count, Port port) {
    if (!Opened(*this, port))
        return false;
    if (kind == Kind::Write)
        scheduler.SendWrite(firstRegister, count);
    else
        scheduler.SendRead(firstRegister, count);
    return true;
}

bool Transfers::SendWords(int firstRegister, int count, const int32_t* words, int size, Port port) {
    if (!Opened(*this, port))
        return false;
    scheduler.SendWriteFrom(firstRegister, count, words, size);
    return true;
}

bool Transfers::ReadActivePage() {
    return Send(Kind::Read, RegActivePage, 1, Port::OpenIfClosed);
}

void Transfers::StopFollowing() {
    if (!image.link.PortOpen)
        return;
    const PendingRequest& last = scheduler.Request();
    const bool activePageRead = last.function == 3 && last.firstRegister == RegActivePage && last.count == 1;
    if (scheduler.JobRunning() || scheduler.Claimed() || (ReplyAwaited() && !activePageRead))
        CloseWhenIdle();
    else
        scheduler.CloseLink();
}

void Transfers::ShowFromZero(const QString& title) {
    progress.SetProgress(0);
    progress.ShowProgress(title);
}

} // namespace kx9
