// The program file's icon: ten images in the sizes and depths asked for,
// each a well-formed icon image that an independent reader decodes.

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QtEndian>
#include <gtest/gtest.h>

#include "app/icon_file.h"

namespace {

struct DirEntry {
    int width, height, bits;
    quint32 bytes, offset;
};

quint16 u16at(const QByteArray& b, int at) { return qFromLittleEndian<quint16>(b.constData() + at); }
quint32 u32at(const QByteArray& b, int at) { return qFromLittleEndian<quint32>(b.constData() + at); }

std::vector<DirEntry> directoryOf(const QByteArray& ico)
{
    std::vector<DirEntry> out;
    if (ico.size() < 6 || u16at(ico, 0) != 0 || u16at(ico, 2) != 1)
        return out;
    const int n = u16at(ico, 4);
    for (int i = 0; i < n && 6 + 16 * (i + 1) <= ico.size(); ++i) {
        const int at = 6 + 16 * i;
        const auto side = [](char c) { return c == 0 ? 256 : int(quint8(c)); };
        out.push_back({side(ico[at]), side(ico[at + 1]), u16at(ico, at + 6), u32at(ico, at + 8), u32at(ico, at + 12)});
    }
    return out;
}

void checkIcon(const QByteArray& ico)
{
    const auto entries = directoryOf(ico);
    ASSERT_EQ(entries.size(), 10u);
    const std::vector<std::pair<int, int>> expected = {{16, 8},  {24, 8},  {32, 8},  {48, 8},   {16, 32},
                                                       {24, 32}, {32, 32}, {48, 32}, {128, 32}, {256, 32}};
    quint32 end = 6 + 16 * 10;
    for (size_t i = 0; i < entries.size(); ++i) {
        SCOPED_TRACE(i);
        const auto& e = entries[i];
        EXPECT_EQ(e.width, expected[i].first);
        EXPECT_EQ(e.height, expected[i].first);
        EXPECT_EQ(e.bits, expected[i].second);
        EXPECT_EQ(e.offset, end);  // images follow one another without gaps
        ASSERT_LE(qint64(e.offset) + e.bytes, ico.size());
        end = e.offset + e.bytes;
        const QByteArray image = ico.mid(int(e.offset), int(e.bytes));
        if (e.width == 256) {
            EXPECT_TRUE(image.startsWith("\x89PNG\r\n\x1a\n"));
            EXPECT_EQ(QImage::fromData(image, "PNG").size(), QSize(256, 256));
            continue;
        }
        ASSERT_GE(image.size(), 40);
        EXPECT_EQ(u32at(image, 0), 40u);
        EXPECT_EQ(int(u32at(image, 4)), e.width);
        EXPECT_EQ(int(u32at(image, 8)), 2 * e.height);
        EXPECT_EQ(u16at(image, 14), e.bits);
        const int colourRow = ((e.width * e.bits + 31) / 32) * 4;
        const int maskRow = ((e.width + 31) / 32) * 4;
        const int palette = e.bits == 8 ? 256 * 4 : 0;
        EXPECT_EQ(image.size(), 40 + palette + (colourRow + maskRow) * e.height);
    }
    EXPECT_EQ(end, quint32(ico.size()));
}

}  // namespace

TEST(IconFile, TheShippedFileHoldsTenImagesInTheGivenSizesAndDepths)
{
    QFile f(QStringLiteral(QUILLMERE_ICON_FILE));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    checkIcon(f.readAll());
}

TEST(IconFile, IsWrittenWithTheSameLayout)
{
    checkIcon(quillmere::IconFileBytes());
}

TEST(IconFile, QtsOwnIconReaderDecodesEveryImage)
{
    if (!QImageReader::supportedImageFormats().contains("ico"))
        GTEST_SKIP() << "this Qt has no .ico reader plugin";
    QByteArray bytes = quillmere::IconFileBytes();
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "ico");
    ASSERT_EQ(reader.imageCount(), 10);
    QList<int> sides;
    for (int i = 0; i < 10; ++i) {
        ASSERT_TRUE(reader.jumpToImage(i));
        const QImage image = reader.read();
        ASSERT_FALSE(image.isNull()) << i;
        sides << image.width();
        // The middle of the emblem is opaque, a corner is not.
        EXPECT_GE(qAlpha(image.pixel(image.width() / 2, image.height() / 2)), 128) << i;
        EXPECT_LT(qAlpha(image.pixel(0, 0)), 128) << i;
    }
    EXPECT_EQ(sides, (QList<int>{16, 24, 32, 48, 16, 24, 32, 48, 128, 256}));
}
