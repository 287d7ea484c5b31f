// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

namespace kx9 {

enum class MsgIcon { None, Information, Warning, Error, Question };

// Every modal box and file dialog goes through here, so tests can record and answer them.
class Dialogs {
public:
    virtual ~Dialogs() = default;
    // Modal message box with no owner and an OK button.
    virtual void message(const QString& text, const QString& title, MsgIcon icon) = 0;
    // The same box with a details text (what happened, in full) behind its "details" button.
    // A seam that has no place for details shows the box alone.
    virtual void messageWithDetails(const QString& text, const QString& title, MsgIcon icon,
                                    const QString& details) {
        Q_UNUSED(details);
        message(text, title, icon);
    }
    // OK / Cancel confirmation; true for OK.
    virtual bool confirm(const QString& text, const QString& title, MsgIcon icon) = 0;
    // "Tak" / "Nie" question with "Nie" the default; true for "Tak".
    virtual bool ask(const QString& text, const QString& title) {
        return confirm(text, title, MsgIcon::Question);
    }
    // File dialogs; an empty result means cancelled. `filter` in Qt form, e.g. "KX9 Konfig (*.cfg)".
    virtual QString openFile(const QString& filter) = 0;
    virtual QString saveFile(const QString& filter) = 0;
    virtual QString openPicture() = 0;
};

} // namespace kx9
