// SPDX-License-Identifier: MIT
#include "Edytor_stron.h"

#include <QShortcut>

#include "EditorText.h"
#include "config/Cp1250.h"
#include "config/PageLayout.h"
#include "widgets/FieldHelpers.h"
#include "widgets/TextFields.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QVBoxLayout>
#include <algorithm>

namespace kx9 {

using namespace pagetext;

TPStron::TPStron(Transfers& transfers, BoardOperations& operations)
    : m_t(transfers), m_operations(operations) {
    setObjectName(QStringLiteral("PStron"));
    setWindowTitle(QStringLiteral("Edytor Stron"));
    BuildControls();
    BuildTree();
    // The switches store at a click, the board controls go out by their own buttons: the
    // window's store takes none of them.
    StoresNothing({CheckBox1, CheckBox3, CheckBox4, Edit1, Edit7, Edit8});
    FormCreate();
}

void TPStron::SetWindows(QWidget* przewijanie, QWidget* konGraf) {
    m_przewijanie = przewijanie;
    m_konGraf = konGraf;
}

std::vector<QByteArray> TPStron::ShownLines() const {
    std::vector<QByteArray> lines;
    if (CurrentPage < 0 || m_showingTracked)
        return lines;
    for (int i = 0; i < std::min(Rows(), int(LineFields.size())); ++i)
        lines.push_back(FieldBytes(LineFields[size_t(i)]->text()));
    return lines;
}

void TPStron::BuildControls() {
    auto* preview = new QShortcut(QKeySequence(PreviewKey), this);
    preview->setObjectName(QStringLiteral("PreviewShortcut"));
    connect(preview, &QShortcut::activated, this, [this] { ShowWindow(m_preview); });

    TreeView1 = new QTreeWidget(this);
    TreeView1->setObjectName(QStringLiteral("TreeView1"));
    TreeView1->setHeaderHidden(true);
    TreeView1->setColumnCount(1);
    TreeView1->setSelectionMode(QAbstractItemView::SingleSelection);
    TreeView1->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                               QAbstractItemView::SelectedClicked);
    TreeView1->setItemDelegate(new Cp1250LabelDelegate(TreeView1));
    TreeView1->setMinimumSize(220, 420);

    QFont large = font();
    large.setPointSize(16);
    const char* lineNames[5] = {"Edit2", "Edit3", "Edit4", "Edit5", "Edit6"};
    for (size_t i = 0; i < LineFields.size(); ++i) {
        QLineEdit* field = MakeEdit(this, lineNames[i]);
        field->setFont(large);
        field->setValidator(new Cp1250Validator(field));
        field->setMinimumWidth(420);
        LineFields[i] = field;
    }
    Edit2 = LineFields[0];
    Edit3 = LineFields[1];
    Edit4 = LineFields[2];
    Edit5 = LineFields[3];
    Edit6 = LineFields[4];

