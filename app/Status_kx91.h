// SPDX-License-Identifier: MIT
#pragma once

#include "ops/Views.h"

#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QStringList>
#include <array>
#include <cstdint>

namespace kx9 {

// "Rejestr Statusu KX9" - bits 15..10 of the status register, with "Kasuj Błąd" per row.
class TPStatus : public QDialog, public StatusView {
    Q_OBJECT
public:
    TPStatus();

    // Texts of rows for bits 15..10 of `status`.
    static QStringList FillStatusTexts(uint16_t status);
    void ShowTexts(const QStringList& texts);
    // Clears the bits of the rows ticked when "OK" closed the window.
    int32_t ApplyCleared(int32_t status) const;
    // StatusView: the texts, the modal window, and the register with the ticked bits cleared.
    uint16_t ShowStatus(uint16_t status) override;

    void Button1Click();
    void Button2Click();

    std::array<QLineEdit*, 6> EditE{};    // EditE15 .. EditE10
    std::array<QCheckBox*, 6> CheckBox{}; // CheckBox1 .. CheckBox6
    QPushButton* Button1;
    QPushButton* Button2;

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::array<bool, 6> m_cleared{};
};

} // namespace kx9
