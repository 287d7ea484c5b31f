// SPDX-License-Identifier: MIT
#include "Startup.h"
#include "config/Clock.h"
#include "link/RoutedPort.h"
#include "ops/Program.h"
#include "widgets/QtDialogs.h"

#include <QLibraryInfo>
#include <QTranslator>
#include <exception>

int main(int argc, char** argv) {
    kx9::Kx9Application application(argc, argv);
    // The display name falls back to this; setting it as well would make some window systems
    // append it to every window's caption.
    kx9::Kx9Application::setApplicationName("KX9 Konfigurator");
    // Only the main window ends the program (it saves "def.cfg" first); hiding it in the
    // tray and closing the last editor must not.
    kx9::Kx9Application::setQuitOnLastWindowClosed(false);

    // Qt's own buttons and file dialogs speak Polish too.
    QTranslator qtPolish;
    if (qtPolish.load("qtbase_pl", QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        kx9::Kx9Application::installTranslator(&qtPolish);

    try {
        // The user's names for the serial devices; an unreadable file leaves none.
        kx9::PortMap ports(kx9::PortMap::UserFile());
        ports.Load();
        kx9::RoutedPort port(ports);
        kx9::QtDialogs dialogs;
        kx9::SystemClock clock;
        kx9::Program program(port, dialogs, clock);
        auto app = kx9::CreateApp(program, &ports);
        app->form1->show();
        // Some window managers (or none) leave a new window inactive; the first activation
        // loads "def.cfg", and it must come before the operator's first click.
        app->form1->activateWindow();
        return kx9::Kx9Application::exec();
    } catch (const std::exception& error) {
        kx9::Kx9Application::ShowException(QString::fromLocal8Bit(error.what()));
    } catch (...) {
        kx9::Kx9Application::ShowException("Nieznany błąd programu");
    }
    return 1;
}
