// SPDX-License-Identifier: MIT
#pragma once

#include "link/Dialogs.h"

namespace kx9 {

// Message boxes and file dialogs of the real program.
class QtDialogs : public Dialogs {
public:
    void message(const QString& text, const QString& title, MsgIcon icon) override;
    void messageWithDetails(const QString& text, const QString& title, MsgIcon icon,
                            const QString& details) override;
    bool confirm(const QString& text, const QString& title, MsgIcon icon) override;
    bool ask(const QString& text, const QString& title) override;
    QString openFile(const QString& filter) override;
    QString saveFile(const QString& filter) override;
    QString openPicture() override;
};

} // namespace kx9
