// SPDX-License-Identifier: MIT
#pragma once

#include "BoardRender.h"

#include <QElapsedTimer>
#include <QString>
#include <memory>

class QCommandLineParser;

namespace kx9::view {

class BoardWindow;

// kx9-sim's view of its board: a window (--show), a PNG file rewritten whenever the display
// changes and on SIGUSR1 (--snapshot FILE), or both. It runs between frames on the line's own
// loop, so it reads the board while nothing else touches it.
class BoardDisplay {
public:
    struct Options {
        bool show = false;
        QString snapshot; // empty: none
        int dotPitch = 0; // pixels from dot to dot; 0: by the display's width
    };

    BoardDisplay(const BoardModel& board, const Options& options);
    ~BoardDisplay();
    BoardDisplay(const BoardDisplay&) = delete;
    BoardDisplay& operator=(const BoardDisplay&) = delete;

    // Draws what is due and handles the window's events. Returns the milliseconds until it
    // wants to run again, or -1 once the window has been closed (the simulator then ends).
    int Service();

    // The options of the view, and whether the command line asks for a window (which needs a
    // GUI application before the options can be parsed).
    static void AddOptions(QCommandLineParser& parser);
    static bool WantsWindow(int argc, char** argv);
    // Nothing when no view is asked for; `error` says what is wrong with the options.
    static std::unique_ptr<BoardDisplay> FromOptions(const QCommandLineParser& parser,
                                                     const BoardModel& board, QString& error);

    // Pixels from dot to dot for a display of `dots`: `asked` (0: by the width), made smaller
    // where the picture would pass MaxViewPixels.
    static constexpr int64_t MaxViewPixels = int64_t(4096) * 4096;
    static int ViewPitch(int asked, QSize dots);

    // Why the snapshot may not be written at `path`; empty when it may.
    static QString SnapshotProblem(const QString& path);

private:
    int PitchFor(QSize dots);
    bool WriteSnapshot(const QImage& image);

    const BoardModel& m_board;
    Options m_options;
    QElapsedTimer m_clock;
    QSize m_cappedFor; // the display size last reported as too big (before the renderer, which asks)
    BoardRenderer m_renderer;
    std::unique_ptr<BoardWindow> m_window;
    int64_t m_nextFrame = 0;
    int64_t m_nextSnapshot = 0;
    bool m_snapshotWritten = false;
    render::DotFrame m_snapshotFrame;
};

} // namespace kx9::view
