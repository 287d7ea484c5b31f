// SPDX-License-Identifier: MIT
#include "Edytor_stron.h"

#include "../config/Cp1250.h"
#include "PageLayout.h"

#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QLocale>
#include <QStyledItemDelegate>
#include <QVBoxLayout>
#include <QValidator>
#include <algorithm>

namespace kx9 {

namespace {

const QString TextRam = QStringLiteral("Strony w pamięci RAM");
const QString TextEeprom = QStringLiteral("Strony w pamięci EEPROM");
const QString TextOccasional = QStringLiteral("Strony okolicznościowe");
const QString TextNoPage = QStringLiteral("Nie wybrano tablicy");
const QString TextLineLimit = QStringLiteral("Maksymalna liczba znaków w wierszu: ");

const QString PageNumberText =
    QStringLiteral("Nieprawidłowa strona. Wpisz wartość z przedziału od 0 do 124 i spróbuj ponownie.");
const QString PageNumberTitle = QStringLiteral("Błąd numeru strony");
const QString LineLengthTitle = QStringLiteral("Błąd liczby znaków");
const QString Over200Text = QStringLiteral(
    "Nieprawidłowa liczba znaków. Całkowita liczba znaków nie może przekraczać 200 znaków/strone.");
const QString ShorterText =
    QStringLiteral("Nieprawidłowa liczba znaków. Uwaga liczba znaków jest mniejsza od rozmiaru tablicy.");
const QString BoardSizeText = QStringLiteral("Nieprawidłowy rozmiar tablicy. Zdefiniuj rozmiar tablicy jako "
                                             "wiersz*100 + liczba znaków w wierszu.");
const QString BoardSizeQuestion = QStringLiteral("Uwaga: Zapis rozmiaru wymaga uprawnień serwisu.\n"
                                                 "Jeżeli nie masz tych uprawnień zapis nie powidzie się. \n"
                                                 "Kontynuować?");
const QString BoardSizeQuestionTitle = QStringLiteral("Zapisać rozmiar?");

constexpr int FirstEeprom = 100;
constexpr int FirstOccasional = 110;
constexpr int LastActivePage = 124;
constexpr int TrackingIntervalMs = 300;
constexpr int StopPauseMs = 300;

// Refuses any text holding a character that Windows-1250 has no byte for: typed characters are
// dropped one by one, a paste that holds one is dropped whole.
class Cp1250Validator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override {
        for (QChar c : input)
            if (!cp1250::CanEncode(c))
                return Invalid;
        return Acceptable;
    }
};

// The in-place editor of a tree label refuses the same characters as the line fields.
class LabelDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        if (auto* line = qobject_cast<QLineEdit*>(editor))
            line->setValidator(new Cp1250Validator(line));
        return editor;
    }
};

// The bytes of a field's text; a character that slipped past the validator is left out.
QByteArray FieldBytes(const QString& text) {
    if (auto bytes = cp1250::FromUnicode(text))
        return *bytes;
    QByteArray bytes;
    for (QChar c : text)
        if (auto one = cp1250::FromUnicode(QString(c)))
            bytes += *one;
    return bytes;
}

bool ParseInt(const QLineEdit* field, int* value) {
    bool ok = false;
    *value = field->text().trimmed().toInt(&ok);
    return ok;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption,
                        const QString& hint = QString()) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
    if (!hint.isEmpty())
        button->setToolTip(hint);
    return button;
}

QCheckBox* MakeCheckBox(QWidget* parent, const char* name, const QString& caption,
                        const QString& hint = QString()) {
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(QString::fromLatin1(name));
    if (!hint.isEmpty())
        box->setToolTip(hint);
    return box;
}

QLineEdit* MakeEdit(QWidget* parent, const char* name, const QString& hint = QString()) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    if (!hint.isEmpty())
        edit->setToolTip(hint);
    return edit;
}

} // namespace

TPStron::TPStron(World& world, BoardOperations& operations, TPpasek& progress)
    : m_world(world), m_operations(operations), m_progress(progress) {
    setObjectName(QStringLiteral("PStron"));
    setWindowTitle(QStringLiteral("Edytor Stron"));
    BuildControls();
    BuildTree();
    FormCreate();
}

void TPStron::SetWindows(QWidget* przewijanie, QWidget* konGraf) {
    m_przewijanie = przewijanie;
    m_konGraf = konGraf;
}

