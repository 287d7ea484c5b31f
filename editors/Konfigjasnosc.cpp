// SPDX-License-Identifier: MIT
#include "Konfigjasnosc.h"

#include "config/PageLayout.h"
#include "widgets/FieldHelpers.h"
#include "widgets/TextFields.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace kx9 {

namespace {

constexpr int LevelLow = 1;
constexpr int LevelHigh = 100;
constexpr int ChainIntervalMs = 20;
constexpr int FinishPauseMs = 500;
constexpr int SensorPage = 0;
constexpr int TimePage = 1;

// What each request moves: the day and night settings, the sensor settings, and everything
// from the day level up to the present level.
constexpr int TimeSettingsCount = 4;   // 4009..4012
constexpr int SensorSettingsCount = 3; // 4015..4017
constexpr int ReadCount = 11;          // 4009..4019

const QString LevelText = QStringLiteral("Wpisz wartość z przedziału od 1 do 100 i spróbuj ponownie");

QTimeEdit* MakePicker(QWidget* parent, const char* name) {
    auto* picker = new QTimeEdit(parent);
    picker->setObjectName(QString::fromLatin1(name));
    picker->setDisplayFormat(QStringLiteral("hh:mm"));
    return picker;
}

} // namespace

TfKonfigJasnosc::TfKonfigJasnosc(Transfers& transfers) : m_t(transfers) {
    setObjectName(QStringLiteral("fKonfigJasnosc"));
    setWindowTitle(QStringLiteral("Konfiguracja jasności świecenia"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    BuildControls();
    // The sensor switch stores at a click.
    StoresNothing({CheckBox1});

    m_levels[0] = {Edit1, RegDayBrightness, QStringLiteral("Niwłaściwa wartość jsności dla dnia"), {}};
    m_levels[1] = {Edit2, RegNightBrightness, QStringLiteral("Niwłaściwa wartość jsności dla nocy"), {}};
    m_levels[2] = {
        Edit3, RegSensorMinBrightness, QStringLiteral("Niwłaściwa wartość minimalnej jsności"), {}};
    m_levels[3] = {
        Edit4, RegSensorMaxBrightness, QStringLiteral("Niwłaściwa wartość maksymalnej jsności"), {}};
    m_times[0] = {DateTimePicker1, RegDayStart, {}};
    m_times[1] = {DateTimePicker2, RegNightStart, {}};

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(ChainIntervalMs);
    Timer1->setTimerType(Qt::PreciseTimer);
    m_chain = std::make_unique<RequestChain>(m_t, *Timer1);

    connect(CheckBox1, &QCheckBox::toggled, this, [this] { CheckBox1Click(); });
    connect(BitBtn1, &QPushButton::clicked, this, &TfKonfigJasnosc::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &TfKonfigJasnosc::BitBtn2Click);
    connect(BitBtn3, &QPushButton::clicked, this, &TfKonfigJasnosc::BitBtn3Click);
    connect(Timer1, &QTimer::timeout, this, &TfKonfigJasnosc::Timer1Timer);
    LoadBrightnessControls();
}

void TfKonfigJasnosc::BuildControls() {
    CheckBox1 = MakeCheckBox(this, "CheckBox1", QStringLiteral("Włącz zewnętrzny czujnik oświetlenia"),
                             QStringLiteral("Włącza czujnik oświetlenia"));

    Notebook1 = new QStackedWidget(this);
    Notebook1->setObjectName(QStringLiteral("Notebook1"));
    CzZewnOn = new QWidget(Notebook1);
    CzZewnOn->setObjectName(QStringLiteral("CzZewnOn"));
    Edit3 =
        MakeEdit(CzZewnOn, "Edit3",
                 QStringLiteral("Minimalny poziom jasności dla pracy z czujnikiem oświetlenia (1...100)"));
    Edit4 =
        MakeEdit(CzZewnOn, "Edit4",
                 QStringLiteral("Maksymalny poziom jasności dla pracy z czujnikiem oświetlenia (1...100)"));
    auto* sensor = new QGridLayout(CzZewnOn);
    AddFieldRow(CzZewnOn, sensor, 0, QStringLiteral("Minimalny poziom jasności"), Edit3);
    AddFieldRow(CzZewnOn, sensor, 1, QStringLiteral("Maksymalny poziom jasności"), Edit4);

    CzZewnOff = new QWidget(Notebook1);
    CzZewnOff->setObjectName(QStringLiteral("CzZewnOff"));
    DateTimePicker1 = MakePicker(CzZewnOff, "DateTimePicker1");
    Edit1 = MakeEdit(CzZewnOff, "Edit1");
    DateTimePicker2 = MakePicker(CzZewnOff, "DateTimePicker2");
    Edit2 = MakeEdit(CzZewnOff, "Edit2");
    auto* times = new QGridLayout(CzZewnOff);
    AddFieldRow(CzZewnOff, times, 0, QStringLiteral("Początek dnia"), DateTimePicker1);
    AddFieldRow(CzZewnOff, times, 1, QStringLiteral("Jasność dla dnia"), Edit1);
    AddFieldRow(CzZewnOff, times, 2, QStringLiteral("Początek nocy"), DateTimePicker2);
    AddFieldRow(CzZewnOff, times, 3, QStringLiteral("Jasność dla nocy"), Edit2);
    Notebook1->insertWidget(SensorPage, CzZewnOn);
    Notebook1->insertWidget(TimePage, CzZewnOff);

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameShape(QFrame::StyledPanel);
    auto* current = new QLabel(QStringLiteral("Aktualny Poziom"), Panel1);
    current->setObjectName(QStringLiteral("Label7"));
    Edit5 = MakeEdit(Panel1, "Edit5", QStringLiteral("Aktualny poziom jasności tablicy (poprzedni odczyt)"));
    Edit5->setReadOnly(true);
    QFont large = Edit5->font();
    large.setPointSize(20);
    large.setBold(true);
    large.setItalic(true);
    Edit5->setFont(large);
    QPalette red = Edit5->palette();
    red.setColor(QPalette::Text, Qt::red);
    Edit5->setPalette(red);
    auto* panel = new QVBoxLayout(Panel1);
    panel->addWidget(current);
    panel->addWidget(Edit5);

    BitBtn1 = MakeButton(this, "BitBtn1", QStringLiteral("Odczytaj nastawy"),
                         QStringLiteral("Odczytuje nastawy z KX9"));
    BitBtn2 = MakeButton(this, "BitBtn2", QStringLiteral("Zapisz nastawy"),
                         QStringLiteral("Zapisuje nastawy do KX9"));
    BitBtn3 = MakeButton(this, "BitBtn3", QStringLiteral("Zamknij"), QStringLiteral("Zamyka to okno"));

    auto* settings = new QVBoxLayout;
    settings->addWidget(CheckBox1);
    settings->addWidget(Notebook1);
    auto* body = new QHBoxLayout;
    body->addLayout(settings, 1);
    body->addWidget(Panel1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(BitBtn1);
    buttons->addWidget(BitBtn2);
    buttons->addStretch(1);
    buttons->addWidget(BitBtn3);
    auto* outer = new QVBoxLayout(this);
    outer->addLayout(body);
    outer->addLayout(buttons);
}

void TfKonfigJasnosc::FormActivate() {
    Fill(false);
}

void TfKonfigJasnosc::FormHide() {
    StoreBrightnessControls();
}

void TfKonfigJasnosc::LoadBrightnessControls() {
    Fill(true);
}

void TfKonfigJasnosc::Fill(bool all) {
    const ConfigImage& image = m_t.image;
    auto due = [&](ShownRevision& shown, int reg) {
        const ConfigImage::Revision now = image.RegsRevision(reg);
        const bool changed = all || Stale(shown, now);
        shown.Mark(now);
        return changed;
    };
    if (due(m_shownSensor, RegLightSensorOn)) {
        // Loading shows the register; only the operator's click stores into it.
        const bool on = image.Reg(RegLightSensorOn) != 0;
        const QSignalBlocker quiet(CheckBox1);
        CheckBox1->setChecked(on);
        ShowSensorPage(on);
    }
    for (LevelField& field : m_levels)
        if (due(field.shown, field.reg))
            field.edit->setText(QString::number(image.Reg(field.reg)));
    for (TimeField& field : m_times)
        if (due(field.shown, field.reg)) {
            field.picker->setTime(layout::DecodeTimeOfDay(image.Reg(field.reg)));
            NoteFilled({field.picker});
        }
    if (due(m_shownCurrent, RegCurrentBrightness))
        Edit5->setText(QString::number(image.Reg(RegCurrentBrightness)) + QStringLiteral("%"));
}

bool TfKonfigJasnosc::StoreBrightnessControls() {
    // A value that reached the image behind the window's back (a whole read, a file) comes in
    // first, so that a field nobody touched never puts an older value back.
    Fill(false);
    bool stored = StoreLevel(m_levels[0]);
    stored = StoreLevel(m_levels[1]) && stored;
    StoreTime(m_times[0]);
    StoreTime(m_times[1]);
    stored = StoreLevel(m_levels[2]) && stored;
    stored = StoreLevel(m_levels[3]) && stored;
    return stored;
}

void TfKonfigJasnosc::ShownRegisters(std::vector<std::pair<int, int>>& regs) const {
    for (const LevelField& field : m_levels)
        if (const std::optional<int> level = DecimalIn(field.edit->text(), LevelLow, LevelHigh))
            regs.emplace_back(field.reg, *level);
}

bool TfKonfigJasnosc::StoreLevel(LevelField& field) {
    const std::optional<int> level = DecimalIn(field.edit->text(), LevelLow, LevelHigh);
    if (!level) {
        Refuse(m_t.dialogs, LevelText, field.title, MsgIcon::Information);
        return false;
    }
    m_t.image.SetReg(field.reg, *level);
    field.shown.Mark(m_t.image.RegsRevision(field.reg));
    return true;
}

void TfKonfigJasnosc::StoreTime(TimeField& field) {
    if (!Touched(field.picker))
        return; // left alone: the register keeps even a value no picker can show
    const QTime t = field.picker->time();
    m_t.image.SetReg(field.reg, layout::EncodeTimeOfDay(t.hour(), t.minute()));
    field.shown.Mark(m_t.image.RegsRevision(field.reg));
    NoteFilled({field.picker});
}

void TfKonfigJasnosc::ShowSensorPage(bool on) {
    Notebook1->setCurrentIndex(on ? SensorPage : TimePage);
}

void TfKonfigJasnosc::CheckBox1Click() {
    const bool on = CheckBox1->isChecked();
    m_t.image.SetReg(RegLightSensorOn, on ? 1 : 0);
    m_shownSensor.Mark(m_t.image.RegsRevision(RegLightSensorOn));
    ShowSensorPage(on);
}

bool TfKonfigJasnosc::SendStep(int first, int count, bool write) {
    // Every request opens the link afresh: the watchdog may have closed it between two.
    if (!m_t.Send(write ? Transfers::Kind::Write : Transfers::Kind::Read, first, count,
                  Transfers::Port::Open))
        return false;
    m_t.CloseWhenIdle();
    return true;
}

void TfKonfigJasnosc::BitBtn1Click() {
    // The controls are not stored first: the read replaces them.
    std::vector<ChainStep> steps{{[this] { return SendStep(RegDayBrightness, ReadCount, false); }, -1}};
    if (!m_chain->Start(
            std::move(steps), [this] { FinishRead(); }, QStringLiteral("Odczyt nastaw jasności")))
        return;
    m_running = Running::Read;
    m_t.ShowFromZero(QString());
}

void TfKonfigJasnosc::BitBtn2Click() {
    StoreBrightnessControls();
    std::vector<ChainStep> steps{
        {[this] { return SendStep(RegDayBrightness, TimeSettingsCount, true); }, -1},
        {[this] { return SendStep(RegLightSensorOn, SensorSettingsCount, true); }, 50},
    };
    if (!m_chain->Start(
            std::move(steps), [this] { FinishWrite(); }, QStringLiteral("Zapis nastaw jasności")))
        return;
    m_running = Running::Write;
    m_t.ShowFromZero(QString());
}

void TfKonfigJasnosc::BitBtn3Click() {
    hide();
}

void TfKonfigJasnosc::Timer1Timer() {
    m_chain->Tick();
    if (!m_chain->Running())
        m_running = Running::None;
}

void TfKonfigJasnosc::FinishWrite() {
    m_running = Running::None;
    m_t.progress.SetProgress(100);
    m_t.clock.pause(FinishPauseMs);
    m_t.progress.HideProgress();
}

void TfKonfigJasnosc::FinishRead() {
    m_running = Running::None;
    m_t.progress.SetProgress(100);
    m_t.clock.pause(FinishPauseMs);
    m_t.progress.HideProgress();
    m_t.progress.SetProgress(0);
    LoadBrightnessControls();
    NoteStored();
}

int TfKonfigJasnosc::WriteStep() const {
    return m_running == Running::Write && m_chain->Running() ? m_chain->Sent() : 0;
}

bool TfKonfigJasnosc::ReadPending() const {
    return m_running == Running::Read && m_chain->Running();
}

} // namespace kx9
