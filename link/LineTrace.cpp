// SPDX-License-Identifier: MIT
#include "LineTrace.h"

#include <QByteArray>
#include <QDateTime>

namespace kx9 {

QString TraceText(qint64 msSinceEpoch, LineTrace::Event event, const QString& line, const uint8_t* bytes,
                  int length, const LinkFailure& verdict, const QString& note) {
    using E = LineTrace::Event;
    const QString when =
        QDateTime::fromMSecsSinceEpoch(msSinceEpoch).toString(QStringLiteral("HH:mm:ss.zzz"));
    const QString hex =
        bytes && length > 0
            ? QString::fromLatin1(
                  QByteArray(reinterpret_cast<const char*>(bytes), length).toHex(' ').toUpper())
            : QString();
    QString arrow = QStringLiteral("←");
    QString what;
    switch (event) {
    case E::Request:
        arrow = QStringLiteral("→");
        break;
    case E::Reply:
        what = verdict.Failed() ? QStringLiteral("odrzucona: ") + DescribeCause(verdict)
                                : QStringLiteral("dopasowana");
        break;
    case E::TimeOut:
        arrow = QStringLiteral("×");
        what = QStringLiteral("time-out: ") + DescribeCause(verdict);
        break;
    case E::Exception:
        what = QStringLiteral("wyjątek %1 (%2)").arg(verdict.value).arg(ExceptionMeaning(verdict.value));
        break;
    case E::EchoSkipped:
        what = QStringLiteral("echo zapytania pominięte");
        break;
    case E::Dropped:
        what = QStringLiteral("pominięte: ") + note;
        break;
    case E::Connection:
        arrow = QStringLiteral("·");
        what = note;
        break;
    }
    QString text = when + QLatin1Char(' ') + line + QLatin1Char(' ') + arrow;
    if (!hex.isEmpty())
        text += QLatin1Char(' ') + hex;
    if (!what.isEmpty())
        text += QStringLiteral(" [") + what + QLatin1Char(']');
    return text;
}

void TextTrace::Record(Event event, const QString& line, const uint8_t* bytes, int length,
                       const LinkFailure& verdict, const QString& note) {
    if (m_sink)
        m_sink(TraceText(QDateTime::currentMSecsSinceEpoch(), event, line, bytes, length, verdict, note));
}

} // namespace kx9
