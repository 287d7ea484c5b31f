// SPDX-License-Identifier: MIT
#include "Czasdata.h"

#include "widgets/TextFields.h"

#include "ClockFields.h"
#include "config/Encodings.h"
#include "widgets/FieldHelpers.h"

#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QLabel>
#include <QShowEvent>
#include <QVBoxLayout>

namespace kx9 {

using namespace clockfields;

namespace {

constexpr int SyncTickMs = 200;
constexpr int DisplayRegisters = 4; // 4023..4026

const QString TimePositionText = QStringLiteral("Nieprawidłowa pozycja wyświetlania. Wprowadź wartość od 101 "
                                                "do 529 lub 0, aby wyłączyć wyświetlanie czasu");
const QString DatePositionText = QStringLiteral("Nieprawidłowa pozycja wyświetlania. Wprowadź wartość od 101 "
                                                "do 529 lub 0, aby wyłączyć wyświetlanie daty");
const QString PositionTitle = QStringLiteral("Błąd Adresu");
const QString BadClockText = QStringLiteral("Odczytana data lub czas są nieprawidłowe");
const QString BadClockTitle = QStringLiteral("Błąd");

// A "Pozycja" and "Format" pair in its group; the labels are numbered across the window.
void LayOutGroup(QGroupBox* group, QLineEdit* position, QComboBox* format, int firstLabel) {
    auto* grid = new QGridLayout(group);
    const std::pair<QString, QWidget*> rows[] = {{QStringLiteral("Pozycja"), position},
                                                 {QStringLiteral("Format"), format}};
    int row = 0;
    for (const auto& [text, field] : rows) {
        auto* label = new QLabel(text, group);
        label->setObjectName(QStringLiteral("Label%1").arg(firstLabel + row));
        label->setBuddy(field);
        grid->addWidget(label, row, 0);
        grid->addWidget(field, row, 1);
        ++row;
    }
}

} // namespace

TfCzasData::TfCzasData(Transfers& transfers, BoardOperations& operations)
    : m_t(transfers), m_operations(operations) {
    setObjectName(QStringLiteral("fCzasData"));
    setWindowTitle(QStringLiteral("Czas i Data"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    BuildControls();
    // The clock to send goes out by its own buttons only.
    StoresNothing({MonthCalendar1, DateTimePicker1});
}

void TfCzasData::BuildControls() {
    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));

    TabSheet1 = new QWidget(PageControl1);
    TabSheet1->setObjectName(QStringLiteral("TabSheet1"));
    MonthCalendar1 = new QDateEdit(TabSheet1);
    MonthCalendar1->setObjectName(QStringLiteral("MonthCalendar1"));
    MonthCalendar1->setDisplayFormat(QString::fromLatin1(ShortDateFormat));
    MonthCalendar1->setCalendarPopup(true);
    // The board keeps only the year within the century and takes it as 20xx.
    MonthCalendar1->setDateRange(QDate(FirstYear, 1, 1), QDate(LastYear, 12, 31));
    TakeTypedDigits(MonthCalendar1);
    DateTimePicker1 = new QTimeEdit(TabSheet1);
    DateTimePicker1->setObjectName(QStringLiteral("DateTimePicker1"));
    DateTimePicker1->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    TakeTypedDigits(DateTimePicker1);
    BitBtn1 = MakeButton(TabSheet1, "BitBtn1", QStringLiteral("Odczytaj z KX9"),
                         QStringLiteral("Odczytuje czas i date z KX9"));
    BitBtn2 = MakeButton(TabSheet1, "BitBtn2", QStringLiteral("Zapisz do KX9"),
                         QStringLiteral("Zapisuje czas i date do KX9"));
    BitBtn3 = MakeButton(TabSheet1, "BitBtn3", QStringLiteral("Synchronizuj"),
                         QStringLiteral("Synchronizuje czas i date PC-->KX9"));
    BitBtn7 = MakeButton(TabSheet1, "BitBtn7", QStringLiteral("Synchronizuj Sek"),
                         QStringLiteral("Synchronizuje czas i date PC-->KX9. Może długo potrwać"));
    Edit3 = new QLineEdit(TabSheet1);
    Edit3->setObjectName(QStringLiteral("Edit3"));
    Edit3->setFrame(false);
    Edit3->setReadOnly(true);
    Edit3->setFocusPolicy(Qt::NoFocus);
    QFont large = Edit3->font();
    large.setPointSize(18);
    large.setBold(true);
    Edit3->setFont(large);
    QPalette red = Edit3->palette();
    red.setColor(QPalette::Text, Qt::red);
    red.setColor(QPalette::Base, palette().color(QPalette::Window));
    Edit3->setPalette(red);
    QSizePolicy keep = Edit3->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    Edit3->setSizePolicy(keep);
    Edit3->setVisible(false);

    auto* clockButtons = new QVBoxLayout;
    for (QPushButton* button : {BitBtn1, BitBtn2, BitBtn3, BitBtn7})
        clockButtons->addWidget(button);
    clockButtons->addStretch(1);
    auto* chosen = new QVBoxLayout;
    chosen->addWidget(MonthCalendar1);
    chosen->addWidget(DateTimePicker1);
    chosen->addStretch(1);
    auto* clockTop = new QHBoxLayout;
    clockTop->addLayout(chosen, 1);
    clockTop->addLayout(clockButtons);
    auto* clockTab = new QVBoxLayout(TabSheet1);
    clockTab->addLayout(clockTop);
    clockTab->addWidget(Edit3);
    PageControl1->addTab(TabSheet1, QStringLiteral("Czas i data"));

    TabSheet2 = new QWidget(PageControl1);
    TabSheet2->setObjectName(QStringLiteral("TabSheet2"));
    GroupBox1 = new QGroupBox(QStringLiteral("Czas"), TabSheet2);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    Edit1 = MakeEdit(GroupBox1, "Edit1", QStringLiteral("Pozycja wyświetlania czasu (y*100+x)"));
    ComboBox1 = MakeCombo(GroupBox1, "ComboBox1", QStringLiteral("Format wyświetlania czasu"),
                          {QStringLiteral("GG:MM:SS"), QStringLiteral("GG:MM")});
    LayOutGroup(GroupBox1, Edit1, ComboBox1, 1);
    GroupBox2 = new QGroupBox(QStringLiteral("Data"), TabSheet2);
    GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
    Edit2 = MakeEdit(GroupBox2, "Edit2", QStringLiteral("Pozycja wyświetlania daty (y*100+x)"));
    ComboBox2 = MakeCombo(GroupBox2, "ComboBox2", QStringLiteral("Format wyświetlania daty"),
                          {QStringLiteral("RRRR:MM:DD"), QStringLiteral("RR:MM:DD"),
                           QStringLiteral("DD:MM:RRRR"), QStringLiteral("DD:MM:RR")});
    LayOutGroup(GroupBox2, Edit2, ComboBox2, 3);
    BitBtn5 = MakeButton(TabSheet2, "BitBtn5", QStringLiteral("Odczytaj z KX9"),
                         QStringLiteral("Odczytuje konfiguracje z KX9"));
    BitBtn6 = MakeButton(TabSheet2, "BitBtn6", QStringLiteral("Zapisz do KX9"),
                         QStringLiteral("Zapisuje konfiguracje do KX9"));
    auto* displayButtons = new QHBoxLayout;
    displayButtons->addStretch(1);
    displayButtons->addWidget(BitBtn5);
    displayButtons->addWidget(BitBtn6);
    auto* displayTab = new QVBoxLayout(TabSheet2);
    displayTab->addWidget(GroupBox1);
    displayTab->addWidget(GroupBox2);
    displayTab->addLayout(displayButtons);
    PageControl1->addTab(TabSheet2, QStringLiteral("Wyświetlanie czasu i daty"));

    BitBtn4 = MakeButton(this, "BitBtn4", QStringLiteral("Zamknij"), QStringLiteral("Zamyka to okno"));
    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(BitBtn4);
    auto* outer = new QVBoxLayout(this);
    outer->addWidget(PageControl1);
    outer->addLayout(bottom);
    outer->setSizeConstraint(QLayout::SetFixedSize);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(SyncTickMs);
    Timer1->setTimerType(Qt::PreciseTimer);

    connect(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
    connect(BitBtn2, &QPushButton::clicked, this, [this] { BitBtn2Click(); });
    connect(BitBtn3, &QPushButton::clicked, this, [this] { BitBtn3Click(); });
    connect(BitBtn4, &QPushButton::clicked, this, [this] { BitBtn4Click(); });
    connect(BitBtn5, &QPushButton::clicked, this, [this] { BitBtn5Click(); });
    connect(BitBtn6, &QPushButton::clicked, this, [this] { BitBtn6Click(); });
    connect(BitBtn7, &QPushButton::clicked, this, [this] { BitBtn7Click(); });
    connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });
}

