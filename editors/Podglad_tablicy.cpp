// SPDX-License-Identifier: MIT
#include "Podglad_tablicy.h"

#include "config/Clock.h"
#include "config/PageLayout.h"
#include "link/Dialogs.h"
#include "ops/DotMatrix.h"
#include "render/DotFont.h"

#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QPainter>
#include <QSaveFile>
#include <QScrollArea>
#include <QVBoxLayout>
#include <algorithm>

namespace kx9 {

namespace {

constexpr int FrameMs = 40; // 25 frames a second while playing
constexpr QRgb MarkColour = 0xFFFFD000;
constexpr int MarkPixels = 3;
// Above this share of lit dots a graphic page is "mostly lit" (a dark picture on a light ground).
constexpr double MostlyLit = 0.5;

} // namespace

void DotView::Show(const QImage* picture, std::vector<QRect> marks) {
    m_picture = picture;
    m_marks = std::move(marks);
    if (picture->size() != m_size) {
        m_size = picture->size();
        setFixedSize(m_size);
    }
    update();
}

void DotView::paintEvent(QPaintEvent*) {
    if (!m_picture)
        return;
    QPainter painter(this);
    painter.drawImage(0, 0, *m_picture);
    for (const QRect& mark : m_marks)
        painter.fillRect(mark, QColor::fromRgb(MarkColour));
}

TfPodgladTablicy::TfPodgladTablicy(const ConfigImage& image, ShownEdits& edits, Dialogs& dialogs,
                                   Clock& clock, QWidget* parent)
    : QWidget(parent, Qt::Window), m_image(image), m_edits(edits), m_dialogs(dialogs), m_clock(clock),
      m_source(image) {
    setObjectName("TfPodgladTablicy");
    setWindowTitle(QStringLiteral("Podgląd tablicy"));
    BuildControls();
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(FrameMs);
    connect(&m_timer, &QTimer::timeout, this, &TfPodgladTablicy::Tick);
    // Typing in an editor redraws at once, but only what is on the screen.
    connect(&m_edits, &ShownEdits::changed, this, [this] {
        if (isVisible())
            Redraw();
    });
}

void TfPodgladTablicy::BuildControls() {
    auto* layout = new QVBoxLayout(this);
    auto* scroll = new QScrollArea(this);
    scroll->setObjectName("ScrollBox");
    scroll->setAlignment(Qt::AlignCenter);
    scroll->setBackgroundRole(QPalette::Dark);
    View = new DotView(scroll);
    View->setObjectName("View");
    scroll->setWidget(View);
    scroll->setMinimumSize(400, 160);
    layout->addWidget(scroll, 1);

    PageLabel = new QLabel(this);
    PageLabel->setObjectName("PageLabel");
    NoteLabel = new QLabel(this);
    NoteLabel->setObjectName("NoteLabel");
    NoteLabel->setWordWrap(true);
    NoteLabel->setStyleSheet("color: #b05000;");
    layout->addWidget(PageLabel);
    layout->addWidget(NoteLabel);

    auto* grid = new QGridLayout;
    FollowEditor = new QCheckBox(QStringLiteral("Strona z edytora stron"), this);
    FollowEditor->setObjectName("FollowEditor");
    FollowEditor->setChecked(true);
    PageBox = new QSpinBox(this);
    PageBox->setObjectName("PageBox");
    PageBox->setRange(0, render::LastPage);
    PageBox->setPrefix(QStringLiteral("Strona "));
    PageBox->setToolTip(QStringLiteral("Strony 0..114 tekstowe, 115..124 graficzne"));
    PresentationBox = new QCheckBox(QStringLiteral("Prezentacja"), this);
    PresentationBox->setObjectName("PresentationBox");
    OccasionalBox = new QCheckBox(QStringLiteral("Komunikaty okolicznościowe"), this);
    OccasionalBox->setObjectName("OccasionalBox");
    ClockEdit = new QDateTimeEdit(m_clock.now(), this);
    ClockEdit->setObjectName("ClockEdit");
    ClockEdit->setDisplayFormat("yyyy-MM-dd HH:mm:ss");
    ClockEdit->setToolTip(QStringLiteral("Zegar tablicy: czas, data i komunikaty okolicznościowe"));
    DayButton = new QRadioButton(QStringLiteral("Dzień"), this);
    DayButton->setObjectName("DayButton");
    DayButton->setChecked(true);
    NightButton = new QRadioButton(QStringLiteral("Noc"), this);
    NightButton->setObjectName("NightButton");
    DotBox = new QSpinBox(this);
    DotBox->setObjectName("DotBox");
    DotBox->setRange(1, 16);
    DotBox->setValue(6);
    DotBox->setPrefix(QStringLiteral("Kropka "));
    DotBox->setSuffix(QStringLiteral(" px"));
    PlayButton = new QPushButton(QStringLiteral("Odtwarzaj"), this);
    PlayButton->setObjectName("PlayButton");
    PlayButton->setToolTip(QStringLiteral("Przewijanie, zegar i prezentacja w ruchu"));
    SaveButton = new QPushButton(QStringLiteral("Zapisz obraz…"), this);
    SaveButton->setObjectName("SaveButton");
    grid->addWidget(FollowEditor, 0, 0);
    grid->addWidget(PageBox, 0, 1);
    grid->addWidget(PresentationBox, 0, 2);
    grid->addWidget(OccasionalBox, 0, 3);
    grid->addWidget(ClockEdit, 1, 0);
    grid->addWidget(DayButton, 1, 1);
    grid->addWidget(NightButton, 1, 2);
    grid->addWidget(DotBox, 1, 3);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(PlayButton);
    buttons->addStretch(1);
    buttons->addWidget(SaveButton);
    layout->addLayout(grid);
    layout->addLayout(buttons);

    const auto redraw = [this] { Redraw(); };
    connect(FollowEditor, &QCheckBox::toggled, this, redraw);
    connect(PageBox, &QSpinBox::valueChanged, this, redraw);
    connect(PresentationBox, &QCheckBox::toggled, this, redraw);
    connect(OccasionalBox, &QCheckBox::toggled, this, redraw);
    connect(ClockEdit, &QDateTimeEdit::dateTimeChanged, this, redraw);
    connect(DayButton, &QRadioButton::toggled, this, redraw);
    connect(DotBox, &QSpinBox::valueChanged, this, redraw);
    connect(PlayButton, &QPushButton::clicked, this, &TfPodgladTablicy::PlayClick);
    connect(SaveButton, &QPushButton::clicked, this, &TfPodgladTablicy::SaveClick);
}

// The image with what the editors show on top, brightness by the chosen switch.
void TfPodgladTablicy::LayOver() {
    m_source.ClearShown();
    for (const auto& [reg, value] : m_edits.EditedRegisters())
        m_source.ShowReg(reg, value);
    const int page = m_edits.EditedPage();
    const std::vector<QByteArray> lines = m_edits.EditedLines();
    if (page >= 0 && page < PageCount && !lines.empty())
        m_source.ShowPage(
            page, layout::LinesToPage(lines, m_source.Reg(RegBoardSize), m_source.Reg(RegLineLength)));
    const int level = m_source.Reg(DayButton->isChecked() ? RegDayBrightness : RegNightBrightness);
    // Day from 00:00 to 00:00 is day all the time; the switch picks which level it has.
    m_source.ShowReg(RegLightSensorOn, 0);
    m_source.ShowReg(RegDayStart, 0);
    m_source.ShowReg(RegNightStart, 0);
    m_source.ShowReg(RegDayBrightness, level);
}

int TfPodgladTablicy::PageToShow(const render::DisplayTime& time) const {
    if (OccasionalBox->isChecked()) {
        const int occasional = render::OccasionalPage(m_source, time);
        if (occasional != render::NoPage)
            return occasional;
    }
    if (PresentationBox->isChecked())
        return render::PresentationPage(m_source, time.ms);
    const int edited = m_edits.EditedPage();
    if (FollowEditor->isChecked() && edited >= 0)
        return edited;
    return PageBox->value();
}

// A graphic slot as the board gets it: the slot's picture drawn at the page's size and packed.
void TfPodgladTablicy::LoadGraphic(int slot) {
    const QSize size = dots::GraphicSize(m_source.Reg(RegBoardSize), m_source.Reg(RegLineLength));
    const QString file = m_edits.GraphicFile(slot);
    Converted& done = m_converted[size_t(slot)];
    if (done.file == file && done.size == size && !file.isEmpty())
        return;
    done = {file, size};
    dots::Matrix matrix{};
    if (!file.isEmpty())
        dots::PackDots(dots::DrawToBoard(dots::LoadPicture(file, size), size), matrix);
    m_source.SetGraphic(slot, QByteArray(reinterpret_cast<const char*>(matrix.data()), int(matrix.size())));
}

std::vector<QRect> TfPodgladTablicy::Marks(const render::Overflow& cut, int pitch) const {
    std::vector<QRect> marks;
    const QSize dots = render::DisplayDots(m_source.Reg(RegBoardSize));
    const int w = dots.width() * pitch, h = dots.height() * pitch;
    const int lineHeight = (m_source.Reg(RegDoubleHeight) != 0 ? 2 : 1) * render::CellHeight * pitch;
    for (size_t i = 0; i < cut.lines.size(); ++i) {
        const render::LineCut& c = cut.lines[i];
        if (c.cut == 0)
            continue;
        if (c.below) {
            marks.emplace_back(0, h - MarkPixels, w, MarkPixels);
        } else {
            const int y0 = int(i) * lineHeight;
            marks.emplace_back(w - MarkPixels, y0, MarkPixels, std::min(lineHeight, h - y0));
        }
    }
    return marks;
}

void TfPodgladTablicy::Redraw() {
    LayOver();
    const int64_t ms = m_playing ? m_playMs + m_played.elapsed() : m_playMs;
    const render::DisplayTime time{ms, ClockEdit->dateTime().addMSecs(ms)};
    m_page = PageToShow(time);
    if (m_page >= render::FirstGraphicPage && m_page <= render::LastPage)
        LoadGraphic(m_page - render::FirstGraphicPage);

    if (m_renderer.DotPitch() != DotBox->value())
        m_renderer = render::DotRenderer(DotBox->value());
    render::DotFrame& frame = m_frame;
    render::ComposePage(m_source, m_page, time, frame);
    m_renderer.Paint(frame);

    QString note;
    m_cut = {};
    if (m_page >= 0 && m_page < PageCount) {
        std::vector<QByteArray> lines =
            m_page == m_edits.EditedPage() ? m_edits.EditedLines() : std::vector<QByteArray>{};
        if (lines.empty()) {
            ConfigImage::Page text;
            std::copy_n(m_source.TextPage(m_page), PageSize, text.begin());
            lines = layout::PageToLines(text, m_source.Reg(RegBoardSize), m_source.Reg(RegLineLength));
        }
        m_cut = render::MeasureOverflow(lines, m_source);
        PageLabel->setText(QStringLiteral("Strona %1").arg(m_page));
        if (m_cut.cut > 0)
            note = QStringLiteral("Tekst nie mieści się: obcięte znaki: %1 (zaznaczone na żółto).")
                       .arg(m_cut.cut);
    } else if (m_page >= render::FirstGraphicPage) {
        const int slot = m_page - render::FirstGraphicPage;
        const QString file = m_edits.GraphicFile(slot);
        PageLabel->setText(QStringLiteral("Strona graficzna %1: %2")
                               .arg(m_page)
                               .arg(file.isEmpty() ? QStringLiteral("nie przypisano grafiki") : file));
        const auto lit = std::count(frame.dots.begin(), frame.dots.end(), uint8_t(1));
        if (!frame.dots.empty() && double(lit) / double(frame.dots.size()) > MostlyLit)
            note = QStringLiteral("Świeci większość tablicy: tablica zapala każdy kolor poza czarnym, "
                                  "więc ciemny rysunek na jasnym tle zapala całą tablicę wokół niego.");
    } else {
        PageLabel->setText(QStringLiteral("Brak strony do wyświetlenia"));
    }
    NoteLabel->setText(note);
    View->Show(&m_renderer.Image(), Marks(m_cut, m_renderer.DotPitch()));
}

void TfPodgladTablicy::SetPlaying(bool playing) {
    if (playing == m_playing)
        return;
    if (playing)
        m_played.start();
    else
        m_playMs += m_played.elapsed();
    m_playing = playing;
    PlayButton->setText(playing ? QStringLiteral("Zatrzymaj") : QStringLiteral("Odtwarzaj"));
    if (playing && isVisible())
        m_timer.start();
    else
        m_timer.stop();
}

void TfPodgladTablicy::PlayClick() {
    SetPlaying(!m_playing);
    Redraw();
}

void TfPodgladTablicy::Tick() {
    if (!isVisible()) {
        m_timer.stop();
        return;
    }
    Redraw();
}

void TfPodgladTablicy::SaveClick() {
    QString file = m_dialogs.saveFile(QStringLiteral("Obraz PNG (*.png)"));
    if (file.isEmpty())
        return;
    if (!file.endsWith(QStringLiteral(".png"), Qt::CaseInsensitive))
        file += QStringLiteral(".png");
    QSaveFile out(file);
    if (out.open(QIODevice::WriteOnly) && Picture().save(&out, "PNG") && out.commit())
        return;
    m_dialogs.message(QStringLiteral("Nie można zapisać obrazu: ") + file + QStringLiteral(" (") +
                          out.errorString() + QStringLiteral(")"),
                      QStringLiteral("Błąd"), MsgIcon::Error);
}

bool TfPodgladTablicy::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate)
        Redraw();
    return QWidget::event(event);
}

void TfPodgladTablicy::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (m_playing) {
        m_played.start();
        m_timer.start();
    }
    Redraw();
}

// Hidden, nothing runs: play pauses where it stands and goes on from there when shown again.
void TfPodgladTablicy::hideEvent(QHideEvent* event) {
    m_timer.stop();
    if (m_playing) {
        m_playMs += m_played.elapsed();
        m_played.start();
    }
    QWidget::hideEvent(event);
}

} // namespace kx9
