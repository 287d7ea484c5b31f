// SPDX-License-Identifier: MIT
#include "Konfig_uart.h"

#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>
#include <optional>

namespace kx9 {

namespace {

constexpr int PortItems = 6;
constexpr int TimeoutMin = 100;
constexpr int TimeoutMax = 20000;
constexpr int AddressMin = 1;
constexpr int AddressMax = 247;

std::optional<int> DecimalIn(const QString& text, int low, int high) {
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    if (!ok || value < low || value > high)
        return std::nullopt;
    return value;
}

// Shows `index` when the list has it; otherwise no selection at all.
void Select(QComboBox* box, int index) {
    box->setCurrentIndex(index >= 0 && index < box->count() ? index : -1);
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
    const auto addRow = [this, grid](int row, const QString& text, QWidget* field) {
        auto* label = new QLabel(text, this);
        label->setObjectName(QStringLiteral("Label%1").arg(row + 1));
        label->setBuddy(field);
        grid->addWidget(label, row, 0);
        grid->addWidget(field, row, 1);
    };
    addRow(0, QStringLiteral("Port Szeregowy"), ComboBox1);
    addRow(1, QStringLiteral("Typ Ramki"), ComboBox2);
    addRow(2, QStringLiteral("Prędkość transmisji"), ComboBox3);
    addRow(3, QStringLiteral("TimeOut [ms]"), Edit2);
    addRow(4, QStringLiteral("Adres tablicy KX9"), Edit1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);

    connect(Button1, &QPushButton::clicked, this, &TfKonUart::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TfKonUart::Button2Click);

    FormActivate();
}

void TfKonUart::FormActivate() {
    for (int k = 1; k <= PortItems; ++k)
        ComboBox1->addItem(QStringLiteral("COM%1").arg(k));
    for (const char* name : FrameNames)
        ComboBox2->addItem(QString::fromLatin1(name));
    for (int k = 0; k < static_cast<int>(BaudRates.size()); ++k)
        ComboBox3->addItem(BaudText(k));
}

void TfKonUart::OdswiezPola() {
    Select(ComboBox1, m_settings.PortIndex);
    Select(ComboBox2, m_settings.FrameIndex);
    Select(ComboBox3, m_settings.BaudIndex);
    Edit1->setText(QString::number(m_settings.BoardAddress));
    Edit2->setText(QString::number(m_settings.ReplyTimeoutMs));
}

void TfKonUart::Button1Click() {
    // Both texts are taken before any message: the window is activated again when a box
    // closes, and that refreshes the fields from the settings.
    const QString timeoutText = Edit2->text();
    const QString addressText = Edit1->text();

    // A list that shows no selection (a value loaded from a file that it does not offer)
    // keeps that value rather than storing an index that names nothing.
    if (ComboBox1->currentIndex() >= 0)
        m_settings.PortIndex = static_cast<uint8_t>(ComboBox1->currentIndex());
    if (ComboBox2->currentIndex() >= 0)
        m_settings.FrameIndex = static_cast<uint8_t>(ComboBox2->currentIndex());
    if (ComboBox3->currentIndex() >= 0)
        m_settings.BaudIndex = static_cast<uint8_t>(ComboBox3->currentIndex());

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