void TPStron::BuildControls() {
    TreeView1 = new QTreeWidget(this);
    TreeView1->setObjectName(QStringLiteral("TreeView1"));
    TreeView1->setHeaderHidden(true);
    TreeView1->setColumnCount(1);
    TreeView1->setSelectionMode(QAbstractItemView::SingleSelection);
    TreeView1->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                               QAbstractItemView::SelectedClicked);
    TreeView1->setItemDelegate(new LabelDelegate(TreeView1));
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
    auto* occasional = new QGridLayout(GroupBox1);
    occasional->addWidget(CheckBox1, 0, 0, 1, 4);
    occasional->addWidget(CheckBox2, 1, 0);
    occasional->addWidget(DateTimePicker1, 1, 1);
    occasional->addWidget(DateTimePicker2, 1, 2);
    occasional->addWidget(DateTimePicker3, 1, 3);
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

    // The line fields are the first to take the focus: a tree that gets it first would make
    // its first heading current, which is not a selection.
    setTabOrder(Edit2, Edit3);
    setTabOrder(Edit3, Edit4);
    setTabOrder(Edit4, Edit5);
    setTabOrder(Edit5, Edit6);
    Edit2->setFocus();

    connect(TreeView1, &QTreeWidget::itemSelectionChanged, this, &TPStron::TreeView1Change);
    connect(TreeView1, &QTreeWidget::itemChanged, this, &TPStron::LabelEdited);
    connect(&m_world.image, &ConfigImage::namesChanged, this, &TPStron::RefreshLabels);
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
            auto* node =
                new QTreeWidgetItem(heading, QStringList(cp1250::ToUnicode(m_world.image.PageName(p))));
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
        const QString label = cp1250::ToUnicode(m_world.image.PageName(p));
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
        m_world.image.SetPageName(page, *bytes);
        return;
    }
    // A name the pages' character set cannot hold is refused: the old label comes back.
    m_updatingLabels = true;
    item->setText(0, cp1250::ToUnicode(m_world.image.PageName(page)));
    m_updatingLabels = false;
}

int TPStron::Rows() const {
    return layout::Rows(m_world.image.Reg(RegBoardSize));
}

int TPStron::LineLength() const {
    return layout::LineLength(m_world.image.Reg(RegLineLength));
}

void TPStron::ShowPage(int page) {
    if (page < 0 || page >= PageCount)
        return;
    m_showingTracked = false;
    const auto lines = layout::PageToLines(m_world.image.pages[static_cast<size_t>(page)],
                                           m_world.image.Reg(RegBoardSize), m_world.image.Reg(RegLineLength));
    const size_t count = std::min(lines.size(), LineFields.size());
    for (size_t i = 0; i < count; ++i)
        LineFields[i]->setText(cp1250::ToUnicode(lines[i]));
}

void TPStron::StoreShownPage() {
    // While tracking shows the board's page, the fields do not hold CurrentPage's text.
    if (CurrentPage < 0 || CurrentPage >= PageCount || m_showingTracked)
        return;
    std::vector<QByteArray> lines;
    lines.reserve(LineFields.size());
    for (QLineEdit* field : LineFields)
        lines.push_back(FieldBytes(field->text()));
    m_world.image.pages[static_cast<size_t>(CurrentPage)] =
        layout::LinesToPage(lines, m_world.image.Reg(RegBoardSize), m_world.image.Reg(RegLineLength));
}

void TPStron::ApplyLineLimit() {
    const int length = LineLength();
    const int limit = std::clamp(length, 0, 32767);
    for (QLineEdit* field : LineFields)
        field->setMaxLength(limit);
    StatusPanel1->setText(TextLineLimit + QString::number(length));
}

void TPStron::LoadOccasional(int page) {
    const int n = page - FirstOccasional;
    if (n < 0 || n >= PageCount - FirstOccasional)
        return;
    ConfigImage& image = m_world.image;
    const int date = image.Reg(RegOccasionalDate + n);
    m_loadedDate = Loaded{};
    if (date != 0) {
        CheckBox2->setChecked(true);
        CheckBox2Click();
        DateTimePicker1->setDate(layout::DecodeMonthDay(date));
        m_loadedDate = Loaded{true, date, DateTimePicker1->date(), QTime()};
    } else {
        CheckBox2->setChecked(false);
        CheckBox2Click();
    }
    const int start = image.Reg(RegOccasionalStart + n);
    const int end = image.Reg(RegOccasionalEnd + n);
    DateTimePicker2->setTime(layout::DecodeTimeOfDay(start));
    DateTimePicker3->setTime(layout::DecodeTimeOfDay(end));
    m_loadedStart = Loaded{true, start, QDate(), DateTimePicker2->time()};
    m_loadedEnd = Loaded{true, end, QDate(), DateTimePicker3->time()};
}

bool TPStron::OccasionalChangedUnder(int page) const {
    const int n = page - FirstOccasional;
    const ConfigImage& image = m_world.image;
    const int loadedDate = m_loadedDate.set ? m_loadedDate.raw : 0;
    return image.Reg(RegOccasionalDate + n) != loadedDate ||
           image.Reg(RegOccasionalStart + n) != m_loadedStart.raw ||
           image.Reg(RegOccasionalEnd + n) != m_loadedEnd.raw;
}

