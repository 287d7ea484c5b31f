// SPDX-License-Identifier: MIT
// Picture loading and the dot-matrix conversion for any bytes and any board geometry: the first
// four bytes are the geometry registers 4013 and 4014, the rest a picture file. Whatever loads
// stays within the picture reader's memory limit and converts into exactly the page's dots.
#include "ops/DotMatrix.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QImageReader>
#include <cstdlib>

using namespace kx9;
using namespace kx9::dots;

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    // Vector pictures may hold text, which needs fonts, which need the GUI application.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4)
        return 0;
    const int sizeCode = data[0] | (data[1] << 8);
    const int lineCode = data[2] | (data[3] << 8);
    QByteArray bytes(reinterpret_cast<const char*>(data + 4), int(size - 4));
    QBuffer file(&bytes);
    file.open(QIODevice::ReadOnly);

    const QSize page = GraphicSize(sizeCode, lineCode);
    const QImage picture = LoadPicture(&file, page);
    if (!picture.isNull()) {
        if (picture.format() != QImage::Format_ARGB32_Premultiplied)
            std::abort();
        // What is read stays within the reader's limit, in the form it is kept in.
        const qint64 limit = qint64(QImageReader::allocationLimit()) * 1024 * 1024;
        if (limit > 0 && picture.sizeInBytes() > limit)
            std::abort();
    }

    const QImage bitmap = DrawToBoard(picture, page);
    const int rows = RowsThatFit(page);
    if (rows <= 0) {
        if (!bitmap.isNull())
            std::abort();
    } else if (bitmap.width() != page.width() || bitmap.height() != rows || bitmap.depth() != 8 ||
               rows > page.height() || UsedBytes(page) > MatrixBytes) {
        std::abort();
    }

    Matrix matrix;
    matrix.fill(0xA5); // whatever PackDots does not set must come out 0
    PackDots(bitmap, matrix);
    const int used = UsedBytes(page);
    for (int b = std::max(used, 0); b < MatrixBytes; ++b)
        if (matrix[size_t(b)] != 0)
            std::abort();
    // Each dot lit exactly where the bitmap has a colour other than black.
    for (int y = 0; y < bitmap.height(); ++y) {
        const uchar* line = bitmap.constScanLine(y);
        for (int x = 0; x < bitmap.width(); ++x) {
            const bool lit = matrix[size_t(bitmap.width() * (y / 8) + x)] & (0x80 >> (y % 8));
            if (lit != (line[x] != 0))
                std::abort();
        }
    }

    Buffer buffer;
    buffer.fill(-1);
    PackWords(matrix, buffer);
    if (buffer[0] != -1)
        std::abort();
    for (int j = 1; j < BufferWords; ++j)
        if (buffer[size_t(j)] != 256 * matrix[size_t(2 * j - 2)] + matrix[size_t(2 * j - 1)])
            std::abort();
    return 0;
}
