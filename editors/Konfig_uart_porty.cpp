// SPDX-License-Identifier: MIT
// "Port Szeregowy": the port names, the device or network line each leads to.
#include "Konfig_uart.h"

#include "link/NetworkLine.h"
#include "widgets/FieldHelpers.h"

#include <QGroupBox>

#include <algorithm>

namespace kx9 {

namespace {

// How often the device list looks for adapters plugged in or pulled while the window is shown.
constexpr int DevicePollMs = 1000;

} // namespace

QWidget* TfKonUart::buildPorts() {
    auto* box = new QGroupBox(QStringLiteral("Urządzenia portów"), this);
    ListBox1 = new QListWidget(box);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    ListBox1->setToolTip(
        QStringLiteral("Urządzenie, do którego prowadzi każda nazwa portu; łącze COMn w folderze "
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
    Edit3->setToolTip(
        QStringLiteral("Linia sieciowa dla nazwy portu wybranej na liście: konwerter RTU przez TCP "
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
        ComboBox4->setItemData(ComboBox4->count() - 1,
                               device.Preferred() + QLatin1Char('\n') + device.manufacturer, Qt::ToolTipRole);
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

} // namespace kx9
