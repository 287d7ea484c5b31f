// SPDX-License-Identifier: MIT
#pragma once

#include "config/ConfigImage.h"

#include <QJsonObject>
#include <QString>
#include <QStringList>

// Configuration images as text: a whole file, and what differs between two.
namespace kx9::cli {

struct Report {
    QString text;
    QJsonObject json;
    int differences = 0;
};

// Link settings, every register with its meaning and value, every page as its lines, with
// its name.
Report Dump(const ConfigImage& image, const QString& fileName);
// Every link setting, register, page and name that differs from `a` to `b`. A blank and an
// empty place (in pages and in the page window) count alike, as they show alike, unless
// `bytes`.
Report Diff(const ConfigImage& a, const ConfigImage& b, bool bytes = false);
// What the whole write of `file` puts into the board and `board` (as read back) does not hold.
Report Verify(const ConfigImage& file, const ConfigImage& board);

// The registers the whole write sends, except the clock, which it takes from the PC.
bool WrittenByWholeWrite(int reg);
// Lines of page `page` at the image's geometry, without the empty ones at the end.
QStringList PageLines(const ConfigImage& image, int page);
// Two pages hold the same text: a blank and an empty place count alike, as a page that has
// been to the board and back has blanks where it had nothing.
bool SameText(const ConfigImage::Page& a, const ConfigImage::Page& b);
// Two words of the page window hold characters that show the same.
bool SameWindowWord(int a, int b);

} // namespace kx9::cli
