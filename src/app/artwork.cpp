#include "app/artwork.h"

#include <QBitmap>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <array>

#include "app/fonts.h"

namespace quillmere {

namespace {

QFont pixelFont(int pixels, bool bold)
{
    QFont f = WindowFont(8.25, bold);
    f.setPixelSize(pixels);
    return f;
}

// The emblem in a square of side `s`: blue tile, white envelope, quill.
void paintEmblem(QPainter& p, const QRectF& r)
{
    const double s = r.width();
    p.save();
    p.translate(r.topLeft());
    p.setRenderHint(QPainter::Antialiasing);

    QLinearGradient tile(0, 0, 0, s);
    tile.setColorAt(0, QColor(64, 140, 230));
    tile.setColorAt(1, QColor(16, 72, 168));
    p.setPen(s >= 24 ? QPen(QColor(10, 40, 110), s / 32.0) : Qt::NoPen);
    p.setBrush(tile);
    p.drawRoundedRect(QRectF(s * 0.03, s * 0.03, s * 0.94, s * 0.94), s * 0.18, s * 0.18);

    const QRectF env(s * 0.14, s * 0.34, s * 0.62, s * 0.44);
    p.setPen(QPen(QColor(40, 60, 110), std::max(1.0, s / 40.0)));
    p.setBrush(Qt::white);
    p.drawRect(env);
    QPainterPath flap;
    flap.moveTo(env.topLeft());
    flap.lineTo(env.center().x(), env.top() + env.height() * 0.55);
    flap.lineTo(env.topRight());
    p.setBrush(Qt::NoBrush);
    p.drawPath(flap);

    // The quill: a feather leaning over the envelope's right corner.
    QPainterPath feather;
    feather.moveTo(s * 0.52, s * 0.80);
    feather.cubicTo(s * 0.58, s * 0.52, s * 0.72, s * 0.26, s * 0.90, s * 0.10);
    feather.cubicTo(s * 0.86, s * 0.36, s * 0.74, s * 0.60, s * 0.52, s * 0.80);
    p.setPen(QPen(QColor(150, 90, 10), std::max(1.0, s / 48.0)));
    p.setBrush(QColor(255, 196, 40));
    p.drawPath(feather);
    p.setPen(QPen(QColor(120, 70, 0), std::max(1.0, s / 40.0)));
    p.drawLine(QPointF(s * 0.50, s * 0.86), QPointF(s * 0.84, s * 0.18));
    p.restore();
}

const std::array<const char*, 22> kHandRows = {
    "     XX                         ",
    "    X..X                        ",
    "    X..X                        ",
    "    X..X                        ",
    "    X..X                        ",
    "    X..XXX                      ",
    "    X..X..XXX                   ",
    "    X..X..X..XX                 ",
    "    X..X..X..X.X                ",
    "XX  X..X..X..X..X               ",
    "X..XX........X..X               ",
    "X...X...........X               ",
    " X..X...........X               ",
    "  X.............X               ",
    "  X.............X               ",
    "   X............X               ",
    "   X...........X                ",
    "    X..........X                ",
    "    X.........X                 ",
    "     X........X                 ",
    "     X........X                 ",
    "     XXXXXXXXXX                 ",
};

}  // namespace

QPixmap BannerPicture()
{
    QPixmap pm(600, 85);
    QPainter p(&pm);
    QLinearGradient sky(0, 0, 600, 0);
    sky.setColorAt(0, QColor(10, 50, 140));
    sky.setColorAt(1, QColor(40, 110, 210));
    p.fillRect(pm.rect(), sky);
    p.fillRect(QRect(0, 82, 600, 3), QColor(255, 196, 40));

    paintEmblem(p, QRectF(12, 10, 64, 64));

    p.setRenderHint(QPainter::TextAntialiasing);
    p.setPen(Qt::white);
    p.setFont(pixelFont(40, true));
    p.drawText(QRect(92, 4, 500, 54), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Quillmere"));
    p.setFont(pixelFont(13, false));
    p.setPen(QColor(220, 232, 255));
    p.drawText(QRect(94, 56, 500, 20), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Windows Live Mail messages into an Outlook store"));
    return pm;
}

QPixmap WarningPicture()
{
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QPolygonF tri;
    tri << QPointF(8, 1) << QPointF(15, 14.5) << QPointF(1, 14.5);
    p.setPen(QPen(QColor(120, 80, 0), 1));
    p.setBrush(QColor(255, 210, 0));
    p.drawPolygon(tri);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.fillRect(QRect(7, 5, 2, 6), Qt::black);
    p.fillRect(QRect(7, 12, 2, 2), Qt::black);
    return pm;
}

QImage EmblemImage(int size)
{
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    paintEmblem(p, QRectF(0, 0, size, size));
    return img;
}

QIcon MainWindowIcon()
{
    QIcon icon;
    for (int size : {16, 24, 32, 48, 128, 256})
        icon.addPixmap(QPixmap::fromImage(EmblemImage(size)));
    return icon;
}

QImage HintPicture()
{
    QImage img(579, 295, QImage::Format_RGB32);
    img.fill(QColor(198, 222, 246));
    QPainter p(&img);
    p.setRenderHint(QPainter::TextAntialiasing);

    const QRect panel(14, 12, 551, 270);
    p.fillRect(panel, Qt::white);
    p.setPen(QColor(40, 56, 90));
    p.drawRect(panel.adjusted(0, 0, -1, -1));

    p.setPen(QColor(16, 72, 168));
    p.setFont(pixelFont(19, true));
    p.drawText(QRect(32, 24, 520, 28), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Show hidden files and folders"));
    p.fillRect(QRect(32, 54, 515, 1), QColor(16, 72, 168));

    p.setPen(Qt::black);
    p.setFont(pixelFont(12, false));
    p.drawText(QRect(32, 62, 520, 20), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("These steps make hidden files and folders visible in the folder lists:"));

    const std::array<QString, 3> steps = {
        QStringLiteral("Open Folder Options: click the Start button, then Control Panel, then "
                       "Appearance and Personalization, and then Folder Options."),
        QStringLiteral("Click the View tab."),
        QStringLiteral("Under Advanced settings, click Show hidden files, folders, and drives, "
                       "and then click OK."),
    };
    int top = 94;
    for (size_t i = 0; i < steps.size(); ++i) {
        const QRect disc(34, top, 22, 22);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(16, 72, 168));
        p.drawEllipse(disc);
        p.setPen(Qt::white);
        p.setFont(pixelFont(13, true));
        p.drawText(disc, Qt::AlignCenter, QString::number(i + 1));
        p.setPen(Qt::black);
        p.setFont(pixelFont(12, false));
        const QRect textBox(66, top + 2, 480, 54);
        QRect used;
        p.drawText(textBox, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, steps[i], &used);
        top += std::max(used.height(), 22) + 26;
    }
    p.end();

    // A still picture of 32 colours: a grey ramp, a blue ramp and the panel's
    // own colours, so antialiased text keeps its shading.
    QList<QRgb> palette;
    for (int i = 0; i < 16; ++i)
        palette << qRgb(i * 17, i * 17, i * 17);
    for (int i = 0; i < 12; ++i) {
        const double t = i / 11.0;
        palette << qRgb(int(16 + t * (255 - 16)), int(72 + t * (255 - 72)), int(168 + t * (255 - 168)));
    }
    palette << qRgb(198, 222, 246) << qRgb(40, 56, 90) << qRgb(120, 160, 220) << qRgb(90, 110, 150);
    return img.convertToFormat(QImage::Format_Indexed8, palette, Qt::ThresholdDither);
}

QIcon HintWindowIcon()
{
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath bubble;
    bubble.addRoundedRect(QRectF(0.5, 0.5, 15, 11.5), 4, 4);
    QPolygonF tail;
    tail << QPointF(4, 11) << QPointF(3.5, 15.5) << QPointF(8.5, 11);
    bubble.addPolygon(tail);
    bubble = bubble.simplified();
    p.setPen(QPen(QColor(10, 40, 120), 1));
    p.setBrush(QColor(30, 100, 220));
    p.drawPath(bubble);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.fillRect(QRect(7, 2, 2, 2), Qt::white);
    p.fillRect(QRect(7, 5, 2, 5), Qt::white);
    p.end();
    return QIcon(pm);
}

QCursor HandCursor()
{
    QBitmap shape(32, 32);
    QBitmap mask(32, 32);
    shape.clear();
    mask.clear();
    QPainter ps(&shape);
    QPainter pm(&mask);
    ps.setPen(Qt::color1);
    pm.setPen(Qt::color1);
    for (int y = 0; y < int(kHandRows.size()); ++y) {
        const char* row = kHandRows[size_t(y)];
        for (int x = 0; x < 32 && row[x] != '\0'; ++x) {
            const char c = row[x];
            if (c == 'X')
                ps.drawPoint(x, y);
            if (c == 'X' || c == '.')
                pm.drawPoint(x, y);
        }
    }
    ps.end();
    pm.end();
    return QCursor(shape, mask, 5, 0);
}

}  // namespace quillmere