    GroupBox1 = new QGroupBox(QStringLiteral("Komunikaty okolicznościowe"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    CheckBox1 = MakeCheckBox(GroupBox1, "CheckBox1", QStringLiteral("Zezwól na komunikaty okolicznościowe"),
                             QStringLiteral("Włącza komunikaty okolicznościowe"));
    CheckBox2 = MakeCheckBox(GroupBox1, "CheckBox2", QStringLiteral("Włącz Komunikat"),
                             QStringLiteral("Włącza wybrany komunikat okolicznościowy"));
    DateTimePicker1 = new QDateEdit(GroupBox1);
    DateTimePicker1->setObjectName(QStringLiteral("DateTimePicker1"));
    DateTimePicker1->setDisplayFormat(QString::fromLatin1(ShortDateFormat));
    DateTimePicker1->setCalendarPopup(true);
    DateTimePicker1->setToolTip(QStringLiteral("Data komunikatu okolicznosciowego"));
    DateTimePicker2 = new QTimeEdit(GroupBox1);
    DateTimePicker2->setObjectName(QStringLiteral("DateTimePicker2"));
    DateTimePicker2->setDisplayFormat(QStringLiteral("hh:mm"));
    DateTimePicker2->setToolTip(QStringLiteral("Godzina rozpoczęcia wyświetlania komunikatu"));
    DateTimePicker3 = new QTimeEdit(GroupBox1);
    DateTimePicker3->setObjectName(QStringLiteral("DateTimePicker3"));
    DateTimePicker3->setDisplayFormat(QStringLiteral("hh:mm"));
    DateTimePicker3->setToolTip(QStringLiteral("Godzina zakończenia wyświetlania komunikatu"));
    for (QDateTimeEdit* picker :
         std::initializer_list<QDateTimeEdit*>{DateTimePicker1, DateTimePicker2, DateTimePicker3})
        TakeTypedDigits(picker);
    auto* occasional = new QGridLayout(GroupBox1);
    occasional->addWidget(CheckBox1, 0, 0, 1, 4);
    occasional->addWidget(CheckBox2, 2, 0);
    // Each picker says what it holds above it.
    const std::pair<QWidget*, const char*> pickers[] = {
        {DateTimePicker1, "Data:"}, {DateTimePicker2, "Od godziny:"}, {DateTimePicker3, "Do godziny:"}};
    int column = 1;
    for (const auto& [picker, text] : pickers) {
        auto* label = new QLabel(QString::fromUtf8(text), GroupBox1);
        label->setBuddy(picker);
        occasional->addWidget(label, 1, column);
        occasional->addWidget(picker, 2, column++);
    }
    // The window keeps its size while the group comes and goes.
    QSizePolicy keep = GroupBox1->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    GroupBox1->setSizePolicy(keep);
    GroupBox1->setVisible(false);

    BitBtn1 = MakeButton(this, "BitBtn1", QStringLiteral("Odczytaj Strony z KX9"),
                         QStringLiteral("Odczytuje strony tekstowe z KX9"));
    BitBtn2 = MakeButton(this, "BitBtn2", QStringLiteral("Zapisz Strony do KX9"),
                         QStringLiteral("Zapisuje strony tekstowe do KX9"));
    BitBtn3 = MakeButton(this, "BitBtn3", QStringLiteral("Zamknij"), QStringLiteral("Zamyka to okno"));
    BitBtn4 = MakeButton(this, "BitBtn4", QStringLiteral("Przewijanie "));
    BitBtn7 = MakeButton(this, "BitBtn7", QStringLiteral("Edytor Grafik"));
    CheckBox4 = MakeCheckBox(this, "CheckBox4", QStringLiteral("Podwójna wysokość znaku"),
                             QStringLiteral("Zmienia wielkosc wyświetlanego tekstu. Wymaga ponownego zapisu "
                                            "stron lub konfiguracji."));

    GroupBox2 = new QGroupBox(QStringLiteral("Aktyalnie wyświetlana strona"), this);
    GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
    Edit1 = MakeEdit(GroupBox2, "Edit1");
    BitBtn5 = MakeButton(GroupBox2, "BitBtn5", QStringLiteral("Zmień aktywną"));
    BitBtn6 = MakeButton(GroupBox2, "BitBtn6", QStringLiteral("Odczytaj aktywną"));
    CheckBox3 = MakeCheckBox(GroupBox2, "CheckBox3", QStringLiteral("Śledzenie aktywnej strony"));
    auto* active = new QGridLayout(GroupBox2);
    active->addWidget(Edit1, 0, 0);
    active->addWidget(BitBtn5, 0, 1);
    active->addWidget(BitBtn6, 0, 2);
    active->addWidget(CheckBox3, 1, 0, 1, 3);

    Label1 = new QLabel(QStringLiteral("Rozmiar tablicy"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Edit7 = MakeEdit(this, "Edit7", QStringLiteral("Uwaga: Zapis tylko przez Serwis"));
    Button3 = MakeButton(this, "Button3", QStringLiteral("Odczytaj"));
    Button4 = MakeButton(this, "Button4", QStringLiteral("Zapisz"));
    Label2 = new QLabel(QStringLiteral("Ilość znaków"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Edit8 = MakeEdit(this, "Edit8", QStringLiteral("Ilość znaków w wierszu. Wilokrotność liczby 4"));
    Button1 = MakeButton(this, "Button1", QStringLiteral("Odczytaj "));
    Button2 = MakeButton(this, "Button2", QStringLiteral("Zapisz"));
    Label1->setBuddy(Edit7);
    Label2->setBuddy(Edit8);

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(false);
    StatusPanel0 = new QLabel(StatusBar1);
    StatusPanel0->setObjectName(QStringLiteral("StatusPanel0"));
    StatusPanel0->setFixedWidth(300);
    StatusPanel1 = new QLabel(StatusBar1);
    StatusPanel1->setObjectName(QStringLiteral("StatusPanel1"));
    StatusPanel1->setMinimumWidth(50);
    StatusBar1->addWidget(StatusPanel0);
    StatusBar1->addWidget(StatusPanel1, 1);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(TrackingIntervalMs);
    Timer1->setTimerType(Qt::PreciseTimer);

    auto* lines = new QVBoxLayout;
    for (QLineEdit* field : LineFields)
        lines->addWidget(field);

    auto* pageButtons = new QHBoxLayout;
    pageButtons->addWidget(BitBtn1);
    pageButtons->addWidget(BitBtn2);
    pageButtons->addWidget(BitBtn4);
    pageButtons->addWidget(BitBtn7);
    pageButtons->addStretch(1);
    pageButtons->addWidget(BitBtn3);

    auto* geometry = new QGridLayout;
    geometry->addWidget(Label1, 0, 0);
    geometry->addWidget(Edit7, 0, 1);
    geometry->addWidget(Button3, 0, 2);
    geometry->addWidget(Button4, 0, 3);
    geometry->addWidget(Label2, 1, 0);
    geometry->addWidget(Edit8, 1, 1);
    geometry->addWidget(Button1, 1, 2);
    geometry->addWidget(Button2, 1, 3);

    auto* right = new QVBoxLayout;
    right->addLayout(lines);
    right->addWidget(GroupBox1);
    right->addWidget(CheckBox4);
    right->addLayout(pageButtons);
    right->addWidget(GroupBox2);
    right->addLayout(geometry);
    right->addStretch(1);

    auto* body = new QHBoxLayout;
    body->addWidget(TreeView1);
    body->addLayout(right, 1);

    auto* outer = new QVBoxLayout(this);
    outer->addLayout(body);
    outer->addWidget(StatusBar1);
    outer->setSizeConstraint(QLayout::SetFixedSize);

    // Tab follows the layout: the tree on the left, then the right column top to bottom, each
    // row left to right. The first line field still takes the focus first: a tree that got it
    // would make its first heading current, which is not a selection.
    const QWidget* const order[] = {
        TreeView1, Edit2,           Edit3,           Edit4,           Edit5,     Edit6,   CheckBox1,
        CheckBox2, DateTimePicker1, DateTimePicker2, DateTimePicker3, CheckBox4, BitBtn1, BitBtn2,
        BitBtn4,   BitBtn7,         BitBtn3,         Edit1,           BitBtn5,   BitBtn6, CheckBox3,
        Edit7,     Button3,         Button4,         Edit8,           Button1,   Button2};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(const_cast<QWidget*>(order[i - 1]), const_cast<QWidget*>(order[i]));
    Edit2->setFocus();

    connect(TreeView1, &QTreeWidget::itemSelectionChanged, this, &TPStron::TreeView1Change);
    connect(TreeView1, &QTreeWidget::itemChanged, this, &TPStron::LabelEdited);
    connect(&m_t.image, &ConfigImage::namesChanged, this, &TPStron::RefreshLabels);
    connect(CheckBox1, &QCheckBox::toggled, this, [this] { CheckBox1Click(); });
    connect(CheckBox2, &QCheckBox::toggled, this, [this] { CheckBox2Click(); });
    connect(CheckBox3, &QCheckBox::toggled, this, [this] { CheckBox3Click(); });
    connect(CheckBox4, &QCheckBox::toggled, this, [this] { CheckBox4Click(); });
    connect(BitBtn1, &QPushButton::clicked, this, &TPStron::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &TPStron::BitBtn2Click);
    connect(BitBtn3, &QPushButton::clicked, this, &TPStron::BitBtn3Click);
    connect(BitBtn4, &QPushButton::clicked, this, &TPStron::BitBtn4Click);
    connect(BitBtn5, &QPushButton::clicked, this, &TPStron::BitBtn5Click);
    connect(BitBtn6, &QPushButton::clicked, this, &TPStron::BitBtn6Click);
    connect(BitBtn7, &QPushButton::clicked, this, &TPStron::BitBtn7Click);
    connect(Button1, &QPushButton::clicked, this, &TPStron::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TPStron::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &TPStron::Button3Click);
    connect(Button4, &QPushButton::clicked, this, &TPStron::Button4Click);
    connect(Timer1, &QTimer::timeout, this, &TPStron::Timer1Timer);
}

void TPStron::BuildTree() {
    const QString titles[3] = {TextRam, TextEeprom, TextOccasional};
    const int first[3] = {0, FirstEeprom, FirstOccasional};
    const int end[3] = {FirstEeprom, FirstOccasional, PageCount};
    m_updatingLabels = true;
    for (int h = 0; h < 3; ++h) {
        auto* heading = new QTreeWidgetItem(TreeView1, QStringList(titles[h]));
        heading->setData(0, PageRole, -1);
        heading->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        m_headings[static_cast<size_t>(h)] = heading;
        for (int p = first[h]; p < end[h]; ++p) {
            auto* node = new QTreeWidgetItem(heading, QStringList(cp1250::ToUnicode(m_t.image.PageName(p))));
            node->setData(0, PageRole, p);
            node->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable);
            m_nodes[static_cast<size_t>(p)] = node;
        }
    }
    m_updatingLabels = false;
}

QTreeWidgetItem* TPStron::PageNode(int page) const {
    if (page < 0 || page >= PageCount)
        return nullptr;
    return m_nodes[static_cast<size_t>(page)];
}

QTreeWidgetItem* TPStron::HeadingNode(int index) const {
    if (index < 0 || index >= static_cast<int>(m_headings.size()))
        return nullptr;
    return m_headings[static_cast<size_t>(index)];
}

void TPStron::RefreshLabels() {
    m_updatingLabels = true;
    for (int p = 0; p < PageCount; ++p) {
        const QString label = cp1250::ToUnicode(m_t.image.PageName(p));
        QTreeWidgetItem* node = m_nodes[static_cast<size_t>(p)];
        if (node->text(0) != label)
            node->setText(0, label);
    }
    m_updatingLabels = false;
}

void TPStron::LabelEdited(QTreeWidgetItem* item, int column) {
    if (m_updatingLabels || column != 0 || !item)
        return;
    const int page = item->data(0, PageRole).toInt();
    if (page < 0 || page >= PageCount)
        return;
    if (auto bytes = cp1250::FromUnicode(item->text(0))) {
        m_t.image.SetPageName(page, *bytes);
        return;
    }
    // A name the pages' character set cannot hold is refused: the old label comes back.
    m_updatingLabels = true;
    item->setText(0, cp1250::ToUnicode(m_t.image.PageName(page)));
    m_updatingLabels = false;
}

int TPStron::Rows() const {
    return layout::Rows(m_t.image.Reg(RegBoardSize));
}

int TPStron::LineLength() const {
    return layout::LineLength(m_t.image.Reg(RegLineLength));
}

void TPStron::ShowPage(int page) {
    if (page < 0 || page >= PageCount)
        return;
    m_showingTracked = false;
    const auto lines = layout::PageToLines(m_t.image.pages[static_cast<size_t>(page)],
                                           m_t.image.Reg(RegBoardSize), m_t.image.Reg(RegLineLength));
    const size_t count = std::min(lines.size(), LineFields.size());
    for (size_t i = 0; i < count; ++i)
        LineFields[i]->setText(cp1250::ToUnicode(lines[i]));
    NoteFilled({Edit2, Edit3, Edit4, Edit5, Edit6});
    if (page == CurrentPage)
        m_shownPage.Mark(PageRevision(page));
}

ConfigImage::Revision TPStron::PageRevision(int page) const {
    // The layout registers decide what the fields show of the page too.
    return std::max(m_t.image.PageRevision(page), m_t.image.RegsRevision(RegBoardSize, 2));
}

void TPStron::StoreShownPage() {
    // While tracking shows the board's page, the fields do not hold CurrentPage's text.
    if (CurrentPage < 0 || CurrentPage >= PageCount || m_showingTracked)
        return;
    std::vector<QByteArray> lines;
    lines.reserve(LineFields.size());
    for (QLineEdit* field : LineFields)
        lines.push_back(FieldBytes(field->text()));
    m_t.image.SetPage(CurrentPage,
                      layout::LinesToPage(lines, m_t.image.Reg(RegBoardSize), m_t.image.Reg(RegLineLength)));
    m_shownPage.Mark(PageRevision(CurrentPage));
}

void TPStron::ApplyLineLimit() {
    const int length = LineLength();
    const int limit = std::clamp(length, 0, 32767);
    for (QLineEdit* field : LineFields)
        field->setMaxLength(limit);
    StatusPanel1->setText(TextLineLimit + QString::number(length));
}

void TPStron::FormCreate() {
    CurrentPage = 0;
    ActiveReadPending = false;
    DateTimePicker1->setDate(m_t.clock.now().date());
}

void TPStron::FormActivate() {
    // Only what changed under the window since it filled its controls is loaded again: values
    // just read or loaded appear, text typed and not yet stored survives.
    const ConfigImage& image = m_t.image;
    if (Due(m_shownAllowed, image.RegsRevision(RegOccasionalAllowed)))
        CheckBox1->setChecked(image.Reg(RegOccasionalAllowed) == 1);
    if (Due(m_shownActive, image.RegsRevision(RegActivePage)))
        Edit1->setText(QString::number(image.Reg(RegActivePage)));
    if (Due(m_shownGeometry, image.RegsRevision(RegBoardSize, 2))) {
        Edit7->setText(QString::number(layout::DecodeBoardSize(image.Reg(RegBoardSize)).entry));
        Edit8->setText(QString::number(LineLength()));
        ApplyLineLimit();
    }
    if (Due(m_shownDoubleHeight, image.RegsRevision(RegDoubleHeight)))
        CheckBox4->setChecked(image.Reg(RegDoubleHeight) != 0);
    if (CurrentPage >= 0 && !m_showingTracked && Stale(m_shownPage, PageRevision(CurrentPage)))
        ShowPage(CurrentPage);
    if (CurrentPage >= FirstOccasional && (FillingAll() || OccasionalChangedUnder(CurrentPage)))
        LoadOccasional(CurrentPage);
}

bool TPStron::StoreControls() {
    StoreShownPage();
    if (CurrentPage >= FirstOccasional)
        StoreOccasional(CurrentPage);
    return true;
}

void TPStron::FormHide() {
    StoreShownPage();
    if (CurrentPage >= FirstOccasional)
        StoreOccasional(CurrentPage);
    Timer1->stop();
    CheckBox3->setChecked(false);
}

void TPStron::TreeView1Change() {
    const QList<QTreeWidgetItem*> selected = TreeView1->selectedItems();
    if (selected.isEmpty())
        return;
    const int p = selected.first()->data(0, PageRole).toInt();
    if (p < 0 || p >= PageCount) {
        StoreShownPage();
        if (CurrentPage >= FirstOccasional)
            StoreOccasional(CurrentPage);
        for (QLineEdit* field : LineFields)
            field->setEnabled(false);
        GroupBox1->setVisible(false);
        StatusPanel0->setText(TextNoPage);
        for (QLineEdit* field : LineFields)
            field->clear();
        CurrentPage = -1;
        return;
    }
    ApplyLineLimit();
    StoreShownPage();
    if (CurrentPage >= FirstOccasional)
        StoreOccasional(CurrentPage);
    // Fields for lines the board does not show are neither stored nor loaded: keep them shut.
    const int rows = Rows();
    for (size_t i = 0; i < LineFields.size(); ++i)
        LineFields[i]->setEnabled(static_cast<int>(i) < rows);
    if (p < FirstEeprom)
        StatusPanel0->setText(QStringLiteral("Tablica pamięci RAM nr: ") + QString::number(p));
    else if (p < FirstOccasional)
        StatusPanel0->setText(QStringLiteral("Tablica pamięci EEPROM nr: ") + QString::number(p));
    else
        StatusPanel0->setText(QStringLiteral("Tablica okolicznościowa nr: ") + QString::number(p));
    GroupBox1->setVisible(p >= FirstOccasional);
    ShowPage(p);
    if (p >= FirstOccasional)
        LoadOccasional(p);
    CurrentPage = p;
}

void TPStron::CheckBox1Click() {
    m_t.image.SetReg(RegOccasionalAllowed, CheckBox1->isChecked() ? 1 : 0);
    m_shownAllowed.Take(m_t.image.RegsRevision(RegOccasionalAllowed));
}

void TPStron::CheckBox2Click() {
    const bool on = CheckBox2->isChecked();
    DateTimePicker1->setEnabled(on);
    DateTimePicker2->setEnabled(on);
    DateTimePicker3->setEnabled(on);
}

void TPStron::CheckBox4Click() {
    m_t.image.SetReg(RegDoubleHeight, CheckBox4->isChecked() ? 1 : 0);
    m_shownDoubleHeight.Take(m_t.image.RegsRevision(RegDoubleHeight));
}

void TPStron::BitBtn1Click() {
    if (m_operations.StartPagesRead())
        RefreshWhenDone(m_t);
}

void TPStron::StorePageText() {
    StoreShownPage();
}

void TPStron::BitBtn2Click() {
    // A page write stores this window's page and nothing any other window holds; refused
    // while another transfer runs, it stores nothing either.
    if (!m_t.Busy())
        StoreShownPage();
    m_operations.StartPagesWrite();
}

void TPStron::BitBtn3Click() {
    hide();
}

void TPStron::ShowWindow(QWidget* window) {
    if (!window)
        return;
    window->show();
    window->raise();
    window->activateWindow();
}

void TPStron::BitBtn4Click() {
    ShowWindow(m_przewijanie);
}

void TPStron::BitBtn7Click() {
    ShowWindow(m_konGraf);
}

} // namespace kx9
