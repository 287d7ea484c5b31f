// SPDX-License-Identifier: MIT
#pragma once

#include "ops/RequestChain.h"
#include "ops/Transfers.h"
#include "widgets/EditorWindow.h"

#include <QCheckBox>
#include <QFrame>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTime>
#include <QTimeEdit>
#include <QTimer>
#include <array>
#include <memory>

namespace kx9 {

// "Konfiguracja jasności świecenia": brightness by day and night or after the light sensor.
class TfKonfigJasnosc : public EditorWindow {
    Q_OBJECT
public:
    explicit TfKonfigJasnosc(Transfers& transfers);

    void LoadBrightnessControls();
    // False when a level was refused (after its message); the others are stored all the same.
    bool StoreBrightnessControls();
    bool StoreControls() override { return StoreBrightnessControls(); }

    // Handlers.
    void FormActivate() override;
    // The registers as the window shows them, for those of its fields whose entry it would store.
    void ShownRegisters(std::vector<std::pair<int, int>>& regs) const;
    void FormHide() override;
    void CheckBox1Click();
    void BitBtn1Click();
    void BitBtn2Click();
    void BitBtn3Click();
    void Timer1Timer();

    // 1 while the first write is out, 2 while the second is; 0 otherwise.
    int WriteStep() const;
    bool ReadPending() const;

    QCheckBox* CheckBox1;
    QStackedWidget* Notebook1; // page 0 sensor levels, page 1 day and night
    QWidget* CzZewnOn;
    QWidget* CzZewnOff;
    QLineEdit* Edit1;
    QLineEdit* Edit2;
    QLineEdit* Edit3;
    QLineEdit* Edit4;
    QTimeEdit* DateTimePicker1;
    QTimeEdit* DateTimePicker2;
    QFrame* Panel1;
    QLineEdit* Edit5;
    QPushButton* BitBtn1;
    QPushButton* BitBtn2;
    QPushButton* BitBtn3;
    QTimer* Timer1;

private:
    struct LevelField {
        QLineEdit* edit;
        int reg;
        QString title; // of the box that refuses the entry
        ShownRevision shown;
    };
    struct TimeField {
        QTimeEdit* picker;
        int reg;
        ShownRevision shown;
    };

    void BuildControls();
    // Loads every control (`all`) or those whose registers changed since they were filled.
    void Fill(bool all);
    bool StoreLevel(LevelField& field);
    void StoreTime(TimeField& field);
    void ShowSensorPage(bool on);
    void FinishRead();
    void FinishWrite();
    bool SendStep(int first, int count, bool write);

    Transfers& m_t;
    std::unique_ptr<RequestChain> m_chain;
    enum class Running { None, Read, Write } m_running = Running::None;

    std::array<LevelField, 4> m_levels; // day, night, sensor minimum, sensor maximum
    std::array<TimeField, 2> m_times;   // day start, night start
    ShownRevision m_shownSensor;
    ShownRevision m_shownCurrent;
};

} // namespace kx9
