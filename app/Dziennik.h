// SPDX-License-Identifier: MIT
#pragma once

#include "link/Dialogs.h"
#include "link/LineTrace.h"
#include "link/Modbus.h"

#include <QDialog>
#include <QPlainTextEdit>
#include <QPushButton>

namespace kx9 {

// "Dziennik transmisji": what crosses the line, live, as kx9ctl --trace writes it. It watches
// the line only while shown, so a hidden window costs the transfers nothing; it keeps the
// last lines and saves them to a text file.
class TDziennik : public QDialog, public LineTrace {
    Q_OBJECT
public:
    TDziennik(ModbusLink& link, Dialogs& dialogs);
    ~TDziennik() override;

    static constexpr int KeptLines = 5000;

    void Record(Event event, const QString& line, const uint8_t* bytes, int length,
                const LinkFailure& verdict, const QString& note) override;
    // "Zapisz": the lines kept, to a text file the operator names.
    void Button1Click();
    // "Wyczyść".
    void Button2Click();

    QPlainTextEdit* Memo1;
    QPushButton* Button1;
    QPushButton* Button2;
    QPushButton* Button3;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    ModbusLink& m_link;
    Dialogs& m_dialogs;
};

} // namespace kx9
