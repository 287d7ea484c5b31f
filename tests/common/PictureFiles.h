// SPDX-License-Identifier: MIT
#pragma once

#include <QColor>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QTemporaryDir>
#include <vector>

namespace kx9::test {

// Picture files a test writes into a folder of its own.
struct PictureFolder {
    QTemporaryDir dir;

    // Through the image writers; the quality keeps JPEG colours close.
    QString Write(const QImage& picture, const QString& name) {
        QImageWriter writer(dir.filePath(name));
        writer.setQuality(100);
        return writer.write(picture) ? writer.fileName() : QString();
    }
    QString WriteBytes(const QString& name, const QByteArray& bytes) {
        QFile file(dir.filePath(name));
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() ? file.fileName()
                                                                                    : QString();
    }
};

// Square blocks of the colours side by side, alpha kept.
inline QImage Blocks(const std::vector<QColor>& colours, int block = 8) {
    QImage picture(block * int(colours.size()), block, QImage::Format_ARGB32);
    for (size_t i = 0; i < colours.size(); ++i)
        for (int y = 0; y < block; ++y)
            for (int x = 0; x < block; ++x)
                picture.setPixelColor(block * int(i) + x, y, colours[i]);
    return picture;
}

} // namespace kx9::test
