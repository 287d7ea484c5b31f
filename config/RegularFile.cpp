// SPDX-License-Identifier: MIT
#include "RegularFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

namespace kx9 {

FileProblem CheckInputFile(const QString& path, qint64 maxBytes) {
    // QFileInfo follows links and only stats: it never opens, so it never blocks.
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists())
        return FileProblem::Missing;
    if (!info.isFile())
        return FileProblem::NotRegular;
    if (info.size() > maxBytes)
        return FileProblem::TooLarge;
    return FileProblem::None;
}

std::optional<QByteArray> ReadRegularFile(const QString& path, qint64 maxBytes, FileProblem* problem) {
    FileProblem why = CheckInputFile(path, maxBytes);
    QByteArray bytes;
    if (why == FileProblem::None) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            why = FileProblem::Unreadable;
        } else {
            bytes = file.read(maxBytes + 1);
            if (file.error() != QFileDevice::NoError)
                why = FileProblem::Unreadable;
            else if (bytes.size() > maxBytes)
                why = FileProblem::TooLarge;
        }
    }
    if (problem)
        *problem = why;
    if (why != FileProblem::None)
        return std::nullopt;
    return bytes;
}

FileProblem CheckOutputFile(const QString& path) {
    if (path.isEmpty())
        return FileProblem::Missing;
    const QFileInfo info(path);
    // A link that points nowhere would be replaced by the new file: it stands for something
    // (an unplugged adapter's COMn) and is left alone.
    if (info.isSymLink() && !info.exists())
        return FileProblem::NotRegular;
    if (info.exists())
        return info.isFile() ? FileProblem::None : FileProblem::NotRegular;
    return info.absoluteDir().exists() ? FileProblem::None : FileProblem::Missing;
}

QString FileProblemText(FileProblem problem) {
    switch (problem) {
    case FileProblem::None:
        break;
    case FileProblem::Missing:
        return QStringLiteral("nie ma takiego pliku");
    case FileProblem::NotRegular:
        return QStringLiteral("to nie jest zwykły plik (folder, potok lub urządzenie)");
    case FileProblem::TooLarge:
        return QStringLiteral("plik jest za duży");
    case FileProblem::Unreadable:
        return QStringLiteral("nie można odczytać pliku");
    }
    return {};
}

QString FolderWriteProblem(const QString& path, qint64 bytes) {
    QTemporaryFile scratch(QFileInfo(path).absoluteDir().filePath(QStringLiteral(".kx9-XXXXXX")));
    if (!scratch.open())
        return scratch.errorString();
    const QByteArray block(4096, '\0');
    for (qint64 left = bytes; left > 0; left -= block.size()) {
        if (scratch.write(block.constData(), qMin<qint64>(left, block.size())) < 0)
            return scratch.errorString();
        // A disk that fills up takes part of a block without a reason; the rest, tried again,
        // is refused with it.
        if (!scratch.flush() && !scratch.flush())
            return scratch.errorString();
    }
    return {};
}

} // namespace kx9
