// SPDX-License-Identifier: MIT
#pragma once

#include "ops/Transfers.h"
#include "widgets/EditorWindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <array>

namespace kx9 {

// "Scroll - przewijanie linii": which lines scroll, how fast and which way.
class TfPrzewijanie : public EditorWindow {
    Q_OBJECT
public:
    explicit TfPrzewijanie(Transfers& transfers);
    // The text page editor that "Edytor Tekstów" brings to the front.
    void SetTextEditor(QWidget* editor) { m_textEditor = editor; }

    // Loads what changed in the image since the controls were last filled.
    void FillControls();
    // Lines always; speed and direction only when the speed is valid (false otherwise).
    bool StoreControls() override;

    // Handlers.
    void FormActivate() override;
    // The registers as the window shows them, for those of its fields whose entry it would store.
    void ShownRegisters(std::vector<std::pair<int, int>>& regs) const;
    // Only "Zamknij" stores: closing the window otherwise leaves the image as it was.
    void FormHide() override {}
    void BitBtn1Click();
    void BitBtn2Click();
    void BitBtn3Click();
    void BitBtn4Click();

    QGroupBox* GroupBox1;
    QCheckBox* CheckBox1;
    QCheckBox* CheckBox2;
    QCheckBox* CheckBox3;
    QCheckBox* CheckBox4;
    QCheckBox* CheckBox5;
    std::array<QCheckBox*, 5> LineBoxes{}; // line n is bit n - 1 of the line register
    QGroupBox* GroupBox2;
    QLineEdit* Edit1;
    QComboBox* ComboBox1;
    QPushButton* BitBtn1;
    QPushButton* BitBtn2;
    QPushButton* BitBtn3;
    QPushButton* BitBtn4;

private:
    Transfers& m_t;
    QPointer<QWidget> m_textEditor;
    ShownRevision m_shownLines;
    ShownRevision m_shownSpeed;
    ShownRevision m_shownDirection;
};

} // namespace kx9
