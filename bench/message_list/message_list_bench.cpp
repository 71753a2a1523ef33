// Times adding a store folder of 20,000 messages (in 40 folders, with a
// few other files among them) through the main window, and checks that
// every message was listed.
//
// Usage: quillmere_bench_message_list [messages]   (runs offscreen unless
// QT_QPA_PLATFORM says otherwise)

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>

#include "app/fonts.h"
#include "app/main_window.h"

namespace {

struct AnswerOnce : quillmere::Prompts {
    std::u16string folder;
    std::u16string lastMessage;
    void message(const std::u16string& text, quillmere::BoxIcon, const std::u16string&) override { lastMessage = text; }
    bool confirm(const std::u16string&, const std::u16string&) override { return false; }
    std::u16string browseForFolder(const std::u16string&) override { return std::exchange(folder, u""); }
};

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const int messages = argc > 1 ? std::atoi(argv[1]) : 20000;
    QApplication app(argc, argv);
    quillmere::LoadWindowFont();

    QTemporaryDir store;
    constexpr int kFolders = 40;
    for (int f = 0; f < kFolders; ++f)
        QDir(store.path()).mkpath(QStringLiteral("Account/Folder %1").arg(f));
    for (int i = 0; i < messages; ++i) {
        const QString dir = store.filePath(QStringLiteral("Account/Folder %1").arg(i % kFolders));
        QFile(dir + QStringLiteral("/message %1.eml").arg(i)).open(QIODevice::WriteOnly);
        if (i % 100 == 0)
            QFile(dir + QStringLiteral("/index %1.dat").arg(i)).open(QIODevice::WriteOnly);
    }

    // The walk alone, for comparison.
    QElapsedTimer walkTimer;
    walkTimer.start();
    {
        quillmere::pathLogger walker;
        walker.PathLogInit();
        walker.fullFileNamesOnly(true);
        walker.LogPath(store.path().toStdU16String());
        walker.Terminate();
    }
    const double walkSeconds = walkTimer.nsecsElapsed() / 1e9;

    AnswerOnce prompts;
    quillmere::frmStep1 window(&prompts);
    window.show();
    QApplication::processEvents();

    prompts.folder = store.path().toStdU16String();
    QElapsedTimer timer;
    timer.start();
    window.CmdAddFolder_Click();
    const double seconds = timer.nsecsElapsed() / 1e9;

    const int listed = window.grdFiles1->rows();
    std::printf("message list: added a folder of %d messages in %.3f s (%d rows listed; target under 3 s)\n",
                messages, seconds, listed);
    std::printf("of which walking the folder tree alone takes %.3f s\n", walkSeconds);
    std::printf("box shown: %s\n", QString::fromStdU16String(prompts.lastMessage).toUtf8().constData());
    return listed == messages ? 0 : 1;
}
