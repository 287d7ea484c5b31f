// SPDX-License-Identifier: MIT
#pragma once

#include <QDialog>
#include <QEvent>
#include <QHideEvent>

namespace kx9 {

// An editor window: it refreshes its controls when it is activated (which is also how values
// just read appear once the progress window hides) and stores them when it is hidden; a
// minimised window is not hidden in that sense.
class EditorWindow : public QDialog {
public:
    virtual void FormActivate() = 0;
    virtual void FormHide() = 0;

protected:
    bool event(QEvent* event) override {
        if (event->type() == QEvent::WindowActivate)
            FormActivate();
        return QDialog::event(event);
    }
    void hideEvent(QHideEvent* event) override {
        QDialog::hideEvent(event);
        if (!event->spontaneous())
            FormHide();
    }
};

} // namespace kx9
