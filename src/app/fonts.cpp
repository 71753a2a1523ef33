#include "app/fonts.h"

#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QStringList>

namespace quillmere {

bool LoadWindowFont()
{
    if (QFontDatabase::families().contains(kWindowFontFamily, Qt::CaseInsensitive))
        return true;
    QStringList dirs;
#ifdef QUILLMERE_TAHOMA_DIR
    dirs << QStringLiteral(QUILLMERE_TAHOMA_DIR);
#endif
    dirs << QStringLiteral("/usr/share/wine/fonts") << QStringLiteral("/usr/share/fonts/truetype/wine")
         << QStringLiteral("/usr/local/share/wine/fonts");
    bool found = false;
    for (const auto& dir : dirs) {
        for (const char* name : {"tahoma.ttf", "tahomabd.ttf"}) {
            const QString file = QDir(dir).filePath(QLatin1String(name));
            if (QFileInfo::exists(file) && QFontDatabase::addApplicationFont(file) >= 0)
                found = true;
        }
        if (found)
            break;
    }
    return QFontDatabase::families().contains(kWindowFontFamily, Qt::CaseInsensitive);
}

QFont WindowFont(double points, bool bold)
{
    QFont font(kWindowFontFamily);
    font.setPointSizeF(points);
    font.setWeight(bold ? QFont::Bold : QFont::Normal);
    font.setItalic(false);
    font.setUnderline(false);
    font.setStrikeOut(false);
    font.setStyleStrategy(QFont::PreferDefault);
    return font;
}

}  // namespace quillmere
