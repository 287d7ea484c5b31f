// SPDX-License-Identifier: MIT
#pragma once

#include "config/ConfigImage.h"
#include "link/Dialogs.h"
#include "link/PortMap.h"
#include "ops/BoardScan.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <map>

namespace kx9 {

class ScanTransfer;
class Transfers;

// "Port Szeregowy" - the PC side of the link: port, frame, rate, reply time-out, board address.
// Given the port map, it also shows where each port name leads and lets the operator pick one
// of the system's devices for it; given the transfers, it searches the line for a board.
class TfKonUart : public QDialog {
    Q_OBJECT
public:
    TfKonUart(LinkSettings& settings, Dialogs& dialogs, PortMap* ports = nullptr,
              Transfers* transfers = nullptr);
    ~TfKonUart() override;

    // Puts the list items in; runs once, at creation.
    void FormActivate();
    void OdswiezPola();
    void Button1Click();
    void Button2Click();

    // Ports by name: the device of every name, and the devices offered for the selected one.
    void ShowRoutes();
    // The device chosen in ComboBox4 for the name selected in ListBox1.
    void ComboBox4Change();
    // "Odśwież": the system's devices listed again (an adapter plugged in meanwhile).
    void Button4Click();
    // While the window is shown: the device list follows adapters plugged in and pulled.
    void Timer2Timer();
    QTimer Timer2;
    // The port numbers ListBox1 shows, in its order, and the one of a row (-1 for none).
    std::vector<int> RoutedPorts() const;
    int RowPort(int row) const;
    // "Ustaw": the network line typed in Edit3 for the name selected in ListBox1, kept only
    // when it is one.
    void Button6Click();

    // "Szukaj tablicy": the scan of kx9ctl scan, on the port chosen, from the settings shown.
    void Button3Click();
    // "Użyj": the address, rate and frame of the board chosen in ListBox2 into the fields.
    void Button5Click();
    // What the search would do now.
    BoardScan::Plan ScanPlan() const;
    ScanTransfer* Scanner() const { return m_scan; }
    // The wait of each probe for a reply to begin.
    int ScanProbeMs = DefaultProbeMs;

    QComboBox* ComboBox1;
    QComboBox* ComboBox2;
    QComboBox* ComboBox3;
    QLineEdit* Edit1;
    QLineEdit* Edit2;
    QPushButton* Button1;
    QPushButton* Button2;

    QListWidget* ListBox1 = nullptr; // COM1..COM8 and their devices
    QComboBox* ComboBox4 = nullptr;  // the device of the selected name
    QPushButton* Button4 = nullptr;  // "Odśwież"
    QLineEdit* Edit3 = nullptr;      // a network line for the selected name
    QPushButton* Button6 = nullptr;  // "Ustaw"
    QPushButton* Button3 = nullptr;  // "Szukaj tablicy"
    QCheckBox* CheckBox1 = nullptr;  // only the rate and frame shown
    QCheckBox* CheckBox2 = nullptr;  // every device of the line
    QListWidget* ListBox2 = nullptr; // what the search found
    QPushButton* Button5 = nullptr;  // "Użyj"
    QLabel* Label7 = nullptr;        // how the search goes

    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QWidget* buildPorts();
    QWidget* buildSearch();
    void showRoute(int row);
    int rowOf(int port) const;
    void markChosen();
    void fillDevices();
    void addFind(const ScanFind& find);
    void scanEnded();
    // The port, rate and frame the lists show, else the settings'.
    int chosenPort() const;
    int shownBaud() const;
    int shownFrame() const;
    static constexpr int PortItems = 6;

    LinkSettings& m_settings;
    Dialogs& m_dialogs;
    PortMap* m_ports;
    ScanTransfer* m_scan = nullptr;
    std::vector<SerialDevice> m_devices;
    std::map<QString, QString> m_mappingShown; // the mapping when the window was shown
    int m_scannedPort = 0;
};

} // namespace kx9
