// SPDX-License-Identifier: MIT
#include "FieldHelpers.h"

#include "config/ConfigImage.h"

#include <QLabel>

namespace kx9 {

std::optional<int> DecimalIn(const QString& text, int low, int high) {
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    if (!ok || value < low || value > high)
        return std::nullopt;
    return value;
}

void SelectOrNone(QComboBox* box, int index) {
    box->setCurrentIndex(index >= 0 && index < box->count() ? index : -1);
}

void AddFrameItems(QComboBox* box) {
    for (const char* name : FrameNames)
        box->addItem(QString::fromLatin1(name));
}

void AddBaudItems(QComboBox* box) {
    for (int k = 0; k < static_cast<int>(BaudRates.size()); ++k)
        box->addItem(BaudText(k));
}

void AddFieldRow(QWidget* owner, QGridLayout* grid, int row, const QString& text, QWidget* field) {
    auto* label = new QLabel(text, owner);
    label->setObjectName(QStringLiteral("Label%1").arg(row + 1));
    label->setBuddy(field);
    grid->addWidget(label, row, 0);
    grid->addWidget(field, row, 1);
}

} // namespace kx9
