// SPDX-License-Identifier: MIT
#include "DotMatrix.h"

#include "config/PageLayout.h"
#include "config/RegularFile.h"

#include <QImageReader>
#include <QList>
#include <algorithm>
#include <cmath>
#include <cstring>

namespace kx9::dots {

namespace {

// Extensions and reader format names of the pictures that load; anything else a reader could
// take (TIFF, WebP ...) is refused, so that what the dialog offers is exactly what loads.
const QList<QByteArray>& PictureFormats() {
    static const QList<QByteArray> formats{"bmp", "ico", "png", "jpg", "jpeg", "gif", "svg", "svgz"};
    return formats;
}

bool IsVector(const QByteArray& format) {
    return format == "svg" || format == "svgz";
}

// Nearest of the six levels 0, 51 ... 255: 0..25 go to 0, so only near-black stays dark.
constexpr int CubeLevel(int channel) {
    return (channel + 25) / 51;
}

inline uchar CubeIndex(QRgb rgb) {
    return uchar(CubeLevel(qRed(rgb)) * 36 + CubeLevel(qGreen(rgb)) * 6 + CubeLevel(qBlue(rgb)));
}

const QList<QRgb>& CubeTable() {
    static const QList<QRgb> table = [] {
        QList<QRgb> colours;
        for (int r = 0; r < 6; ++r)
            for (int g = 0; g < 6; ++g)
                for (int b = 0; b < 6; ++b)
                    colours.push_back(qRgb(r * 51, g * 51, b * 51));
        return colours;
    }();
    return table;
}

// Centre of destination pixel `i` of `to`, mapped into `from` source pixels.
inline int Nearest(int i, int from, int to) {
    return int((int64_t(2 * i + 1) * from) / (int64_t(2) * to));
}

} // namespace

QSize GraphicSize(int boardSizeCode, int lineLengthCode) {
    return QSize(layout::GraphicWidth(lineLengthCode), 8 * layout::Rows(boardSizeCode));
}

int RowsThatFit(QSize size) {
    if (size.width() <= 0 || size.height() <= 0)
        return 0;
    return std::min(size.height(), 8 * (MatrixBytes / size.width()));
}

int UsedBytes(QSize size) {
    return size.width() * RowsThatFit(size) / 8;
}

QStringList PictureFilePatterns() {
    const QList<QByteArray> installed = QImageReader::supportedImageFormats();
    QStringList patterns;
    for (const QByteArray& format : PictureFormats())
        if (installed.contains(format))
            patterns << QStringLiteral("*.") + QString::fromLatin1(format);
    return patterns;
}

QSize WithinReaderLimit(QSize size) {
    const int limitMb = QImageReader::allocationLimit();
    if (!size.isValid() || limitMb <= 0)
        return size;
    // Four bytes a pixel once read, with some room for the reader's own rounding.
    const double limit = double(limitMb) * 1024 * 1024 * 0.9;
    const double bytes = double(size.width()) * size.height() * 4;
    if (bytes <= limit)
        return size;
    const double scale = std::sqrt(limit / bytes);
    return QSize(std::max(1, int(size.width() * scale)), std::max(1, int(size.height() * scale)));
}

namespace {

// A PNG whose chunks claim more bytes than the file holds is broken, and the PNG library would
// first take all the memory a chunk claims: gigabytes, from a file of a few hundred bytes.
bool PngChunksFit(QIODevice* device) {
    static const QByteArray signature("\x89PNG\r\n\x1a\n", 8);
    if (!device || device->isSequential() || device->peek(8) != signature)
        return true;
    const qint64 start = device->pos();
    const qint64 end = device->size();
    bool fits = true;
    for (qint64 at = start + 8; at + 8 <= end;) {
        uchar head[8];
        if (!device->seek(at) || device->read(reinterpret_cast<char*>(head), 8) != 8)
            break;
        const qint64 length = qint64(head[0]) << 24 | head[1] << 16 | head[2] << 8 | head[3];
        // Length, type and CRC around the data.
        if (length > end - at - 12) {
            fits = false;
            break;
        }
        if (std::memcmp(head + 4, "IEND", 4) == 0)
            break;
        at += 12 + length;
    }
    device->seek(start);
    return fits;
}

QImage Read(QImageReader& reader, QSize drawSize) {
    const QByteArray format = reader.format().toLower();
    if (!PictureFormats().contains(format) || (format == "png" && !PngChunksFit(reader.device())))
        return QImage();
    // A vector picture is drawn at the board's size rather than sampled; only for a page that
    // fits, so that a corrupt geometry cannot ask for a huge rendering.
    if (IsVector(format) && !drawSize.isEmpty() && RowsThatFit(drawSize) == drawSize.height())
        reader.setScaledSize(drawSize);
    else if (const QSize scaled = WithinReaderLimit(reader.size()); scaled != reader.size())
        reader.setScaledSize(scaled); // a camera's picture is read smaller rather than refused
    const QImage picture = reader.read();
    return picture.isNull() ? picture : picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

} // namespace

QImage LoadPicture(const QString& fileName, QSize drawSize) {
    // The reader opens what it is given: a pipe would block it for ever.
    if (CheckInputFile(fileName, MaxPictureFileBytes) != FileProblem::None)
        return QImage();
    QImageReader reader(fileName);
    return Read(reader, drawSize);
}

QImage LoadPicture(QIODevice* device, QSize drawSize) {
    QImageReader reader(device);
    return Read(reader, drawSize);
}

QImage BlankBitmap(QSize size) {
    const int rows = RowsThatFit(size);
    if (rows <= 0)
        return QImage();
    QImage bitmap(size.width(), rows, QImage::Format_Indexed8);
    bitmap.setColorTable(CubeTable());
    bitmap.fill(0);
    return bitmap;
}

QImage DrawToBoard(const QImage& picture, QSize size) {
    QImage bitmap = BlankBitmap(size);
    if (picture.isNull() || bitmap.isNull())
        return bitmap;
    // Premultiplied channels are the picture laid over black: transparent comes out dark.
    const bool direct =
        picture.format() == QImage::Format_ARGB32_Premultiplied || picture.format() == QImage::Format_RGB32;
    const QImage source = direct ? picture : picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const int w = size.width();
    const int h = size.height();
    for (int y = 0; y < bitmap.height(); ++y) {
        const auto* in = reinterpret_cast<const QRgb*>(source.constScanLine(Nearest(y, source.height(), h)));
        uchar* out = bitmap.scanLine(y);
        for (int x = 0; x < w; ++x)
            out[x] = CubeIndex(in[Nearest(x, source.width(), w)]);
    }
    return bitmap;
}

void PackDots(const QImage& bitmap, Matrix& matrix) {
    matrix.fill(0);
    if (bitmap.isNull() || bitmap.depth() != 8)
        return;
    const int w = bitmap.width();
    const int rows = std::min(bitmap.height(), RowsThatFit(bitmap.size()));
    for (int y = 0; y < rows; ++y) {
        const uchar* line = bitmap.constScanLine(y);
        uint8_t* band = matrix.data() + w * (y / 8);
        const uint8_t bit = uint8_t(0x80 >> (y % 8));
        for (int x = 0; x < w; ++x)
            if (line[x] != 0)
                band[x] |= bit;
    }
}

void PackWords(const Matrix& matrix, Buffer& buffer) {
    for (int j = 1; j < BufferWords; ++j)
        buffer[size_t(j)] = 256 * matrix[size_t(2 * j - 2)] + matrix[size_t(2 * j - 1)];
}

} // namespace kx9::dots
