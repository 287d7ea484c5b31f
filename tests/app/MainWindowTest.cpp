// SPDX-License-Identifier: MIT
#include "AppTestWorld.h"
#include "common/NotAFile.h"
#include "config/ConfigFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QTest>
#include <QTimer>
#include <algorithm>

namespace kx9 {
namespace {

using test::AppWorld;

const QString BadFileText = "Plik jest uszkodzony \nlub wskazany plik nie jest \nplikiem konfiguracyjnym KX9";

// A good configuration file whose contents differ from the defaults in a few telling places.
void writeConfig(const QString& path, int brightness, uint8_t portIndex) {
    ConfigImage image;
    image.ResetImage(QDateTime(QDate(2026, 1, 2), QTime(3, 4)));
    image.SetReg(RegDayBrightness, brightness);
    image.link.PortIndex = portIndex;
    image.link.BaudIndex = 2;
    image.link.FrameIndex = 3;
    ASSERT_TRUE(WriteConfigFile(path, image));
}

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

TEST(MainWindow, FreshStartShowsDefaultLinkSettingsAndTitle) {
    AppWorld w;
    w.start();
    w.activate();
    EXPECT_EQ(w.panel(0), "COM1");
    EXPECT_EQ(w.panel(1), "115200bps");
    EXPECT_EQ(w.panel(2), "8N2");
    EXPECT_EQ(w.panel(3), "Port komunikacyjny zamknięty");
    EXPECT_EQ(w.form().windowTitle(), "KX9 Konfigurator");
    EXPECT_EQ(w.form().size(), QSize(232, 430)) << "the four status panels fit";
    EXPECT_EQ(w.form().minimumSize(), w.form().maximumSize());
    // The defaults of the register map are in, the clock from the PC's time.
    EXPECT_EQ(w.image().Reg(RegClockTime), 14 * 100 + 35);
    EXPECT_EQ(TForm1::DateFormat(), "yyyy-MM-dd");
}

TEST(MainWindow, StatusBarHasFourCentredPanels) {
    AppWorld w;
    w.start();
    const int widths[4] = {50, 80, 50, 50};
    for (int i = 0; i < 4; ++i) {
        auto* panel = w.form().findChild<QLabel*>(QString("Panel%1").arg(i));
        ASSERT_NE(panel, nullptr);
        EXPECT_EQ(panel, w.form().Panels[static_cast<size_t>(i)]);
        EXPECT_EQ(panel->width(), widths[i]);
        EXPECT_EQ(panel->alignment(), Qt::AlignCenter);
    }
}

struct ButtonRow {
    int number;
    const char* caption;
    const char* hint;
};

TEST(MainWindow, ButtonsStandInTheirVisualOrderWithCaptionsAndHints) {
    const ButtonRow expected[] = {
        {1, "Konfiguracja Połączenia", "Konfiguruje komputer PC do połączenia z KX9"},
        {2, "Zmień Połączenie", "Zmienia parametry transmisji PC<=>KX9"},
        {3, "Identyfikacja", "Przeprowadza identyfikację KX9"},
        {4, "Status", "Pokazuje status KX9"},
        {5, "Informacje", "Informacje o programie"},
        {6, "Odczytaj Całość", "Odczyt konfiguracji z KX9"},
        {7, "Zapisz Całość", "Zapis konfiguracji do KX9 bez zmiany parametrów połączenia."},
        {8, "Konfiguracja Slave", "Konfigurowanie urządzeń Slave podłączonych do KX9"},
        {9, "Edytor Napisów", "Edytor napisów"},
        {10, "Konfiguracja Grafiki", "Konfigurowanie wyświetlanych grafik"},
        {13, "Konfiguracji Prezentacji", "Konfigurowanie prezentacji"},
        {11, "Czas/Data", "Ustawianie zegara oraz konfigurowanie wyświetlania czasu i daty"},
        {12, "Konfiguracja Jasności", "Konfigurowanie jasności"},
        {14, "Odczytaj Strony Tekstowe", "Odczyt stron tekstowych"},
        {15, "Zapisz Strony Tekstowe", "Zapis stron tekstowych"},
        {16, "Otwórz Plik Konfiguracyjny", "Wczytuje plik konfiguracyjny"},
        {17, "Zapisz Plik Konfiguracyjny", "Zapisuje konfiguracje do pliku"},
    };
    AppWorld w;
    w.start();
    std::vector<QToolButton*> buttons;
    for (QToolButton* button : w.form().findChildren<QToolButton*>())
        if (button->objectName().startsWith("SpeedButton"))
            buttons.push_back(button);
    ASSERT_EQ(buttons.size(), 17u);
    std::sort(buttons.begin(), buttons.end(), [](auto* a, auto* b) { return a->y() < b->y(); });

    for (size_t i = 0; i < buttons.size(); ++i) {
        QToolButton* button = buttons[i];
        SCOPED_TRACE(expected[i].caption);
        EXPECT_EQ(button->objectName(), QString("SpeedButton%1").arg(expected[i].number));
        EXPECT_EQ(button->text().trimmed(), expected[i].caption);
        EXPECT_TRUE(button->text().startsWith(expected[i].caption)); // padding only at the end
        // Padding never makes a caption wider than the longest one, which would elide it.
        const QFontMetrics metrics(button->font());
        EXPECT_LE(metrics.horizontalAdvance(button->text()),
                  metrics.horizontalAdvance("Otwórz Plik Konfiguracyjny"));
        EXPECT_EQ(button->toolTip(), expected[i].hint);
        EXPECT_EQ(button->size(), QSize(169, 22));
        EXPECT_EQ(button->cursor().shape(), Qt::PointingHandCursor);
        EXPECT_TRUE(button->autoRaise());
        EXPECT_FALSE(button->icon().pixmap(16, 16, QIcon::Normal).isNull());
        EXPECT_NE(button->icon().pixmap(16, 16, QIcon::Disabled).toImage(),
                  button->icon().pixmap(16, 16, QIcon::Normal).toImage());
        if (i > 0) {
            EXPECT_EQ(button->y() - buttons[i - 1]->y(), 24);
        }
    }
    EXPECT_EQ(w.form().ImageList1.size(), 21u);
    EXPECT_EQ(w.form().TrayIcon1->toolTip(), "KX9 Konfigurator");
    EXPECT_TRUE(w.form().TrayIcon1->contextMenu() == nullptr);
}

TEST(MainWindow, CreatesThirteenWindowsInOrderWithTheirCaptions) {
    AppWorld w;
    w.start();
    const QStringList order = {"TForm1",        "TfKonUart",       "TfAbout",
                               "TPpasek",       "TPStatus",        "TPStron",
                               "TfKonfigSlave", "TfKonfigJasnosc", "TfZmianaPolaczenia",
                               "TfCzasData",    "TfPrzewijanie",   "TfPrezentacja",
                               "TKonGraf"};
    EXPECT_EQ(w.app->created, order);

    const std::pair<QWidget*, const char*> captions[] = {
        {w.app->form1.get(), "KX9 Konfigurator"},
        {w.app->konUart.get(), "Port Szeregowy"},
        {w.app->about.get(), "Informacje o programie"},
        {w.app->pasek.get(), "Transmisja..."},
        {w.app->status.get(), "Rejestr Statusu KX9"},
        {w.app->stron.get(), "Edytor Stron"},
        {w.app->konfigSlave.get(), "Konfiguracja połączenia z zewnętrznymi urządzeniami"},
        {w.app->konfigJasnosc.get(), "Konfiguracja jasności świecenia"},
        {w.app->zmianaPolaczenia.get(), "Zmiana połączenia"},
        {w.app->czasData.get(), "Czas i Data"},
        {w.app->przewijanie.get(), "Scroll - przewijanie linii"},
        {w.app->prezentacja.get(), "Edytor Prezentacji Automatycznej"},
        {w.app->konGraf.get(), "Konfiguracja Grafik"},
    };
    for (const auto& [window, caption] : captions) {
        EXPECT_EQ(window->windowTitle(), caption);
        EXPECT_FALSE(window->isVisible()) << caption;
    }
}

TEST(MainWindow, OnlyTheFirstActivationLoadsTheDefaultFile) {
    AppWorld w;
    writeConfig(w.path("def.cfg"), 77, 2);
    w.start();
    EXPECT_NE(w.image().Reg(RegDayBrightness), 77); // creation puts the defaults in
    EXPECT_FALSE(w.form().FirstActivationDone);

    w.activate();
    EXPECT_TRUE(w.form().FirstActivationDone);
    EXPECT_EQ(w.image().Reg(RegDayBrightness), 77);
    EXPECT_EQ(w.panel(0), "COM3");
    EXPECT_EQ(w.panel(1), "9600bps");
    EXPECT_EQ(w.panel(2), "8O1");
    EXPECT_EQ(w.form().windowTitle(), "KX9 Konfigurator");

    writeConfig(w.path("def.cfg"), 55, 4);
    w.activate();
    EXPECT_EQ(w.image().Reg(RegDayBrightness), 77);
    EXPECT_EQ(w.image().link.PortIndex, 2);
    EXPECT_TRUE(w.dialogs.boxes.empty());
}

TEST(MainWindow, BadDefaultFileLeavesTheDefaultsSilently) {
    AppWorld w;
    writeBytes(w.path("def.cfg"), QByteArray(ConfigFileSize, 'x'));
    w.start();
    const int32_t before = w.image().Reg(RegDayBrightness);
    w.activate();
    EXPECT_EQ(w.image().Reg(RegDayBrightness), before);
    EXPECT_EQ(w.panel(0), "COM1");
    EXPECT_TRUE(w.dialogs.boxes.empty());
}

TEST(MainWindow, ClosingWritesTheDefaultFile) {
    AppWorld w;
    w.start();
    w.activate();
    w.form().show();
    w.image().SetReg(RegDayBrightness, 42);
    w.image().link.BaudIndex = 4;
    EXPECT_TRUE(w.form().close());
    EXPECT_FALSE(w.form().isVisible());

    QFile file(w.path("def.cfg"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_EQ(bytes.size(), ConfigFileSize);
    ConfigImage loaded;
    ASSERT_TRUE(DecodeConfigFile(bytes, loaded));
    EXPECT_EQ(loaded.Reg(RegDayBrightness), 42);
    EXPECT_EQ(loaded.link.BaudIndex, 4);
}

TEST(MainWindow, ClosingBeforeAnyActivationKeepsTheDefaultFile) {
    AppWorld w;
    writeConfig(w.path("def.cfg"), 77, 2);
    w.start();
    w.form().show();
    EXPECT_TRUE(w.form().close());

    QFile file(w.path("def.cfg"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    ConfigImage saved;
    ASSERT_TRUE(DecodeConfigFile(file.readAll(), saved));
    EXPECT_EQ(saved.Reg(RegDayBrightness), 77);
    EXPECT_EQ(saved.link.PortIndex, 2);
}

TEST(MainWindow, AFailedSaveOfTheDefaultFileIsSaid) {
    AppWorld w;
    w.start();
    w.activate();
    ASSERT_TRUE(QDir(w.dir.path()).mkdir("def.cfg")); // nothing can replace a folder
    w.form().show();
    EXPECT_TRUE(w.form().close());
    ASSERT_EQ(w.dialogs.boxes.size(), 1u);
    EXPECT_EQ(w.dialogs.boxes[0].title, "Błąd zapisu pliku");
    EXPECT_TRUE(w.dialogs.boxes[0].text.startsWith("Nie można zapisać pliku: def.cfg\n"))
        << w.dialogs.boxes[0].text.toStdString();
}

TEST(MainWindow, PortsWithoutTextKeepThePreviousPanelText) {
    AppWorld w;
    w.start();
    LinkSettings& link = w.image().link;
    link.PortIndex = 2;
    w.form().ShowLinkSettings();
    EXPECT_EQ(w.panel(0), "COM3");
    link.PortIndex = 6;
    w.form().ShowLinkSettings();
    EXPECT_EQ(w.panel(0), "COM3");

    // The link itself opens COM7, and the status bar follows the open port.
    EXPECT_EQ(w.program.scheduler.OpenLink(), 1);
    EXPECT_EQ(w.port.LastName(), "COM7");
    EXPECT_EQ(w.panel(0), "COM3");
    EXPECT_EQ(w.panel(3), "Port komunikacyjny otwarty");
    // The panel is narrower than its text: its tooltip tells it whole, and follows it.
    EXPECT_EQ(w.form().Panels[3]->toolTip(), "Port komunikacyjny otwarty");
    w.program.scheduler.CloseLink();
    EXPECT_EQ(w.panel(3), "Port komunikacyjny zamknięty");
    EXPECT_EQ(w.form().Panels[3]->toolTip(), "Port komunikacyjny zamknięty");
    EXPECT_EQ(w.form().Panels[3]->width(), 50);

    link.PortIndex = 7;
    w.form().ShowLinkSettings();
    EXPECT_EQ(w.panel(0), "COM3");
    link.PortIndex = 5;
    w.form().ShowLinkSettings();
    EXPECT_EQ(w.panel(0), "COM6");
}

TEST(MainWindow, StatusBarNamesEveryRateAndFrame) {
    AppWorld w;
    w.start();
    const char* rates[8] = {"2400bps",  "4800bps",  "9600bps",  "14400bps",
                            "19200bps", "38400bps", "57600bps", "115200bps"};
    const char* frames[4] = {"8N1", "8N2", "8E1", "8O1"};
    for (uint8_t i = 0; i < 8; ++i) {
        w.image().link.BaudIndex = i;
        w.image().link.FrameIndex = i % 4;
        w.form().ShowLinkSettings();
        EXPECT_EQ(w.panel(1), rates[i]);
        EXPECT_EQ(w.panel(2), frames[i % 4]);
    }
    // Out-of-range indexes from a file leave the panels as they were.
    w.image().link.BaudIndex = 200;
    w.image().link.FrameIndex = 9;
    w.form().ShowLinkSettings();
    EXPECT_EQ(w.panel(1), rates[7]);
    EXPECT_EQ(w.panel(2), frames[3]);
}

struct BadFile {
    const char* name;
    QByteArray bytes;
};

TEST(MainWindow, LoadingABadFileShowsTheMessageAndChangesNothing) {
    QByteArray good;
    {
        ConfigImage image;
        image.ResetImage(QDateTime(QDate(2026, 1, 2), QTime(3, 4)));
        image.SetReg(RegDayBrightness, 99);
        good = EncodeConfigFile(image);
    }
    QByteArray lowerHeader = good;
    lowerHeader[0] = 'k';
    QByteArray otherHeader = good;
    otherHeader[9] = '1';
    const BadFile files[] = {
        {"short.cfg", good.left(ConfigFileSize - 1)},
        {"long.cfg", good + QByteArray(1, '\0')},
        {"lower.cfg", lowerHeader},
        {"header.cfg", otherHeader},
        {"empty.cfg", QByteArray()},
        {"missing.cfg", QByteArray()},
    };
    for (const BadFile& bad : files) {
        SCOPED_TRACE(bad.name);
        AppWorld w;
        w.start();
        if (QString(bad.name) != "missing.cfg")
            writeBytes(w.path(bad.name), bad.bytes);
        const int32_t before = w.image().Reg(RegDayBrightness);
        w.dialogs.fileAnswers.push_back(w.path(bad.name));
        EXPECT_FALSE(w.form().LoadConfigFile());
        ASSERT_EQ(w.dialogs.boxes.size(), 1u);
        EXPECT_EQ(w.dialogs.boxes[0].text, BadFileText);
        EXPECT_EQ(w.dialogs.boxes[0].title, "Błąd otwarcia pliku");
        EXPECT_EQ(w.dialogs.boxes[0].icon, MsgIcon::Information);
        EXPECT_FALSE(w.dialogs.boxes[0].confirmation);
        EXPECT_EQ(w.dialogs.filters, std::vector<QString>{"KX9 Konfig (*.cfg)"});
        EXPECT_EQ(w.form().windowTitle(), "KX9 Konfigurator");
        EXPECT_EQ(w.image().Reg(RegDayBrightness), before);
    }
}

// A named pipe or a folder chosen in the open dialog is a bad file, said at once; the pipe is
// never opened, so the window does not hang waiting for a writer.
TEST(MainWindow, LoadingANamedPipeOrAFolderIsABadFileAtOnce) {
    for (const char* name : {"pipe.cfg", "folder.cfg"}) {
        SCOPED_TRACE(name);
        AppWorld w;
        w.start();
        const QString path = w.path(name);
        if (QByteArray(name) == "folder.cfg")
            ASSERT_TRUE(QDir().mkdir(path));
        else if (!test::MakeFifo(path))
            GTEST_SKIP() << "no named pipes here";
        w.dialogs.fileAnswers.push_back(path);
        bool loaded = true;
        const double seconds = test::TimedRead([&] { loaded = w.form().LoadConfigFile(); }, path);
        EXPECT_FALSE(loaded);
        EXPECT_LT(seconds, 1.0);
        ASSERT_EQ(w.dialogs.boxes.size(), 1u);
        EXPECT_EQ(w.dialogs.boxes[0].text, BadFileText);
        EXPECT_EQ(w.dialogs.boxes[0].title, "Błąd otwarcia pliku");
        EXPECT_EQ(w.form().windowTitle(), "KX9 Konfigurator");
    }
}

// Pipes at the user's port names and at grafika.ini once froze the start: both are left unread,
// and one box says so once the main window is up.
TEST(MainWindow, PipesAtTheSettingsFilesAreSaidOnceTheWindowIsUp) {
    AppWorld w;
    const QString names = w.path("config/porty.ini");
    ASSERT_TRUE(QDir().mkpath(w.path("config")));
    if (!test::MakeFifo(names) || !test::MakeFifo(w.path("grafika.ini")))
        GTEST_SKIP() << "no named pipes here";
    PortMap ports(names);
    const double seconds = test::TimedRead(
        [&] {
            test::TimedRead([&] { ports.Load(); }, names);
            w.app = CreateApp(w.program, &ports);
        },
        w.path("grafika.ini"));
    EXPECT_LT(seconds, 2.0);
    EXPECT_TRUE(w.dialogs.boxes.empty()) << "no window stands yet";
    QCoreApplication::processEvents();
    ASSERT_EQ(w.dialogs.boxes.size(), 1u);
    EXPECT_EQ(w.dialogs.boxes[0].text, "Pominięto plik przypisań portów do urządzeń: " + names +
                                           ": to nie jest zwykły plik (folder, potok lub urządzenie)\n"
                                           "Pominięto plik przypisań grafik: grafika.ini: to nie jest zwykły "
                                           "plik (folder, potok lub urządzenie)");
    EXPECT_EQ(w.dialogs.boxes[0].title, "Błąd otwarcia pliku");
    EXPECT_EQ(w.dialogs.boxes[0].icon, MsgIcon::Information);
    w.app.reset(); // before the port names it points to
}

TEST(MainWindow, LoadingAGoodFileTakesItAndNamesItInTheTitle) {
    AppWorld w;
    w.start();
    writeConfig(w.path("tablica.cfg"), 88, 3);
    w.dialogs.fileAnswers.push_back(w.path("tablica.cfg"));
    w.form().SpeedButton16->click();
    EXPECT_TRUE(w.dialogs.boxes.empty());
    EXPECT_EQ(w.image().Reg(RegDayBrightness), 88);
    EXPECT_EQ(w.image().link.PortIndex, 3);
    const QString full = QDir::toNativeSeparators(QFileInfo(w.path("tablica.cfg")).absoluteFilePath());
    EXPECT_EQ(w.form().windowTitle(), full + " ==> KX9 Konfigurator");
}

TEST(MainWindow, CancelledFileDialogsDoNothing) {
    AppWorld w;
    w.start();
    const int32_t before = w.image().Reg(RegDayBrightness);
    EXPECT_TRUE(w.form().LoadConfigFile());
    w.form().SaveConfigFile();
    EXPECT_TRUE(w.dialogs.boxes.empty());
    EXPECT_EQ(w.dialogs.filters.size(), 2u);
    EXPECT_EQ(w.image().Reg(RegDayBrightness), before);
    EXPECT_EQ(w.form().windowTitle(), "KX9 Konfigurator");
    EXPECT_EQ(QDir(w.dir.path()).entryList(QDir::Files), QStringList());
}

TEST(MainWindow, SavingNamesTheFileAndKeepsTheTitle) {
    const std::pair<const char*, const char*> names[] = {
        {"konfig", "konfig.cfg"},
        {"konfig.cfg", "konfig.cfg"},
        {"konfig.CFG", "konfig.CFG.cfg"},
    };
    for (const auto& [chosen, written] : names) {
        SCOPED_TRACE(chosen);
        AppWorld w;
        w.start();
        w.image().SetReg(RegDayBrightness, 61);
        w.dialogs.fileAnswers.push_back(w.path(chosen));
        w.form().SpeedButton17->click();
        EXPECT_EQ(QDir(w.dir.path()).entryList(QDir::Files), QStringList{written});
        ConfigImage loaded;
        EXPECT_TRUE(ReadConfigFile(w.path(written), loaded));
        EXPECT_EQ(loaded.Reg(RegDayBrightness), 61);
        EXPECT_EQ(w.form().windowTitle(), "KX9 Konfigurator");
        EXPECT_EQ(w.dialogs.filters, std::vector<QString>{"KX9 Konfig (*.cfg)"});
    }
}

TEST(MainWindow, ASaveThatCannotBeWrittenSaysSoWithTheFileAndTheReason) {
    AppWorld w;
    w.start();
    QDir(w.dir.path()).mkdir("locked");
    QFile::setPermissions(w.path("locked"), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    for (const QString& chosen : {w.path("no/such/folder/konfig"), w.path("locked/konfig")}) {
        w.dialogs.boxes.clear();
        w.dialogs.fileAnswers.push_back(chosen);
        w.form().SaveConfigFile();
        const QString file = QDir::toNativeSeparators(chosen + ".cfg");
        if (QFileInfo(w.path("locked")).isWritable() && chosen.contains("locked"))
            continue; // root writes anywhere
        ASSERT_EQ(w.dialogs.boxes.size(), 1u) << chosen.toStdString();
        const auto& box = w.dialogs.boxes.front();
        EXPECT_EQ(box.icon, MsgIcon::Error);
        EXPECT_EQ(box.title, "Błąd zapisu pliku");
        EXPECT_TRUE(box.text.startsWith("Nie można zapisać pliku: " + file + "\n")) << box.text.toStdString();
        EXPECT_GT(box.text.size(), ("Nie można zapisać pliku: " + file + "\n").size())
            << "the system's reason";
        EXPECT_FALSE(QFileInfo::exists(chosen + ".cfg"));
    }
}

TEST(MainWindow, ButtonsShowTheirWindowsNotModally) {
    AppWorld w;
    w.start();
    const std::pair<QToolButton * TForm1::*, QDialog*> rows[] = {
        {&TForm1::SpeedButton2, w.app->zmianaPolaczenia.get()},
        {&TForm1::SpeedButton8, w.app->konfigSlave.get()},
        {&TForm1::SpeedButton9, w.app->stron.get()},
        {&TForm1::SpeedButton10, w.app->konGraf.get()},
        {&TForm1::SpeedButton13, w.app->prezentacja.get()},
        {&TForm1::SpeedButton11, w.app->czasData.get()},
        {&TForm1::SpeedButton12, w.app->konfigJasnosc.get()},
    };
    for (const auto& [member, window] : rows) {
        QToolButton* button = w.form().*member;
        SCOPED_TRACE(button->objectName().toStdString());
        EXPECT_FALSE(window->isVisible());
        button->click();
        EXPECT_TRUE(window->isVisible());
        EXPECT_FALSE(window->isModal());
        // Shown again after closing, the same window comes back.
        window->close();
        EXPECT_FALSE(window->isVisible());
        button->click();
        EXPECT_TRUE(window->isVisible());
        window->hide();
    }
}

TEST(MainWindow, ModalButtonsRunTheirWindowsAndRefreshTheStatusBar) {
    AppWorld w;
    w.start();
    bool aboutSeen = false;
    QTimer::singleShot(0, [&] {
        aboutSeen = w.app->about->isVisible() && QApplication::activeModalWidget() == w.app->about.get();
        w.app->about->BitBtn1->click();
    });
    w.form().SpeedButton5->click();
    EXPECT_TRUE(aboutSeen);
    EXPECT_FALSE(w.app->about->isVisible());

    bool konUartSeen = false;
    QTimer::singleShot(0, [&] {
        konUartSeen = QApplication::activeModalWidget() == w.app->konUart.get();
        w.image().link.PortIndex = 4;
        w.app->konUart->done(QDialog::Rejected);
    });
    w.form().SpeedButton1->click();
    EXPECT_TRUE(konUartSeen);
    EXPECT_EQ(w.panel(0), "COM5");
}

TEST(MainWindow, OperationButtonsStartTheirJobs) {
    struct Row {
        QToolButton* TForm1::*button;
        int function; // of the first request
        int first;
        bool job; // more requests follow from the sequencer
        const char* what;
    };
    const Row rows[] = {
        {&TForm1::SpeedButton3, 17, -1, false, "identification"},
        {&TForm1::SpeedButton4, 3, RegStatus, true, "status"},
        {&TForm1::SpeedButton6, 3, 4000, true, "config read"},
        {&TForm1::SpeedButton7, 16, 4003, true, "config write"},
        {&TForm1::SpeedButton14, -1, -1, true, "pages read"}, // the first tick selects page 0
        {&TForm1::SpeedButton15, 16, RegOccasionalAllowed, true, "pages write"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        AppWorld w;
        w.start();
        (w.form().*row.button)->click();
        const auto& sent = w.board.Requests();
        if (row.function < 0) {
            EXPECT_TRUE(sent.empty());
        } else {
            ASSERT_EQ(sent.size(), 1u);
            EXPECT_EQ(uint8_t(sent[0][1]), row.function);
            if (row.first >= 0) {
                EXPECT_EQ(uint8_t(sent[0][2]) * 256 + uint8_t(sent[0][3]), row.first);
            }
        }
        EXPECT_EQ(w.program.scheduler.JobRunning(), row.job);
        EXPECT_EQ(w.panel(3), "Port komunikacyjny otwarty");
    }
}

TEST(MainWindow, ConfigReadShowsTheProgressWindowWithItsTitle) {
    AppWorld w;
    w.start();
    w.form().SpeedButton6->click();
    EXPECT_TRUE(w.app->pasek->isVisible());
    EXPECT_EQ(w.app->pasek->Label1->text(), "Odczyt Konfiguracji");
}

} // namespace
} // namespace kx9

namespace kx9 {
namespace {

TEST(MainWindow, LoadingAFileDuringAReadIsRefused) {
    AppWorld w;
    w.start();
    writeConfig(w.path("other.cfg"), 77, 2);
    w.dialogs.fileAnswers.push_back(w.path("other.cfg"));
    w.form().SpeedButton6->click();
    w.form().SpeedButton16->click();
    ASSERT_EQ(w.dialogs.boxes.size(), 1u);
    EXPECT_EQ(w.dialogs.boxes[0].text,
              "Trwa transmisja danych. Poczekaj na jej zakończenie i spróbuj ponownie.");
    EXPECT_TRUE(w.dialogs.filters.empty()); // no file dialog either
    EXPECT_NE(w.image().Reg(RegDayBrightness), 77);
}

TEST(MainWindow, ClosingDuringAWholeReadEndsTheProgramAndKeepsTheEditorsText) {
    AppWorld w;
    w.start();
    w.activate();
    w.form().show();
    w.form().SpeedButton9->click();
    TPStron& editor = *w.app->stron;
    editor.TreeView1->setCurrentItem(editor.PageNode(4));
    editor.LineFields[0]->setText(QStringLiteral("Wpisane"));
    w.form().SpeedButton6->click();
    test::TickUntilIdle(w.program.scheduler, w.port, [&] { return w.board.Requests().size() > 30; });
    ASSERT_TRUE(w.program.scheduler.Busy());

    // The program's own loop, as it runs in the program: closing must end it.
    QTimer::singleShot(0, &w.form(), [&] { w.form().close(); });
    QTimer guard; // a program that does not end fails here instead of hanging
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(1); });
    guard.start(5000);
    EXPECT_EQ(QCoreApplication::exec(), 0);

    EXPECT_TRUE(w.program.scheduler.Idle());
    EXPECT_FALSE(w.program.scheduler.Busy());
    EXPECT_FALSE(w.image().link.PortOpen);
    EXPECT_FALSE(w.app->pasek->isVisible());
    ConfigImage saved;
    ASSERT_TRUE(ReadConfigFile(w.path("def.cfg"), saved));
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(saved.pages[4].data()), 7), QByteArray("Wpisane"));
}

} // namespace
} // namespace kx9

namespace kx9 {
namespace {

// "Zastosuj" in "Zmiana połączenia" changes the board's link; the main window's status bar and
// "Port Szeregowy" then show the settings in force.
TEST(MainWindow, AppliedLinkChangeShowsTheNewSettingsEverywhere) {
    AppWorld w;
    w.start();
    w.activate();
    TfZmianaPolaczenia& change = *w.app->zmianaPolaczenia;
    change.show();
    change.Edit1->setText("23");
    change.ComboBox1->setCurrentIndex(0); // 8N1
    change.ComboBox2->setCurrentIndex(6); // 57600
    change.BitBtn2->click();
    test::TickUntilIdle(w.program.scheduler, w.port);

    ASSERT_EQ(w.dialogs.boxes.size(), 1u);
    EXPECT_EQ(w.dialogs.boxes[0].title, QStringLiteral("Identyfikacja"));
    EXPECT_EQ(w.board.Address(), 23);
    EXPECT_EQ(w.panel(1), "57600bps");
    EXPECT_EQ(w.panel(2), "8N1");
    EXPECT_EQ(w.panel(3), "Port komunikacyjny zamknięty");
    TfKonUart& port = *w.app->konUart;
    port.show();
    EXPECT_EQ(port.ComboBox2->currentText(), QStringLiteral("8N1"));
    EXPECT_EQ(port.ComboBox3->currentIndex(), 6);
    EXPECT_EQ(port.Edit1->text(), QStringLiteral("23"));
    port.hide();
}

TEST(MainWindow, EnterInTheLinkChangeWindowPressesNothing) {
    AppWorld w;
    w.start();
    TfZmianaPolaczenia& change = *w.app->zmianaPolaczenia;
    change.show();
    change.Edit1->setText("23");
    change.Edit1->setFocus();
    QTest::keyClick(change.Edit1, Qt::Key_Return);
    QTest::keyClick(change.Edit1, Qt::Key_Enter);
    EXPECT_TRUE(change.isVisible());
    EXPECT_TRUE(w.board.Requests().empty());
    EXPECT_NE(w.image().Reg(RegBoardAddress), 23);
}

} // namespace
} // namespace kx9