void TPStron::StoreOccasional(int page) {
    const int n = page - FirstOccasional;
    if (n < 0 || n >= PageCount - FirstOccasional)
        return;
    ConfigImage& image = m_world.image;
    if (!CheckBox2->isChecked()) {
        image.SetReg(RegOccasionalDate + n, 0);
        return;
    }
    // A picker left as loaded gives back the register value it was loaded from, which keeps
    // a value that no picker can show (the picker shows the nearest valid one).
    auto timeValue = [](const QTimeEdit* picker, const Loaded& loaded) {
        const QTime t = picker->time();
        if (loaded.set && t == loaded.time)
            return loaded.raw;
        return layout::EncodeTimeOfDay(t.hour(), t.minute());
    };
    image.SetReg(RegOccasionalStart + n, timeValue(DateTimePicker2, m_loadedStart));
    image.SetReg(RegOccasionalEnd + n, timeValue(DateTimePicker3, m_loadedEnd));
    const QDate d = DateTimePicker1->date();
    image.SetReg(RegOccasionalDate + n, m_loadedDate.set && d == m_loadedDate.date
                                            ? m_loadedDate.raw
                                            : layout::EncodeMonthDay(d.month(), d.day()));
}

void TPStron::FormCreate() {
    CurrentPage = 0;
    ActiveReadPending = false;
    DateTimePicker1->setDate(m_world.clock.now().date());
}

bool TPStron::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate)
        FormActivate();
    return QDialog::event(event);
}

void TPStron::hideEvent(QHideEvent* event) {
    QDialog::hideEvent(event);
    // A minimised window is not closed.
    if (!event->spontaneous())
        FormHide();
}

void TPStron::FormActivate() {
    ConfigImage& image = m_world.image;
    CheckBox1->setChecked(image.Reg(RegOccasionalAllowed) == 1);
    Edit1->setText(QString::number(image.Reg(RegActivePage)));
    Edit7->setText(QString::number(layout::DecodeBoardSize(image.Reg(RegBoardSize)).entry));
    Edit8->setText(QString::number(LineLength()));
    CheckBox4->setChecked(image.Reg(RegDoubleHeight) != 0);
    ApplyLineLimit();
    if (CurrentPage >= 0)
        ShowPage(CurrentPage);
    // A read or a file load may have changed the schedule under the window; reload it then, but
    // keep edits not yet stored when the registers still hold what the pickers were loaded from.
    if (CurrentPage >= FirstOccasional && OccasionalChangedUnder(CurrentPage))
        LoadOccasional(CurrentPage);
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
    m_world.image.SetReg(RegOccasionalAllowed, CheckBox1->isChecked() ? 1 : 0);
}

void TPStron::CheckBox2Click() {
    const bool on = CheckBox2->isChecked();
    DateTimePicker1->setEnabled(on);
    DateTimePicker2->setEnabled(on);
    DateTimePicker3->setEnabled(on);
}

void TPStron::CheckBox4Click() {
    m_world.image.SetReg(RegDoubleHeight, CheckBox4->isChecked() ? 1 : 0);
}

void TPStron::BitBtn1Click() {
    m_operations.StartPagesRead();
}

