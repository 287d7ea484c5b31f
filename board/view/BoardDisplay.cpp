// SPDX-License-Identifier: MIT
#include "BoardDisplay.h"

#include "config/ConfigImage.h"
#include "config/RegularFile.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QPainter>
#include <QRasterWindow>
#include <QSaveFile>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>

#ifndef _WIN32
#include <csignal>
#endif

namespace kx9::view {

namespace {

constexpr int FrameMs = 33;     // the window at 30 frames a second
constexpr int SnapshotMs = 200; // how often the snapshot looks for a change
constexpr int AutoWidthPixels = 1200;

#ifndef _WIN32
volatile std::sig_atomic_t g_snapshotAsked = 0;
extern "C" void OnSnapshotSignal(int) {
    g_snapshotAsked = 1;
}

void WatchSnapshotSignal() {
    struct sigaction sa {};
    sa.sa_handler = OnSnapshotSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0; // no SA_RESTART: the line's wait returns and the snapshot follows at once
    sigaction(SIGUSR1, &sa, nullptr);
}

bool TakeSnapshotRequest() {
    if (!g_snapshotAsked)
        return false;
    g_snapshotAsked = 0;
    return true;
}
#else
void WatchSnapshotSignal() {}
bool TakeSnapshotRequest() {
    return false;
}
#endif

} // namespace

// Shows the renderer's image as it stands; closing the window ends the simulator.
class BoardWindow : public QRasterWindow {
public:
    explicit BoardWindow(const QImage& image) : m_image(image) {}
    bool Closed() const { return m_closed; }
    void Refresh() {
        if (size() != m_image.size())
            resize(m_image.size());
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.drawImage(0, 0, m_image);
    }
    void closeEvent(QCloseEvent* event) override {
        m_closed = true;
        QRasterWindow::closeEvent(event);
    }

private:
    const QImage& m_image;
    bool m_closed = false;
};

BoardDisplay::BoardDisplay(const BoardModel& board, const Options& options)
    : m_board(board), m_options(options),
      m_renderer(PitchFor(render::DisplayDots(board.Holding(RegBoardSize)))) {
    m_clock.start();
    if (!m_options.snapshot.isEmpty())
        WatchSnapshotSignal();
    if (m_options.show) {
        m_window = std::make_unique<BoardWindow>(m_renderer.Render(m_board, {0, m_board.Clock()}));
        m_window->setTitle(QStringLiteral("kx9-sim: board at address %1").arg(board.Address()));
        m_window->Refresh();
        m_window->show();
    }
}

BoardDisplay::~BoardDisplay() = default;

int BoardDisplay::ViewPitch(int asked, QSize dots) {
    int pitch = asked > 0 ? asked : std::clamp(AutoWidthPixels / std::max(1, dots.width()), 2, 8);
    const int64_t area = int64_t(std::max(1, dots.width())) * std::max(1, dots.height());
    while (pitch > 1 && area * pitch * pitch > MaxViewPixels)
        --pitch;
    return pitch;
}

int BoardDisplay::PitchFor(QSize dots) {
    const int pitch = ViewPitch(m_options.dotPitch, dots);
    if (m_options.dotPitch > pitch && dots != m_cappedFor) {
        std::fprintf(stderr,
                     "kx9-sim: a display of %d x %d dots is too big to draw at %d pixels a dot; "
                     "drawing it at %d (at most %lld pixels)\n",
                     dots.width(), dots.height(), m_options.dotPitch, pitch, (long long)MaxViewPixels);
        m_cappedFor = dots;
    }
    return pitch;
}

int BoardDisplay::Service() {
    if (m_window) {
        QCoreApplication::processEvents();
        if (m_window->Closed())
            return -1;
    }
    const int64_t now = m_clock.elapsed();
    const bool asked = TakeSnapshotRequest();
    const bool frameDue = m_window && now >= m_nextFrame;
    const bool snapshotDue = !m_options.snapshot.isEmpty() && (asked || now >= m_nextSnapshot);
    if (frameDue || snapshotDue) {
        const int pitch = PitchFor(render::DisplayDots(m_board.Holding(RegBoardSize)));
        if (pitch != m_renderer.DotPitch())
            m_renderer = BoardRenderer(pitch);
        const QImage& image = m_renderer.Render(m_board, {now, m_board.Clock()});
        if (frameDue) {
            m_window->Refresh();
            m_nextFrame = now + FrameMs;
        }
        if (snapshotDue) {
            if (asked || !m_snapshotWritten || m_renderer.Frame() != m_snapshotFrame) {
                m_snapshotWritten = WriteSnapshot(image) || m_snapshotWritten;
                m_snapshotFrame = m_renderer.Frame();
            }
            m_nextSnapshot = now + SnapshotMs;
        }
    }
    int64_t next = std::numeric_limits<int64_t>::max();
    if (m_window)
        next = std::min(next, m_nextFrame);
    if (!m_options.snapshot.isEmpty())
        next = std::min(next, m_nextSnapshot);
    return int(std::clamp<int64_t>(next - m_clock.elapsed(), 1, SnapshotMs));
}

// Replaces the file whole, so that a reader never sees half a picture.
bool BoardDisplay::WriteSnapshot(const QImage& image) {
    // Looked at again before each picture: whatever took the file's place meanwhile is not ours.
    if (const QString why = SnapshotProblem(m_options.snapshot); !why.isEmpty()) {
        std::fprintf(stderr, "kx9-sim: %s\n", qPrintable(why));
        return false;
    }
    QSaveFile file(m_options.snapshot);
    if (file.open(QIODevice::WriteOnly) && image.save(&file, "PNG") && file.commit())
        return true;
    std::fprintf(stderr, "kx9-sim: cannot write the snapshot %s: %s\n", qPrintable(m_options.snapshot),
                 qPrintable(file.errorString()));
    return false;
}

QString BoardDisplay::SnapshotProblem(const QString& path) {
    // The picture replaces the file whole: only a regular file, or none, is ours to replace;
    // a pipe, a device (/dev/null) or a link that points nowhere is left alone.
    switch (CheckOutputFile(path)) {
    case FileProblem::None:
        return {};
    case FileProblem::Missing:
        return "--snapshot " + path + ": no such folder";
    default:
        return "--snapshot " + path +
               " exists and is not a regular file; kx9-sim replaces only a picture file";
    }
}

void BoardDisplay::AddOptions(QCommandLineParser& parser) {
    parser.addOptions({
        {"show", "Show the board's display in a window; closing it ends the simulator."},
        {"snapshot", "Write the display as a PNG picture to FILE whenever it changes, and on SIGUSR1.",
         "FILE"},
        {"dot",
         "Pixels from dot to dot in the window and the snapshot, 1..32 (default: by the display's width).",
         "N"},
    });
}

bool BoardDisplay::WantsWindow(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--show") == 0)
            return true;
    return false;
}

std::unique_ptr<BoardDisplay> BoardDisplay::FromOptions(const QCommandLineParser& parser,
                                                        const BoardModel& board, QString& error) {
    Options options;
    options.show = parser.isSet("show");
    options.snapshot = parser.value("snapshot");
    if (parser.isSet("snapshot") && options.snapshot.isEmpty()) {
        error = "--snapshot needs a file name";
        return nullptr;
    }
    if (!options.snapshot.isEmpty() && !(error = SnapshotProblem(options.snapshot)).isEmpty())
        return nullptr;
    if (parser.isSet("dot")) {
        bool ok = false;
        options.dotPitch = parser.value("dot").toInt(&ok);
        if (!ok || options.dotPitch < 1 || options.dotPitch > 32) {
            error = "--dot must be 1..32";
            return nullptr;
        }
    }
    if (options.show && !qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        error = "--show needs a display";
        return nullptr;
    }
    if (!options.show && options.snapshot.isEmpty())
        return nullptr;
    return std::make_unique<BoardDisplay>(board, options);
}

} // namespace kx9::view
