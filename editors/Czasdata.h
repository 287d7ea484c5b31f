// SPDX-License-Identifier: MIT
#pragma once

#include "widgets/EditorWindow.h"

#include "ops/BoardOps.h"
#include "ops/Transfers.h"

#include <QComboBox>
#include <QDateEdit>
#include <QDialog>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTimeEdit>
#include <QTimer>
#include <functional>

namespace kx9 {

// "Czas i Data" - the board's clock, set by hand or from the PC (also at the next full
// minute), and where and how the board shows the time and the date.
class TfCzasData : public EditorWindow {
    Q_OBJECT
public:
    TfCzasData(Transfers& transfers, BoardOperations& operations);

    // Stores the display settings: the formats, then each position. False, after its box,
    // at the first position refused; the refused register and those after it stay unchanged.
    bool StoreDisplaySettings();
    bool StoreControls() override { return StoreDisplaySettings(); }

    // Handlers.
    void FormShow() override;
    void FormActivate() override;
    // The registers as the window shows them, for those of its fields whose entry it would store.
    void ShownRegisters(std::vector<std::pair<int, int>>& regs) const;
    void FormHide() override;
    void BitBtn1Click();
    void BitBtn2Click();
    void BitBtn3Click();
    void BitBtn4Click();
    void BitBtn5Click();
    void BitBtn6Click();
    void BitBtn7Click();
    void Timer1Timer();

    // Read asked for and not yet shown; the next activation after the transfer shows it.
    bool ClockReadPending = false;
    bool DisplayReadPending = false;

    QTabWidget* PageControl1;
    QWidget* TabSheet1;
    QDateEdit* MonthCalendar1;
    QTimeEdit* DateTimePicker1;
    QPushButton* BitBtn1;
    QPushButton* BitBtn2;
    QPushButton* BitBtn3;
    QPushButton* BitBtn7;
    QLineEdit* Edit3;
    QTimer* Timer1;

    QWidget* TabSheet2;
    QGroupBox* GroupBox1;
    QLineEdit* Edit1;
    QComboBox* ComboBox1;
    QGroupBox* GroupBox2;
    QLineEdit* Edit2;
    QComboBox* ComboBox2;
    QPushButton* BitBtn5;
    QPushButton* BitBtn6;

    QPushButton* BitBtn4;

    void reject() override;

private:
    void BuildControls();
    void ShowClockRegisters();
    void LoadDisplaySettings();
    // Shows the progress window and runs `start`; hides it again when nothing started.
    bool WithProgress(const std::function<bool()>& start);

    Transfers& m_t;
    BoardOperations& m_operations;
    // What the display fields last showed of registers 4023..4026.
    ShownRevision m_shownDisplay;
};

} // namespace kx9
