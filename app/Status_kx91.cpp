// SPDX-License-Identifier: MIT
#include "Status_kx91.h"

#include "ops/StatusTexts.h"
#include "widgets/FieldHelpers.h"

#include <QShowEvent>

namespace kx9 {

namespace {

constexpr int bitOfRow(int row) {
    return StatusBits[row].bit;
}

} // namespace

TPStatus::TPStatus() {
    setObjectName("PStatus");
    setWindowTitle("Rejestr Statusu KX9");
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto* grid = new QGridLayout;
    for (int row = 0; row < 6; ++row) {
        CheckBox[row] = new QCheckBox("Kasuj Błąd", this);
        CheckBox[row]->setObjectName(QString("CheckBox%1").arg(row + 1));
        EditE[row] = new QLineEdit(this);
        EditE[row]->setObjectName(QString("EditE%1").arg(bitOfRow(row)));
        EditE[row]->setReadOnly(true);
        EditE[row]->setMinimumWidth(260);
        grid->addWidget(CheckBox[row], row, 0);
        grid->addWidget(EditE[row], row, 1);
    }

    Button1 = new QPushButton("OK", this);
    Button1->setObjectName("Button1");
    Button1->setDefault(true);
    Button2 = new QPushButton("Anuluj", this);
    Button2->setObjectName("Button2");
    Button2->setShortcut(Qt::Key_Escape);

    FieldsOverButtons(this, grid, {Button1, Button2})->setSizeConstraint(QLayout::SetFixedSize);

    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
}

QStringList TPStatus::FillStatusTexts(uint16_t status) {
    return StatusTexts(status);
}

void TPStatus::ShowTexts(const QStringList& texts) {
    for (int row = 0; row < 6; ++row)
        EditE[row]->setText(row < texts.size() ? texts[row] : QString());
}

int32_t TPStatus::ApplyCleared(int32_t status) const {
    for (int row = 0; row < 6; ++row)
        if (m_cleared[row])
            status &= ~(int32_t(1) << bitOfRow(row));
    return status;
}

void TPStatus::Button1Click() {
    for (int row = 0; row < 6; ++row)
        m_cleared[row] = CheckBox[row]->isChecked();
    accept();
}

void TPStatus::Button2Click() {
    m_cleared = {};
    reject();
}

void TPStatus::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    // Nothing carries over between showings; closing by Escape or the frame clears nothing.
    for (QCheckBox* box : CheckBox)
        box->setChecked(false);
    m_cleared = {};
}

uint16_t TPStatus::ShowStatus(uint16_t status) {
    ShowTexts(FillStatusTexts(status));
    exec();
    return static_cast<uint16_t>(ApplyCleared(status));
}

} // namespace kx9
