// SPDX-License-Identifier: MIT
#include "TextFields.h"

#include "config/Cp1250.h"

namespace kx9 {

namespace {

// The board keeps its Polish letters at 128..145; of the Windows-1250 characters there only
// Ś (140) and Ź (143) are Polish letters, and they travel as board codes. Any other would come
// back from the board as a Polish letter ("€" as "Ą").
bool BoardCanKeep(QChar c) {
    const auto byte = cp1250::FromUnicode(QString(c));
    if (!byte || byte->size() != 1)
        return false;
    const auto code = static_cast<uint8_t>(byte->at(0));
    return code < 128 || code > 145 || code == 140 || code == 143;
}

} // namespace

QValidator::State Cp1250Validator::validate(QString& input, int&) const {
    for (QChar c : input)
        if (!cp1250::CanEncode(c) || !BoardCanKeep(c))
            return Invalid;
    return Acceptable;
}

QWidget* Cp1250LabelDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                           const QModelIndex& index) const {
    QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
    if (auto* line = qobject_cast<QLineEdit*>(editor))
        line->setValidator(new Cp1250Validator(line));
    return editor;
}

QByteArray FieldBytes(const QString& text) {
    if (auto bytes = cp1250::FromUnicode(text))
        return *bytes;
    QByteArray bytes;
    for (QChar c : text)
        if (auto one = cp1250::FromUnicode(QString(c)))
            bytes += *one;
    return bytes;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption, const QString& hint) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
    if (!hint.isEmpty())
        button->setToolTip(hint);
    return button;
}

QCheckBox* MakeCheckBox(QWidget* parent, const char* name, const QString& caption, const QString& hint) {
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(QString::fromLatin1(name));
    if (!hint.isEmpty())
        box->setToolTip(hint);
    return box;
}

QLineEdit* MakeEdit(QWidget* parent, const char* name, const QString& hint) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    if (!hint.isEmpty())
        edit->setToolTip(hint);
    return edit;
}

QComboBox* MakeCombo(QWidget* parent, const char* name, const QString& hint, const QStringList& items) {
    auto* box = new QComboBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    if (!hint.isEmpty())
        box->setToolTip(hint);
    box->addItems(items);
    return box;
}

} // namespace kx9
