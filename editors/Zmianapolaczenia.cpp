// SPDX-License-Identifier: MIT
#include "Zmianapolaczenia.h"

#include "config/Encodings.h"
#include "link/ModbusFrame.h"
#include "widgets/FieldHelpers.h"

namespace kx9 {

namespace {

constexpr int AddressMin = frame::MinAddress;
constexpr int AddressMax = frame::MaxAddress;

} // namespace

TfZmianaPolaczenia::TfZmianaPolaczenia(ConfigImage& image, Dialogs& dialogs,
                                       std::function<void()> startLinkChange)
    : m_image(image), m_dialogs(dialogs), m_startLinkChange(std::move(startLinkChange)) {
    setWindowTitle(QStringLiteral("Zmiana połączenia"));

    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setToolTip(QStringLiteral("Nowy adres KX9"));
    ComboBox1 = new QComboBox(this);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setToolTip(QStringLiteral("Nowy typ ramki transmisyjnej PC<=>KX9"));
    ComboBox2 = new QComboBox(this);
    ComboBox2->setObjectName(QStringLiteral("ComboBox2"));
    ComboBox2->setToolTip(QStringLiteral("Nowa prędkosć transmisji PC<=>KX9"));
    BitBtn1 = new QPushButton(QStringLiteral("Anuluj"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setToolTip(QStringLiteral("Zamyka to okno z pominięciem nowych nastaw"));
    BitBtn2 = new QPushButton(QStringLiteral("Zastosuj"), this);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    BitBtn2->setToolTip(QStringLiteral("Zapisuje nowe parametry transmisji do KX9"));

    // Changing the board's link stays a deliberate click: Enter in a field presses nothing.
    for (QPushButton* button : {BitBtn1, BitBtn2}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }

    AddFrameItems(ComboBox1);
    AddBaudItems(ComboBox2);

    auto* grid = new QGridLayout;
    AddFieldRow(this, grid, 0, QStringLiteral("Adres KX9"), Edit1);
    AddFieldRow(this, grid, 1, QStringLiteral("Typ Ramki"), ComboBox1);
    AddFieldRow(this, grid, 2, QStringLiteral("Prędkość Transmisji"), ComboBox2);
    FieldsOverButtons(this, grid, {BitBtn2, BitBtn1});

    connect(BitBtn1, &QPushButton::clicked, this, &TfZmianaPolaczenia::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &TfZmianaPolaczenia::BitBtn2Click);
}

void TfZmianaPolaczenia::FormShow() {
    Edit1->setText(QString::number(m_image.Reg(RegBoardAddress)));
    SelectOrNone(ComboBox1, m_image.Reg(RegBoardFrame));
    ComboBox2->setCurrentIndex(BaudIndexFromCode(m_image.Reg(RegBoardBaud)));
}

void TfZmianaPolaczenia::BitBtn1Click() {
    hide();
}

void TfZmianaPolaczenia::BitBtn2Click() {
    const auto address = DecimalIn(Edit1->text(), AddressMin, AddressMax);
    const bool addressValid = address.has_value();
    if (addressValid) {
        m_image.SetReg(RegBoardAddress, *address);
    } else {
        m_dialogs.message(
            QStringLiteral("Podano błędną wartość adresu. Podaj wartość z przedziału od 1 do 247 i "
                           "spróbuj ponownie."),
            QStringLiteral("Nieprawidłowy adres"), MsgIcon::Error);
    }

    // A list with no selection (a value from a file or the board that it does not offer)
    // keeps the register as it is.
    if (ComboBox1->currentIndex() >= 0)
        m_image.SetReg(RegBoardFrame, ComboBox1->currentIndex());
    const int code = BaudCodeFromIndex(ComboBox2->currentIndex());
    if (code >= 0)
        m_image.SetReg(RegBoardBaud, code);

    if (!addressValid)
        return;
    hide();
    if (m_startLinkChange)
        m_startLinkChange();
}

void TfZmianaPolaczenia::showEvent(QShowEvent* event) {
    FormShow();
    QDialog::showEvent(event);
}

} // namespace kx9
