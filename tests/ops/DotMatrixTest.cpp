// SPDX-License-Identifier: MIT
#include "ops/DotMatrix.h"
#include "common/PictureFiles.h"

#include <QBuffer>
#include <gtest/gtest.h>

namespace kx9 {
namespace {

using namespace dots;

Matrix Pack(const QImage& bitmap) {
    Matrix m;
    m.fill(0xAA); // packing must clear what was there
    PackDots(bitmap, m);
    return m;
}

// One lit dot lands on one bit.
struct DotRow {
    int w, h, x, y, byte, bit;
};
class DotPlacement : public ::testing::TestWithParam<DotRow> {};

TEST_P(DotPlacement, SetsOneBit) {
    const DotRow& r = GetParam();
    QImage bitmap = BlankBitmap(QSize(r.w, r.h));
    bitmap.setPixel(r.x, r.y, 1);
    Matrix expected{};
    expected[size_t(r.byte)] = uint8_t(1 << r.bit);
    EXPECT_EQ(Pack(bitmap), expected);
}

INSTANTIATE_TEST_SUITE_P(Rows, DotPlacement,
                         ::testing::Values(DotRow{120, 40, 0, 0, 0, 7}, DotRow{120, 40, 0, 7, 0, 0},
                                           DotRow{120, 40, 0, 8, 120, 7}, DotRow{120, 40, 1, 0, 1, 7},
                                           DotRow{120, 40, 119, 39, 599, 0}, DotRow{240, 40, 5, 10, 245, 5},
                                           DotRow{240, 40, 239, 39, 1199, 0}));

TEST(DotMatrix, WordsPairBytesHighFirstAndLeaveWordZero) {
    Matrix m{};
    m[0] = 0x12, m[1] = 0x34, m[2] = 0xAB, m[3] = 0xCD, m[1198] = 1, m[1199] = 2;
    Buffer b{};
    b[0] = 7;
    PackWords(m, b);
    EXPECT_EQ((std::vector<int>{b[0], b[1], b[2], b[3], b[600]}),
              (std::vector<int>{7, 0x1234, 0xABCD, 0, 0x0102}));
}

// Geometry registers to page size, and what of it the matrix holds.
struct SizeRow {
    int boardSize, lineLength, w, h, rows, bytes;
};
class PageSize : public ::testing::TestWithParam<SizeRow> {};

TEST_P(PageSize, FillsOnlyTheRowsThatFit) {
    const SizeRow& r = GetParam();
    const QSize size = GraphicSize(r.boardSize, r.lineLength);
    EXPECT_EQ(size, QSize(r.w, r.h));
    EXPECT_EQ(RowsThatFit(size), r.rows);
    // An all-white picture lights exactly the bytes the page uses, never past the matrix.
    QImage white(7, 3, QImage::Format_RGB32);
    white.fill(Qt::white);
    const Matrix m = Pack(DrawToBoard(white, size));
    for (int i = 0; i < MatrixBytes; ++i)
        ASSERT_EQ(m[size_t(i)], i < r.bytes ? 0xFF : 0) << "byte " << i;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, PageSize,
    ::testing::Values(SizeRow{414, 14, 120, 40, 40, 600}, SizeRow{111, 11, 96, 16, 16, 192},
                      SizeRow{414, 29, 240, 40, 40, 1200}, SizeRow{414, 149, 1200, 40, 8, 1200},
                      SizeRow{414, 124, 1000, 40, 8, 1000}, SizeRow{0, 299, 2400, 8, 0, 0}));

// Colours as the board shows them, from real picture files; JPEG only where its loss cannot matter.
struct ColourRow {
    QColor colour;
    bool lit;
    bool lossy; // also written as JPEG
};
const std::vector<ColourRow> Colours{
    {Qt::white, true, true},
    {Qt::red, true, true},
    {QColor(0, 0, 255), true, true},
    {QColor(128, 128, 128), true, true},
    {Qt::black, false, true},
    {QColor(8, 8, 8), false, true},
    {QColor(25, 25, 25), false, false},
    {QColor(26, 0, 0), true, false},
    {QColor(0, 0, 26), true, false},
    {QColor(255, 255, 255, 0), false, false}, // transparent white is dark
};
class PictureColours : public ::testing::TestWithParam<const char*> {};

TEST_P(PictureColours, OnlyBlackAndNearBlackStayDark) {
    const QString suffix = QString::fromLatin1(GetParam());
    const bool lossy = suffix == "jpg";
    std::vector<QColor> colours;
    std::vector<bool> lit;
    for (const ColourRow& r : Colours)
        if ((!lossy || r.lossy) && (suffix == "png" || r.colour.alpha() == 255)) {
            colours.push_back(r.colour);
            lit.push_back(r.lit);
        }
    test::PictureFolder folder;
    const QString file = folder.Write(test::Blocks(colours, 16), "colours." + suffix);
    const QImage bitmap = DrawToBoard(LoadPicture(file), QSize(int(colours.size()), 1));
    ASSERT_FALSE(bitmap.isNull()) << file.toStdString();
    for (size_t i = 0; i < colours.size(); ++i)
        EXPECT_EQ(bitmap.pixelIndex(int(i), 0) != 0, lit[i])
            << colours[i].name(QColor::HexArgb).toStdString();
}

INSTANTIATE_TEST_SUITE_P(Formats, PictureColours, ::testing::Values("bmp", "png", "jpg"));

TEST(DotMatrix, LoadsExactlyTheOfferedFormats) {
    const QStringList offered = PictureFilePatterns();
    EXPECT_EQ(offered,
              (QStringList{"*.bmp", "*.ico", "*.png", "*.jpg", "*.jpeg", "*.gif", "*.svg", "*.svgz"}));
    test::PictureFolder folder;
    const QImage dot = test::Blocks({Qt::white}, 16);
    const QString svg =
        folder.WriteBytes("a.svg", R"(<svg xmlns="http://www.w3.org/2000/svg" width="50" height="10">
        <rect width="50" height="10" fill="white"/></svg>)");
    const QString gif = folder.WriteBytes(
        "a.gif", QByteArray::fromBase64("R0lGODlhAQABAIAAAP///wAAACH5BAEAAAAALAAAAAABAAEAAAICRAEAOw=="));
    for (const QString& file : {folder.Write(dot, "a.ico"), folder.Write(dot, "a.jpeg"), gif, svg})
        EXPECT_FALSE(LoadPicture(file).isNull()) << file.toStdString();
    // A vector picture is drawn at the page size, not sampled.
    EXPECT_EQ(LoadPicture(svg, QSize(120, 40)).size(), QSize(120, 40));
    const QString notAPicture = folder.WriteBytes("b.png", "no picture");
    for (const QString& file : {folder.Write(dot, "a.tif"), notAPicture, folder.dir.filePath("missing.bmp")})
        EXPECT_TRUE(LoadPicture(file).isNull()) << file.toStdString();
}

// A PNG whose chunk claims more bytes than the file holds is refused before the PNG library
// takes the memory it claims; a sound one loads, from a file or from bytes alike.
TEST(DotMatrix, APngWhoseChunkClaimsMoreThanTheFileIsRefused) {
    QByteArray png;
    {
        QBuffer out(&png);
        out.open(QIODevice::WriteOnly);
        QImage picture = test::Blocks({Qt::white, Qt::black}, 8);
        picture.setText("Opis", "kropki"); // a text chunk to spoil
        ASSERT_TRUE(picture.save(&out, "PNG"));
    }
    const int text = png.indexOf("tEXt");
    ASSERT_GT(text, 4);
    QByteArray spoiled = png;
    spoiled.replace(text - 4, 4, QByteArray("\x7f\xff\xff\xf0", 4)); // about 2 GB

    test::PictureFolder folder;
    const QString file = folder.WriteBytes("dobre.png", png);
    EXPECT_EQ(LoadPicture(file).size(), QSize(16, 8));
    QBuffer bytes(&png);
    bytes.open(QIODevice::ReadOnly);
    EXPECT_EQ(LoadPicture(&bytes), LoadPicture(file));

    EXPECT_TRUE(LoadPicture(folder.WriteBytes("zepsute.png", spoiled)).isNull());
    QBuffer spoiledBytes(&spoiled);
    spoiledBytes.open(QIODevice::ReadOnly);
    EXPECT_TRUE(LoadPicture(&spoiledBytes).isNull());
}

} // namespace
} // namespace kx9
