// SPDX-License-Identifier: MIT
#pragma once

#include <QComboBox>
#include <QDateTimeEdit>
#include <QDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QString>
#include <QVBoxLayout>
#include <initializer_list>
#include <optional>

namespace kx9 {

// A typed decimal within [low, high]; nothing for anything else.
std::optional<int> DecimalIn(const QString& text, int low, int high);

// Shows `index` when the list has it; otherwise no selection at all.
void SelectOrNone(QComboBox* box, int index);

void AddFrameItems(QComboBox* box);

// A date or time field whose sections take typed digits: a digit typed into a full section
// starts it afresh instead of being refused.
void TakeTypedDigits(QDateTimeEdit* field);
void AddBaudItems(QComboBox* box);

// A labelled field as row `row` of `grid`; the label is named "Label<row + 1>".
void AddFieldRow(QWidget* owner, QGridLayout* grid, int row, const QString& text, QWidget* field);

// The dialog's fields above a row of buttons on the right. Inline: the status window, which
// sits below the link windows, lays itself out the same way.
inline QVBoxLayout* FieldsOverButtons(QDialog* dialog, QLayout* fields,
                                      std::initializer_list<QPushButton*> buttons) {
    auto* row = new QHBoxLayout;
    row->addStretch();
    for (QPushButton* button : buttons)
        row->addWidget(button);
    auto* layout = new QVBoxLayout(dialog);
    layout->addLayout(fields);
    layout->addLayout(row);
    return layout;
}

} // namespace kx9
