// SPDX-License-Identifier: MIT
// "Port Szeregowy": the search of the line for a board.
#include "Konfig_uart.h"

#include "link/ModbusFrame.h"
#include "ops/ScanTransfer.h"
#include "widgets/FieldHelpers.h"

#include <QGroupBox>

namespace kx9 {

namespace {

// "Adres 57, 9600bps, 8O1: " and the first line of what the device said.
QString FindText(const ScanFind& find) {
    return QStringLiteral("Adres %1, %2, %3: ")
               .arg(find.at.address)
               .arg(BaudText(find.at.baudIndex), QLatin1String(FrameNames[size_t(find.at.frameIndex)])) +
           find.identification.section(QLatin1Char('\n'), 0, 0);
}

} // namespace

QWidget* TfKonUart::buildSearch() {
    auto* box = new QGroupBox(QStringLiteral("Tablice na linii"), this);
    Button3 = new QPushButton(QStringLiteral("Szukaj tablicy"), box);
    Button3->setObjectName(QStringLiteral("Button3"));
    Button3->setToolTip(
        QStringLiteral("Szuka tablicy KX9 na wybranym porcie pod każdym adresem, z każdą prędkością i "
                       "ramką, zaczynając od nastaw z okna"));
    Button3->setAutoDefault(false);
    CheckBox1 = new QCheckBox(QStringLiteral("Tylko wybrana prędkość i ramka"), box);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    CheckBox2 = new QCheckBox(QStringLiteral("Wszystkie urządzenia na linii"), box);
    CheckBox2->setObjectName(QStringLiteral("CheckBox2"));
    CheckBox2->setToolTip(QStringLiteral("Nie kończy na pierwszej znalezionej tablicy"));
    ListBox2 = new QListWidget(box);
    ListBox2->setObjectName(QStringLiteral("ListBox2"));
    ListBox2->setToolTip(QStringLiteral("Znalezione urządzenia; wybrać można tylko tablicę KX9"));
    ListBox2->setMaximumHeight(ListBox2->fontMetrics().height() * 6);
    Button5 = new QPushButton(QStringLiteral("Użyj"), box);
    Button5->setObjectName(QStringLiteral("Button5"));
    Button5->setToolTip(QStringLiteral("Przyjmuje adres, prędkość i ramkę wybranej tablicy"));
    Button5->setAutoDefault(false);
    Button5->setEnabled(false);
    Label7 = new QLabel(box);
    Label7->setObjectName(QStringLiteral("Label7"));
    Label7->setWordWrap(true);

    auto* options = new QHBoxLayout;
    options->addWidget(Button3);
    options->addWidget(CheckBox1);
    options->addWidget(CheckBox2);
    options->addStretch();
    auto* end = new QHBoxLayout;
    end->addWidget(Label7, 1);
    end->addWidget(Button5);
    auto* layout = new QVBoxLayout(box);
    layout->addLayout(options);
    layout->addWidget(ListBox2);
    layout->addLayout(end);

    connect(Button3, &QPushButton::clicked, this, &TfKonUart::Button3Click);
    connect(Button5, &QPushButton::clicked, this, &TfKonUart::Button5Click);
    connect(ListBox2, &QListWidget::currentRowChanged, this, [this](int row) {
        const QListWidgetItem* item = ListBox2->item(row);
        Button5->setEnabled(item && (item->flags() & Qt::ItemIsSelectable));
    });
    connect(ListBox2, &QListWidget::itemDoubleClicked, this, &TfKonUart::Button5Click);
    return box;
}

BoardScan::Plan TfKonUart::ScanPlan() const {
    BoardScan::Plan plan;
    const int baud = shownBaud();
    const int frame = shownFrame();
    plan.first = {
        DecimalIn(Edit1->text(), frame::MinAddress, frame::MaxAddress).value_or(m_settings.BoardAddress),
        baud, frame};
    const bool inTables = baud < int(BaudRates.size()) && frame < int(FrameNames.size());
    if (CheckBox1 && CheckBox1->isChecked() && inTables) {
        plan.rates = {baud};
        plan.frames = {frame};
    }
    plan.all = CheckBox2 && CheckBox2->isChecked();
    plan.probeMs = ScanProbeMs;
    return plan;
}

void TfKonUart::Button3Click() {
    if (!m_scan || m_scan->Running())
        return;
    const BoardScan::Plan plan = ScanPlan();
    ListBox2->clear();
    Button5->setEnabled(false);
    // Behind a converter the line keeps its own rate and frame: only the address varies.
    const bool network = m_ports && m_ports->Route(PortMap::Name(chosenPort()), {}).network;
    const std::vector<ScanPoint> order =
        network ? ScanOrder(plan.first, {plan.first.baudIndex}, {plan.first.frameIndex})
                : ScanOrder(plan.first, plan.rates, plan.frames);
    Label7->setText(
        QStringLiteral("Szukanie na %1%2: zapytań najwyżej %3, najdłużej %4")
            .arg(PortMap::Name(chosenPort()),
                 network ? QStringLiteral(" (linia sieciowa: zmienia się tylko adres)") : QString())
            .arg(order.size())
            .arg(DurationText(ScanWorstCaseMs(order, plan.probeMs))));
    m_scannedPort = chosenPort();
    Button3->setEnabled(false);
    if (!m_scan->Start(
            m_scannedPort, plan, [this] { scanEnded(); }, [this](const ScanFind& find) { addFind(find); })) {
        Label7->clear();
        Button3->setEnabled(true);
    }
}

void TfKonUart::addFind(const ScanFind& find) {
    auto* item = new QListWidgetItem(FindText(find), ListBox2);
    item->setToolTip(find.identification);
    // Only a KX9 board can be chosen; anything else that answered is shown for what it is.
    if (!find.kx9)
        item->setFlags(Qt::NoItemFlags);
    else if (ListBox2->currentRow() < 0)
        ListBox2->setCurrentRow(ListBox2->count() - 1);
}

void TfKonUart::scanEnded() {
    Button3->setEnabled(true);
    const BoardScan* scan = m_scan->Last();
    const int boards = int(
        std::count_if(scan->Found().begin(), scan->Found().end(), [](const ScanFind& f) { return f.kx9; }));
    QString text;
    switch (scan->Status()) {
    case BoardScan::State::Stopped:
        text = QStringLiteral("Przerwano; znalezione tablice KX9: %1").arg(boards);
        break;
    case BoardScan::State::Failed:
        text = QStringLiteral("Szukanie przerwane przez błąd portu");
        break;
    default:
        text = boards > 0 ? QStringLiteral("Znalezione tablice KX9: %1").arg(boards)
                          : QStringLiteral("Nie znaleziono tablicy KX9");
        break;
    }
    Label7->setText(text);
}

void TfKonUart::Button5Click() {
    const BoardScan* scan = m_scan ? m_scan->Last() : nullptr;
    const int row = ListBox2 ? ListBox2->currentRow() : -1;
    if (!scan || row < 0 || row >= int(scan->Found().size()) || !scan->Found()[size_t(row)].kx9)
        return;
    const ScanPoint at = scan->Found()[size_t(row)].at;
    // Into the fields only: OK applies them with the rest of the window, "Anuluj" drops them. A
    // port the list does not offer (COM7, COM8) was scanned because it is the one in force, and
    // OK keeps it when the list shows none.
    SelectOrNone(ComboBox1, m_scannedPort);
    ComboBox2->setCurrentIndex(at.frameIndex);
    ComboBox3->setCurrentIndex(at.baudIndex);
    Edit1->setText(QString::number(at.address));
    Label7->setText(QStringLiteral("Nastawy tablicy wpisane w pola okna; przyjmie je OK"));
}

} // namespace kx9
