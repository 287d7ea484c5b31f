// SPDX-License-Identifier: MIT
#include "Console.h"

#include "ops/StatusTexts.h"

#include <algorithm>
#include <csignal>

#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <io.h>
#include <string>
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>
#else
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace kx9::cli {

namespace {

constexpr int BarWidth = 30;
constexpr int MinBarWidth = 10;
constexpr int DefaultColumns = 80;

QChar Picture(QChar c) {
    // Control Pictures: U+2400 + code for C0, U+2421 for delete; other controls as U+FFFD.
    if (c.unicode() < 0x20)
        return QChar(0x2400 + c.unicode());
    if (c.unicode() == 0x7F)
        return QChar(0x2421);
    return QChar(0xFFFD);
}

bool IsControl(QChar c) {
    return c.category() == QChar::Other_Control || c == QChar(0x2028) || c == QChar(0x2029);
}

} // namespace

QString Printable(const QString& text) {
    QString out = text;
    for (QChar& c : out)
        if (IsControl(c) && c != QLatin1Char('\n'))
            c = Picture(c);
    return out;
}

QString PrintableLine(const QString& text) {
    QString out = text;
    for (QChar& c : out)
        if (IsControl(c))
            c = Picture(c);
    return out;
}

int TerminalColumns(std::FILE* stream) {
#if defined(_WIN32)
    CONSOLE_SCREEN_BUFFER_INFO info;
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    if (GetConsoleScreenBufferInfo(handle, &info))
        return info.srWindow.Right - info.srWindow.Left + 1;
#else
    winsize size{};
    if (ioctl(fileno(stream), TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
#endif
    return DefaultColumns;
}

QString TermProgress::Line(const QString& title, int percent, int columns) {
    // One column stays free: a line that fills the last one wraps on many terminals.
    const int room = std::max(columns - 1, 1);
    const QString tail = QStringLiteral("%1%").arg(percent, 3);
    // "title [bar] 100%": the bar shrinks first, then goes, then the title is cut.
    const int barRoom = room - int(tail.size()) - 4 - std::min(int(title.size()), 20);
    const int bar = std::clamp(barRoom, 0, BarWidth);
    QString line;
    if (bar >= MinBarWidth) {
        const int filled = percent * bar / 100;
        const QString drawn = QString(filled, '#') + QString(bar - filled, '.');
        const int titleRoom = room - int(tail.size()) - bar - 4;
        line =
            title.left(std::max(titleRoom, 0)) + QStringLiteral(" [") + drawn + QStringLiteral("] ") + tail;
    } else {
        const int titleRoom = room - int(tail.size()) - 1;
        line = titleRoom > 0 ? title.left(titleRoom) + QLatin1Char(' ') + tail : tail;
    }
    return line.left(room);
}

namespace {

volatile std::sig_atomic_t g_interrupted = 0;

extern "C" void OnInterrupt(int) {
    g_interrupted = 1;
    std::signal(SIGINT, SIG_DFL);
}

} // namespace

InterruptWatch::InterruptWatch() {
    g_interrupted = 0;
    std::signal(SIGINT, OnInterrupt);
}

InterruptWatch::~InterruptWatch() {
    std::signal(SIGINT, SIG_DFL);
}

bool InterruptWatch::Asked() {
    return g_interrupted != 0;
}

bool IsTerminal(std::FILE* stream) {
#if defined(_WIN32)
    return _isatty(_fileno(stream)) != 0;
#else
    return isatty(fileno(stream)) != 0;
#endif
}

void Print(std::FILE* stream, const QString& text) {
#if defined(_WIN32)
    // A console shows what it is given in UTF-16 whatever its code page; UTF-8 bytes would show
    // as that page's letters. Redirected output stays UTF-8.
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    DWORD mode = 0;
    if (handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode)) {
        std::fflush(stream);
        const std::wstring wide = text.toStdWString();
        DWORD written = 0;
        WriteConsoleW(handle, wide.data(), DWORD(wide.size()), &written, nullptr);
        return;
    }
#endif
    std::fputs(text.toUtf8().constData(), stream);
    std::fflush(stream);
}

QStringList CommandLine(int argc, char** argv) {
    QStringList arguments;
#if defined(_WIN32)
    // The command line as typed, not as the ANSI code page can hold it.
    int count = 0;
    if (LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count)) {
        for (int k = 0; k < count; ++k)
            arguments << QString::fromWCharArray(wide[k]);
        LocalFree(wide);
        return arguments;
    }
#endif
    for (int k = 0; k < argc; ++k)
        arguments << QString::fromLocal8Bit(argv[k]);
    return arguments;
}

void TermProgress::ShowProgress(const QString& title) {
    if (!title.isEmpty())
        m_title = title;
    m_shown = true;
    Draw();
}

void TermProgress::SetProgress(int percent) {
    m_percent = std::clamp(percent, 0, 100);
    if (m_mirror)
        m_mirror->store(m_percent, std::memory_order_relaxed);
    if (m_shown)
        Draw();
}

void TermProgress::HideProgress() {
    Interrupt();
    // As the progress window: hidden, it is back at its idle title and at 0.
    m_shown = false;
    m_title = QStringLiteral("Transmisja danych...");
    m_percent = 0;
    if (m_mirror)
        m_mirror->store(100, std::memory_order_relaxed); // what was shown is over
}

void TermProgress::Interrupt() {
    if (!m_onScreen)
        return;
    Print(m_stream, QStringLiteral("\r") + QString(m_drawnWidth, ' ') + QStringLiteral("\r"));
    m_onScreen = false;
    m_drawnWidth = 0;
}

void TermProgress::Draw() {
    if (!m_draw)
        return;
    // Measured at every drawing, so a terminal made narrower meanwhile still gets one line.
    const QString line = Line(PrintableLine(m_title), m_percent, TerminalColumns(m_stream));
    // Blanks over what is left of a longer line drawn before.
    const int pad = std::max(m_drawnWidth - int(line.size()), 0);
    Print(m_stream, QStringLiteral("\r") + line + QString(pad, ' ') +
                        (pad > 0 ? QStringLiteral("\r") + line : QString()));
    m_onScreen = true;
    m_drawnWidth = int(line.size());
}

void CliDialogs::message(const QString& text, const QString& title, MsgIcon icon) {
    messageWithDetails(text, title, icon, QString());
}

void CliDialogs::messageWithDetails(const QString& text, const QString& title, MsgIcon icon,
                                    const QString& given) {
    QString details = given;
    if (!portGiven.isEmpty()) {
        QStringList lines = details.split(QLatin1Char('\n'));
        for (QString& line : lines) {
            if (!line.startsWith(QLatin1String("Port: ")))
                continue;
            // The port as typed; the device it led to stays where it is another path.
            const QString device = line.section(QStringLiteral(" (urządzenie "), 1);
            line = QStringLiteral("Port: ") + portGiven;
            if (device.endsWith(QLatin1Char(')')) && device.chopped(1) != portGiven)
                line += QStringLiteral(" (urządzenie ") + device;
        }
        details = lines.join(QLatin1Char('\n'));
    }
    const Box box{text, title, details, icon};
    if (resultTitles.contains(title)) {
        results.push_back(box);
        return;
    }
    failures.push_back(box);
    // The box's lines, then its details, indented under the first.
    QString line = title.isEmpty() ? text : title + QStringLiteral(": ") + text;
    if (!details.isEmpty())
        line += QLatin1Char('\n') + details;
    Print(line.replace('\n', QStringLiteral("\n  ")));
}

bool CliDialogs::confirm(const QString& text, const QString& title, MsgIcon icon) {
    // Nobody is there to answer: the safe answer.
    message(text, title, icon);
    return false;
}

void CliDialogs::Report(const QString& text) {
    notes << text;
    Print(text);
}

void CliDialogs::Print(const QString& text) {
    m_progress.Interrupt();
    cli::Print(m_stream, QStringLiteral("kx9ctl: ") + Printable(text) + QStringLiteral("\n"));
}

uint16_t CliStatus::ShowStatus(uint16_t status) {
    shown = true;
    read = status;
    return clear ? uint16_t(status & ~StatusErrorBits) : status;
}

} // namespace kx9::cli
