// SPDX-License-Identifier: MIT
// "Podgląd tablicy": opened from the main window and the text page editor, drawing what the
// editors show before it is stored, marking what the display cuts, and idle when not playing.
#include "AppTestWorld.h"
#include "config/PageLayout.h"
#include "render/ImageSource.h"

#include <QFile>
#include <QShortcut>
#include <QTest>
#include <functional>

namespace kx9 {
namespace {

using test::AppWorld;

struct PreviewWorld : AppWorld {
    PreviewWorld() {
        start();
        activate();
    }
    TfPodgladTablicy& preview() { return *app->preview; }
    TPStron& pages() { return *app->stron; }
    // Page `page` of the text page editor with `text` typed into its first line (not stored).
    void typeLine(int page, const QString& text) {
        pages().show();
        pages().TreeView1->setCurrentItem(pages().PageNode(page));
        pages().Edit2->clear();
        for (QChar c : text)
            QTest::sendKeyEvent(QTest::Click, pages().Edit2, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
    // The picture of `page` drawn from the image with `lines` over it, at the preview's pitch.
    QImage drawn(int page, const std::vector<QByteArray>& lines) {
        render::ImageSource source(image());
        source.ShowPage(page,
                        layout::LinesToPage(lines, image().Reg(RegBoardSize), image().Reg(RegLineLength)));
        render::DotFrame frame;
        render::ComposePage(source, page, {0, preview().ClockEdit->dateTime()}, frame);
        render::DotRenderer renderer(preview().DotBox->value());
        return renderer.Paint(frame);
    }
};

struct Opener {
    const char* name;
    std::function<QWidget*(Kx9App&)> window;
};
void PrintTo(const Opener& o, std::ostream* os) {
    *os << o.name;
}

class PreviewOpens : public ::testing::TestWithParam<Opener> {};

TEST_P(PreviewOpens, OnCtrlP) {
    PreviewWorld w;
    QWidget* window = GetParam().window(*w.app);
    auto* key = window->findChild<QShortcut*>("PreviewShortcut");
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->key(), QKeySequence(Qt::CTRL | Qt::Key_P));
    ASSERT_FALSE(w.preview().isVisible());
    emit key->activated();
    EXPECT_TRUE(w.preview().isVisible());
    EXPECT_EQ(w.preview().windowTitle(), QStringLiteral("Podgląd tablicy"));
}

INSTANTIATE_TEST_SUITE_P(Rows, PreviewOpens,
                         ::testing::Values(Opener{"MainWindow", [](Kx9App& a) { return a.form1.get(); }},
                                           Opener{"TextPageEditor", [](Kx9App& a) { return a.stron.get(); }}),
                         [](const auto& info) { return std::string(info.param.name); });

// Each key typed redraws the preview at once, before any event-loop turn, and stores nothing.
TEST(PreviewWindow, TypingRedrawsAtOnceWithoutStoring) {
    PreviewWorld w;
    w.preview().show();
    const ConfigImage::Page before = w.image().pages[4];
    w.typeLine(4, QStringLiteral("Zażółć"));
    EXPECT_EQ(w.preview().ShownPage(), 4);
    EXPECT_EQ(w.preview().Picture(), w.drawn(4, {"Za\xBF\xF3\xB3\xE6"}));
    EXPECT_NE(w.preview().Picture(), w.drawn(4, {"Za\xBF\xF3\xB3"})) << "the last key is drawn";
    EXPECT_EQ(w.image().pages[4], before);
}

// A line of 20 characters on a board 13 wide: 7 cut, said in the note.
TEST(PreviewWindow, MarksTheCutAndCountsIt) {
    PreviewWorld w;
    w.image().SetReg(RegBoardSize, 209);
    w.preview().show();
    w.typeLine(0, QStringLiteral("Dwadzieścia znaków!!"));
    EXPECT_EQ(w.preview().Cut().cut, 7);
    EXPECT_TRUE(w.preview().Cut().lines[0].cut == 7 && !w.preview().Cut().lines[0].below);
    EXPECT_TRUE(w.preview().NoteLabel->text().contains(QStringLiteral("obcięte znaki: 7")))
        << qPrintable(w.preview().NoteLabel->text());
    w.typeLine(0, QStringLiteral("Trzynaście zn"));
    EXPECT_EQ(w.preview().Cut().cut, 0);
    EXPECT_TRUE(w.preview().NoteLabel->text().isEmpty());
}

// A dark picture on white lights most of the panel: the preview says so; a white one on black not.
struct PictureCase {
    const char* name;
    Qt::GlobalColor ground;
    bool note;
};
void PrintTo(const PictureCase& c, std::ostream* os) {
    *os << c.name;
}

class PreviewGraphic : public ::testing::TestWithParam<PictureCase> {};

TEST_P(PreviewGraphic, SaysWhenMostOfThePanelIsLit) {
    PreviewWorld w;
    QImage picture(120, 40, QImage::Format_RGB32);
    picture.fill(GetParam().ground);
    for (int y = 10; y < 30; ++y)
        for (int x = 40; x < 80; ++x)
            picture.setPixel(x, y, GetParam().ground == Qt::white ? 0xFF000000 : 0xFFFFFFFF);
    const QString file = w.path("logo.png");
    ASSERT_TRUE(picture.save(file));
    w.app->konGraf->show();
    w.app->konGraf->TreeView1->setCurrentItem(w.app->konGraf->Node(2));
    w.dialogs.fileAnswers.push_back(file);
    w.app->konGraf->BitBtn1Click();
    w.preview().FollowEditor->setChecked(false);
    w.preview().PageBox->setValue(117);
    w.preview().show();
    EXPECT_EQ(w.preview().ShownPage(), 117);
    EXPECT_EQ(w.preview().NoteLabel->text().contains(QStringLiteral("Świeci większość tablicy")),
              GetParam().note);
    // The centre dot is the picture's inner square.
    const int dot = w.preview().DotBox->value();
    const QRgb centre = w.preview().Picture().pixel(60 * dot + dot / 2, 20 * dot + dot / 2);
    EXPECT_EQ(centre == render::DotColour(true, 100), !GetParam().note);
}

INSTANTIATE_TEST_SUITE_P(Rows, PreviewGraphic,
                         ::testing::Values(PictureCase{"DarkLogoOnWhite", Qt::white, true},
                                           PictureCase{"LightLogoOnBlack", Qt::black, false}),
                         [](const auto& info) { return std::string(info.param.name); });

// Idle is idle: the timer runs only while the preview plays and is shown.
struct IdleCase {
    const char* name;
    bool shown, playing, timer;
};
void PrintTo(const IdleCase& c, std::ostream* os) {
    *os << c.name;
}

class PreviewIdle : public ::testing::TestWithParam<IdleCase> {};

TEST_P(PreviewIdle, TimerOnlyWhilePlayingAndShown) {
    const IdleCase& c = GetParam();
    PreviewWorld w;
    w.preview().show();
    w.preview().PlayButton->click(); // plays
    if (!c.playing)
        w.preview().PlayButton->click();
    if (!c.shown)
        w.preview().hide();
    EXPECT_EQ(w.preview().Playing(), c.playing);
    EXPECT_EQ(w.preview().TimerRunning(), c.timer);
    EXPECT_EQ(w.preview().PlayButton->text(),
              c.playing ? QStringLiteral("Zatrzymaj") : QStringLiteral("Odtwarzaj"));
}

INSTANTIATE_TEST_SUITE_P(Rows, PreviewIdle,
                         ::testing::Values(IdleCase{"ShownPlaying", true, true, true},
                                           IdleCase{"ShownStopped", true, false, false},
                                           IdleCase{"HiddenPlaying", false, true, false},
                                           IdleCase{"HiddenStopped", false, false, false}),
                         [](const auto& info) { return std::string(info.param.name); });

// "Zapisz obraz…" writes the picture as shown.
TEST(PreviewWindow, SavesThePictureAsPng) {
    PreviewWorld w;
    w.preview().show();
    w.typeLine(0, QStringLiteral("KX9"));
    w.dialogs.fileAnswers.push_back(w.path("podglad"));
    w.preview().SaveButton->click();
    EXPECT_TRUE(w.dialogs.boxes.empty());
    EXPECT_EQ(QImage(w.path("podglad.png")).convertToFormat(QImage::Format_RGB32), w.preview().Picture());
}

} // namespace
} // namespace kx9
