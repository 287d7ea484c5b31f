// SPDX-License-Identifier: MIT
#include "PortMap.h"

#include "NetworkLine.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSerialPortInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>

#include <algorithm>

namespace kx9 {

namespace {

const QString Group = QStringLiteral("Porty/");

int ComNumber(const QString& name) {
    static const QRegularExpression com(QStringLiteral("^COM([1-9][0-9]*)$"));
    const QRegularExpressionMatch match = com.match(name);
    return match.hasMatch() ? match.captured(1).toInt() : 0;
}

QString Canonical(const QString& path) {
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? path : canonical;
}

// "COM12" for "\\.\COM12", "//./com12" or "com12": the name Windows knows a port by.
QString WindowsName(const QString& device) {
    QString name = device;
    for (const char* prefix : {"\\\\.\\", "//./"})
        if (name.startsWith(QLatin1String(prefix)))
            name = name.mid(4);
    return ComNumber(name.toUpper()) > 0 ? name.toUpper() : name;
}

std::optional<SerialDevice> Listed(const QString& device, const std::vector<SerialDevice>& devices,
                                   bool windows) {
    const QString canonical = windows ? WindowsName(device) : Canonical(device);
    const auto it = std::find_if(devices.begin(), devices.end(), [&](const SerialDevice& d) {
        if (windows)
            return WindowsName(d.device) == canonical;
        return d.device == device || d.stableName == device || Canonical(d.device) == canonical;
    });
    if (it == devices.end())
        return std::nullopt;
    return *it;
}

// Where a name that is no COM name leads: a file of that name in the working folder (a link
// such as kx9-sim's, absolute from here on), else a by-id name or a device's name without its
// folder. `tried` gets the places looked at when none of them is there.
QString PathName(const QString& name, QStringList& tried) {
    if (name.isEmpty())
        return name;
    const QFileInfo local(name);
    if (local.isAbsolute() || name.startsWith(QLatin1String("\\\\.\\")))
        return name;
    // A link that points nowhere is that link: an unplugged adapter, never another device.
    if (local.exists() || local.isSymLink())
        return local.absoluteFilePath();
    tried << local.absoluteFilePath();
    if (name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')))
        return local.absoluteFilePath();
    for (const char* folder : {"/dev/serial/by-id/", "/dev/"}) {
        const QString path = QLatin1String(folder) + name;
        if (QFileInfo::exists(path)) {
            tried.clear();
            return path;
        }
        tried << path;
    }
    return tried.last();
}

} // namespace

PortMap::PortMap(QString file, DeviceLister lister) : m_file(std::move(file)), m_lister(std::move(lister)) {
    if (!m_lister)
        m_lister = &PortMap::SystemDevices;
}

QString PortMap::UserFile() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/kx9-konfigurator/porty.ini");
}

bool PortMap::WindowsPorts() {
#if defined(Q_OS_WIN)
    return true;
#else
    return false;
#endif
}

std::vector<SerialDevice> PortMap::SystemDevices() {
    QFileInfoList byId;
    if (!WindowsPorts())
        byId = QDir(QStringLiteral("/dev/serial/by-id"))
                   .entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    std::vector<SerialDevice> devices;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        // A Windows port by its name ("COM12"), the name that is mapped and shown.
        const QString device = WindowsPorts() ? info.portName() : info.systemLocation();
        SerialDevice d{device, {}, info.description(), info.manufacturer(), info.serialNumber()};
        const QString canonical = Canonical(d.device);
        for (const QFileInfo& link : byId)
            if (link.canonicalFilePath() == canonical) {
                d.stableName = link.absoluteFilePath();
                break;
            }
        devices.push_back(d);
    }
    return devices;
}

bool PortMap::Load() {
    m_mapping.clear();
    m_loadProblem = FileProblem::None;
    if (m_file.isEmpty())
        return true;
    // Looked at before QSettings, which opens whatever stands there and would block on a pipe.
    const FileProblem problem = CheckInputFile(m_file, MaxSettingsFileBytes);
    if (problem == FileProblem::Missing)
        return true;
    if (problem != FileProblem::None) {
        m_loadProblem = problem;
        return false;
    }
    const QSettings settings(m_file, QSettings::IniFormat);
    if (settings.status() != QSettings::NoError) {
        m_loadProblem = FileProblem::Unreadable;
        return false;
    }
    for (int k = 0; k < Names; ++k) {
        const QString device = settings.value(Group + Name(k)).toString().trimmed();
        if (!device.isEmpty())
            m_mapping[Name(k)] = device;
    }
    return true;
}

