#include "app/icon_file.h"

#include <QBuffer>
#include <QImage>
#include <QtEndian>
#include <vector>

#include "app/artwork.h"

namespace quillmere {

namespace {

struct Entry {
    int size;
    int bits;  // 8, 32, or 0 for PNG
    QByteArray data;
};

void put16(QByteArray& out, quint16 v)
{
    const quint16 le = qToLittleEndian(v);
    out.append(reinterpret_cast<const char*>(&le), 2);
}

void put32(QByteArray& out, quint32 v)
{
    const quint32 le = qToLittleEndian(v);
    out.append(reinterpret_cast<const char*>(&le), 4);
}

int rowBytes(int pixels, int bits) { return ((pixels * bits + 31) / 32) * 4; }

// The bitmap header of an icon image: its height counts the colour rows
// and the transparency mask rows together.
void putHeader(QByteArray& out, int size, int bits, int colours)
{
    put32(out, 40);
    put32(out, quint32(size));
    put32(out, quint32(size * 2));
    put16(out, 1);
    put16(out, quint16(bits));
    put32(out, 0);  // uncompressed
    put32(out, quint32((rowBytes(size, bits) + rowBytes(size, 1)) * size));
    put32(out, 0);
    put32(out, 0);
    put32(out, quint32(colours));
    put32(out, 0);
}

// One bit per pixel, bottom row first: 1 where the icon is transparent.
void putMask(QByteArray& out, const QImage& argb)
{
    const int size = argb.width();
    for (int y = size - 1; y >= 0; --y) {
        QByteArray row(rowBytes(size, 1), '\0');
        for (int x = 0; x < size; ++x)
            if (qAlpha(argb.pixel(x, y)) < 128)
                row[x / 8] = char(row[x / 8] | (0x80 >> (x % 8)));
        out.append(row);
    }
}

QByteArray trueColourImage(const QImage& argb)
{
    const int size = argb.width();
    QByteArray out;
    putHeader(out, size, 32, 0);
    for (int y = size - 1; y >= 0; --y) {
        for (int x = 0; x < size; ++x) {
            const QRgb p = argb.pixel(x, y);
            out.append(char(qBlue(p))).append(char(qGreen(p))).append(char(qRed(p))).append(char(qAlpha(p)));
        }
    }
    putMask(out, argb);
    return out;
}

QByteArray paletteImage(const QImage& argb)
{
    const int size = argb.width();
    // Transparent pixels go black under the mask; the rest lose their alpha.
    QImage opaque(size, size, QImage::Format_RGB32);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const QRgb p = argb.pixel(x, y);
            opaque.setPixel(x, y, qAlpha(p) < 128 ? qRgb(0, 0, 0) : qRgb(qRed(p), qGreen(p), qBlue(p)));
        }
    const QImage indexed = opaque.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither | Qt::AvoidDither);
    QByteArray out;
    putHeader(out, size, 8, 256);
    for (int i = 0; i < 256; ++i) {
        const QRgb c = i < indexed.colorCount() ? indexed.color(i) : qRgb(0, 0, 0);
        out.append(char(qBlue(c))).append(char(qGreen(c))).append(char(qRed(c))).append('\0');
    }
    for (int y = size - 1; y >= 0; --y) {
        QByteArray row(rowBytes(size, 8), '\0');
        for (int x = 0; x < size; ++x)
            row[x] = char(indexed.pixelIndex(x, y));
        out.append(row);
    }
    putMask(out, argb);
    return out;
}

QByteArray pngImage(const QImage& argb)
{
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    argb.save(&buffer, "PNG");
    return out;
}

}  // namespace

QByteArray IconFileBytes()
{
    std::vector<Entry> entries;
    for (int size : {16, 24, 32, 48})
        entries.push_back({size, 8, paletteImage(EmblemImage(size).convertToFormat(QImage::Format_ARGB32))});
    for (int size : {16, 24, 32, 48, 128})
        entries.push_back({size, 32, trueColourImage(EmblemImage(size).convertToFormat(QImage::Format_ARGB32))});
    entries.push_back({256, 0, pngImage(EmblemImage(256).convertToFormat(QImage::Format_ARGB32))});

    QByteArray out;
    put16(out, 0);
    put16(out, 1);  // an icon, not a cursor
    put16(out, quint16(entries.size()));
    quint32 offset = quint32(6 + 16 * entries.size());
    for (const auto& e : entries) {
        out.append(char(e.size >= 256 ? 0 : e.size));
        out.append(char(e.size >= 256 ? 0 : e.size));
        out.append('\0');  // 256 colours or more
        out.append('\0');
        put16(out, 1);
        put16(out, quint16(e.bits == 0 ? 32 : e.bits));
        put32(out, quint32(e.data.size()));
        put32(out, offset);
        offset += quint32(e.data.size());
    }
    for (const auto& e : entries)
        out.append(e.data);
    return out;
}

}  // namespace quillmere
