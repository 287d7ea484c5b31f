// SPDX-License-Identifier: MIT
#pragma once

#include "Session.h"

#include <QJsonObject>
#include <QString>

namespace kx9::cli {

// What a command ends with: its exit code, its text for stdout and its JSON result. Failures
// have gone to stderr on the way.
struct Outcome {
    int code = Done;
    QString text;
    QJsonObject json;
};

// Runs the command of `session.options`.
Outcome Execute(Session& session);

// The identification reply in the link's buffer is a KX9 board's.
bool Kx9Answered(const ModbusLink& link);

// Texts of a configuration file that cannot be loaded, as the program shows them.
QString BadFileText(const QString& path);

} // namespace kx9::cli
