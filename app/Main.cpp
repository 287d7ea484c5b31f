// SPDX-License-Identifier: MIT
#include "Main.h"

#include <QShortcut>

#include "config/ConfigFile.h"
#include "widgets/Glyphs.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFontMetrics>
#include <QKeySequence>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <QWidget>

namespace kx9 {

namespace {

constexpr int PanelWidths[4] = {50, 80, 50, 50};
// Wide enough for the four status panels side by side, and with them for the caption in a
// window manager's title bar; the button column stands in the middle.
constexpr int ClientWidth = PanelWidths[0] + PanelWidths[1] + PanelWidths[2] + PanelWidths[3] + 2;
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

} // namespace

QPixmap TForm1::Glyph(int index) {
    return kx9::Glyph(index);
}

TForm1::TForm1(Program& program) : m_program(program) {
    setObjectName("Form1");
    setWindowTitle("KX9 Konfigurator");
    setFont(QFont("MS Sans Serif", 8));
    QPalette silver = palette();
    silver.setColor(QPalette::Window, QColor(192, 192, 192));
    setPalette(silver);
    setAutoFillBackground(true);

    for (int i = 0; i < GlyphCount; ++i)
        ImageList1.push_back(Glyph(i));

    auto* preview = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_P), this);
    preview->setObjectName("PreviewShortcut");
    connect(preview, &QShortcut::activated, this, [this] {
        if (QWidget* window = m_windows.preview) {
            window->show();
            window->raise();
            window->activateWindow();
        }
    });

    buildButtons();
    buildStatusBar();
    buildTrayIcon();

    // The traffic log gets an action of its own, so that no button of the column moves.
    Dziennik = new QAction(QStringLiteral("Dziennik transmisji"), this);
    Dziennik->setObjectName(QStringLiteral("Dziennik"));
    Dziennik->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
    Dziennik->setToolTip(QStringLiteral("Pokazuje zapytania i odpowiedzi na linii"));
    addAction(Dziennik);
    centralWidget()->addAction(Dziennik);
    centralWidget()->setContextMenuPolicy(Qt::ActionsContextMenu);
    connect(Dziennik, &QAction::triggered, this, &TForm1::DziennikClick);

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
        icon.addPixmap(DisabledGlyph(glyph), QIcon::Disabled);
        button->setIcon(icon);
        button->setIconSize(QSize(16, 16));
        button->setGeometry((ClientWidth - ButtonWidth) / 2, 2 + row * ButtonPitch, ButtonWidth,
                            ButtonHeight);
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
    // spacing.
    const int* widths = PanelWidths;
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
    m_program.image.ResetImage(m_program.clock.now());
}

void TForm1::FormActivate() {
    if (FirstActivationDone)
        return;
    FirstActivationDone = true;
    LoadDefaultFile(m_program.image);
    m_keptLink = KeyOf(m_program.image.link);
    ShowLinkSettings();
}

void TForm1::ShowLinkSettings() {
    const LinkSettings& link = m_program.image.link;
    // COM7 and COM8 have no text of their own: the panel keeps what it showed.
    if (link.PortIndex <= 5)
        Panels[0]->setText(QString("COM%1").arg(link.PortIndex + 1));
    if (static_cast<size_t>(link.BaudIndex) < BaudRates.size())
        Panels[1]->setText(BaudText(link.BaudIndex));
    if (static_cast<size_t>(link.FrameIndex) < FrameNames.size())
        Panels[2]->setText(FrameNames[link.FrameIndex]);
    Panels[3]->setText(link.PortOpen ? "Port komunikacyjny otwarty" : "Port komunikacyjny zamknięty");
    // The fourth panel's text is wider than the panel; its tooltip tells it whole.
    Panels[3]->setToolTip(Panels[3]->text());
    KeepLinkSettings();
}

bool TForm1::LoadConfigFile() {
    // A file loaded into an image that a read is filling would mix the two.
    if (!m_program.transfers.MayStart())
        return false;
    const QString path = m_program.dialogs.openFile(ConfigFilter());
    if (path.isEmpty())
        return true;
    const bool read = ReadConfigFile(path, m_program.image);
    ShowLinkSettings();
    if (!read) {
        m_program.dialogs.message(
            "Plik jest uszkodzony \nlub wskazany plik nie jest \nplikiem konfiguracyjnym KX9",
            "Błąd otwarcia pliku", MsgIcon::Information);
        return false;
    }
    setWindowTitle(QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()) + " ==> KX9 Konfigurator");
    return true;
}

