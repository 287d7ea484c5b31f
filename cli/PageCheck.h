// SPDX-License-Identifier: MIT
#pragma once

#include "Outcome.h"

#include <QStringList>

namespace kx9::cli {

// Page `page` as the board holds it against `wanted` (laid out for the board's geometry, which
// is in the session's image): the page is selected and its window read back, nothing else is
// written. Exit 1 when the text differs; a blank and an empty place count alike.
Outcome CheckPage(Session& s, int page, const ConfigImage::Page& wanted, const QStringList& lines);

} // namespace kx9::cli
