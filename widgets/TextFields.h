// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QString>
#include <QStyledItemDelegate>
#include <QValidator>

namespace kx9 {

// Refuses any text holding a character that a page cannot keep: one Windows-1250 has no byte
// for, or one whose byte the board takes for a Polish letter. Typed characters are dropped one
// by one, a paste that holds one is dropped whole.
class Cp1250Validator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int& position) const override;
};

// The in-place editor of a tree label refuses the same characters as the line fields.
class Cp1250LabelDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
};

// The Windows-1250 bytes of a field's text; a character that slipped past the validator is left out.
QByteArray FieldBytes(const QString& text);

// Controls named as the windows know them, with their hint; buttons never take Enter.
QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption,
                        const QString& hint = QString());
QCheckBox* MakeCheckBox(QWidget* parent, const char* name, const QString& caption,
                        const QString& hint = QString());
QLineEdit* MakeEdit(QWidget* parent, const char* name, const QString& hint = QString());
// A fixed list (no typing) with its items.
QComboBox* MakeCombo(QWidget* parent, const char* name, const QString& hint = QString(),
                     const QStringList& items = {});

} // namespace kx9