void TfCzasData::reject() {
    BitBtn4Click();
}

void TfCzasData::FormShow() {
    const QDateTime now = m_t.clock.now();
    MonthCalendar1->setDate(now.date());
    const QTime t = now.time();
    DateTimePicker1->setTime(QTime(t.hour(), t.minute(), t.second()));
    // A full-minute synchronisation still waiting shows its countdown again.
    Edit3->setVisible(Timer1->isActive());
}

void TfCzasData::FormActivate() {
    // A read is shown once it is over: an activation while its reply is still awaited (the
    // operator clicking this window) would show the old values and lose the ones read.
    const bool over = !m_t.Busy();
    if (ClockReadPending && over) {
        ClockReadPending = false;
        ShowClockRegisters();
    }
    const bool displayRead = DisplayReadPending && over;
    if (displayRead)
        DisplayReadPending = false;
    // Otherwise only what changed under the window is loaded again: typing survives.
    if (displayRead || Stale(m_shownDisplay, m_t.image.RegsRevision(RegTimePosition, DisplayRegisters)))
        LoadDisplaySettings();
}

void TfCzasData::FormHide() {
    Edit3->setVisible(false);
    StoreDisplaySettings();
}

void TfCzasData::ShowClockRegisters() {
    const ConfigImage& image = m_t.image;
    const std::optional<QDateTime> read =
        DecodeClock({image.Reg(RegClockTime), image.Reg(RegClockYear), image.Reg(RegClockDate)});
    if (!read) {
        m_t.dialogs.message(BadClockText, BadClockTitle, MsgIcon::Error);
        return;
    }
    DateTimePicker1->setTime(read->time());
    MonthCalendar1->setDate(read->date());
}

