// SPDX-License-Identifier: MIT
#include "About.h"

#include <QPainter>
#include <QPixmap>
#include <QStyle>

namespace kx9 {

namespace {

// 5 x 7 dot patterns, one string per row, for the letters of the picture.
constexpr const char* GlyphK[7] = {"X...X", "X..X.", "X.X..", "XX...", "X.X..", "X..X.", "X...X"};
constexpr const char* GlyphX[7] = {"X...X", "X...X", ".X.X.", "..X..", ".X.X.", "X...X", "X...X"};
constexpr const char* Glyph9[7] = {".XXX.", "X...X", "X...X", ".XXXX", "....X", "...X.", ".XX.."};

QLabel* textLabel(QWidget* parent, const char* name, const QString& text, int x, int y, int h) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setGeometry(x, y, 274 - x - 4, h);
    return label;
}

} // namespace

QPixmap TfAbout::Picture() {
    QPixmap pixmap(100, 60);
    pixmap.fill(QColor(40, 40, 40));
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(120, 120, 120), 2));
    p.drawRect(1, 1, 98, 58);
    // The frame holds 3 letters of 5 x 7 dots with one dark column between them.
    const char* const* glyphs[3] = {GlyphK, GlyphX, Glyph9};
    const int pitch = 5;
    const int left = (100 - (3 * 5 + 2) * pitch) / 2;
    const int top = (60 - 7 * pitch) / 2;
    p.setPen(Qt::NoPen);
    for (int g = 0; g < 3; ++g)
        for (int row = 0; row < 7; ++row)
            for (int col = 0; col < 5; ++col) {
                bool lit = glyphs[g][row][col] == 'X';
                p.setBrush(lit ? QColor(255, 150, 0) : QColor(70, 55, 40));
                int x = left + (g * 6 + col) * pitch;
                int y = top + row * pitch;
                p.drawEllipse(QRectF(x + 0.5, y + 0.5, pitch - 1, pitch - 1));
            }
    return pixmap;
}

TfAbout::TfAbout() {
    setObjectName("fAbout");
    setWindowTitle("Informacje o programie");
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setFont(QFont("MS Sans Serif", 8));
    setFixedSize(274, 159);

    Image1 = new QLabel(this);
    Image1->setObjectName("Image1");
    Image1->setPixmap(Picture());
    Image1->setGeometry(6, 10, 100, 60);

    const int x = 112;
    Label1 = textLabel(this, "Label1", "KX9 Konfigurator", x, 8, 24);
    QFont big = font();
    big.setPointSize(11);
    big.setBold(true);
    Label1->setFont(big);
    Label2 = textLabel(this, "Label2", "Wersja 1.01", x, 34, 16);
    Label3 = textLabel(this, "Label3", "Projekt otwarty", x, 56, 16);
    Label4 = textLabel(this, "Label4", "kx9-konfigurator.example", x, 74, 16);
    Label4->setStyleSheet("color: blue;");
    Label4->setTextInteractionFlags(Qt::TextSelectableByMouse);
    Label5 = textLabel(this, "Label5", "2004, Kiksowo", x, 92, 16);

    BitBtn1 = new QPushButton("&Zamknij", this);
    BitBtn1->setObjectName("BitBtn1");
    BitBtn1->setToolTip("Zamknij");
    BitBtn1->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
    BitBtn1->setGeometry((274 - 90) / 2, 159 - 34, 90, 26);
    BitBtn1->setDefault(true);
    connect(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
}

void TfAbout::BitBtn1Click() {
    close();
}

} // namespace kx9
