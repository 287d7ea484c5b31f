// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QChar>
#include <QString>
#include <optional>

// Windows-1250, the character set of text pages and page names.
namespace kx9::cp1250 {

QString ToUnicode(const QByteArray& bytes);
// Nothing when any character has no Windows-1250 byte.
std::optional<QByteArray> FromUnicode(const QString& text);
bool CanEncode(QChar c);

} // namespace kx9::cp1250
