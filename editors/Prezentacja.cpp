// SPDX-License-Identifier: MIT
#include "Prezentacja.h"

#include "EditorText.h"
#include "widgets/FieldHelpers.h"
#include "widgets/TextFields.h"

#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPalette>
#include <QVBoxLayout>
#include <initializer_list>
#include <utility>

namespace kx9 {

using namespace presentation;

namespace {

constexpr int BoardPreviewMs = 300;
constexpr int ChainIntervalMs = 20;
const QString CountPrefix = QStringLiteral("Liczba stron: ");

} // namespace

TfPrezentacja::TfPrezentacja(Transfers& transfers, TPStron& stron)
    : Timer1(new QTimer(this)), m_t(transfers), m_stron(stron), m_chain(transfers, *Timer1) {
    setObjectName(QStringLiteral("fPrezentacja"));
    setWindowTitle(QStringLiteral("Edytor Prezentacji Automatycznej"));
    BuildControls();
    BuildTree();
    // They steer the preview only.
    StoresNothing({CheckBox1, RadioButton1, RadioButton2});
    FormCreate();
}

void TfPrezentacja::SetGraphics(TKonGraf* konGraf) {
    m_konGraf = konGraf;
}

QTimer* TfPrezentacja::MakeTimer(const char* name, int intervalMs) {
    auto* timer = new QTimer(this);
    timer->setObjectName(QString::fromLatin1(name));
    timer->setInterval(intervalMs);
    timer->setTimerType(Qt::PreciseTimer);
    return timer;
}

QLayout* TfPrezentacja::BuildPreview() {
    QFont large = font();
    large.setPointSize(16);
    QPalette board = palette();
    board.setColor(QPalette::Base, Qt::black);
    board.setColor(QPalette::Text, Qt::red);
    const char* names[5] = {"Edit1", "Edit2", "Edit3", "Edit4", "Edit5"};
    auto* preview = new QVBoxLayout;
    for (size_t i = 0; i < PreviewFields.size(); ++i) {
        QLineEdit* field = MakeEdit(this, names[i], QStringLiteral("Podgląd tekstu"));
        field->setReadOnly(true);
        field->setFont(large);
        field->setPalette(board);
        field->setMinimumWidth(PictureArea.width());
        field->setFocusPolicy(Qt::NoFocus);
        PreviewFields[i] = field;
        preview->addWidget(field);
    }
    Edit1 = PreviewFields[0];
    Edit2 = PreviewFields[1];
    Edit3 = PreviewFields[2];
    Edit4 = PreviewFields[3];
    Edit5 = PreviewFields[4];

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setFixedSize(PictureArea);
    Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QSizePolicy keep = Image1->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    Image1->setSizePolicy(keep);
    Image1->setVisible(false);
    preview->addWidget(Image1);
    preview->addStretch(1);
    return preview;
}

void TfPrezentacja::BuildControls() {
    TreeView1 = new QTreeWidget(this);
    TreeView1->setObjectName(QStringLiteral("TreeView1"));
    TreeView1->setHeaderHidden(true);
    TreeView1->setColumnCount(1);
    TreeView1->setSelectionMode(QAbstractItemView::SingleSelection);
    TreeView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TreeView1->setMinimumSize(220, 420);

    ListBox1 = new QListWidget(this);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    ListBox1->setToolTip(QStringLiteral("Pokazuje kolejność ekranów prezentacji"));
    ListBox1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListBox1->setMinimumWidth(200);
    BitBtn1 = MakeButton(this, "BitBtn1", QStringLiteral("Dodaj do Listy"),
                         QStringLiteral("Dodaje wybrany element do listry prezentacji"));
    BitBtn2 = MakeButton(this, "BitBtn2", QStringLiteral("Usuń z listy"),
                         QStringLiteral("Usuwa wybraną pozycję z listy prezentacji"));
    BitBtn3 = MakeButton(this, "BitBtn3", QStringLiteral("Wyczyść Liste"),
                         QStringLiteral("Czyści całą listę prezentacji"));
    BitBtn8 = MakeButton(this, "BitBtn8", QStringLiteral("Do Góry"),
                         QStringLiteral("Przesuwa wybraną strone do góry"));
    BitBtn9 = MakeButton(this, "BitBtn9", QStringLiteral("Na Dół"),
                         QStringLiteral("Przesuwa wybraną stronę w dół"));
    Label1 = new QLabel(QStringLiteral("Czas przełączania 1..240 s"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Edit6 = MakeEdit(this, "Edit6",
                     QStringLiteral("Iterwał pomiędzy kolejno wyświetlanymi ekranami. Czas w sekundach"));
    Label1->setBuddy(Edit6);
    Edit7 = MakeEdit(this, "Edit7", QStringLiteral("Liczba ekranów prezentacji automatycznej"));
    Edit7->setReadOnly(true);

    GroupBox1 = new QGroupBox(QStringLiteral("Podgląd"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    CheckBox1 =
        MakeCheckBox(GroupBox1, "CheckBox1", QStringLiteral("Włącz Podgląd"),
                     QStringLiteral("Włącza podgląd stron z komputera lub przebieg prezentacji na KX9"));
    RadioButton1 = new QRadioButton(QStringLiteral("Podgląd Stron"), GroupBox1);
    RadioButton1->setObjectName(QStringLiteral("RadioButton1"));
    RadioButton1->setToolTip(QStringLiteral("Zaznacz to pole, aby wybrać prezentację z PC"));
    RadioButton2 = new QRadioButton(QStringLiteral("Podgląd tablicy"), GroupBox1);
    RadioButton2->setObjectName(QStringLiteral("RadioButton2"));
    RadioButton2->setToolTip(QStringLiteral("Zanzacz to pole, aby wybrać podgląd tablicy KX9"));
    Label2 = new QLabel(QStringLiteral("Aktualnie wyświetlana strona"), GroupBox1);
    Label2->setObjectName(QStringLiteral("Label2"));
    Edit8 = MakeEdit(GroupBox1, "Edit8",
                     QStringLiteral("Numer aktualnie wyświetlanej tablicy tekstowej/graficznej"));
    Edit8->setReadOnly(true);
    Label2->setBuddy(Edit8);
    auto* group = new QGridLayout(GroupBox1);
    group->addWidget(CheckBox1, 0, 0);
    group->addWidget(RadioButton1, 1, 0);
    group->addWidget(RadioButton2, 2, 0);
    group->addWidget(Label2, 0, 1);
    group->addWidget(Edit8, 1, 1);

    BitBtn4 = MakeButton(this, "BitBtn4", QStringLiteral("Odczytaj z KX9"),
                         QStringLiteral("Odczytuje konfigurację prezentacji z KX9"));
    BitBtn5 = MakeButton(this, "BitBtn5", QStringLiteral("Zapisz do KX9"),
                         QStringLiteral("Zapisuje konfigurację prezentacji do KX9"));
    BitBtn6 = MakeButton(this, "BitBtn6", QStringLiteral("Edytor Tekstów"),
                         QStringLiteral("Uruchamia edytor tekstów (napisów)"));
    BitBtn7 = MakeButton(this, "BitBtn7", QStringLiteral("Zamknij"), QStringLiteral("Zamyka to okno"));

    PrezentacjaStron = MakeTimer("PrezentacjaStron", 1000);
    PrezentacjaTablicy = MakeTimer("PrezentacjaTablicy", BoardPreviewMs);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(ChainIntervalMs);
    Timer1->setTimerType(Qt::PreciseTimer);
    TestNadawania = MakeTimer("TestNadawania", ChainIntervalMs);

    auto* listButtons = new QGridLayout;
    listButtons->addWidget(BitBtn1, 0, 0);
    listButtons->addWidget(BitBtn2, 0, 1);
    listButtons->addWidget(BitBtn8, 1, 0);
    listButtons->addWidget(BitBtn9, 1, 1);
    listButtons->addWidget(BitBtn3, 2, 0, 1, 2);
    auto* list = new QVBoxLayout;
    list->addWidget(ListBox1, 1);
    list->addLayout(listButtons);
    list->addWidget(Label1);
    list->addWidget(Edit6);
    list->addWidget(Edit7);

    auto* middle = new QVBoxLayout;
    middle->addLayout(BuildPreview(), 1);
    middle->addWidget(GroupBox1);

    auto* body = new QHBoxLayout;
    body->addWidget(TreeView1);
    body->addLayout(middle, 1);
    body->addLayout(list);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(BitBtn4);
    buttons->addWidget(BitBtn5);
    buttons->addWidget(BitBtn6);
    buttons->addStretch(1);
    buttons->addWidget(BitBtn7);

    auto* outer = new QVBoxLayout(this);
    outer->addLayout(body);
    outer->addLayout(buttons);
    outer->setSizeConstraint(QLayout::SetFixedSize);

    connect(TreeView1, &QTreeWidget::itemSelectionChanged, this, [this] {
        if (!m_selectingNode)
            TreeView1Change();
    });
    // A press is a click; a keyboard move is one too, a selection made from code is not.
    connect(ListBox1, &QListWidget::itemPressed, this, &TfPrezentacja::ListBox1Click);
    connect(ListBox1, &QListWidget::currentRowChanged, this, [this] {
        if (!m_fillingList && QGuiApplication::mouseButtons() == Qt::NoButton)
            ListBox1Click();
    });
    connect(CheckBox1, &QCheckBox::toggled, this, [this] { CheckBox1Click(); });
    connect(BitBtn1, &QPushButton::clicked, this, &TfPrezentacja::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &TfPrezentacja::BitBtn2Click);
    connect(BitBtn3, &QPushButton::clicked, this, &TfPrezentacja::BitBtn3Click);
    connect(BitBtn4, &QPushButton::clicked, this, &TfPrezentacja::BitBtn4Click);
    connect(BitBtn5, &QPushButton::clicked, this, &TfPrezentacja::BitBtn5Click);
    connect(BitBtn6, &QPushButton::clicked, this, &TfPrezentacja::BitBtn6Click);
    connect(BitBtn7, &QPushButton::clicked, this, &TfPrezentacja::BitBtn7Click);
    connect(BitBtn8, &QPushButton::clicked, this, &TfPrezentacja::BitBtn8Click);
    connect(BitBtn9, &QPushButton::clicked, this, &TfPrezentacja::BitBtn9Click);
    connect(PrezentacjaStron, &QTimer::timeout, this, &TfPrezentacja::PrezentacjaStronTimer);
    connect(PrezentacjaTablicy, &QTimer::timeout, this, &TfPrezentacja::PrezentacjaTablicyTimer);
    connect(Timer1, &QTimer::timeout, this, &TfPrezentacja::Timer1Timer);
    connect(TestNadawania, &QTimer::timeout, this, &TfPrezentacja::TestNadawaniaTimer);
}

void TfPrezentacja::BuildTree() {
    const QString headings[4] = {pagetext::TextRam, pagetext::TextEeprom, pagetext::TextOccasional,
                                 QStringLiteral("Strony graficzne")};
    int heading = 0;
    QTreeWidgetItem* parent = nullptr;
    for (int node = 0; node < TreeNodes; ++node) {
        const int page = PageOfNode(node);
        QTreeWidgetItem* item =
            page < 0 ? new QTreeWidgetItem(TreeView1, QStringList(headings[heading++]))
                     : new QTreeWidgetItem(parent, QStringList(QString::asprintf("%03d", page)));
        if (page < 0)
            parent = item;
        item->setData(0, PageRole, page);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        m_nodes[size_t(node)] = item;
    }
}

QTreeWidgetItem* TfPrezentacja::Node(int index) const {
    return index >= 0 && index < TreeNodes ? m_nodes[size_t(index)] : nullptr;
}

void TfPrezentacja::CopyPageNames() {
    auto copy = [this](int node, const QTreeWidgetItem* from) {
        if (from && m_nodes[size_t(node)]->text(0) != from->text(0))
            m_nodes[size_t(node)]->setText(0, from->text(0));
    };
    for (int page = 0; page <= LastTextPage; ++page)
        copy(NodeOfPage(page), m_stron.PageNode(page));
    copy(NodeOfPage(pagetext::FirstEeprom) - 1, m_stron.HeadingNode(1));
    copy(NodeOfPage(pagetext::FirstOccasional) - 1, m_stron.HeadingNode(2));
    if (m_konGraf)
        for (int slot = 0; slot < dots::GraphicSlots; ++slot)
            copy(NodeOfPage(dots::FirstGraphicPage + slot), m_konGraf->Node(slot));
}

QString TfPrezentacja::EntryText(int page) const {
    const int node = NodeOfPage(page);
    // A number that no page has, from a board or a file, shows as it is.
    return node >= 0 ? m_nodes[size_t(node)]->text(0) : QString::number(page);
}

void TfPrezentacja::ShowCount() {
    Edit7->setText(CountPrefix + QString::number(m_t.image.Reg(RegPresentationCount)));
}

void TfPrezentacja::NoteList() {
    m_shownList.Mark(
        m_t.image.RegsRevision(RegPresentationFirst, RegPresentationCount - RegPresentationFirst + 1));
}

int TfPrezentacja::SelectedLine() const {
    const QList<QListWidgetItem*> selected = ListBox1->selectedItems();
    return selected.isEmpty() ? -1 : ListBox1->row(selected.first());
}

void TfPrezentacja::SelectLine(int row) {
    m_fillingList = true;
    ListBox1->setCurrentRow(row);
    m_fillingList = false;
}

void TfPrezentacja::SelectNode(int page) {
    const int node = NodeOfPage(page);
    if (node < 0)
        return;
    // The handler runs once, here, also when the node was selected already.
    m_selectingNode = true;
    TreeView1->setCurrentItem(m_nodes[size_t(node)]);
    m_selectingNode = false;
    SelectedPage = page;
    ShowPreview(page);
}

void TfPrezentacja::RebuildList() {
    m_fillingList = true;
    ListBox1->clear();
    m_deferredGraphic = -1;
    const int shown = ShownCount(m_t.image);
    for (int k = 0; k < shown; ++k) {
        const int page = Entry(m_t.image, k);
        SelectNode(page);
        ListBox1->addItem(EntryText(page));
    }
    m_fillingList = false;
    // Each graphic entry would replace the picture of the one before: load only the last.
    const int graphic = std::exchange(m_deferredGraphic, -1);
    if (graphic >= 0)
        ShowGraphicPreview(graphic);
    ShowCount();
    NoteList();
}

void TfPrezentacja::ShownRegisters(std::vector<std::pair<int, int>>& regs) const {
    if (const std::optional<int> seconds = DecimalIn(Edit6->text(), MinInterval, MaxInterval))
        regs.emplace_back(RegPresentationTime, *seconds);
}

bool TfPrezentacja::StoreInterval() {
    const std::optional<int> seconds = DecimalIn(Edit6->text(), MinInterval, MaxInterval);
    if (!seconds) {
        Refuse(m_t.dialogs,
               QStringLiteral("Czas przełączania musi być z zakresu 1...240 sekund. Sprawdź "
                              "wartość i spróbuj ponownie."),
               TitleError, MsgIcon::Error);
        return false;
    }
    m_t.image.SetReg(RegPresentationTime, *seconds);
    m_shownInterval.Mark(m_t.image.RegsRevision(RegPresentationTime));
    return true;
}

void TfPrezentacja::LockControls() {
    for (QWidget* w :
         std::initializer_list<QWidget*>{TreeView1, ListBox1, Edit6, BitBtn1, BitBtn2, BitBtn3, BitBtn4,
                                         BitBtn5, BitBtn6, BitBtn8, BitBtn9, RadioButton1, RadioButton2})
        w->setEnabled(false);
}

void TfPrezentacja::UnlockControls() {
    for (QWidget* w :
         std::initializer_list<QWidget*>{TreeView1, ListBox1, Edit6, BitBtn1, BitBtn2, BitBtn3, BitBtn4,
                                         BitBtn5, BitBtn6, BitBtn8, BitBtn9, RadioButton1, RadioButton2})
        w->setEnabled(true);
}

void TfPrezentacja::FormCreate() {
    RadioButton1->setChecked(true);
    SelectedPage = -1;
    PreviewPosition = 0;
}

void TfPrezentacja::FormActivate() {
    // Typing in the switching time survives unless the register changed under it.
    const ConfigImage& image = m_t.image;
    if (Due(m_shownInterval, image.RegsRevision(RegPresentationTime)))
        Edit6->setText(QString::number(image.Reg(RegPresentationTime)));
    if (Due(m_shownActive, image.RegsRevision(RegActivePage)))
        Edit8->setText(QString::number(image.Reg(RegActivePage)));
    CopyPageNames();
    if (Stale(m_shownList,
              image.RegsRevision(RegPresentationFirst, RegPresentationCount - RegPresentationFirst + 1))) {
        RebuildList();
    } else {
        // Same entries, perhaps renamed pages.
        for (int k = 0; k < ListBox1->count(); ++k)
            ListBox1->item(k)->setText(EntryText(Entry(image, k)));
        ShowCount();
    }
    // The text page editor may have changed the page's text or the geometry meanwhile.
    ShowTextPreview(m_previewedText);
}

void TfPrezentacja::FormHide() {
    // A preview must not go on polling the board behind a hidden window.
    CheckBox1->setChecked(false);
    StoreInterval();
}

void TfPrezentacja::TreeView1Change() {
    const QList<QTreeWidgetItem*> selected = TreeView1->selectedItems();
    if (selected.isEmpty())
        return;
    SelectedPage = selected.first()->data(0, PageRole).toInt();
    ShowPreview(SelectedPage);
}

void TfPrezentacja::ListBox1Click() {
    const int row = SelectedLine();
    if (row < 0)
        return;
    const int page = Entry(m_t.image, row);
    if (page <= LastTextPage)
        ShowTextPreview(page);
    else
        ShowGraphicPreview(page);
}

void TfPrezentacja::BitBtn1Click() {
    switch (Add(m_t.image, SelectedPage)) {
    case AddResult::NothingSelected:
        m_t.dialogs.message(QStringLiteral("Nie wybrano strony do dodania"), TitleError,
                            MsgIcon::Information);
        return;
    case AddResult::Full:
        m_t.dialogs.message(QStringLiteral("Wszystkie pola prezentacji wypełnione"), TitleError,
                            MsgIcon::Information);
        return;
    case AddResult::Added:
        break;
    }
    ListBox1->addItem(EntryText(SelectedPage));
    ShowCount();
    NoteList();
}

void TfPrezentacja::MoveEntryUp() {
    const int i = SelectedLine();
    if (!MoveUp(m_t.image, i))
        return;
    m_fillingList = true;
    ListBox1->insertItem(i - 1, ListBox1->takeItem(i));
    m_fillingList = false;
    SelectLine(i - 1);
    NoteList();
}

void TfPrezentacja::MoveEntryDown() {
    const int i = SelectedLine();
    if (!MoveDown(m_t.image, i))
        return;
    m_fillingList = true;
    ListBox1->insertItem(i + 1, ListBox1->takeItem(i));
    m_fillingList = false;
    SelectLine(i + 1);
    NoteList();
}

void TfPrezentacja::RemoveEntry() {
    const int i = SelectedLine();
    switch (Remove(m_t.image, i)) {
    case RemoveResult::Empty:
        m_t.dialogs.message(QStringLiteral("Lista jest pusta.\nBrak elementów do usunięcia."), TitleNote,
                            MsgIcon::Information);
        return;
    case RemoveResult::NothingSelected:
        return;
    case RemoveResult::Removed:
        break;
    }
    m_fillingList = true;
    delete ListBox1->takeItem(i);
    ListBox1->setCurrentRow(-1);
    m_fillingList = false;
    ShowCount();
    NoteList();
}

void TfPrezentacja::BitBtn3Click() {
    Clear(m_t.image);
    RebuildList();
}

void TfPrezentacja::BitBtn6Click() {
    m_stron.show();
    m_stron.raise();
    m_stron.activateWindow();
}

void TfPrezentacja::BitBtn7Click() {
    PrezentacjaStron->stop();
    PrezentacjaTablicy->stop();
    UnlockControls();
    CheckBox1->setChecked(false);
    if (StoreInterval())
        hide();
}

} // namespace kx9
