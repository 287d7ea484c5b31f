// SPDX-License-Identifier: MIT
#pragma once

#include "ops/Program.h"

#include <QAction>
#include <QDialog>
#include <QIcon>
#include <QLabel>
#include <QMainWindow>
#include <QPixmap>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QToolButton>
#include <array>
#include <tuple>
#include <vector>

namespace kx9 {

// The main window: a column of 17 command buttons, the link settings in the status bar
// and a tray icon. Closing it saves "def.cfg" and ends the program.
class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    explicit TForm1(Program& program);

    // The windows its buttons open; all are created once at start-up and only hidden.
    struct Windows {
        QDialog* konUart = nullptr;
        QDialog* about = nullptr;
        QDialog* zmianaPolaczenia = nullptr;
        QDialog* konfigSlave = nullptr;
        QDialog* strony = nullptr;
        QDialog* konGraf = nullptr;
        QDialog* prezentacja = nullptr;
        QDialog* czasData = nullptr;
        QDialog* konfigJasnosc = nullptr;
        QDialog* dziennik = nullptr; // "Dziennik transmisji"
        QWidget* preview = nullptr;  // "Podgląd tablicy", on Ctrl+P
    };
    void SetWindows(const Windows& windows) { m_windows = windows; }

    // Dates throughout the program read year-month-day with dashes.
    static QString DateFormat() { return QString::fromLatin1(ShortDateFormat); }
    static QString ConfigFilter() { return QStringLiteral("KX9 Konfig (*.cfg)"); }

    void FormCreate();
    void FormActivate();
    void ShowLinkSettings();
    // False for a bad file (after its message); no file chosen counts as success.
    bool LoadConfigFile();
    void SaveConfigFile();
    // Saves the link settings in force into "def.cfg" when they changed since last kept.
    void KeepLinkSettings();

    void SpeedButton1Click();
    void SpeedButton2Click();
    void SpeedButton3Click();
    void SpeedButton4Click();
    void SpeedButton5Click();
    void SpeedButton6Click();
    void SpeedButton7Click();
    void SpeedButton8Click();
    void SpeedButton9Click();
    void SpeedButton10Click();
    void SpeedButton11Click();
    void SpeedButton12Click();
    void SpeedButton13Click();
    void SpeedButton14Click();
    void SpeedButton15Click();
    void SpeedButton16Click();
    void SpeedButton17Click();
    // "Dziennik transmisji": the traffic of the line, live (Ctrl+D or the window's context menu).
    void DziennikClick();
    QAction* Dziennik = nullptr;

    QToolButton* SpeedButton1;
    QToolButton* SpeedButton2;
    QToolButton* SpeedButton3;
    QToolButton* SpeedButton4;
    QToolButton* SpeedButton5;
    QToolButton* SpeedButton6;
    QToolButton* SpeedButton7;
    QToolButton* SpeedButton8;
    QToolButton* SpeedButton9;
    QToolButton* SpeedButton10;
    QToolButton* SpeedButton11;
    QToolButton* SpeedButton12;
    QToolButton* SpeedButton13;
    QToolButton* SpeedButton14;
    QToolButton* SpeedButton15;
    QToolButton* SpeedButton16;
    QToolButton* SpeedButton17;
    QStatusBar* StatusBar1;
    std::array<QLabel*, 4> Panels{}; // objectNames "Panel0" .. "Panel3"
    QSystemTrayIcon* TrayIcon1;
    std::vector<QPixmap> ImageList1; // 21 glyphs of 16 x 16; the tray shows image 20

    bool FirstActivationDone = false;
    // The link settings "def.cfg" was last known to hold.
    using LinkKey = std::tuple<int, int, int, int, int>;
    static LinkKey KeyOf(const LinkSettings& link) {
        return {link.PortIndex, link.BaudIndex, link.FrameIndex, link.BoardAddress, link.ReplyTimeoutMs};
    }
    LinkKey m_keptLink{-1, -1, -1, -1, -1};

    // 16 x 16 glyph `index` (0..20), drawn at run time.
    static QPixmap Glyph(int index);

protected:
    bool event(QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildButtons();
    void buildStatusBar();
    void buildTrayIcon();
    void showWindow(QDialog* window);
    void restoreFromTray();
    // "Nie można zapisać pliku: " with the file and the system's reason.
    void ReportFailedSave(const QString& name, const QString& reason);
    // "def.cfg" saved, or the failure said.
    void SaveDefaults(const ConfigImage& image);

    Program& m_program;
    Windows m_windows;
};

} // namespace kx9