void TfCzasData::LoadDisplaySettings() {
    const ConfigImage& image = m_t.image;
    Edit1->setText(QString::number(image.Reg(RegTimePosition)));
    SelectOrNone(ComboBox1, image.Reg(RegTimeFormat));
    Edit2->setText(QString::number(image.Reg(RegDatePosition)));
    SelectOrNone(ComboBox2, image.Reg(RegDateFormat));
    m_shownDisplay.Mark(image.RegsRevision(RegTimePosition, DisplayRegisters));
}

void TfCzasData::ShownRegisters(std::vector<std::pair<int, int>>& regs) const {
    if (ComboBox1->currentIndex() >= 0)
        regs.emplace_back(RegTimeFormat, ComboBox1->currentIndex());
    if (ComboBox2->currentIndex() >= 0)
        regs.emplace_back(RegDateFormat, ComboBox2->currentIndex());
    if (const std::optional<int> time = DisplayPosition(Edit1->text()))
        regs.emplace_back(RegTimePosition, *time);
    if (const std::optional<int> date = DisplayPosition(Edit2->text()))
        regs.emplace_back(RegDatePosition, *date);
}

bool TfCzasData::StoreDisplaySettings() {
    ConfigImage& image = m_t.image;
    // A format the list cannot show (no item selected) keeps its register as it was.
    if (ComboBox1->currentIndex() >= 0)
        image.SetReg(RegTimeFormat, ComboBox1->currentIndex());
    if (ComboBox2->currentIndex() >= 0)
        image.SetReg(RegDateFormat, ComboBox2->currentIndex());
    bool stored = false;
    if (const std::optional<int> time = DisplayPosition(Edit1->text())) {
        image.SetReg(RegTimePosition, *time);
        if (const std::optional<int> date = DisplayPosition(Edit2->text())) {
            image.SetReg(RegDatePosition, *date);
            stored = true;
        } else {
            Refuse(m_t.dialogs, DatePositionText, PositionTitle, MsgIcon::Error);
        }
    } else {
        Refuse(m_t.dialogs, TimePositionText, PositionTitle, MsgIcon::Error);
    }
    // The fields are what the window shows now, refused text included.
    m_shownDisplay.Mark(image.RegsRevision(RegTimePosition, DisplayRegisters));
    return stored;
}

