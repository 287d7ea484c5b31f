// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// Files that are read or written whole: only regular files, looked at before anything is
// opened, so that a named pipe, a device or a folder never blocks a read or gets replaced.
namespace kx9 {

enum class FileProblem {
    None,
    Missing,    // nothing by that name (a link that points nowhere included)
    NotRegular, // a folder, a named pipe, a device or a socket
    TooLarge,   // more bytes than the reader takes
    Unreadable, // there, but it cannot be opened or read
};

// Small settings files of the program and kx9ctl (porty.ini, grafika.ini) are never larger.
constexpr qint64 MaxSettingsFileBytes = 1024 * 1024;

// The reason in Polish, lower case, as it follows a file's name: "to nie jest zwykły plik ...".
QString FileProblemText(FileProblem problem);

// What stands in the way of reading `path` whole when it may hold at most `maxBytes`.
FileProblem CheckInputFile(const QString& path, qint64 maxBytes);

// The bytes of `path` when it is a regular file of at most `maxBytes`; `problem` (may be null)
// says why not. Never opens anything but a regular file, and never reads past `maxBytes` + 1
// even when the file grows meanwhile.
std::optional<QByteArray> ReadRegularFile(const QString& path, qint64 maxBytes,
                                          FileProblem* problem = nullptr);

// What stands in the way of (re)placing `path` by a new file: it must be a regular file or not
// there at all, in a folder that exists. Missing means the folder is missing here.
FileProblem CheckOutputFile(const QString& path);

// Why a file of `bytes` bytes cannot be written beside `path` now, in the system's words
// ("Permission denied", "No space left on device"); empty when it can. Writes and removes a
// scratch file in the target's folder, so a full or read-only disk shows before any work.
QString FolderWriteProblem(const QString& path, qint64 bytes);

} // namespace kx9
