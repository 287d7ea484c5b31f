// SPDX-License-Identifier: MIT
#include "Przewijanie.h"

#include "widgets/FieldHelpers.h"
#include "widgets/TextFields.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QShowEvent>
#include <QVBoxLayout>

namespace kx9 {

namespace {

constexpr int SpeedLow = 1;
constexpr int SpeedHigh = 1000;
constexpr int ScrollRegisters = 3; // speed, direction, lines

const QString SpeedText = QStringLiteral(
    "Niewłaściwa wartość prędkości. Wpisz wartość z przedziału od 1 do 1000 i spróbuj ponownie");
const QString SpeedTitle = QStringLiteral("Błędna wartość");

} // namespace

TfPrzewijanie::TfPrzewijanie(Transfers& transfers) : m_t(transfers) {
    setObjectName(QStringLiteral("fPrzewijanie"));
    setWindowTitle(QStringLiteral("Scroll - przewijanie linii"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    GroupBox1 = new QGroupBox(QStringLiteral("Przewijanie linii"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    auto* lines = new QVBoxLayout(GroupBox1);
    const char* names[] = {"CheckBox1", "CheckBox2", "CheckBox3", "CheckBox4", "CheckBox5"};
    for (size_t i = 0; i < LineBoxes.size(); ++i) {
        LineBoxes[i] = MakeCheckBox(GroupBox1, names[i], QStringLiteral("Linia %1").arg(i + 1));
        lines->addWidget(LineBoxes[i]);
    }
    CheckBox1 = LineBoxes[0];
    CheckBox2 = LineBoxes[1];
    CheckBox3 = LineBoxes[2];
    CheckBox4 = LineBoxes[3];
    CheckBox5 = LineBoxes[4];

    GroupBox2 = new QGroupBox(QStringLiteral("Parametry przewijania"), this);
    GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
    Edit1 = MakeEdit(GroupBox2, "Edit1");
    ComboBox1 = new QComboBox(GroupBox2);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->addItems(
        {QStringLiteral("w lewo"), QStringLiteral("w prawo"), QStringLiteral("naprzemienne")});
    auto* parameters = new QGridLayout(GroupBox2);
    AddFieldRow(GroupBox2, parameters, 0, QStringLiteral("Prędkość [ms]"), Edit1);
    AddFieldRow(GroupBox2, parameters, 1, QStringLiteral("Kierunek"), ComboBox1);

    BitBtn1 = MakeButton(this, "BitBtn1", QStringLiteral("Zamknij"));
    BitBtn2 = MakeButton(this, "BitBtn2", QStringLiteral("Odczytaj z KX9"));
    BitBtn3 = MakeButton(this, "BitBtn3", QStringLiteral("Zapisz do KX9"));
    BitBtn4 = MakeButton(this, "BitBtn4", QStringLiteral("Edytor Tekstów"));

    auto* groups = new QHBoxLayout;
    groups->addWidget(GroupBox1);
    groups->addWidget(GroupBox2, 1);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* button : {BitBtn2, BitBtn3, BitBtn4})
        buttons->addWidget(button);
    buttons->addStretch(1);
    buttons->addWidget(BitBtn1);
    auto* outer = new QVBoxLayout(this);
    outer->addLayout(groups);
    outer->addLayout(buttons);

    connect(BitBtn1, &QPushButton::clicked, this, &TfPrzewijanie::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &TfPrzewijanie::BitBtn2Click);
    connect(BitBtn3, &QPushButton::clicked, this, &TfPrzewijanie::BitBtn3Click);
    connect(BitBtn4, &QPushButton::clicked, this, &TfPrzewijanie::BitBtn4Click);
    FillControls();
}

void TfPrzewijanie::FormActivate() {
    FillControls();
}

void TfPrzewijanie::FillControls() {
    const ConfigImage& image = m_t.image;
    if (Due(m_shownLines, image.RegsRevision(RegScrollLines))) {
        const int bits = image.Reg(RegScrollLines);
        for (size_t i = 0; i < LineBoxes.size(); ++i)
            LineBoxes[i]->setChecked((bits >> i) & 1);
    }
    if (Due(m_shownSpeed, image.RegsRevision(RegScrollSpeed)))
        Edit1->setText(QString::number(image.Reg(RegScrollSpeed)));
    if (Due(m_shownDirection, image.RegsRevision(RegScrollDirection)))
        SelectOrNone(ComboBox1, image.Reg(RegScrollDirection));
}

void TfPrzewijanie::ShownRegisters(std::vector<std::pair<int, int>>& regs) const {
    int bits = 0;
    for (size_t i = 0; i < LineBoxes.size(); ++i)
        if (LineBoxes[i]->isChecked())
            bits |= 1 << i;
    regs.emplace_back(RegScrollLines, bits);
    if (const std::optional<int> speed = DecimalIn(Edit1->text(), SpeedLow, SpeedHigh))
        regs.emplace_back(RegScrollSpeed, *speed);
    if (ComboBox1->currentIndex() >= 0)
        regs.emplace_back(RegScrollDirection, ComboBox1->currentIndex());
}

bool TfPrzewijanie::StoreControls() {
    ConfigImage& image = m_t.image;
    int bits = 0;
    for (size_t i = 0; i < LineBoxes.size(); ++i)
        if (LineBoxes[i]->isChecked())
            bits |= 1 << i;
    image.SetReg(RegScrollLines, bits); // bits above line 5 are cleared
    m_shownLines.Mark(image.RegsRevision(RegScrollLines));

    const std::optional<int> speed = DecimalIn(Edit1->text(), SpeedLow, SpeedHigh);
    if (!speed) {
        Refuse(m_t.dialogs, SpeedText, SpeedTitle, MsgIcon::Error);
        return false;
    }
    image.SetReg(RegScrollSpeed, *speed);
    m_shownSpeed.Mark(image.RegsRevision(RegScrollSpeed));
    // A direction the list has no item for (a board value past its end) shows no selection
    // and is kept as it is rather than stored as "none".
    if (ComboBox1->currentIndex() >= 0) {
        image.SetReg(RegScrollDirection, ComboBox1->currentIndex());
        m_shownDirection.Mark(image.RegsRevision(RegScrollDirection));
    }
    return true;
}

void TfPrzewijanie::BitBtn1Click() {
    StoreControls();
    hide();
}

void TfPrzewijanie::BitBtn2Click() {
    const QString name = QStringLiteral("Odczyt nastaw przewijania");
    if (m_t.Single(Transfers::Kind::Read, RegScrollSpeed, ScrollRegisters, name)) {
        m_t.ShowFromZero(QString());
        RefreshWhenDone(m_t);
    }
}

void TfPrzewijanie::BitBtn3Click() {
    const QString name = QStringLiteral("Zapis nastaw przewijania");
    if (StoreControls() && m_t.Single(Transfers::Kind::Write, RegScrollSpeed, ScrollRegisters, name))
        m_t.ShowFromZero(QString());
}

void TfPrzewijanie::BitBtn4Click() {
    if (!m_textEditor)
        return;
    m_textEditor->show();
    m_textEditor->raise();
    m_textEditor->activateWindow();
}

} // namespace kx9
