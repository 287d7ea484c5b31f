// SPDX-License-Identifier: MIT
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

constexpr int PortItems = 6;
constexpr int TimeoutMin = 100;
constexpr int TimeoutMax = 20000;
constexpr int AddressMin = frame::MinAddress;
constexpr int AddressMax = frame::MaxAddress;
// How often the device list looks for adapters plugged in or pulled while the window is shown.
constexpr int DevicePollMs = 1000;

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

// "Adres 57, 9600bps, 8O1: " and the first line of what the device said.
QString FindText(const ScanFind& find) {
    return QStringLiteral("Adres %1, %2, %3: ")
               .arg(find.at.address)
               .arg(BaudText(find.at.baudIndex), QLatin1String(FrameNames[size_t(find.at.frameIndex)])) +
           find.identification.section(QLatin1Char('\n'), 0, 0);
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

QWidget* TfKonUart::buildPorts() {
    auto* box = new QGroupBox(QStringLiteral("Urządzenia portów"), this);
    ListBox1 = new QListWidget(box);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    ListBox1->setToolTip(QStringLiteral("Urządzenie, do którego prowadzi każda nazwa portu; łącze COMn w folderze "
                                        "roboczym ma pierwszeństwo"));
    ComboBox4 = new QComboBox(box);
    ComboBox4->setObjectName(QStringLiteral("ComboBox4"));
    ComboBox4->setToolTip(QStringLiteral("Urządzenie szeregowe dla nazwy portu wybranej na liście"));
    ComboBox4->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    ComboBox4->setMinimumContentsLength(24);
    Button4 = new QPushButton(QStringLiteral("Odśwież"), box);
    Button4->setObjectName(QStringLiteral("Button4"));
    Button4->setToolTip(QStringLiteral("Ponownie wyszukuje urządzenia szeregowe w systemie"));
    Button4->setAutoDefault(false);
    auto* label = new QLabel(QStringLiteral("Urządzenie"), box);
    label->setObjectName(QStringLiteral("Label6"));
    label->setBuddy(ComboBox4);

    // A converter or gateway on the network, typed, for the name selected; on every system.
    Edit3 = new QLineEdit(box);
    Edit3->setObjectName(QStringLiteral("Edit3"));
    Edit3->setPlaceholderText(QStringLiteral("tcp://ADRES:PORT lub modbus-tcp://ADRES:PORT"));
    Edit3->setToolTip(QStringLiteral("Linia sieciowa dla nazwy portu wybranej na liście: konwerter RTU przez TCP "
                                     "(tcp://) albo bramka Modbus TCP (modbus-tcp://)"));
    Button6 = new QPushButton(QStringLiteral("Ustaw"), box);
    Button6->setObjectName(QStringLiteral("Button6"));
    Button6->setToolTip(QStringLiteral("Przypisuje linię sieciową wybranej nazwie portu"));
    Button6->setAutoDefault(false);
    auto* netLabel = new QLabel(QStringLiteral("Linia sieciowa"), box);
    netLabel->setObjectName(QStringLiteral("Label8"));
    netLabel->setBuddy(Edit3);

    auto* row = new QHBoxLayout;
    row->addWidget(label);
    row->addWidget(ComboBox4, 1);
    row->addWidget(Button4);
    auto* netRow = new QHBoxLayout;
    netRow->addWidget(netLabel);
    netRow->addWidget(Edit3, 1);
    netRow->addWidget(Button6);
    auto* layout = new QVBoxLayout(box);
    layout->addWidget(ListBox1);
    layout->addLayout(row);
    layout->addLayout(netRow);

    // The port list leads the device list, never the other way: looking at another name's
    // device must not change the port that OK stores.
    connect(ComboBox1, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0)
            ListBox1->setCurrentRow(rowOf(index));
        markChosen();
    });
    connect(ListBox1, &QListWidget::currentRowChanged, this, [this] { fillDevices(); });
    connect(ComboBox4, &QComboBox::activated, this, &TfKonUart::ComboBox4Change);
    connect(Button4, &QPushButton::clicked, this, &TfKonUart::Button4Click);
    Timer2.setObjectName(QStringLiteral("Timer2"));
    Timer2.setParent(this);
    Timer2.setInterval(DevicePollMs);
    connect(&Timer2, &QTimer::timeout, this, &TfKonUart::Timer2Timer);
    connect(Button6, &QPushButton::clicked, this, &TfKonUart::Button6Click);
    return box;
}

