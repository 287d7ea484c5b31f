// SPDX-License-Identifier: MIT
#include "Konfig_uart.h"

#include "widgets/FieldHelpers.h"

#include <QEvent>

namespace kx9 {

namespace {

constexpr int PortItems = 6;
constexpr int TimeoutMin = 100;
constexpr int TimeoutMax = 20000;
constexpr int AddressMin = 1;
constexpr int AddressMax = 247;

// A list that shows no selection (a value loaded from a file that it does not offer)
// keeps that value rather than storing an index that names nothing.
void TakeSelected(const QComboBox* box, uint8_t& into) {
    if (box->currentIndex() >= 0)
        into = static_cast<uint8_t>(box->currentIndex());
}

} // namespace

TfKonUart::TfKonUart(LinkSettings& settings, Dialogs& dialogs) : m_settings(settings), m_dialogs(dialogs) {
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
    FieldsOverButtons(this, grid, {Button1, Button2});

    connect(Button1, &QPushButton::clicked, this, &TfKonUart::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TfKonUart::Button2Click);

    FormActivate();
}

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
    // Both texts are taken before any message: the window is activated again when a box
    // closes, and that refreshes the fields from the settings.
    const QString timeoutText = Edit2->text();
    const QString addressText = Edit1->text();

    TakeSelected(ComboBox1, m_settings.PortIndex);
    TakeSelected(ComboBox2, m_settings.FrameIndex);
    TakeSelected(ComboBox3, m_settings.BaudIndex);

    if (const auto timeout = DecimalIn(timeoutText, TimeoutMin, TimeoutMax)) {
        m_settings.ReplyTimeoutMs = *timeout;
    } else {
        m_dialogs.message(
            QStringLiteral("Nieprawidłowa wartość Time Out. Wpisz wartość z przedziału od 100 do "
                           "20000 i spróbuj ponownie."),
            QStringLiteral("Błąd Time Out"), MsgIcon::Error);
    }

    if (const auto address = DecimalIn(addressText, AddressMin, AddressMax)) {
        m_settings.BoardAddress = static_cast<uint8_t>(*address);
    } else {
        m_dialogs.message(
            QStringLiteral("Nieprawidłowy adres KX9. Wprowadź wartość od 1 do 247 i spróbuj ponownie"),
            QStringLiteral("Błąd Adresu"), MsgIcon::Error);
    }

    // Closes also after a refused value: the next opening shows what is still in force.
    accept();
}

void TfKonUart::Button2Click() {
    reject();
}

bool TfKonUart::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate)
        OdswiezPola();
    return QDialog::event(event);
}

void TfKonUart::showEvent(QShowEvent* event) {
    // Activation is not reliable on every platform; showing refreshes as well.
    OdswiezPola();
    QDialog::showEvent(event);
}

} // namespace kx9