bool TfCzasData::WithProgress(const std::function<bool()>& start) {
    m_t.ShowFromZero(QString());
    if (start())
        return true;
    // The port did not open: nothing runs that would hide the window again.
    m_t.progress.HideProgress();
    return false;
}

void TfCzasData::BitBtn1Click() {
    if (m_t.MayStart() && WithProgress([this] { return m_operations.StartClockRead(); })) {
        ClockReadPending = true;
        RefreshWhenDone(m_t);
    }
}

void TfCzasData::BitBtn2Click() {
    if (!m_t.MayStart())
        return;
    const ClockRegisters chosen = EncodeClock(QDateTime(MonthCalendar1->date(), DateTimePicker1->time()));
    ConfigImage& image = m_t.image;
    image.SetReg(RegClockTime, chosen.time);
    image.SetReg(RegClockYear, chosen.year);
    image.SetReg(RegClockDate, chosen.date);
    WithProgress([this] { return m_operations.StartClockWrite(false); });
}

void TfCzasData::BitBtn3Click() {
    if (m_t.MayStart())
        WithProgress(
            [this] { return m_operations.StartClockWrite(true, QStringLiteral("Synchronizacja Zegara")); });
}

void TfCzasData::BitBtn4Click() {
    hide();
}

void TfCzasData::BitBtn5Click() {
    if (m_t.MayStart() && WithProgress([this] { return m_operations.StartTimeDisplayRead(); })) {
        DisplayReadPending = true;
        RefreshWhenDone(m_t);
    }
}

void TfCzasData::BitBtn6Click() {
    if (StoreDisplaySettings() && m_t.MayStart())
        WithProgress([this] { return m_operations.StartTimeDisplayWrite(); });
}

void TfCzasData::BitBtn7Click() {
    const int left = SecondsToFullMinute(m_t.clock.now().time());
    Edit3->setText(left != 0 ? CountdownText(left) : QString());
    Edit3->setVisible(true);
    Timer1->start();
}

void TfCzasData::Timer1Timer() {
    const int left = SecondsToFullMinute(m_t.clock.now().time());
    if (left != 0) {
        Edit3->setText(CountdownText(left));
        return;
    }
    // Another transfer still runs: the clock goes at the next full minute, without a box
    // from a timer tick and without disturbing that transfer.
    if (m_t.Busy()) {
        Edit3->setText(CountdownText(60));
        return;
    }
    Timer1->stop();
    Edit3->setVisible(false);
    WithProgress([this] {
        return m_operations.StartClockWrite(true, QStringLiteral("Synchronizacja Zegara w pełnej minucie"));
    });
}

} // namespace kx9