void TPStron::BitBtn2Click() {
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

bool TPStron::SingleRequest(int reg, bool write) {
    Scheduler& scheduler = m_world.scheduler;
    if (scheduler.OpenLink() != 1)
        return false;
    if (write)
        scheduler.SendWrite(reg, 1);
    else
        scheduler.SendRead(reg, 1);
    scheduler.EnableWatchdog();
    if (write)
        m_progress.SetProgress(0);
    m_progress.ShowProgress(QString());
    return true;
}

void TPStron::StoreAndReload() {
    StoreShownPage();
    if (CurrentPage >= 0)
        ShowPage(CurrentPage);
}

void TPStron::BitBtn5Click() {
    int page = 0;
    if (!ParseInt(Edit1, &page) || static_cast<unsigned>(page) > LastActivePage) {
        m_world.dialogs.message(PageNumberText, PageNumberTitle, MsgIcon::Error);
        return;
    }
    m_world.image.SetReg(RegActivePage, page);
    SingleRequest(RegActivePage, true);
}

void TPStron::RequestActivePage() {
    Scheduler& scheduler = m_world.scheduler;
    // Never a second request in flight, and never one in the middle of a main-window job,
    // whose page read would take this reply for the page window.
    if (scheduler.state.ReplyEnd != 0 || scheduler.state.AnyJob())
        return;
    if (!m_world.image.link.PortOpen && scheduler.OpenLink() != 1) {
        m_world.dialogs.message(QStringLiteral("Błąd otwarcia"), QString(), MsgIcon::None);
        return;
    }
    scheduler.SendRead(RegActivePage, 1);
    m_progress.SetProgress(0);
}

void TPStron::BitBtn6Click() {
    RequestActivePage();
    m_world.scheduler.EnableWatchdog();
    ActiveReadPending = true;
    Timer1->start();
}

void TPStron::CheckBox3Click() {
    if (!CheckBox3->isChecked()) {
        StopTracking();
        return;
    }
    m_world.scheduler.state.TransferError = false;
    if (m_world.scheduler.OpenLink() != 1) {
        // Unchecking runs this handler again, which stops the tracking.
        CheckBox3->setChecked(false);
        return;
    }
    Timer1->start();
    TreeView1->setEnabled(false);
}

void TPStron::StopTracking() {
    Timer1->stop();
    m_world.clock.pause(StopPauseMs);
    if (m_world.image.link.PortOpen)
        m_world.scheduler.CloseLink();
    TreeView1->setEnabled(true);
    ShowCurrentAgain();
}

void TPStron::ShowCurrentAgain() {
    if (!m_showingTracked)
        return;
    m_showingTracked = false;
    if (CurrentPage >= 0) {
        ShowPage(CurrentPage);
    } else {
        for (QLineEdit* field : LineFields)
            field->clear();
    }
}

void TPStron::Timer1Timer() {
    Scheduler& scheduler = m_world.scheduler;
    ConfigImage& image = m_world.image;
    if (scheduler.state.TransferError) {
        Timer1->stop();
        CheckBox3->setChecked(false);
        TreeView1->setEnabled(true);
        ActiveReadPending = false;
        ShowCurrentAgain();
        return;
    }
    if (ActiveReadPending) {
        ActiveReadPending = false;
        // A single read asked for during tracking must not stop the tracking.
        if (!CheckBox3->isChecked())
            Timer1->stop();
        Edit1->setText(QString::number(image.Reg(RegActivePage)));
        return;
    }
    if (!CheckBox3->isChecked()) {
        // The single read was taken up elsewhere (the presentation preview shares the flag).
        Timer1->stop();
        return;
    }
    if (scheduler.state.ReplyEnd == 0)
        RequestActivePage();
    const int active = image.Reg(RegActivePage);
    Edit1->setText(QString::number(active));
    if (active >= 0 && active < PageCount) {
        ShowPage(active);
        m_showingTracked = true;
    }
}

void TPStron::Button1Click() {
    SingleRequest(RegLineLength, false);
    ApplyLineLimit();
    StoreAndReload();
}

void TPStron::Button2Click() {
    int typed = 0;
    const bool number = ParseInt(Edit8, &typed);
    const layout::LineLengthResult result =
        number ? layout::EncodeLineLength(typed, m_world.image.Reg(RegBoardSize))
               : layout::LineLengthResult{};
    if (!number || result.refusal != layout::LineLengthRefusal::None) {
        if (number && result.refusal == layout::LineLengthRefusal::Over200)
            m_world.dialogs.message(Over200Text, LineLengthTitle, MsgIcon::Error);
        else if (number && result.refusal == layout::LineLengthRefusal::ShorterThanBoard)
            m_world.dialogs.message(ShorterText, LineLengthTitle, MsgIcon::Error);
        // Every refusal ends with the page-size box.
        m_world.dialogs.message(Over200Text, LineLengthTitle, MsgIcon::Error);
        return;
    }
    m_world.image.SetReg(RegLineLength, result.code);
    SingleRequest(RegLineLength, true);
    ApplyLineLimit();
    StoreAndReload();
}

void TPStron::Button3Click() {
    SingleRequest(RegBoardSize, false);
    StoreAndReload();
}

void TPStron::Button4Click() {
    if (m_world.dialogs.confirm(BoardSizeQuestion, BoardSizeQuestionTitle, MsgIcon::Question)) {
        int typed = 0;
        const bool number = ParseInt(Edit7, &typed);
        const std::optional<int> code = number ? layout::EncodeBoardSize(typed) : std::nullopt;
        // The fields are kept before the new geometry lays the page out again, so that text
        // typed since the last store survives.
        StoreShownPage();
        if (!number)
            m_world.dialogs.message(BoardSizeText, LineLengthTitle, MsgIcon::Error);
        if (!code) {
            m_world.dialogs.message(BoardSizeText, LineLengthTitle, MsgIcon::Error);
        } else {
            m_world.image.SetReg(RegBoardSize, *code);
        }
        if (CurrentPage >= 0)
            ShowPage(CurrentPage);
        if (code)
            SingleRequest(RegBoardSize, true);
    }
    StoreAndReload();
}

} // namespace kx9
