// SPDX-License-Identifier: MIT
#pragma once

#include "Views.h"
#include "config/Clock.h"
#include "config/ConfigImage.h"
#include "link/Dialogs.h"
#include "link/Transfer.h"

#include <QObject>
#include <cstdint>
#include <functional>

namespace kx9 {

// What every transfer of the program goes through: the one scheduler, the rule that only one
// transfer runs at a time, and the progress window.
class Transfers {
public:
    Transfers(ConfigImage& image, Scheduler& scheduler, Dialogs& dialogs, Clock& clock,
              ProgressView& progress)
        : image(image), scheduler(scheduler), dialogs(dialogs), clock(clock), progress(progress) {}

    // True when no other transfer runs; `operation` then names it for the details of a failure
    // box (none: the details name the request). Otherwise the operator is told so, nothing
    // starts, and the one running keeps its name.
    bool MayStart(const QString& operation = QString());
    // The same without a word: false while another transfer runs.
    bool StartQuietly(const QString& operation);
    bool Busy() const { return scheduler.Busy(); }
    // Runs `run` (queued, in `context`) each time the last transfer ends.
    QMetaObject::Connection WhenIdle(QObject* context, std::function<void()> run) const;

    // One request that the watchdog closes after (the editors' single reads and writes):
    // refused while another transfer runs; false when refused or the port did not open.
    // `operation` is the window's name for it.
    enum class Kind { Read, Write };
    bool Single(Kind kind, int firstRegister, int count, const QString& operation = QString());

    // A window's own requests, for the transfers it runs itself. How a request treats the port
    // first: opened afresh (the watchdog may have closed it since the last one), opened only
    // when closed, or used as it stands.
    enum class Port { Open, OpenIfClosed, AsIs };
    // False when the port did not open (after its message). A write sends the image's values.
    bool Send(Kind kind, int firstRegister, int count, Port port);
    // A write of registers first..first+count-1 of `words` (size of them), not of the image.
    bool SendWords(int firstRegister, int count, const int32_t* words, int size, Port port);
    bool OpenPort();
    // Closed now, when open.
    void ClosePort();
    // The watchdog closes the port once nothing is left to do.
    void CloseWhenIdle() { scheduler.EnableWatchdog(); }
    // The last request failed (its message shown, the port closed); cleared at a new start.
    bool Failed() const { return scheduler.TransferError(); }
    void ClearFailure() { scheduler.ClearTransferError(); }
    bool ReplyAwaited() const { return scheduler.ReplyEnd() != 0; }

    // Following the board's active page, one read of it (the port opened when closed; false
    // when it did not open), and the end of following: the port closes now unless another
    // transfer uses it (anything but a read of the active page in flight), which the watchdog
    // then closes it after.
    bool ReadActivePage();
    void StopFollowing();

    // What is about to leave the program, and so what the shown windows store for it:
    // - Everything (a whole write, a saved file): every shown window stores what it shows; the
    //   first refusal (after its message) stops it, and nothing may go out;
    // - Pages (a page write): only the text pages are stored; no other window is asked;
    // - AtExit (the program ends): every shown window stores what passes its checks, leaves a
    //   refused field out without a word, and hides; nothing is refused.
    enum class Leaving { Everything, Pages, AtExit };
    std::function<bool(Leaving)> storeShown;
    bool StoreShown(Leaving what = Leaving::Everything) const { return !storeShown || storeShown(what); }
    // The same before a write to the board; while another transfer runs the write is refused
    // with its own message, and nothing is stored for it.
    bool StoreShownBeforeWrite(Leaving what = Leaving::Everything) const {
        return Busy() || StoreShown(what);
    }

    // The progress window from nothing, with `title` (empty keeps the one shown).
    void ShowFromZero(const QString& title);

    ConfigImage& image;
    Scheduler& scheduler;
    Dialogs& dialogs;
    Clock& clock;
    ProgressView& progress;
};

} // namespace kx9
