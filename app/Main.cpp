// SPDX-License-Identifier: MIT
#include "Main.h"

#include "../config/ConfigFile.h"
#include "BoardOps.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QTimer>
#include <QWidget>

namespace kx9 {

namespace {

constexpr int ClientWidth = 173;
constexpr int ClientHeight = 430;
constexpr int ButtonWidth = 169;
constexpr int ButtonHeight = 22;
constexpr int ButtonPitch = 24;
constexpr int StatusHeight = 19;
constexpr int GlyphCount = 21;
constexpr int TrayGlyph = 20;

struct ButtonDef {
    QToolButton* TForm1::*member;
    int number;
    const char* caption;
    const char* hint;
    void (TForm1::*handler)();
};

// Top to bottom; "Konfiguracji Prezentacji" sits between the graphics and the clock.
const ButtonDef Buttons[] = {
    {&TForm1::SpeedButton1, 1, "Konfiguracja Połączenia", "Konfiguruje komputer PC do połączenia z KX9",
     &TForm1::SpeedButton1Click},
    {&TForm1::SpeedButton2, 2, "Zmień Połączenie", "Zmienia parametry transmisji PC<=>KX9",
     &TForm1::SpeedButton2Click},
    {&TForm1::SpeedButton3, 3, "Identyfikacja", "Przeprowadza identyfikację KX9", &TForm1::SpeedButton3Click},
    {&TForm1::SpeedButton4, 4, "Status", "Pokazuje status KX9", &TForm1::SpeedButton4Click},
    {&TForm1::SpeedButton5, 5, "Informacje", "Informacje o programie", &TForm1::SpeedButton5Click},
    {&TForm1::SpeedButton6, 6, "Odczytaj Całość", "Odczyt konfiguracji z KX9", &TForm1::SpeedButton6Click},
    {&TForm1::SpeedButton7, 7, "Zapisz Całość", "Zapis konfiguracji do KX9 bez zmiany parametrów połączenia.",
     &TForm1::SpeedButton7Click},
    {&TForm1::SpeedButton8, 8, "Konfiguracja Slave", "Konfigurowanie urządzeń Slave podłączonych do KX9",
     &TForm1::SpeedButton8Click},
    {&TForm1::SpeedButton9, 9, "Edytor Napisów", "Edytor napisów", &TForm1::SpeedButton9Click},
    {&TForm1::SpeedButton10, 10, "Konfiguracja Grafiki", "Konfigurowanie wyświetlanych grafik",
     &TForm1::SpeedButton10Click},
    {&TForm1::SpeedButton13, 13, "Konfiguracji Prezentacji", "Konfigurowanie prezentacji",
     &TForm1::SpeedButton13Click},
    {&TForm1::SpeedButton11, 11, "Czas/Data",
     "Ustawianie zegara oraz konfigurowanie wyświetlania czasu i daty", &TForm1::SpeedButton11Click},
    {&TForm1::SpeedButton12, 12, "Konfiguracja Jasności", "Konfigurowanie jasności",
     &TForm1::SpeedButton12Click},
    {&TForm1::SpeedButton14, 14, "Odczytaj Strony Tekstowe", "Odczyt stron tekstowych",
     &TForm1::SpeedButton14Click},
    {&TForm1::SpeedButton15, 15, "Zapisz Strony Tekstowe", "Zapis stron tekstowych",
     &TForm1::SpeedButton15Click},
    {&TForm1::SpeedButton16, 16, "Otwórz Plik Konfiguracyjny", "Wczytuje plik konfiguracyjny",
     &TForm1::SpeedButton16Click},
    {&TForm1::SpeedButton17, 17, "Zapisz Plik Konfiguracyjny", "Zapisuje konfiguracje do pliku",
     &TForm1::SpeedButton17Click},
};

// --- Glyphs ---------------------------------------------------------------------------------

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

QPixmap disabledGlyph(const QPixmap& normal) {
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

// Runs a board operation; a window built without them (as some tests do) does nothing.
template <class... Args>
void IfOps(BoardOperations* ops, void (BoardOperations::*job)(Args...), Args... args) {
    if (ops)
        (ops->*job)(args...);
}

} // namespace

QPixmap TForm1::Glyph(int index) {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    drawGlyph(painter, index);
    return pixmap;
}

TForm1::TForm1(World& world) : m_world(world) {
    setObjectName("Form1");
    setWindowTitle("KX9 Konfigurator");
    setFont(QFont("MS Sans Serif", 8));
    QPalette silver = palette();
    silver.setColor(QPalette::Window, QColor(192, 192, 192));
    setPalette(silver);
    setAutoFillBackground(true);

    for (int i = 0; i < GlyphCount; ++i)
        ImageList1.push_back(Glyph(i));

    buildButtons();
    buildStatusBar();
    buildTrayIcon();

    setFixedSize(ClientWidth, ClientHeight);
    if (QScreen* desktop = screen())
        move(desktop->availableGeometry().center() - rect().center());

    FormCreate();
}

void TForm1::buildButtons() {
    auto* column = new QWidget(this);
    column->setObjectName("Column");
    setCentralWidget(column);

    // Captions get trailing blanks up to the width of the longest one, so that the texts of a
    // style that centres glyph and text together still start at one place beside the glyph.
    // Never past that width: a caption that no longer fits would be elided.
    QFontMetrics metrics(font());
    int widest = 0;
    for (const ButtonDef& def : Buttons)
        widest = std::max(widest, metrics.horizontalAdvance(QString(def.caption)));

    int row = 0;
    for (const ButtonDef& def : Buttons) {
        auto* button = new QToolButton(column);
        this->*def.member = button;
        button->setObjectName(QString("SpeedButton%1").arg(def.number));
        QString caption(def.caption);
        while (metrics.horizontalAdvance(caption + ' ') <= widest)
            caption += ' ';
        button->setText(caption);
        button->setToolTip(def.hint);
        button->setAutoRaise(true);
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        button->setCursor(Qt::PointingHandCursor);
        QIcon icon;
        const QPixmap& glyph = ImageList1[static_cast<size_t>(def.number - 1)];
        icon.addPixmap(glyph, QIcon::Normal);
        icon.addPixmap(disabledGlyph(glyph), QIcon::Disabled);
        button->setIcon(icon);
        button->setIconSize(QSize(16, 16));
        button->setGeometry(2, 2 + row * ButtonPitch, ButtonWidth, ButtonHeight);
        connect(button, &QToolButton::clicked, this, def.handler);
        ++row;
    }
}

void TForm1::buildStatusBar() {
    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName("StatusBar1");
    StatusBar1->setSizeGripEnabled(false);
    StatusBar1->setFixedHeight(StatusHeight);
    // Panels side by side from the left edge at their own widths, without the bar's item
    // spacing; what lies beyond the narrow window is cut off.
    const int widths[4] = {50, 80, 50, 50};
    int x = 0;
    for (int i = 0; i < 4; ++i) {
        auto* panel = new QLabel(StatusBar1);
        panel->setObjectName(QString("Panel%1").arg(i));
        panel->setAlignment(Qt::AlignCenter);
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        panel->setGeometry(x, 1, widths[i], StatusHeight - 1);
        x += widths[i];
        Panels[static_cast<size_t>(i)] = panel;
    }
    setStatusBar(StatusBar1);
}

void TForm1::buildTrayIcon() {
    TrayIcon1 = new QSystemTrayIcon(QIcon(ImageList1[TrayGlyph]), this);
    TrayIcon1->setObjectName("TrayIcon1");
    TrayIcon1->setToolTip("KX9 Konfigurator");
    connect(TrayIcon1, &QSystemTrayIcon::activated, this, [this] { restoreFromTray(); });
    if (QSystemTrayIcon::isSystemTrayAvailable())
        TrayIcon1->show();
}

void TForm1::FormCreate() {
    ShowLinkSettings();
    m_world.image.ResetImage(m_world.clock.now());
}

void TForm1::FormActivate() {
    if (FirstActivationDone)
        return;
    FirstActivationDone = true;
    LoadDefaultFile(m_world.image);
    ShowLinkSettings();
}

void TForm1::ShowLinkSettings() {
    const LinkSettings& link = m_world.image.link;
    // COM7 and COM8 have no text of their own: the panel keeps what it showed.
    if (link.PortIndex <= 5)
        Panels[0]->setText(QString("COM%1").arg(link.PortIndex + 1));
    if (static_cast<size_t>(link.BaudIndex) < BaudRates.size())
        Panels[1]->setText(BaudText(link.BaudIndex));
    if (static_cast<size_t>(link.FrameIndex) < FrameNames.size())
        Panels[2]->setText(FrameNames[link.FrameIndex]);
    Panels[3]->setText(link.PortOpen ? "Port komunikacyjny otwarty" : "Port komunikacyjny zamknięty");
    // The fourth panel lies beyond the narrow window; the bar's tooltip still tells it.
    StatusBar1->setToolTip(Panels[3]->text());
}

bool TForm1::LoadConfigFile() {
    const QString path = m_world.dialogs.openFile(ConfigFilter());
    if (path.isEmpty())
        return true;
    if (!ReadConfigFile(path, m_world.image)) {
        m_world.dialogs.message(
            "Plik jest uszkodzony \nlub wskazany plik nie jest \nplikiem konfiguracyjnym KX9",
            "Błąd otwarcia pliku", MsgIcon::Information);
        return false;
    }
    setWindowTitle(QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()) + " ==> KX9 Konfigurator");
    return true;
}

void TForm1::SaveConfigFile() {
    const QString chosen = m_world.dialogs.saveFile(ConfigFilter());
    if (chosen.isEmpty())
        return;
    WriteConfigFile(ConfigFileName(chosen), m_world.image); // a failed save shows nothing
}

void TForm1::showWindow(QDialog* window) {
    if (!window)
        return;
    if (window->isMinimized())
        window->showNormal();
    else
        window->show();
    window->raise();
    window->activateWindow();
}

void TForm1::SpeedButton1Click() {
    if (m_windows.konUart)
        m_windows.konUart->exec();
    ShowLinkSettings();
}

void TForm1::SpeedButton2Click() {
    showWindow(m_windows.zmianaPolaczenia);
}

void TForm1::SpeedButton3Click() {
    IfOps(m_ops, &BoardOperations::StartIdentification);
}

void TForm1::SpeedButton4Click() {
    IfOps(m_ops, &BoardOperations::StartStatusRead);
}

void TForm1::SpeedButton5Click() {
    if (m_windows.about)
        m_windows.about->exec();
}

void TForm1::SpeedButton6Click() {
    IfOps(m_ops, &BoardOperations::StartConfigRead);
}

void TForm1::SpeedButton7Click() {
    IfOps(m_ops, &BoardOperations::ConfigWriteStep, 0);
}

void TForm1::SpeedButton8Click() {
    showWindow(m_windows.konfigSlave);
}
void TForm1::SpeedButton9Click() {
    showWindow(m_windows.strony);
}
void TForm1::SpeedButton10Click() {
    showWindow(m_windows.konGraf);
}
void TForm1::SpeedButton11Click() {
    showWindow(m_windows.czasData);
}
void TForm1::SpeedButton12Click() {
    showWindow(m_windows.konfigJasnosc);
}
void TForm1::SpeedButton13Click() {
    showWindow(m_windows.prezentacja);
}

void TForm1::SpeedButton14Click() {
    IfOps(m_ops, &BoardOperations::StartPagesRead);
}

void TForm1::SpeedButton15Click() {
    IfOps(m_ops, &BoardOperations::StartPagesWrite);
}

void TForm1::SpeedButton16Click() {
    LoadConfigFile();
}
void TForm1::SpeedButton17Click() {
    SaveConfigFile();
}

bool TForm1::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate)
        FormActivate();
    return QMainWindow::event(event);
}

void TForm1::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    // Minimised, the program lives in the tray only; without a tray it stays on the task bar,
    // or there would be no way back to it.
    if (event->type() == QEvent::WindowStateChange && isMinimized() && TrayIcon1->isVisible())
        QTimer::singleShot(0, this, [this] {
            if (isMinimized())
                hide();
        });
}

void TForm1::restoreFromTray() {
    showNormal();
    raise();
    activateWindow();
}

void TForm1::closeEvent(QCloseEvent* event) {
    // Closed before it was ever activated: take def.cfg in first, or the save below would
    // replace the operator's configuration with the defaults.
    FormActivate();
    showMinimized();
    SaveDefaultFile(m_world.image);
    event->accept();
    TrayIcon1->hide();
    // Other windows may still be open; the program ends with this one.
    QCoreApplication::quit();
}

} // namespace kx9
