// SPDX-License-Identifier: MIT
#pragma once

#include "link/Dialogs.h"
#include "ops/Views.h"

#include <QString>
#include <QStringList>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <vector>

// What the windows show in boxes and bars, as lines on a terminal.
namespace kx9::cli {

// Ctrl-C (SIGINT) while it lives is noted rather than ending the program, so that a long run
// can stop between steps and still say what it got; a second Ctrl-C ends the program at once.
class InterruptWatch {
public:
    InterruptWatch();
    ~InterruptWatch();
    InterruptWatch(const InterruptWatch&) = delete;
    InterruptWatch& operator=(const InterruptWatch&) = delete;
    static bool Asked();
};

bool IsTerminal(std::FILE* stream);
// Columns of the terminal `stream` is, as it is now; 80 when it does not say.
int TerminalColumns(std::FILE* stream);
// UTF-8 text as it stands; UTF-16 to a Windows console.
void Print(std::FILE* stream, const QString& text);
// The program's arguments; on Windows as typed, in UTF-16, whatever the ANSI code page holds.
QStringList CommandLine(int argc, char** argv);
// `text` with every control character but the line ends shown as its picture ("␛" for
// escape, "␉" for tab), so that bytes from a file or a board never drive the terminal.
QString Printable(const QString& text);
// The same for one line: line ends too.
QString PrintableLine(const QString& text);

// A bar with the operation's title on one line of a terminal, drawn again in place and never
// wider than the terminal, so it never wraps. Nothing is drawn when `stream` is not a terminal.
class TermProgress : public ProgressView {
public:
    TermProgress(std::FILE* stream, bool draw) : m_stream(stream), m_draw(draw) {}
    // The line for `columns`: the title cut to fit, the bar as wide as room allows, the percent.
    static QString Line(const QString& title, int percent, int columns);
    // Each percent also goes to `mirror` (another thread reads it); null for none.
    void Mirror(std::atomic<int>* mirror) { m_mirror = mirror; }
    void ShowProgress(const QString& title) override;
    void SetProgress(int percent) override;
    void HideProgress() override;
    // Clears the bar's line before other text goes out; the next change draws it again.
    void Interrupt();

    bool Shown() const { return m_shown; }
    const QString& Title() const { return m_title; }
    int Percent() const { return m_percent; }

private:
    void Draw();

    std::FILE* m_stream;
    bool m_draw;
    bool m_shown = false;
    bool m_onScreen = false;
    int m_drawnWidth = 0; // characters of the line on screen
    std::atomic<int>* m_mirror = nullptr;
    QString m_title = QStringLiteral("Transmisja danych...");
    int m_percent = 0;
};

// Every box of the operations goes to stderr with its title and details, except the boxes
// that carry a command's result (the identification), which are kept for it.
class CliDialogs : public Dialogs {
public:
    CliDialogs(std::FILE* stream, TermProgress& progress) : m_stream(stream), m_progress(progress) {}

    void message(const QString& text, const QString& title, MsgIcon icon) override;
    void messageWithDetails(const QString& text, const QString& title, MsgIcon icon,
                            const QString& details) override;
    bool confirm(const QString& text, const QString& title, MsgIcon icon) override;
    QString openFile(const QString&) override { return {}; }
    QString saveFile(const QString&) override { return {}; }
    QString openPicture() override { return {}; }

    // A line of kx9ctl's own on stderr, in the boxes' place.
    void Report(const QString& text);
    // The port as typed on the command line (a device path): the details name it so, rather
    // than the COMn the link stands in for it.
    QString portGiven;

    struct Box {
        QString text;
        QString title;
        QString details;
        MsgIcon icon;
    };
    std::vector<Box> failures; // printed
    std::vector<Box> results;  // kept
    QStringList notes;         // kx9ctl's own lines
    QStringList resultTitles;

private:
    void Print(const QString& text);

    std::FILE* m_stream;
    TermProgress& m_progress;
};

// The status window without a window: the register as read, and every error bit cleared when
// asked to.
class CliStatus : public StatusView {
public:
    uint16_t ShowStatus(uint16_t status) override;
    bool clear = false;
    bool shown = false;
    uint16_t read = 0;
};

} // namespace kx9::cli