bool PortMap::Save() const {
    if (m_file.isEmpty() || !QDir().mkpath(QFileInfo(m_file).absolutePath()))
        return false;
    // QSettings reads the file before it writes it.
    if (CheckOutputFile(m_file) != FileProblem::None)
        return false;
    QSettings settings(m_file, QSettings::IniFormat);
    for (int k = 0; k < Names; ++k) {
        const QString device = Mapped(Name(k));
        if (device.isEmpty())
            settings.remove(Group + Name(k));
        else
            settings.setValue(Group + Name(k), device);
    }
    settings.sync();
    return settings.status() == QSettings::NoError;
}

QString PortMap::Mapped(const QString& name) const {
    const auto it = m_mapping.find(name);
    return it == m_mapping.end() ? QString() : it->second;
}

void PortMap::SetMapped(const QString& name, const QString& device) {
    if (device.trimmed().isEmpty())
        m_mapping.erase(name);
    else
        m_mapping[name] = device.trimmed();
}

std::vector<SerialDevice> PortMap::Devices() const {
    return m_lister();
}

PortRoute PortMap::Route(const QString& name) const {
    return Route(name, Devices());
}

PortRoute PortMap::Route(const QString& name, const std::vector<SerialDevice>& devices) const {
    PortRoute r;
    r.name = name;
    const int number = ComNumber(name);
    // A network line: named directly, or chosen for a COM name that no link in the working
    // folder takes.
    const QString mapped = number > 0 ? Mapped(name) : QString();
    const bool folderLink =
        number > 0 && !m_windows && (QFileInfo(name).exists() || QFileInfo(name).isSymLink());
    if (LooksLikeNetworkLine(name) || (!folderLink && LooksLikeNetworkLine(mapped))) {
        r.device = LooksLikeNetworkLine(name) ? name : mapped;
        r.via = LooksLikeNetworkLine(name) ? PortRoute::Via::Path : PortRoute::Via::User;
        r.network = true;
        r.present = ParseNetworkLine(r.device).has_value();
        return r;
    }
    if (m_windows) {
        // No folder rule: "COM1" is a reserved file name there. Qt opens a port by its name.
        r.device = WindowsName(mapped.isEmpty() ? name : mapped);
        r.via = !mapped.isEmpty() ? PortRoute::Via::User
                : number > 0      ? PortRoute::Via::Default
                                  : PortRoute::Via::Path;
        r.known = Listed(r.device, devices, true);
        r.present = r.known.has_value();
        return r;
    }
    const QFileInfo local(name);
    if (number == 0) {
        r.device = PathName(name, r.tried);
        r.via = PortRoute::Via::Path;
    } else if (local.exists() || local.isSymLink()) {
        r.device = local.absoluteFilePath();
        r.via = PortRoute::Via::Folder;
    } else if (!mapped.isEmpty()) {
        r.device = mapped;
        r.via = PortRoute::Via::User;
    } else {
        r.device = QStringLiteral("/dev/ttyS") + QString::number(number - 1);
    }
    // A link that points nowhere does not exist: that is an unplugged adapter.
    r.present = QFileInfo::exists(r.device);
    if (!r.present && r.via == PortRoute::Via::Default)
        r.tried = QStringList{local.absoluteFilePath(), r.device};
    if (r.present)
        r.known = Listed(r.device, devices, false);
    return r;
}

QString LoadProblemText(const PortMap& map) {
    return QStringLiteral("Pominięto plik przypisań portów do urządzeń: ") +
           QDir::toNativeSeparators(map.File()) + QStringLiteral(": ") + FileProblemText(map.LoadProblem());
}

QString DeviceText(const SerialDevice& device) {
    QStringList about;
    for (const QString& part : {device.description, device.serialNumber})
        if (!part.isEmpty())
            about << part;
    return about.isEmpty()
               ? device.device
               : device.device + QStringLiteral(" (") + about.join(QStringLiteral(", ")) + QLatin1Char(')');
}

QString RouteText(const PortRoute& route) {
    QString device = route.device;
    QStringList about;
    if (route.network) {
        const std::optional<NetworkLine> line = ParseNetworkLine(route.device);
        about << (line ? line->KindText() : QStringLiteral("nieprawidłowa linia sieciowa"));
    } else if (route.known) {
        device = route.known->device;
        for (const QString& part : {route.known->description, route.known->serialNumber})
            if (!part.isEmpty())
                about << part;
    } else if (route.via == PortRoute::Via::Folder && QFileInfo(route.device).isSymLink()) {
        device = QFileInfo(route.device).symLinkTarget();
    }
    if (route.via == PortRoute::Via::Folder)
        about << QStringLiteral("łącze w folderze roboczym");
    if (!route.present && !route.network)
        about << (route.via == PortRoute::Via::Default ? QStringLiteral("brak urządzenia")
                                                       : QStringLiteral("odłączone"));
    QString text = route.name + QStringLiteral(" → ") + device;
    if (!about.isEmpty())
        text += QStringLiteral(" (") + about.join(QStringLiteral(", ")) + QLatin1Char(')');
    return text;
}

} // namespace kx9
