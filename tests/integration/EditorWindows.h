// SPDX-License-Identifier: MIT
#pragma once

#include "editors/Czasdata.h"
#include "editors/Edytor_stron.h"
#include "editors/Konf_graf.h"
#include "editors/Konfigjasnosc.h"
#include "editors/Konfigslave.h"
#include "editors/Prezentacja.h"
#include "editors/Przewijanie.h"

#include <vector>

namespace kx9::test {

// Every editor window with a transfer, on the program of `World`, filled as showing them would.
struct EditorWindows {
    template <class World>
    explicit EditorWindows(World& w)
        : stron(w.transfers, w.ops), prezentacja(w.transfers, stron), przewijanie(w.transfers),
          jasnosc(w.transfers), slave(w.transfers), czas(w.transfers, w.ops), graf(w.transfers) {
        for (EditorWindow* window : All())
            window->FillAll();
    }
    std::vector<EditorWindow*> All() {
        return {&stron, &prezentacja, &przewijanie, &jasnosc, &slave, &czas, &graf};
    }
    TPStron stron;
    TfPrezentacja prezentacja;
    TfPrzewijanie przewijanie;
    TfKonfigJasnosc jasnosc;
    TfKonfigSlave slave;
    TfCzasData czas;
    TKonGraf graf;
};

} // namespace kx9::test
