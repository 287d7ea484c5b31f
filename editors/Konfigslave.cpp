// SPDX-License-Identifier: MIT
#include "Konfigslave.h"

#include "widgets/TextFields.h"

#include "widgets/FieldHelpers.h"

#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QVBoxLayout>

namespace kx9 {

using namespace slave;

namespace {

constexpr int ChainIntervalMs = 20;
constexpr int FinishPauseMs = 300;
constexpr int LinkPage = 0;
constexpr int DevicePage = 1;

void AddRow(QGridLayout* grid, const QString& text, QWidget* field) {
    const int row = grid->rowCount();
    auto* label = new QLabel(text, field->parentWidget());
    label->setBuddy(field);
    grid->addWidget(label, row, 0);
    grid->addWidget(field, row, 1);
}

} // namespace

TfKonfigSlave::TfKonfigSlave(Transfers& transfers)
    : Timer1(new QTimer(this)), m_t(transfers), m_chain(transfers, *Timer1) {
    setObjectName(QStringLiteral("fKonfigSlave"));
    setWindowTitle(QStringLiteral("Konfiguracja połączenia z zewnętrznymi urządzeniami"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    BuildControls();
    BuildTree();
    FormCreate();
}

void TfKonfigSlave::BuildControls() {
    TreeView1 = new QTreeWidget(this);
    TreeView1->setObjectName(QStringLiteral("TreeView1"));
    TreeView1->setHeaderHidden(true);
    TreeView1->setColumnCount(1);
    TreeView1->setSelectionMode(QAbstractItemView::SingleSelection);
    TreeView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TreeView1->setMinimumWidth(200);

    Notebook1 = new QStackedWidget(this);
    Notebook1->setObjectName(QStringLiteral("Notebook1"));

    KonTrans = new QWidget(Notebook1);
    KonTrans->setObjectName(QStringLiteral("KonTrans"));
    ComboBox1 = MakeCombo(KonTrans, "ComboBox1", QStringLiteral("Tryb transmisji po stronie obiektowej"));
    ComboBox2 = MakeCombo(KonTrans, "ComboBox2", QStringLiteral("Prędkość transmisji po stronie obiektowej"));
    Edit1 = MakeEdit(KonTrans, "Edit1");
    auto* linkGrid = new QGridLayout;
    AddRow(linkGrid, QStringLiteral("Tryb Transmisji"), ComboBox1);
    AddRow(linkGrid, QStringLiteral("Prędkość Transmisji"), ComboBox2);
    AddRow(linkGrid, QStringLiteral("Time Out [ms]"), Edit1);
    auto* linkLayout = new QVBoxLayout(KonTrans);
    linkLayout->addLayout(linkGrid);
    linkLayout->addStretch(1);

    KonSlave = new QWidget(Notebook1);
    KonSlave->setObjectName(QStringLiteral("KonSlave"));
    Edit2 = MakeEdit(KonSlave, "Edit2");
    Edit3 = MakeEdit(KonSlave, "Edit3");
    Edit4 = MakeEdit(KonSlave, "Edit4");
    Edit5 = MakeEdit(KonSlave, "Edit5", QStringLiteral("Pozycja wyświetlania (y*100 + x)"));
    Edit6 = MakeEdit(KonSlave, "Edit6");
    ComboBox3 = MakeCombo(KonSlave, "ComboBox3");
    Edit7 = MakeEdit(KonSlave, "Edit7");
    ComboBox4 = MakeCombo(KonSlave, "ComboBox4");
    Edit8 = MakeEdit(KonSlave, "Edit8");
    auto* deviceGrid = new QGridLayout;
    AddRow(deviceGrid, QStringLiteral("Adres Urządzenia"), Edit2);
    AddRow(deviceGrid, QStringLiteral("Rejestr Bazowy"), Edit3);
    AddRow(deviceGrid, QStringLiteral("Liczba Rejestrów"), Edit4);
    AddRow(deviceGrid, QStringLiteral("Pozycja Wyświetlania"), Edit5);
    AddRow(deviceGrid, QStringLiteral("Nr Rejestru Wyświetlanego"), Edit6);
    AddRow(deviceGrid, QStringLiteral("Typ Rejestru"), ComboBox3);
    AddRow(deviceGrid, QStringLiteral("Okres przeglądania [s]"), Edit7);
    AddRow(deviceGrid, QStringLiteral("Format Wyświetlania"), ComboBox4);
    AddRow(deviceGrid, QStringLiteral("Liczba Znaków"), Edit8);
    StatusBar1 = new QStatusBar(KonSlave);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(false);
    StatusPanel0 = new QLabel(StatusBar1);
    StatusPanel0->setObjectName(QStringLiteral("StatusPanel0"));
    StatusBar1->addWidget(StatusPanel0, 1);
    auto* deviceLayout = new QVBoxLayout(KonSlave);
    deviceLayout->addLayout(deviceGrid);
    deviceLayout->addStretch(1);
    deviceLayout->addWidget(StatusBar1);

    Notebook1->addWidget(KonTrans);
    Notebook1->addWidget(KonSlave);

    BitBtn1 = MakeButton(this, "BitBtn1", QStringLiteral("Zapisz Konfiguracje Do KX9"),
                         QStringLiteral("Zapisuje konfigurację SLAVE do KX9"));
    BitBtn2 = MakeButton(this, "BitBtn2", QStringLiteral("Odczytaj Konfiguracje Z KX9"),
                         QStringLiteral("Odczytuje konfigurację SLAVE z KX9"));
    BitBtn5 = MakeButton(this, "BitBtn5", QStringLiteral("Zamknij"), QStringLiteral("Zamyka to okno"));

    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(ChainIntervalMs);
    Timer1->setTimerType(Qt::PreciseTimer);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(BitBtn1);
    buttons->addWidget(BitBtn2);
    buttons->addStretch(1);
    buttons->addWidget(BitBtn5);

    auto* body = new QHBoxLayout;
    body->addWidget(TreeView1);
    body->addWidget(Notebook1, 1);
    auto* outer = new QVBoxLayout(this);
    outer->addLayout(body, 1);
    outer->addLayout(buttons);

    connect(TreeView1, &QTreeWidget::itemSelectionChanged, this, &TfKonfigSlave::TreeView1Change);
    connect(BitBtn1, &QPushButton::clicked, this, &TfKonfigSlave::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &TfKonfigSlave::BitBtn2Click);
    connect(BitBtn5, &QPushButton::clicked, this, &TfKonfigSlave::BitBtn5Click);
    connect(Timer1, &QTimer::timeout, this, &TfKonfigSlave::Timer1Timer);
}

void TfKonfigSlave::BuildTree() {
    auto node = [](QTreeWidgetItem* item, int selector) {
        item->setData(0, NodeRole, selector);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        return item;
    };
    m_linkNode = node(new QTreeWidgetItem(TreeView1, {QStringLiteral("Parametry Transmisji")}), LinkNode);
    m_groupNode = node(new QTreeWidgetItem(TreeView1, {QStringLiteral("Parametry Odczytu")}), NoNode);
    for (int d = 0; d < Devices; ++d)
        m_devices[static_cast<size_t>(d)] =
            node(new QTreeWidgetItem(m_groupNode, {QStringLiteral("Urządzenie nr %1").arg(d + 1)}), d);
    TreeView1->expandAll();
}

QTreeWidgetItem* TfKonfigSlave::Node(int selector) const {
    if (selector == LinkNode)
        return m_linkNode;
    if (IsDevice(selector))
        return m_devices[static_cast<size_t>(selector)];
    return m_groupNode;
}

void TfKonfigSlave::FormCreate() {
    ComboBox1->addItems(FrameItems());
    ComboBox2->addItems(BaudItems());
    ComboBox3->addItems(TypeItems());
    ComboBox4->addItems(FormatItems());
    // Nothing loaded yet; no device page until a device is chosen.
    for (QComboBox* box : {ComboBox1, ComboBox2, ComboBox3, ComboBox4})
        box->setCurrentIndex(-1);
    SetDevicePageEnabled(false);
    Notebook1->setCurrentIndex(DevicePage);
}

ConfigImage::Revision TfKonfigSlave::LinkRevision() const {
    return m_t.image.RegsRevision(RegSlaveTimeout, LinkRegisters);
}

ConfigImage::Revision TfKonfigSlave::DeviceRevision(int device) const {
    return m_t.image.RegsRevision(RecordRegister(device, 0), RecordSize);
}

void TfKonfigSlave::LoadLinkPage() {
    const LinkEntry entry = LinkFromImage(m_t.image);
    SelectOrNone(ComboBox1, entry.frame);
    SelectOrNone(ComboBox2, entry.baud);
    Edit1->setText(entry.timeoutMs);
    NoteFilled({ComboBox1, ComboBox2, Edit1});
    m_shownLink.Mark(LinkRevision());
}

slave::LinkEntry TfKonfigSlave::LinkShown() const {
    return {ComboBox1->currentIndex(), ComboBox2->currentIndex(), Edit1->text()};
}

void TfKonfigSlave::StoreLinkPage() {
    ShowMessages(StoreLink(LinkShown(), m_t.image));
}

void TfKonfigSlave::LoadDevicePage(int device) {
    if (!IsDevice(device))
        return;
    const DeviceEntry entry = DeviceFromImage(m_t.image, device);
    StatusPanel0->setText(DeviceState(m_t.image, device));
    Edit2->setText(entry.address);
    Edit3->setText(entry.baseRegister);
    Edit4->setText(entry.registerCount);
    Edit5->setText(entry.position);
    Edit6->setText(entry.shownRegister);
    SelectOrNone(ComboBox3, entry.type);
    Edit7->setText(entry.pollPeriod);
    SelectOrNone(ComboBox4, entry.decimals);
    Edit8->setText(entry.maxChars);
    NoteFilled({Edit2, Edit3, Edit4, Edit5, Edit6, ComboBox3, Edit7, ComboBox4, Edit8});
    m_shownDevice.Mark(DeviceRevision(device));
}

slave::DeviceEntry TfKonfigSlave::DeviceShown() const {
    DeviceEntry entry;
    entry.position = Edit5->text();
    entry.address = Edit2->text();
    entry.baseRegister = Edit3->text();
    entry.registerCount = Edit4->text();
    entry.shownRegister = Edit6->text();
    entry.type = ComboBox3->currentIndex();
    entry.pollPeriod = Edit7->text();
    entry.decimals = ComboBox4->currentIndex();
    entry.maxChars = Edit8->text();
    return entry;
}

void TfKonfigSlave::StoreDevicePage(int device) {
    if (IsDevice(device))
        ShowMessages(StoreDevice(device, DeviceShown(), m_t.image));
}

std::vector<QString> TfKonfigSlave::StoreShown() {
    // Every field is taken before a box appears: closing a box activates the window again.
    if (ShownNode == LinkNode)
        return StoreLink(LinkShown(), m_t.image);
    if (IsDevice(ShownNode))
        return StoreDevice(ShownNode, DeviceShown(), m_t.image);
    return {};
}

void TfKonfigSlave::ShowMessages(const std::vector<QString>& messages) {
    for (const QString& text : messages)
        Refuse(m_t.dialogs, text, MessageTitle, MsgIcon::Error);
}

void TfKonfigSlave::SetDevicePageEnabled(bool on) {
    for (QWidget* control : std::initializer_list<QWidget*>{Edit2, Edit3, Edit4, Edit5, Edit6, ComboBox3,
                                                            Edit7, ComboBox4, Edit8})
        control->setEnabled(on);
}

void TfKonfigSlave::FormActivate() {
    // Only a page that changed under the window since its controls were filled is loaded
    // again: values just read appear, typing not yet stored survives.
    if (Stale(m_shownLink, LinkRevision()))
        LoadLinkPage();
    if (IsDevice(ShownNode) && Stale(m_shownDevice, DeviceRevision(ShownNode)))
        LoadDevicePage(ShownNode);
}

bool TfKonfigSlave::StoreControls() {
    const std::vector<QString> refused = StoreShown();
    ShowMessages(refused);
    return refused.empty();
}

void TfKonfigSlave::FormHide() {
    ShowMessages(StoreShown());
}

void TfKonfigSlave::TreeView1Change() {
    const QList<QTreeWidgetItem*> selected = TreeView1->selectedItems();
    if (selected.isEmpty())
        return;
    const int s = selected.first()->data(0, NodeRole).toInt();
    Notebook1->setCurrentIndex(s == LinkNode ? LinkPage : DevicePage);
    ShowMessages(StoreShown());
    if (s < 0) {
        SetDevicePageEnabled(false);
    } else if (s == LinkNode) {
        LoadLinkPage();
    } else {
        SetDevicePageEnabled(true);
        LoadDevicePage(s);
    }
    ShownNode = s;
}

void TfKonfigSlave::BitBtn1Click() {
    // The link page hidden behind a device holds nothing typed: when the image moved on under
    // it, it is brought up to date rather than stored back over newer values.
    if (ShownNode != LinkNode && m_shownLink.Changed(LinkRevision()))
        LoadLinkPage();
    const LinkEntry link = LinkShown();
    const DeviceEntry device = IsDevice(ShownNode) ? DeviceShown() : DeviceEntry{};
    std::vector<QString> messages = StoreLink(link, m_t.image);
    if (IsDevice(ShownNode)) {
        const std::vector<QString> more = StoreDevice(ShownNode, device, m_t.image);
        messages.insert(messages.end(), more.begin(), more.end());
    }
    ShowMessages(messages);
    // A write goes on after refused fields with what the image holds.
    Start(Kind::Write);
}

void TfKonfigSlave::BitBtn2Click() {
    Start(Kind::Read);
}

void TfKonfigSlave::BitBtn5Click() {
    hide();
}

void TfKonfigSlave::Start(Kind kind) {
    const bool read = kind == Kind::Read;
    const Transfers::Kind request = read ? Transfers::Kind::Read : Transfers::Kind::Write;
    std::vector<ChainStep> steps{
        RequestStep(m_t, request, RegSlaveTimeout, LinkRegisters, Transfers::Port::Open),
        RequestStep(m_t, request, SlaveBase, SlaveCount, Transfers::Port::AsIs, 50),
    };
    const QString name =
        read ? QStringLiteral("Odczyt konfiguracji SLAVE") : QStringLiteral("Zapis konfiguracji SLAVE");
    if (!m_chain.Start(
            std::move(steps), [this, kind] { Finish(kind); }, name))
        return;
    m_running = kind;
    m_t.ShowFromZero(QString());
}

void TfKonfigSlave::Finish(Kind kind) {
    m_running = Kind::None;
    m_t.progress.SetProgress(100);
    m_t.clock.pause(FinishPauseMs);
    m_t.progress.HideProgress();
    m_t.ClosePort();
    if (kind == Kind::Read)
        Refresh();
}

void TfKonfigSlave::Timer1Timer() {
    m_chain.Tick();
}

int TfKonfigSlave::WriteStep() const {
    return m_chain.Running() && m_running == Kind::Write ? m_chain.Sent() : 0;
}

int TfKonfigSlave::ReadStep() const {
    return m_chain.Running() && m_running == Kind::Read ? m_chain.Sent() : 0;
}

} // namespace kx9
