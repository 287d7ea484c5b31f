// SPDX-License-Identifier: MIT
#include "Glyphs.h"

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QRectF>

namespace kx9 {

namespace {

void arrow(QPainter& p, QColor color, bool down, QRectF box) {
    QPainterPath path;
    qreal cx = box.center().x(), w = box.width(), h = box.height();
    qreal tip = down ? box.bottom() : box.top();
    qreal base = down ? box.top() + h * 0.45 : box.bottom() - h * 0.45;
    qreal tail = down ? box.top() : box.bottom();
    path.moveTo(cx, tip);
    path.lineTo(box.left(), base);
    path.lineTo(cx - w * 0.2, base);
    path.lineTo(cx - w * 0.2, tail);
    path.lineTo(cx + w * 0.2, tail);
    path.lineTo(cx + w * 0.2, base);
    path.lineTo(box.right(), base);
    path.closeSubpath();
    p.setPen(QPen(color.darker(160), 1));
    p.setBrush(color);
    p.drawPath(path);
}

void board(QPainter& p, QRectF box, QColor lit) {
    p.setPen(QPen(QColor(90, 90, 90), 1));
    p.setBrush(QColor(35, 35, 35));
    p.drawRect(box);
    p.setPen(Qt::NoPen);
    p.setBrush(lit);
    for (qreal y = box.top() + 2; y < box.bottom() - 1; y += 3)
        for (qreal x = box.left() + 2; x < box.right() - 1; x += 3)
            p.drawRect(QRectF(x, y, 1.6, 1.6));
}

void page(QPainter& p, QRectF box) {
    p.setPen(QPen(QColor(90, 90, 90), 1));
    p.setBrush(Qt::white);
    p.drawRect(box);
    p.setPen(QPen(QColor(60, 60, 160), 1));
    for (qreal y = box.top() + 3; y < box.bottom() - 1; y += 2.5)
        p.drawLine(QPointF(box.left() + 2, y), QPointF(box.right() - 2, y));
}

void drawGlyph(QPainter& p, int index) {
    const QColor blue(30, 90, 200), green(30, 150, 60), red(200, 40, 40), yellow(240, 200, 40);
    switch (index) {
    case 0: // PC: monitor on a stand
        p.setPen(QPen(QColor(70, 70, 70), 1));
        p.setBrush(QColor(200, 200, 200));
        p.drawRect(QRectF(1.5, 1.5, 13, 10));
        p.setBrush(blue);
        p.drawRect(QRectF(3.5, 3.5, 9, 6));
        p.setBrush(QColor(120, 120, 120));
        p.drawRect(QRectF(4.5, 12.5, 7, 2));
        break;
    case 1: // change of link: arrows both ways
        arrow(p, green, true, QRectF(1, 1, 6, 14));
        arrow(p, red, false, QRectF(9, 1, 6, 14));
        break;
    case 2: // identification: magnifier over a board
        board(p, QRectF(0.5, 0.5, 11, 8), QColor(255, 150, 0));
        p.setPen(QPen(QColor(60, 60, 60), 2));
        p.setBrush(QColor(200, 230, 255, 160));
        p.drawEllipse(QRectF(5, 5, 7, 7));
        p.drawLine(QPointF(11, 11), QPointF(15, 15));
        break;
    case 3: // status: warning triangle
        p.setPen(QPen(QColor(120, 90, 0), 1));
        p.setBrush(yellow);
        p.drawPolygon(QPolygonF({QPointF(8, 1), QPointF(15, 14.5), QPointF(1, 14.5)}));
        p.setPen(QPen(Qt::black, 2));
        p.drawLine(QPointF(8, 5.5), QPointF(8, 10));
        p.drawPoint(QPointF(8, 12.5));
        break;
    case 4: // information
        p.setPen(Qt::NoPen);
        p.setBrush(blue);
        p.drawEllipse(QRectF(1, 1, 14, 14));
        p.setPen(QPen(Qt::white, 2));
        p.drawPoint(QPointF(8, 4.5));
        p.drawLine(QPointF(8, 7), QPointF(8, 12));
        break;
    case 5: // read all: arrow down out of the board
        board(p, QRectF(0.5, 0.5, 15, 5), QColor(255, 150, 0));
        arrow(p, blue, true, QRectF(3, 6, 10, 9.5));
        break;
    case 6: // write all: arrow up into the board
        board(p, QRectF(0.5, 0.5, 15, 5), QColor(255, 150, 0));
        arrow(p, red, false, QRectF(3, 6, 10, 9.5));
        break;
    case 7: // slave devices: three boxes on one line
        p.setPen(QPen(QColor(60, 60, 60), 1));
        p.drawLine(QPointF(2.5, 11), QPointF(13.5, 11));
        p.drawLine(QPointF(8, 5), QPointF(8, 11));
        p.setBrush(green);
        p.drawRect(QRectF(5.5, 0.5, 5, 5));
        p.setBrush(blue);
        p.drawRect(QRectF(0.5, 10.5, 5, 5));
        p.drawRect(QRectF(10.5, 10.5, 5, 5));
        break;
    case 8: { // text editor: a letter and a pencil
        QFont font("Sans Serif");
        font.setPixelSize(13);
        font.setBold(true);
        p.setFont(font);
        p.setPen(blue);
        p.drawText(QRectF(0, 0, 11, 16), Qt::AlignCenter, "A");
        p.setPen(QPen(QColor(200, 120, 0), 2.5));
        p.drawLine(QPointF(9, 14), QPointF(15, 4));
        break;
    }
    case 9: // graphics: mountains and sun in a frame
        p.setPen(QPen(QColor(70, 70, 70), 1));
        p.setBrush(QColor(170, 210, 255));
        p.drawRect(QRectF(0.5, 1.5, 15, 13));
        p.setPen(Qt::NoPen);
        p.setBrush(yellow);
        p.drawEllipse(QRectF(9.5, 3, 4, 4));
        p.setBrush(green);
        p.drawPolygon(
            QPolygonF({QPointF(1, 14), QPointF(6, 6), QPointF(10, 11), QPointF(12, 9), QPointF(15, 14)}));
        break;
    case 10: // clock
        p.setPen(QPen(QColor(60, 60, 60), 1));
        p.setBrush(Qt::white);
        p.drawEllipse(QRectF(0.5, 0.5, 15, 15));
        p.setPen(QPen(Qt::black, 1.5));
        p.drawLine(QPointF(8, 8), QPointF(8, 3));
        p.drawLine(QPointF(8, 8), QPointF(11.5, 10));
        break;
    case 11: // brightness: sun with rays
        p.setPen(QPen(QColor(220, 150, 0), 1.5));
        for (int ray = 0; ray < 8; ++ray) {
            p.save();
            p.translate(8, 8);
            p.rotate(ray * 45);
            p.drawLine(QPointF(0, 5), QPointF(0, 7.5));
            p.restore();
        }
        p.setBrush(yellow);
        p.drawEllipse(QRectF(4, 4, 8, 8));
        break;
    case 12: // presentation: play sign on a screen
        p.setPen(QPen(QColor(70, 70, 70), 1));
        p.setBrush(QColor(35, 35, 35));
        p.drawRect(QRectF(0.5, 2.5, 15, 11));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 150, 0));
        p.drawPolygon(QPolygonF({QPointF(6, 5), QPointF(11.5, 8), QPointF(6, 11)}));
        break;
    case 13: // read text pages
        page(p, QRectF(0.5, 0.5, 9, 12));
        arrow(p, blue, true, QRectF(8, 5, 7.5, 10.5));
        break;
    case 14: // write text pages
        page(p, QRectF(0.5, 0.5, 9, 12));
        arrow(p, red, false, QRectF(8, 5, 7.5, 10.5));
        break;
    case 15: // open file: folder
        p.setPen(QPen(QColor(150, 110, 0), 1));
        p.setBrush(yellow.darker(115));
        p.drawRect(QRectF(0.5, 3.5, 6, 3));
        p.setBrush(yellow);
        p.drawRect(QRectF(0.5, 5.5, 15, 9));
        break;
    case 16: // save file: floppy disk
        p.setPen(QPen(QColor(30, 30, 80), 1));
        p.setBrush(blue);
        p.drawRect(QRectF(1.5, 1.5, 13, 13));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4.5, 1.5, 7, 5));
        p.setBrush(QColor(200, 200, 200));
        p.drawRect(QRectF(4.5, 9.5, 7, 5));
        break;
    case 17:
        board(p, QRectF(0.5, 3.5, 15, 9), QColor(255, 60, 40));
        break;
    case 18:
        board(p, QRectF(0.5, 3.5, 15, 9), QColor(80, 220, 60));
        break;
    case 19:
        board(p, QRectF(0.5, 3.5, 15, 9), QColor(255, 220, 60));
        break;
    default: // the program's own sign: an orange board
        board(p, QRectF(0.5, 2.5, 15, 11), QColor(255, 150, 0));
        break;
    }
}

} // namespace

QPixmap DisabledGlyph(const QPixmap& normal) {
    QImage image = normal.toImage().convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            int grey = 128 + qGray(line[x]) / 2;
            line[x] = qRgba(grey, grey, grey, qAlpha(line[x]) / 2);
        }
    }
    return QPixmap::fromImage(image);
}

QPixmap Glyph(int index) {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    drawGlyph(painter, index);
    return pixmap;
}

} // namespace kx9