QWidget* TfKonUart::buildSearch() {
    auto* box = new QGroupBox(QStringLiteral("Tablice na linii"), this);
    Button3 = new QPushButton(QStringLiteral("Szukaj tablicy"), box);
    Button3->setObjectName(QStringLiteral("Button3"));
    Button3->setToolTip(QStringLiteral("Szuka tablicy KX9 na wybranym porcie pod każdym adresem, z każdą prędkością i "
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
        m_dialogs.message(QStringLiteral("Nie można zapisać przypisania portów do urządzeń: ") + m_ports->File(),
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

std::vector<int> TfKonUart::RoutedPorts() const {
    // The names OK can store: the list's six, and the one in force when a file set another.
    std::vector<int> ports;
    for (int k = 0; k < PortItems; ++k)
        ports.push_back(k);
    if (m_settings.PortIndex >= PortItems && m_settings.PortIndex < PortMap::Names)
        ports.push_back(m_settings.PortIndex);
    return ports;
}

int TfKonUart::RowPort(int row) const {
    const QListWidgetItem* item = ListBox1 ? ListBox1->item(row) : nullptr;
    return item ? item->data(Qt::UserRole).toInt() : -1;
}

int TfKonUart::rowOf(int port) const {
    for (int row = 0; row < ListBox1->count(); ++row)
        if (RowPort(row) == port)
            return row;
    return -1;
}

void TfKonUart::ShowRoutes() {
    if (!m_ports)
        return;
    const int kept = RowPort(ListBox1->currentRow());
    {
        const QSignalBlocker quiet(ListBox1);
        ListBox1->clear();
        for (int port : RoutedPorts()) {
            auto* item = new QListWidgetItem(ListBox1);
            item->setData(Qt::UserRole, port);
            showRoute(ListBox1->count() - 1);
        }
        ListBox1->setCurrentRow(rowOf(kept >= 0 ? kept : chosenPort()));
    }
    markChosen();
    fillDevices();
}

void TfKonUart::showRoute(int row) {
    QListWidgetItem* item = ListBox1->item(row);
    if (!item)
        return;
    const PortRoute route = m_ports->Route(PortMap::Name(RowPort(row)), m_devices);
    item->setText(RouteText(route));
    item->setToolTip(route.device);
}

void TfKonUart::markChosen() {
    if (!ListBox1)
        return;
    // The port OK stores stands out, wherever the list's cursor is.
    for (int row = 0; row < ListBox1->count(); ++row) {
        QFont font = ListBox1->font();
        font.setBold(RowPort(row) == chosenPort());
        ListBox1->item(row)->setFont(font);
    }
}

void TfKonUart::fillDevices() {
    if (!m_ports)
        return;
    ComboBox4->clear();
    const int port = RowPort(ListBox1->currentRow());
    if (port < 0)
        return;
    const QString name = PortMap::Name(port);
    const QString mapped = m_ports->Mapped(name);
    const QString fallback = PortMap().DeviceFor(name);
    ComboBox4->addItem(QStringLiteral("bez przypisania (%1)").arg(fallback), QString());
    for (const SerialDevice& device : m_devices) {
        ComboBox4->addItem(DeviceText(device), device.Preferred());
        ComboBox4->setItemData(ComboBox4->count() - 1, device.Preferred() + QLatin1Char('\n') + device.manufacturer,
                               Qt::ToolTipRole);
    }
    if (LooksLikeNetworkLine(mapped)) {
        const std::optional<NetworkLine> line = ParseNetworkLine(mapped);
        ComboBox4->addItem(mapped + QStringLiteral(" (") + (line ? line->KindText() : QStringLiteral("?")) +
                               QStringLiteral(")"),
                           mapped);
    }
    if (Edit3)
        Edit3->setText(LooksLikeNetworkLine(mapped) ? mapped : QString());
    int chosen = mapped.isEmpty() ? 0 : ComboBox4->findData(mapped);
    if (chosen < 0) {
        // Chosen once, not there now: it stays the choice and says so.
        ComboBox4->addItem(mapped + QStringLiteral(" (odłączone)"), mapped);
        chosen = ComboBox4->count() - 1;
    }
    ComboBox4->setCurrentIndex(chosen);
}

void TfKonUart::ComboBox4Change() {
    const int row = ListBox1->currentRow();
    if (!m_ports || RowPort(row) < 0)
        return;
    m_ports->SetMapped(PortMap::Name(RowPort(row)), ComboBox4->currentData().toString());
    showRoute(row);
}

void TfKonUart::Button6Click() {
    const int row = ListBox1->currentRow();
    if (!m_ports || RowPort(row) < 0)
        return;
    const QString typed = Edit3->text().trimmed();
    if (const QString problem = NetworkLineProblem(typed); !problem.isEmpty()) {
        m_dialogs.message(problem, QStringLiteral("Błąd linii sieciowej"), MsgIcon::Error);
        return;
    }
    m_ports->SetMapped(PortMap::Name(RowPort(row)), ParseNetworkLine(typed)->Text());
    fillDevices();
    showRoute(row);
}

void TfKonUart::Button4Click() {
    m_devices = m_ports->Devices();
    ShowRoutes();
}

void TfKonUart::Timer2Timer() {
    if (!m_ports)
        return;
    std::vector<SerialDevice> devices = m_ports->Devices();
    if (devices == m_devices)
        return;
    m_devices = std::move(devices);
    // A network line half typed stays as typed while adapters come and go.
    const QString typed = Edit3 ? Edit3->text() : QString();
    const int cursor = Edit3 ? Edit3->cursorPosition() : 0;
    ShowRoutes();
    if (Edit3 && Edit3->text() != typed) {
        Edit3->setText(typed);
        Edit3->setCursorPosition(cursor);
    }
}

int TfKonUart::chosenPort() const {
    return ShownOr(ComboBox1, m_settings.PortIndex);
}

BoardScan::Plan TfKonUart::ScanPlan() const {
    BoardScan::Plan plan;
    const int baud = ShownOr(ComboBox3, m_settings.BaudIndex);
    const int frame = ShownOr(ComboBox2, m_settings.FrameIndex);
    plan.first = {DecimalIn(Edit1->text(), AddressMin, AddressMax).value_or(m_settings.BoardAddress), baud,
                  frame};
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
    const std::vector<ScanPoint> order = network ? ScanOrder(plan.first, {plan.first.baudIndex}, {plan.first.frameIndex})
                                                 : ScanOrder(plan.first, plan.rates, plan.frames);
    Label7->setText(QStringLiteral("Szukanie na %1%2: zapytań najwyżej %3, najdłużej %4")
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
