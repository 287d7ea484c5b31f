// SPDX-License-Identifier: MIT
#include "EditorWindow.h"

#include "ops/Transfers.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QCalendarWidget>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>

namespace kx9 {

namespace {

// What a control shows, as far as the operator can change it; empty for anything else.
QString Shown(const QObject* object) {
    if (auto* box = qobject_cast<const QAbstractSpinBox*>(object))
        return box->text();
    if (auto* edit = qobject_cast<const QLineEdit*>(object))
        return edit->isReadOnly() ? QString() : edit->text();
    if (auto* button = qobject_cast<const QAbstractButton*>(object))
        return button->isCheckable() ? QString::number(button->isChecked()) : QString();
    if (auto* combo = qobject_cast<const QComboBox*>(object))
        return QString::number(combo->currentIndex()) + '|' + combo->currentText();
    if (auto* calendar = qobject_cast<const QCalendarWidget*>(object))
        return calendar->selectedDate().toString(Qt::ISODate);
    if (auto* text = qobject_cast<const QPlainTextEdit*>(object))
        return text->toPlainText();
    if (auto* text = qobject_cast<const QTextEdit*>(object))
        return text->toPlainText();
    return QString();
}

} // namespace

EditorWindow::EditorWindow(QWidget* parent) : QDialog(parent) {}

EditorWindow::Capture EditorWindow::CaptureControls() const {
    Capture capture;
    for (const QWidget* child : findChildren<QWidget*>()) {
        if (InStoresNothing(child))
            continue;
        const QString shown = Shown(child);
        if (!shown.isNull())
            capture.insert(child, shown);
    }
    return capture;
}

bool EditorWindow::Edited() const {
    return CaptureControls() != m_filled;
}

void EditorWindow::Refresh() {
    const Capture before = CaptureControls();
    FormActivate();
    // A control loaded again now shows the image: that is its new "filled" state. One left
    // alone keeps its old one, so typing in it still counts as a change.
    const Capture after = CaptureControls();
    for (auto it = after.cbegin(); it != after.cend(); ++it)
        if (!before.contains(it.key()) || before.value(it.key()) != it.value() ||
            !m_filled.contains(it.key()))
            m_filled.insert(it.key(), it.value());
    for (auto it = m_filled.begin(); it != m_filled.end();)
        it = after.contains(it.key()) ? std::next(it) : m_filled.erase(it);
}

bool EditorWindow::StoreIfChanged() {
    if (!Edited())
        return true;
    if (!StoreControls())
        return false;
    NoteStored();
    return true;
}

void EditorWindow::NoteStored() {
    m_filled = CaptureControls();
}

void EditorWindow::NoteFilled(std::initializer_list<const QWidget*> controls) {
    for (const QWidget* control : controls) {
        const QString shown = Shown(control);
        if (!shown.isNull() && !InStoresNothing(control))
            m_filled.insert(control, shown);
    }
}

bool EditorWindow::Touched(const QWidget* control) const {
    const auto filled = m_filled.constFind(control);
    return filled == m_filled.cend() || Shown(control) != filled.value();
}

void EditorWindow::StoresNothing(std::initializer_list<const QWidget*> controls) {
    for (const QWidget* control : controls)
        m_storesNothing.insert(control);
    for (auto it = m_filled.begin(); it != m_filled.end();)
        it = InStoresNothing(qobject_cast<const QWidget*>(it.key())) ? m_filled.erase(it) : std::next(it);
}

bool EditorWindow::InStoresNothing(const QWidget* control) const {
    // The line edit inside a spin box or a date picker is part of it.
    for (const QWidget* w = control; w && w != this; w = w->parentWidget())
        if (m_storesNothing.contains(w))
            return true;
    return false;
}

void EditorWindow::Refuse(Dialogs& dialogs, const QString& text, const QString& title, MsgIcon icon) const {
    if (!m_quiet)
        dialogs.message(text, title, icon);
}

void EditorWindow::StoreAndHideQuietly() {
    m_quiet = true;
    StoreIfChanged();
    hide();
    m_quiet = false;
}

void EditorWindow::RefreshWhenDone(const Transfers& transfers) {
    const auto refresh = [this, &transfers] {
        // Another transfer may have started before this got its turn: wait for that one.
        if (!m_refreshDue || transfers.Busy())
            return;
        m_refreshDue = false;
        if (isVisible())
            Refresh();
    };
    if (!m_afterTransfer)
        m_afterTransfer = transfers.WhenIdle(this, refresh);
    m_refreshDue = true;
    // Over already (nothing went out): no end is left to signal.
    if (!transfers.Busy())
        QMetaObject::invokeMethod(this, refresh, Qt::QueuedConnection);
}

bool EditorWindow::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate)
        Refresh();
    return QDialog::event(event);
}

void EditorWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FillAll();
}

void EditorWindow::FillAll() {
    m_fillingAll = true;
    FormShow();
    FormActivate();
    m_fillingAll = false;
    NoteStored();
}

void EditorWindow::hideEvent(QHideEvent* event) {
    QDialog::hideEvent(event);
    if (!event->spontaneous())
        FormHide();
}

bool EditorSet::StoreShown(Transfers::Leaving what) const {
    for (EditorWindow* window : m_windows) {
        if (!window->isVisible())
            continue;
        switch (what) {
        case Transfers::Leaving::Everything:
            if (!window->StoreIfChanged())
                return false;
            break;
        case Transfers::Leaving::Pages:
            window->StorePageText();
            break;
        case Transfers::Leaving::AtExit:
            window->StoreAndHideQuietly();
            break;
        }
    }
    return true;
}

} // namespace kx9
