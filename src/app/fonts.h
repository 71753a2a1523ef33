#pragma once
// The window's typeface. Tahoma is rarely installed on this platform; a
// metric-compatible Tahoma (Debian's fonts-wine puts one in
// /usr/share/wine/fonts) is loaded into the application when the system
// does not offer the family, so captions fit their widgets as laid out.

#include <QFont>
#include <QString>

namespace quillmere {

inline const QString kWindowFontFamily = QStringLiteral("Tahoma");

// Makes Tahoma available to the application; true if it is. Call once after
// the QApplication exists. QUILLMERE_TAHOMA_DIR, when set at build time, is
// searched first.
bool LoadWindowFont();

// Tahoma, regular unless `bold`, at `points`.
QFont WindowFont(double points, bool bold = false);

}  // namespace quillmere
