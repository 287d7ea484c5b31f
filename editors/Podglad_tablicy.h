// SPDX-License-Identifier: MIT
#pragma once

#include "ShownEdits.h"
#include "config/ConfigImage.h"
#include "render/DisplayRender.h"
#include "render/ImageSource.h"
#include "render/Overflow.h"

#include <QCheckBox>
#include <QDateTimeEdit>
#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTimer>
#include <QWidget>
#include <array>
#include <vector>

namespace kx9 {

class Clock;
class Dialogs;

// The board's picture with the cut text marked over it.
class DotView : public QWidget {
public:
    using QWidget::QWidget;
    // `picture` stays valid while shown (the renderer's own image, redrawn in place).
    void Show(const QImage* picture, std::vector<QRect> marks);
    QSize sizeHint() const override { return m_picture ? m_picture->size() : QSize(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const QImage* m_picture = nullptr;
    QSize m_size;
    std::vector<QRect> m_marks;
};

// "Podgląd tablicy": the board's display drawn from the image and from what the editors show
// but have not stored, with the board view's own renderer. It draws on demand (shown,
// activated, an editor changed); its timer runs only while it plays and is shown.
class TfPodgladTablicy : public QWidget {
    Q_OBJECT
public:
    TfPodgladTablicy(const ConfigImage& image, ShownEdits& edits, Dialogs& dialogs, Clock& clock,
                     QWidget* parent = nullptr);

    // The page drawn, the picture as the board shows it (no marks) and what is cut of it.
    int ShownPage() const { return m_page; }
    const QImage& Picture() const { return m_renderer.Image(); }
    const render::Overflow& Cut() const { return m_cut; }
    bool Playing() const { return m_playing; }
    bool TimerRunning() const { return m_timer.isActive(); }

    void Redraw();
    void PlayClick();
    void SaveClick();
    void Tick();

    QCheckBox* FollowEditor;    // the page of the text page editor
    QSpinBox* PageBox;          // else this page, 0..124
    QCheckBox* PresentationBox; // the presentation's pages in turn
    QCheckBox* OccasionalBox;   // occasional pages at their dates and hours
    QDateTimeEdit* ClockEdit;   // the board's clock for what the display tells
    QRadioButton* DayButton;
    QRadioButton* NightButton;
    QSpinBox* DotBox;        // pixels from dot to dot
    QPushButton* PlayButton; // "Odtwarzaj" / "Zatrzymaj"
    QPushButton* SaveButton; // "Zapisz obraz…"
    QLabel* PageLabel;
    QLabel* NoteLabel;
    DotView* View;

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void BuildControls();
    void LayOver();
    int PageToShow(const render::DisplayTime& time) const;
    void LoadGraphic(int slot);
    std::vector<QRect> Marks(const render::Overflow& cut, int pitch) const;
    void SetPlaying(bool playing);

    const ConfigImage& m_image;
    ShownEdits& m_edits;
    Dialogs& m_dialogs;
    Clock& m_clock;
    render::ImageSource m_source;
    render::DotRenderer m_renderer;
    QTimer m_timer;
    QElapsedTimer m_played; // since play started
    int64_t m_playMs = 0;   // display time where play last stopped
    bool m_playing = false;
    int m_page = render::NoPage;
    render::DotFrame m_frame;
    render::Overflow m_cut;
    // Graphic slots as converted, and what from.
    struct Converted {
        QString file;
        QSize size;
    };
    std::array<Converted, 10> m_converted;
};

} // namespace kx9
