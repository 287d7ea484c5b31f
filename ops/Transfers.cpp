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

bool Transfers::Single(Kind kind, int firstRegister, int count, const QString& operation) {
    if (!MayStart(operation) || scheduler.OpenLink() != 1)
        return false;
    if (kind == Kind::Write)
        scheduler.SendWrite(firstRegister, count);
    else
        scheduler.SendRead(firstRegister, count);
    scheduler.EnableWatchdog();
    return true;
}

void Transfers::ShowFromZero(const QString& title) {
    progress.SetProgress(0);
    progress.ShowProgress(title);
}

} // namespace kx9
