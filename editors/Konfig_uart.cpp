// SPDX-License-Identifier: MIT
// "Port Szeregowy": the link settings, and the window that holds the port names and the search.
#include "Konfig_uart.h"

#include "link/ModbusFrame.h"
#include "link/NetworkLine.h"

#include "ops/ScanTransfer.h"
#include "widgets/FieldHelpers.h"

#include <QEvent>
#include <QGroupBox>

#include <algorithm>

namespace kx9 {

namespace {

constexpr int TimeoutMin = 100;
constexpr int TimeoutMax = 20000;
constexpr int AddressMin = frame::MinAddress;
constexpr int AddressMax = frame::MaxAddress;

// A list that shows no selection (a value loaded from a file that it does not offer)
// keeps that value rather than storing an index that names nothing.
void TakeSelected(const QComboBox* box, uint8_t& into) {
    if (box->currentIndex() >= 0)
        into = static_cast<uint8_t>(box->currentIndex());
}

// The list's choice when it is an entry of the table, else the setting.
int ShownOr(const QComboBox* box, int setting) {
    return box->currentIndex() >= 0 ? box->currentIndex() : setting;
}

} // namespace

TfKonUart::TfKonUart(LinkSettings& settings, Dialogs& dialogs, PortMap* ports, Transfers* transfers)
    : m_settings(settings), m_dialogs(dialogs), m_ports(ports) {
    setWindowTitle(QStringLiteral("Port Szeregowy"));
    setModal(true);

    ComboBox1 = new QComboBox(this);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setToolTip(QStringLiteral("Numer portu szeregowego do którego przyłączona jest tablica KX9"));
    ComboBox2 = new QComboBox(this);
    ComboBox2->setObjectName(QStringLiteral("ComboBox2"));
    ComboBox2->setToolTip(QStringLiteral("Typ ramki transmisji PC<=>KX9"));
    ComboBox3 = new QComboBox(this);
    ComboBox3->setObjectName(QStringLiteral("ComboBox3"));
    ComboBox3->setToolTip(QStringLiteral("Prędkość transmisji PC<=>KX9"));
    Edit2 = new QLineEdit(this);
    Edit2->setObjectName(QStringLiteral("Edit2"));
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setToolTip(QStringLiteral("Adres tablicy KX9 (1...247)"));
    Button1 = new QPushButton(QStringLiteral("OK"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setToolTip(QStringLiteral("Akceptuje nastawy"));
    Button1->setDefault(true);
    Button2 = new QPushButton(QStringLiteral("Anuluj"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setToolTip(QStringLiteral("Zamyka okno"));

    auto* grid = new QGridLayout;
    AddFieldRow(this, grid, 0, QStringLiteral("Port Szeregowy"), ComboBox1);
    AddFieldRow(this, grid, 1, QStringLiteral("Typ Ramki"), ComboBox2);
    AddFieldRow(this, grid, 2, QStringLiteral("Prędkość transmisji"), ComboBox3);
    AddFieldRow(this, grid, 3, QStringLiteral("TimeOut [ms]"), Edit2);
    AddFieldRow(this, grid, 4, QStringLiteral("Adres tablicy KX9"), Edit1);
    grid->setRowStretch(5, 1);

    auto* fields = new QVBoxLayout;
    auto* top = new QHBoxLayout;
    top->addLayout(grid);
    if (m_ports)
        top->addWidget(buildPorts(), 1);
    fields->addLayout(top);
    if (transfers) {
        m_scan = new ScanTransfer(*transfers);
        m_scan->setParent(this);
        fields->addWidget(buildSearch());
    }
    FieldsOverButtons(this, fields, {Button1, Button2});

    connect(Button1, &QPushButton::clicked, this, &TfKonUart::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TfKonUart::Button2Click);

    FormActivate();
}

TfKonUart::~TfKonUart() = default;

void TfKonUart::FormActivate() {
    for (int k = 1; k <= PortItems; ++k)
        ComboBox1->addItem(QStringLiteral("COM%1").arg(k));
    AddFrameItems(ComboBox2);
    AddBaudItems(ComboBox3);
}

void TfKonUart::OdswiezPola() {
    SelectOrNone(ComboBox1, m_settings.PortIndex);
    SelectOrNone(ComboBox2, m_settings.FrameIndex);
    SelectOrNone(ComboBox3, m_settings.BaudIndex);
    Edit1->setText(QString::number(m_settings.BoardAddress));
    Edit2->setText(QString::number(m_settings.ReplyTimeoutMs));
}

void TfKonUart::Button1Click() {
    if (m_scan)
        m_scan->Stop();
    // Every field is checked before any is applied: a refused one leaves the window open and
    // the settings in force as they were, so no transfer runs at half a change.
    const std::optional<int> timeout = DecimalIn(Edit2->text(), TimeoutMin, TimeoutMax);
    const std::optional<int> address = DecimalIn(Edit1->text(), AddressMin, AddressMax);
    if (!timeout)
        m_dialogs.message(
            QStringLiteral("Nieprawidłowa wartość Time Out. Wpisz wartość z przedziału od 100 do "
                           "20000 i spróbuj ponownie."),
            QStringLiteral("Błąd Time Out"), MsgIcon::Error);
    if (!address)
        m_dialogs.message(
            QStringLiteral("Nieprawidłowy adres KX9. Wprowadź wartość od 1 do 247 i spróbuj ponownie"),
            QStringLiteral("Błąd Adresu"), MsgIcon::Error);
    if (!timeout || !address)
        return;

    TakeSelected(ComboBox1, m_settings.PortIndex);
    TakeSelected(ComboBox2, m_settings.FrameIndex);
    TakeSelected(ComboBox3, m_settings.BaudIndex);
    m_settings.ReplyTimeoutMs = *timeout;
    m_settings.BoardAddress = static_cast<uint8_t>(*address);
    if (m_ports && !m_ports->Save())
        m_dialogs.message(QStringLiteral("Nie można zapisać przypisania portów do urządzeń: ") +
                              m_ports->File(),
                          QStringLiteral("Błąd zapisu pliku"), MsgIcon::Error);
    accept();
}

void TfKonUart::Button2Click() {
    reject();
}

void TfKonUart::reject() {
    if (m_scan)
        m_scan->Stop();
    if (m_ports)
        m_ports->SetMapping(m_mappingShown);
    QDialog::reject();
}

int TfKonUart::chosenPort() const {
    return ShownOr(ComboBox1, m_settings.PortIndex);
}

int TfKonUart::shownBaud() const {
    return ShownOr(ComboBox3, m_settings.BaudIndex);
}

int TfKonUart::shownFrame() const {
    return ShownOr(ComboBox2, m_settings.FrameIndex);
}

void TfKonUart::showEvent(QShowEvent* event) {
    // Filled when shown only: an activation after a refusal's box keeps what was typed.
    OdswiezPola();
    if (m_ports) {
        m_mappingShown = m_ports->Mapping();
        m_devices = m_ports->Devices();
        ListBox1->clear(); // the row follows the port shown
        ShowRoutes();
        Timer2.start();
    }
    QDialog::showEvent(event);
}

void TfKonUart::hideEvent(QHideEvent* event) {
    // Hidden, the window looks at nothing: no timer runs while the program is idle.
    Timer2.stop();
    QDialog::hideEvent(event);
}

} // namespace kx9
