// SPDX-License-Identifier: MIT
#include "Startup.h"

#include "config/SlotFiles.h"
#include "link/PortMap.h"

#include <QMessageBox>
#include <QTimer>
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

Kx9App::Kx9App(Program& program, PortMap* ports) : program(program) {
    Transfers& transfers = program.transfers;
    BoardOperations& ops = program.ops;
    form1.reset(record(created, new TForm1(program)));
    konUart.reset(record(created, new TfKonUart(program.image.link, program.dialogs, ports, &transfers)));
    about.reset(record(created, new TfAbout()));
    pasek.reset(record(created, new TPpasek(program.scheduler)));
    status.reset(record(created, new TPStatus()));
    stron.reset(record(created, new TPStron(transfers, ops)));
    konfigSlave.reset(record(created, new TfKonfigSlave(transfers)));
    konfigJasnosc.reset(record(created, new TfKonfigJasnosc(transfers)));
    zmianaPolaczenia.reset(record(
        created, new TfZmianaPolaczenia(program.image, program.dialogs, [&ops] { ops.StartLinkChange(); })));
    czasData.reset(record(created, new TfCzasData(transfers, ops)));
    przewijanie.reset(record(created, new TfPrzewijanie(transfers)));
    prezentacja.reset(record(created, new TfPrezentacja(transfers, *stron)));
    konGraf.reset(record(created, new TKonGraf(transfers)));

    dziennik = std::make_unique<TDziennik>(program.link, program.dialogs);
    edits = std::make_unique<EditorEdits>(
        *stron, *konGraf,
        EditorEdits::Windows{przewijanie.get(), konfigJasnosc.get(), prezentacja.get(), czasData.get()});
    preview = std::make_unique<TfPodgladTablicy>(program.image, *edits, program.dialogs, program.clock);

    stron->SetWindows(przewijanie.get(), konGraf.get());
    stron->SetPreview(preview.get());
    prezentacja->SetGraphics(konGraf.get());
    przewijanie->SetTextEditor(stron.get());

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
    windows.dziennik = dziennik.get();
    windows.preview = preview.get();
    form1->SetWindows(windows);

    // Before anything leaves the program the shown editors store what they show, in this order.
    for (EditorWindow* editor : std::initializer_list<EditorWindow*>{
             stron.get(), konfigSlave.get(), konfigJasnosc.get(), czasData.get(), przewijanie.get(),
             prezentacja.get(), konGraf.get()})
        editors.Add(editor);
    transfers.storeShown = [this](Transfers::Leaving what) { return editors.StoreShown(what); };

    program.progress.Attach(pasek.get());
    ops.SetStatusView(status.get());
    TForm1* main = form1.get();
    program.scheduler.SetLinkShown([main] { main->ShowLinkSettings(); });

    // Settings files that were left unread are said once the main window is up: none stands
    // yet while they are read.
    QStringList skipped;
    if (ports && ports->LoadProblem() != FileProblem::None)
        skipped << LoadProblemText(*ports);
    if (konGraf->SlotFilesProblem() != FileProblem::None)
        skipped << SlotFilesProblemText(konGraf->SlotFilesProblem());
    if (!skipped.isEmpty())
        QTimer::singleShot(0, main, [&dialogs = program.dialogs, text = skipped.join(QLatin1Char('\n'))] {
            dialogs.message(text, QStringLiteral("Błąd otwarcia pliku"), MsgIcon::Information);
        });
}

Kx9App::~Kx9App() {
    // The program outlives the windows: leave it nothing that points into them.
    program.scheduler.Abandon();
    program.scheduler.SetLinkShown({});
    program.transfers.storeShown = {};
    program.progress.Attach(nullptr);
    program.ops.SetStatusView(nullptr);
}

std::unique_ptr<Kx9App> CreateApp(Program& program, PortMap* ports) {
    return std::make_unique<Kx9App>(program, ports);
}

} // namespace kx9
