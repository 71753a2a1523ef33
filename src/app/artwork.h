#pragma once
// The program's own pictures, drawn at run time.

#include <QCursor>
#include <QIcon>
#include <QImage>
#include <QPixmap>

namespace quillmere {

// The banner across the top of the main window: 600 x 85.
QPixmap BannerPicture();
// The warning sign of the information box: 16 x 16.
QPixmap WarningPicture();
// The program's emblem at one size: an envelope with a quill on blue.
QImage EmblemImage(int size);
// The main window's icon: the emblem at 16, 24, 32, 48, 128 and 256 pixels.
QIcon MainWindowIcon();
// The hint window's picture, 579 x 295, in a 32-colour palette.
QImage HintPicture();
// The hint window's icon: a white "i" in a blue speech bubble, 16 x 16.
QIcon HintWindowIcon();
// A hand with the index finger up, 32 x 32, monochrome; hot spot (5, 0).
QCursor HandCursor();

}  // namespace quillmere
