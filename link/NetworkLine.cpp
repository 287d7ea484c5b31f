// SPDX-License-Identifier: MIT
#include "NetworkLine.h"

#include <QHostAddress>
#include <QRegularExpression>

namespace kx9 {

namespace {

const QString RtuScheme = QStringLiteral("tcp://");
const QString GatewayScheme = QStringLiteral("modbus-tcp://");

} // namespace

QString NetworkLine::HostPort() const {
    const QString h = host.contains(QLatin1Char(':')) ? QLatin1Char('[') + host + QLatin1Char(']') : host;
    return h + QLatin1Char(':') + QString::number(port);
}

QString NetworkLine::Text() const {
    return (kind == Kind::ModbusTcp ? GatewayScheme : RtuScheme) + HostPort();
}

QString NetworkLine::KindText() const {
    return kind == Kind::ModbusTcp ? QStringLiteral("bramka Modbus TCP") : QStringLiteral("RTU przez TCP");
}

bool LooksLikeNetworkLine(const QString& text) {
    const QString t = text.trimmed().toLower();
    return t.startsWith(QStringLiteral("tcp:")) || t.startsWith(QStringLiteral("modbus-tcp:"));
}

std::optional<NetworkLine> ParseNetworkLine(const QString& text) {
    // A host name, an IPv4 address or an IPv6 address in brackets; then the port.
    static const QRegularExpression form(
        QStringLiteral("^(tcp|modbus-tcp)://(\\[([0-9A-Fa-f:.]+)\\]|([A-Za-z0-9._-]+)):([0-9]{1,5})$"));
    const QRegularExpressionMatch m = form.match(text.trimmed());
    if (!m.hasMatch())
        return std::nullopt;
    NetworkLine line;
    line.kind = m.captured(1) == QStringLiteral("modbus-tcp") ? NetworkLine::Kind::ModbusTcp
                                                              : NetworkLine::Kind::RtuOverTcp;
    line.host = m.captured(3).isEmpty() ? m.captured(4) : m.captured(3);
    if (!m.captured(3).isEmpty() && QHostAddress(line.host).protocol() != QAbstractSocket::IPv6Protocol)
        return std::nullopt;
    const int port = m.captured(5).toInt();
    if (port < 1 || port > 65535 || line.host.startsWith(QLatin1Char('-')) ||
        line.host.startsWith(QLatin1Char('.')))
        return std::nullopt;
    line.port = uint16_t(port);
    return line;
}

QString NetworkLineProblem(const QString& text) {
    if (ParseNetworkLine(text))
        return {};
    return QStringLiteral("Nieprawidłowa linia sieciowa: %1\nWpisz tcp://ADRES:PORT (RTU przez TCP) albo "
                          "modbus-tcp://ADRES:PORT (bramka Modbus TCP), port 1..65535.")
        .arg(text.trimmed());
}

} // namespace kx9
