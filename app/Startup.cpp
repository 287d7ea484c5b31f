// SPDX-License-Identifier: MIT
#include "Startup.h"

#include <QMessageBox>
#include <exception>

namespace kx9 {

Kx9Application::Kx9Application(int& argc, char** argv) : QApplication(argc, argv) {}

bool Kx9Application::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        ShowException(QString::fromLocal8Bit(error.what()));
    } catch (...) {
        ShowException("Nieznany błąd programu");
    }
    return false;
}

void Kx9Application::ShowException(const QString& what) {
    QMessageBox box(QMessageBox::Critical, applicationName(), what, QMessageBox::Ok, nullptr);
    box.exec();
}

namespace {

template <typename Window> Window* record(QStringList& created, Window* window) {
    created << QString(window->metaObject()->className()).section("::", -1);
    return window;
}

} // namespace

Kx9App::Kx9App(World& world) : world(world) {
    form1.reset(record(created, new TForm1(world)));
    konUart.reset(record(created, new TfKonUart(world.image.link, world.dialogs)));
    about.reset(record(created, new TfAbout()));
    pasek.reset(record(created, new TPpasek(world.scheduler.state)));
    status.reset(record(created, new TPStatus()));
    ops = std::make_unique<BoardOperations>(world, *pasek, *status);
    stron.reset(record(created, new TPStron(world, *ops, *pasek)));
    konfigSlave.reset(record(created, new TfKonfigSlave(world)));
    konfigJasnosc.reset(record(created, new TfKonfigJasnosc(world)));
    BoardOperations* operations = ops.get();
    zmianaPolaczenia.reset(record(created, new TfZmianaPolaczenia(world.image, world.dialogs, [operations] {
                                      operations->StartLinkChange();
                                  })));
    czasData.reset(record(created, new TfCzasData(world)));
    przewijanie.reset(record(created, new TfPrzewijanie(world)));
    prezentacja.reset(record(created, new TfPrezentacja(world)));
    konGraf.reset(record(created, new TKonGraf(world)));

    stron->SetWindows(przewijanie.get(), konGraf.get());

    TForm1::Windows windows;
    windows.konUart = konUart.get();
    windows.about = about.get();
    windows.zmianaPolaczenia = zmianaPolaczenia.get();
    windows.konfigSlave = konfigSlave.get();
    windows.strony = stron.get();
    windows.konGraf = konGraf.get();
    windows.prezentacja = prezentacja.get();
    windows.czasData = czasData.get();
    windows.konfigJasnosc = konfigJasnosc.get();
    form1->SetWindows(windows);
    form1->SetOperations(ops.get());

    Scheduler& scheduler = world.scheduler;
    scheduler.SetProgressView(pasek.get());
    scheduler.SetJobActions(ops.get());
    TForm1* main = form1.get();
    scheduler.SetLinkShown([main] { main->ShowLinkSettings(); });
}

Kx9App::~Kx9App() {
    // The world outlives the windows: leave it nothing that points into them.
    Scheduler& scheduler = world.scheduler;
    scheduler.TimeOut.stop();
    scheduler.TestOdpowiedzi.stop();
    scheduler.TransmisjaWr.stop();
    scheduler.SetLinkShown({});
    scheduler.SetJobActions(nullptr);
    scheduler.SetProgressView(nullptr);
}

std::unique_ptr<Kx9App> CreateApp(World& world) {
    return std::make_unique<Kx9App>(world);
}

} // namespace kx9
