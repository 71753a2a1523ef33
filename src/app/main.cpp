// The window program: shows frmStep1 and runs until it has closed.

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include <cstdio>
#include <cstring>

#include "app/fonts.h"
#include "app/hint_window.h"
#include "app/icon_file.h"
#include "app/main_window.h"

namespace {

// Saves what the X server shows of `widget`'s window.
bool saveScreenImage(QWidget& widget, const QString& file)
{
    QScreen* screen = widget.screen();
    if (!screen)
        return false;
    const QRect r = widget.frameGeometry();
    return screen->grabWindow(0, r.x(), r.y(), r.width(), r.height()).save(file, "PNG");
}

// Undocumented, for the documentation's pictures: --save-screen-images DIR
// shows the window and the hint, saves both as they appear on screen, and quits.
int saveScreenImages(quillmere::frmStep1& window, const QString& dir)
{
    int failures = 0;
    QTimer::singleShot(800, &window, [&] {
        failures += !saveScreenImage(window, QDir(dir).filePath(QStringLiteral("main-window.png")));
        window.Label2_Click();
        QTimer::singleShot(800, &window, [&] {
            if (auto* tip = window.hintWindow())
                failures += !saveScreenImage(*tip, QDir(dir).filePath(QStringLiteral("hint-window.png")));
            else
                ++failures;
            window.close();
        });
    });
    window.show();
    const int rc = QApplication::exec();
    return rc != 0 ? rc : (failures ? 1 : 0);
}

}  // namespace

int main(int argc, char** argv)
{
    // Before QApplication, so that it answers without a display.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("quillmere %s\n", QUILLMERE_VERSION);
            return 0;
        }
    }
    QApplication app(argc, argv);
    quillmere::LoadWindowFont();
    quillmere::frmStep1 window;

    const QStringList args = QApplication::arguments();
    // Undocumented, for the build's Windows resources: --write-icon-file FILE.
    if (const int i = args.indexOf(QStringLiteral("--write-icon-file")); i > 0 && i + 1 < args.size()) {
        QFile file(args.at(i + 1));
        return file.open(QIODevice::WriteOnly) && file.write(quillmere::IconFileBytes()) >= 0 ? 0 : 1;
    }
    const int at = args.indexOf(QStringLiteral("--save-screen-images"));
    if (at > 0 && at + 1 < args.size())
        return saveScreenImages(window, args.at(at + 1));

    window.show();
    return QApplication::exec();
}
