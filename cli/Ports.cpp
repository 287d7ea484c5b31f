// SPDX-License-Identifier: MIT
#include "Ports.h"

#include <QJsonArray>

namespace kx9::cli {

namespace {

QString ViaName(PortRoute::Via via) {
    switch (via) {
    case PortRoute::Via::Folder:
        return QStringLiteral("folder");
    case PortRoute::Via::User:
        return QStringLiteral("user");
    case PortRoute::Via::Path:
        return QStringLiteral("path");
    case PortRoute::Via::Default:
        break;
    }
    return QStringLiteral("default");
}

QJsonObject DeviceJson(const SerialDevice& d) {
    return {{"device", d.device},
            {"stableName", d.stableName},
            {"description", d.description},
            {"manufacturer", d.manufacturer},
            {"serialNumber", d.serialNumber}};
}

} // namespace

Outcome ListPorts(const PortMap& map) {
    const std::vector<SerialDevice> devices = map.Devices();
    QString text;
    QJsonArray ports;
    for (int k = 0; k < PortMap::Names; ++k) {
        const PortRoute route = map.Route(PortMap::Name(k), devices);
        text += RouteText(route) + QLatin1Char('\n');
        QJsonObject port{{"name", route.name},
                         {"device", route.device},
                         {"via", ViaName(route.via)},
                         {"present", route.present},
                         {"mapped", map.Mapped(route.name)}};
        if (route.known)
            for (const char* key : {"description", "manufacturer", "serialNumber", "stableName"})
                port[QLatin1String(key)] = DeviceJson(*route.known).value(QLatin1String(key));
        ports.append(port);
    }
    QJsonArray list;
    text += QStringLiteral("\nUrządzenia szeregowe w systemie:%1\n")
                .arg(devices.empty() ? QStringLiteral(" brak") : QString());
    for (const SerialDevice& d : devices) {
        text += QStringLiteral("  ") + DeviceText(d);
        if (!d.manufacturer.isEmpty())
            text += QStringLiteral(", ") + d.manufacturer;
        if (!d.stableName.isEmpty())
            text += QStringLiteral(", ") + d.stableName;
        text += QLatin1Char('\n');
        list.append(DeviceJson(d));
    }
    text += QStringLiteral("Przypisania portów: %1\n").arg(map.File());
    return {Done, text, QJsonObject{{"ports", ports}, {"devices", list}, {"file", map.File()}}};
}

Outcome RunPorts(Session& s) {
    PortMap map(PortMap::UserFile());
    if (!map.Load())
        s.dialogs.Report(LoadProblemText(map));
    return ListPorts(map);
}

} // namespace kx9::cli
