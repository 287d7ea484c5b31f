// SPDX-License-Identifier: MIT
// The values kx9ctl's options and arguments take: numbers, rates, frames, address lists, the
// board's time, and the control characters a page text may not hold.
#include "CliOptions.h"

#include <QRegularExpression>

#include <algorithm>

namespace kx9::cli {

std::optional<int> NumberIn(const QString& text, int low, int high) {
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    if (!ok || value < low || value > high)
        return std::nullopt;
    return value;
}

std::optional<std::vector<int>> AddressList(const QString& text, QString* why) {
    const auto refuse = [why](const QString& reason) {
        if (why)
            *why = reason;
        return std::nullopt;
    };
    static const QRegularExpression item(QStringLiteral("^\\s*(\\d{1,3})\\s*(?:-\\s*(\\d{1,3})\\s*)?$"));
    std::vector<int> list;
    std::vector<bool> taken(frame::MaxAddress + 1, false);
    const QStringList items = text.split(',');
    for (const QString& part : items) {
        const QRegularExpressionMatch m = item.match(part);
        if (!m.hasMatch())
            return refuse(QStringLiteral("must be 1..247 or a list such as 3,9,17 or 1-12"));
        const int first = m.captured(1).toInt();
        const int last = m.captured(2).isEmpty() ? first : m.captured(2).toInt();
        if (first == 0 || last == 0)
            return refuse(QStringLiteral("must be 1..247 (address 0 is a broadcast to every board)"));
        if (first > frame::MaxAddress || last > frame::MaxAddress)
            return refuse(QStringLiteral("must be 1..247"));
        if (last < first)
            return refuse(QStringLiteral("range %1-%2 runs backwards").arg(first).arg(last));
        for (int a = first; a <= last; ++a) {
            if (taken[size_t(a)])
                return refuse(QStringLiteral("lists %1 twice").arg(a));
            taken[size_t(a)] = true;
            list.push_back(a);
        }
    }
    return list;
}

std::optional<QDateTime> BoardTime(const QString& text, QString* why) {
    const auto refuse = [why](const QString& reason) {
        if (why)
            *why = reason;
        return std::nullopt;
    };
    static const QRegularExpression shape(
        QStringLiteral("^\\s*(\\d{4})-(\\d{2})-(\\d{2})[ T](\\d{2}):(\\d{2})\\s*$"));
    const QRegularExpressionMatch m = shape.match(text);
    if (!m.hasMatch())
        return refuse(QStringLiteral("needs \"YYYY-MM-DD HH:MM\" in the years 2000..2099"));
    const int year = m.captured(1).toInt();
    const QString date = text.trimmed().left(10);
    if (year < 2000 || year > 2099) // the board keeps the year within its century, taken as 2000
        return refuse(QStringLiteral("%1: the board keeps the years 2000..2099").arg(date));
    const QDate day(year, m.captured(2).toInt(), m.captured(3).toInt());
    if (!day.isValid())
        return refuse(QStringLiteral("%1: there is no such date").arg(date));
    const QTime time(m.captured(4).toInt(), m.captured(5).toInt());
    if (!time.isValid())
        return refuse(
            QStringLiteral("%1:%2: there is no such time of day").arg(m.captured(4), m.captured(5)));
    // Kept in UTC only to stay clear of the PC's zone: a time in its daylight-saving gap is
    // still a time the board may show.
    return QDateTime(day, time, Qt::UTC);
}

int ControlCharAt(const QString& text) {
    for (int i = 0; i < text.size(); ++i)
        if (text[i].category() == QChar::Other_Control || text[i] == QChar(0x2028) ||
            text[i] == QChar(0x2029))
            return i;
    return -1;
}

QString CodePoint(const QString& text, int at) {
    return QStringLiteral("U+") + QString::number(text[at].unicode(), 16).toUpper().rightJustified(4, '0');
}

void LinkChoice::ApplyTo(LinkSettings& link) const {
    if (portIndex)
        link.PortIndex = uint8_t(*portIndex);
    if (address)
        link.BoardAddress = uint8_t(*address);
    if (baudIndex)
        link.BaudIndex = uint8_t(*baudIndex);
    if (frameIndex)
        link.FrameIndex = uint8_t(*frameIndex);
    if (timeoutMs)
        link.ReplyTimeoutMs = *timeoutMs;
}

std::optional<int> BaudIndexOf(const QString& text) {
    const std::optional<int> baud = NumberIn(text, 1, 1000000);
    for (size_t k = 0; baud && k < BaudRates.size(); ++k)
        if (BaudRates[k] == *baud)
            return int(k);
    return std::nullopt;
}

std::optional<int> FrameIndexOf(const QString& text) {
    for (size_t k = 0; k < FrameNames.size(); ++k)
        if (text.trimmed().compare(QLatin1String(FrameNames[k]), Qt::CaseInsensitive) == 0)
            return int(k);
    return std::nullopt;
}

} // namespace kx9::cli
