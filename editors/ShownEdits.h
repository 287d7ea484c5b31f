// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <utility>
#include <vector>

namespace kx9 {

class TfCzasData;
class TfKonfigJasnosc;
class TfPrezentacja;
class TfPrzewijanie;
class TKonGraf;
class TPStron;

// What the editor windows show but have not stored yet, as far as the board's display shows
// it. The display preview reads the editors only through this.
class ShownEdits : public QObject {
    Q_OBJECT
public:
    // The page the text page editor edits (-1: none) and, while it is shown, its line fields as
    // typed, Windows-1250, one for each line the page has (none while it is hidden).
    virtual int EditedPage() const = 0;
    virtual std::vector<QByteArray> EditedLines() const = 0;
    // (register, value) for every field of a shown editor whose entry its window would store as
    // it stands.
    virtual std::vector<std::pair<int, int>> EditedRegisters() const = 0;
    // The picture file of graphic slot 0..9; empty when none.
    virtual QString GraphicFile(int slot) const = 0;

signals:
    // A control of an editor changed (typing, a click, a page chosen).
    void changed();
};

// The program's editor windows as ShownEdits.
class EditorEdits : public ShownEdits {
public:
    // The windows whose unsaved state shows on the display; those not given show none.
    struct Windows {
        const TfPrzewijanie* scrolling = nullptr;
        const TfKonfigJasnosc* brightness = nullptr;
        const TfPrezentacja* presentation = nullptr;
        const TfCzasData* clock = nullptr;
    };
    EditorEdits(const TPStron& pages, const TKonGraf& graphics, const Windows& others);

    int EditedPage() const override;
    std::vector<QByteArray> EditedLines() const override;
    std::vector<std::pair<int, int>> EditedRegisters() const override;
    QString GraphicFile(int slot) const override;

private:
    const TPStron& m_pages;
    const TKonGraf& m_graphics;
    Windows m_others;
};

} // namespace kx9