void TForm1::SaveConfigFile() {
    if (!m_program.transfers.StoreShown())
        return;
    const QString chosen = m_program.dialogs.saveFile(ConfigFilter());
    if (chosen.isEmpty())
        return;
    const QString name = ConfigFileName(chosen);
    QString reason;
    if (!WriteConfigFile(name, m_program.image, &reason))
        ReportFailedSave(name, reason);
}

void TForm1::ReportFailedSave(const QString& name, const QString& reason) {
    m_program.dialogs.message(QStringLiteral("Nie można zapisać pliku: ") + QDir::toNativeSeparators(name) +
                                  QStringLiteral("\n") + reason,
                              QStringLiteral("Błąd zapisu pliku"), MsgIcon::Error);
}

void TForm1::SaveDefaults(const ConfigImage& image) {
    // Never silent: the operator would find the settings gone at the next start.
    QString path, reason;
    if (!SaveDefaultFile(image, &path, &reason))
        ReportFailedSave(path, reason);
}

void TForm1::KeepLinkSettings() {
    // "def.cfg" follows a change of the link at once, so that other tools reading it find the
    // board; only the link part changes there, the rest is saved when the program ends.
    const LinkSettings& link = m_program.image.link;
    const LinkKey key = KeyOf(link);
    if (!FirstActivationDone || m_program.transfers.Busy() || key == m_keptLink)
        return;
    m_keptLink = key;
    ConfigImage saved;
    if (!LoadDefaultFile(saved)) {
        SaveDefaults(m_program.image);
        return;
    }
    const bool open = saved.link.PortOpen;
    saved.link = link;
    saved.link.PortOpen = open;
    SaveDefaults(saved);
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

void TForm1::DziennikClick() {
    showWindow(m_windows.dziennik);
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
    m_program.ops.StartIdentification();
}

void TForm1::SpeedButton4Click() {
    m_program.ops.StartStatusRead();
}

void TForm1::SpeedButton5Click() {
    if (m_windows.about)
        m_windows.about->exec();
}

void TForm1::SpeedButton6Click() {
    m_program.ops.StartConfigRead();
}

void TForm1::SpeedButton7Click() {
    if (m_program.transfers.StoreShownBeforeWrite())
        m_program.ops.StartConfigWrite();
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
    m_program.ops.StartPagesRead();
}

void TForm1::SpeedButton15Click() {
    // A page write sends the pages: what another window holds, refused or not, stays there.
    if (m_program.transfers.StoreShownBeforeWrite(Transfers::Leaving::Pages))
        m_program.ops.StartPagesWrite();
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
    // Stopping a write leaves the board half written: only when the operator says so. A read
    // is abandoned without asking.
    if (m_program.scheduler.WritingToBoard() &&
        !m_program.dialogs.ask(QStringLiteral("Trwa zapis do tablicy. Przerwać i zamknąć program?"),
                               QStringLiteral("KX9 Konfigurator"))) {
        event->ignore();
        return;
    }
    // A transfer in progress is abandoned, so nothing arrives into the image being saved.
    m_program.scheduler.Abandon();
    // What the shown editors hold goes into "def.cfg" as far as it passes their checks; no
    // check keeps the program open or talks now: a refused field is left out, as a hidden
    // window's typing is.
    m_program.transfers.StoreShown(Transfers::Leaving::AtExit);
    // Every other window hides as the operator would close it, storing what it holds; modal
    // boxes end with it.
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window != this && window->isVisible())
            window->hide();
    showMinimized();
    SaveDefaults(m_program.image);
    event->accept();
    TrayIcon1->hide();
    // Every event loop ends, nested ones included, whatever window would refuse to close. With
    // no loop running (closed from code before the program's loop) there is nothing to end.
    if (QThread::currentThread()->loopLevel() > 0)
        QCoreApplication::exit(0);
}

} // namespace kx9
