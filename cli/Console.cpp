// SPDX-License-Identifier: MIT
#include "Console.h"

#include "ops/StatusTexts.h"

#include <algorithm>

#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

namespace kx9::cli {

namespace {

constexpr int BarWidth = 30;
constexpr int LineWidth = 79;

} // namespace

bool IsTerminal(std::FILE* stream) {
#if defined(_WIN32)
    return _isatty(_fileno(stream)) != 0;
#else
    return isatty(fileno(stream)) != 0;
#endif
}

void Print(std::FILE* stream, const QString& text) {
    std::fputs(text.toUtf8().constData(), stream);
    std::fflush(stream);
}

void TermProgress::ShowProgress(const QString& title) {
    if (!title.isEmpty())
        m_title = title;
    m_shown = true;
    Draw();
}

void TermProgress::SetProgress(int percent) {
    m_percent = std::clamp(percent, 0, 100);
    if (m_shown)
        Draw();
}

void TermProgress::HideProgress() {
    Interrupt();
    // As the progress window: hidden, it is back at its idle title and at 0.
    m_shown = false;
    m_title = QStringLiteral("Transmisja danych...");
    m_percent = 0;
}

void TermProgress::Interrupt() {
    if (!m_onScreen)
        return;
    Print(m_stream, QStringLiteral("\r") + QString(LineWidth, ' ') + QStringLiteral("\r"));
    m_onScreen = false;
}

void TermProgress::Draw() {
    if (!m_draw)
        return;
    const int filled = m_percent * BarWidth / 100;
    const QString bar = QString(filled, '#') + QString(BarWidth - filled, '.');
    const QString title = m_title.left(LineWidth - BarWidth - 8);
    Print(m_stream, QStringLiteral("\r%1 [%2] %3%").arg(title, bar).arg(m_percent, 3));
    m_onScreen = true;
}

void CliDialogs::message(const QString& text, const QString& title, MsgIcon icon) {
    messageWithDetails(text, title, icon, QString());
}

void CliDialogs::messageWithDetails(const QString& text, const QString& title, MsgIcon icon,
                                    const QString& details) {
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
    cli::Print(m_stream, QStringLiteral("kx9ctl: ") + text + QStringLiteral("\n"));
}

uint16_t CliStatus::ShowStatus(uint16_t status) {
    shown = true;
    read = status;
    return clear ? uint16_t(status & ~StatusErrorBits) : status;
}

} // namespace kx9::cli
