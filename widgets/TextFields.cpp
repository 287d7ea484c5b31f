// SPDX-License-Identifier: MIT
#include "TextFields.h"

#include "config/Cp1250.h"
#include "ops/PageCodec.h"

namespace kx9 {

QValidator::State Cp1250Validator::validate(QString& input, int&) const {
    // Each character alone, so that a pair Windows-1250 cannot hold is refused too.
    for (QChar c : input)
        if (!pagecodec::BoardText(QString(c)))
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
