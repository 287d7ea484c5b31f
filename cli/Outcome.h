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

} // namespace kx9::cli
