// SPDX-License-Identifier: MIT
#pragma once

#include <QIODevice>
#include <QImage>
#include <QSize>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>

// Graphic pages: pictures drawn at the board's resolution and packed into its dot matrix.
// Pure functions, no widgets, so that headless programs convert pictures as the window does.
namespace kx9::dots {

constexpr int FirstGraphicPage = 115;
constexpr int GraphicSlots = 10;
constexpr int MatrixBytes = 1200;
// Register 0 names the slot, registers 1..600 carry the matrix, two bytes each.
constexpr int BufferWords = 1 + MatrixBytes / 2;

using Matrix = std::array<uint8_t, MatrixBytes>;
using Buffer = std::array<int32_t, BufferWords>;

// W x H dots of a graphic page: a page line wide and the board's rows high.
QSize GraphicSize(int boardSizeCode, int lineLengthCode);
// The rows of `size` whose bands lie wholly inside the matrix (all of them for a page that fits).
int RowsThatFit(QSize size);
// Matrix bytes a page of `size` fills.
int UsedBytes(QSize size);

// File patterns of the picture formats that load here ("*.bmp" ...): BMP, ICO, PNG, JPEG, GIF
// and SVG, as far as the installed image readers take them.
QStringList PictureFilePatterns();
// The size a picture is read at so that it stays within the picture reader's memory limit.
QSize WithinReaderLimit(QSize size);
// No picture file a board could use is larger; the reader's own memory limit is as large.
constexpr qint64 MaxPictureFileBytes = 256 * 1024 * 1024;
// The picture in a file (premultiplied ARGB); a null image when the file is not a picture of
// those formats, or no regular file of at most MaxPictureFileBytes (a pipe is never opened). A vector picture
// is rendered at `drawSize` when given and the page fits; a picture beyond the reader's memory limit is read
// smaller.
QImage LoadPicture(const QString& fileName, QSize drawSize = QSize());
// The same for the bytes of a picture, told by their contents alone.
QImage LoadPicture(QIODevice* device, QSize drawSize = QSize());

// A bitmap of `size` with every dot dark, cut to the rows that fit.
QImage BlankBitmap(QSize size);
// `picture` drawn at exactly `size` by nearest-pixel sampling (no smoothing, aspect not kept),
// each colour reduced to the nearest of a 6x6x6 colour cube whose entry 0 is black; only the
// rows that fit are drawn. A null picture gives a blank bitmap.
QImage DrawToBoard(const QImage& picture, QSize size);
// The dots of a bitmap made by DrawToBoard: any entry but 0 is lit. Column x of band b is byte
// W * b + x, its bit 7 the band's top row. Bytes the bitmap does not reach stay 0.
void PackDots(const QImage& bitmap, Matrix& matrix);
// Words 1..600 of `buffer` from the matrix, first byte high; word 0 is left alone.
void PackWords(const Matrix& matrix, Buffer& buffer);

} // namespace kx9::dots
