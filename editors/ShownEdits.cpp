// SPDX-License-Identifier: MIT
#include "ShownEdits.h"

#include "Czasdata.h"
#include "Edytor_stron.h"
#include "Konf_graf.h"
#include "Konfigjasnosc.h"
#include "Prezentacja.h"
#include "Przewijanie.h"
#include "ops/DotMatrix.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QLineEdit>
#include <QListWidget>
#include <QTreeWidget>
#include <functional>

namespace kx9 {

namespace {

// Calls `edited` whenever a control of `window` that the operator changes changes: typing, a
// click, a choice, a page picked in a tree or a list.
void WatchControls(const QWidget* window, QObject* receiver, const std::function<void()>& edited) {
    if (!window)
        return;
    for (QObject* child : window->findChildren<QObject*>()) {
        if (auto* edit = qobject_cast<QLineEdit*>(child))
            QObject::connect(edit, &QLineEdit::textChanged, receiver, edited);
        else if (auto* button = qobject_cast<QAbstractButton*>(child))
            QObject::connect(button, &QAbstractButton::toggled, receiver, edited);
        else if (auto* combo = qobject_cast<QComboBox*>(child))
            QObject::connect(combo, &QComboBox::currentIndexChanged, receiver, edited);
        else if (auto* picker = qobject_cast<QDateTimeEdit*>(child))
            QObject::connect(picker, &QDateTimeEdit::dateTimeChanged, receiver, edited);
        else if (auto* tree = qobject_cast<QTreeWidget*>(child))
            QObject::connect(tree, &QTreeWidget::currentItemChanged, receiver, edited);
        else if (auto* list = qobject_cast<QListWidget*>(child))
            QObject::connect(list, &QListWidget::currentRowChanged, receiver, edited);
    }
}

// A hidden window shows nothing: its typing was stored or dropped when it hid.
template <class Window> void Shown(const Window* window, std::vector<std::pair<int, int>>& regs) {
    if (window && window->isVisible())
        window->ShownRegisters(regs);
}

} // namespace

EditorEdits::EditorEdits(const TPStron& pages, const TKonGraf& graphics, const Windows& others)
    : m_pages(pages), m_graphics(graphics), m_others(others) {
    const auto changed = [this] { emit ShownEdits::changed(); };
    for (const QWidget* window : std::initializer_list<const QWidget*>{
             &pages, &graphics, others.scrolling, others.brightness, others.presentation, others.clock})
        WatchControls(window, this, changed);
}

int EditorEdits::EditedPage() const {
    return m_pages.CurrentPage;
}

std::vector<QByteArray> EditorEdits::EditedLines() const {
    return m_pages.isVisible() ? m_pages.ShownLines() : std::vector<QByteArray>{};
}

std::vector<std::pair<int, int>> EditorEdits::EditedRegisters() const {
    std::vector<std::pair<int, int>> regs;
    Shown(m_others.scrolling, regs);
    Shown(m_others.brightness, regs);
    Shown(m_others.presentation, regs);
    Shown(m_others.clock, regs);
    return regs;
}

QString EditorEdits::GraphicFile(int slot) const {
    return m_graphics.SlotFile(dots::FirstGraphicPage + slot);
}

} // namespace kx9
