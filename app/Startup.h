// SPDX-License-Identifier: MIT
#pragma once

#include "About.h"
#include "Dziennik.h"
#include "Main.h"
#include "Ppost.h"
#include "Status_kx91.h"
#include "editors/Czasdata.h"
#include "editors/Edytor_stron.h"
#include "editors/Konf_graf.h"
#include "editors/Konfig_uart.h"
#include "editors/Konfigjasnosc.h"
#include "editors/Konfigslave.h"
#include "editors/Podglad_tablicy.h"
#include "editors/Prezentacja.h"
#include "editors/Przewijanie.h"
#include "editors/Zmianapolaczenia.h"
#include "ops/Program.h"
#include "widgets/EditorWindow.h"

#include <QApplication>
#include <QStringList>
#include <memory>

namespace kx9 {

// The application object: an exception that reaches the message loop is shown and the
// loop goes on.
class Kx9Application : public QApplication {
public:
    Kx9Application(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;

    // The standard box for an exception nobody handled.
    static void ShowException(const QString& what);
};

// Every window of the program, created once in a fixed order and wired to the program; the
// connection window edits `ports` (the user's port names) when given.
struct Kx9App {
    explicit Kx9App(Program& program, PortMap* ports = nullptr);
    ~Kx9App();
    Kx9App(const Kx9App&) = delete;
    Kx9App& operator=(const Kx9App&) = delete;

    Program& program;
    QStringList created; // class names in the order of creation
    EditorSet editors;   // the editors that store what they show before anything leaves

    // Declared in the order of creation, so they go in reverse.
    std::unique_ptr<TForm1> form1;
    std::unique_ptr<TfKonUart> konUart;
    std::unique_ptr<TfAbout> about;
    std::unique_ptr<TPpasek> pasek;
    std::unique_ptr<TPStatus> status;
    std::unique_ptr<TPStron> stron;
    std::unique_ptr<TfKonfigSlave> konfigSlave;
    std::unique_ptr<TfKonfigJasnosc> konfigJasnosc;
    std::unique_ptr<TfZmianaPolaczenia> zmianaPolaczenia;
    std::unique_ptr<TfCzasData> czasData;
    std::unique_ptr<TfPrzewijanie> przewijanie;
    std::unique_ptr<TfPrezentacja> prezentacja;
    std::unique_ptr<TKonGraf> konGraf;
    // Not one of the program's windows of old: made after them, and gone first.
    std::unique_ptr<TDziennik> dziennik;
    // Not one of the thirteen: the display preview and what it reads of the editors.
    std::unique_ptr<EditorEdits> edits;
    std::unique_ptr<TfPodgladTablicy> preview;
};

std::unique_ptr<Kx9App> CreateApp(Program& program, PortMap* ports = nullptr);

} // namespace kx9
