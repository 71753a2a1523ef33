#pragma once
// frmStep1: the program's one working window. It holds every widget, the
// message list (the rows of grdFiles1) and the fields the commands share.

#include <QElapsedTimer>
#include <QFrame>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QWidget>
#include <memory>

#include "app/window_parts.h"
#include "conversion/component_registry.h"
#include "conversion/run_host.h"
#include "selection/flex_grid.h"
#include "selection/path_logger.h"
#include "util/prompts.h"
#include "util/string_list.h"

namespace conversion::redemption {
class RDOSession;
}
namespace conversion::outlook {
class Folder;
}

namespace quillmere {

class tipFrm;

class frmStep1 : public QWidget {
    Q_OBJECT
public:
    // Message boxes and pickers go through `prompts`; without one the window
    // shows real dialogs over itself. The prompts must outlive the window.
    explicit frmStep1(Prompts* prompts = nullptr, QWidget* parent = nullptr);
    ~frmStep1() override;

    // ---- Widgets, by name, in tab order; then the windowless elements.
    QPushButton* cmdClear1 = nullptr;
    QPushButton* CmdAddFolder = nullptr;
    FlexGrid* grdFiles1 = nullptr;
    QLabel* lblCount1 = nullptr;
    QPushButton* CmdExtractDBX = nullptr;
    QFrame* Picture3 = nullptr;
    QPushButton* cmdEnd = nullptr;  // inside Picture3
    QProgressBar* ProgressBar1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* LblCurrentDBX = nullptr;
    QLabel* LblProgessCurrent = nullptr;
    QLabel* Label3 = nullptr;
    ClickableLabel* Label2 = nullptr;
    QLabel* Label4 = nullptr;
    PictureBox* Image1 = nullptr;
    PictureBox* Image3 = nullptr;
    RectangleShape* Shape1 = nullptr;
    RectangleShape* Shape2 = nullptr;
    RectangleShape* Shape3 = nullptr;

    // ---- Fields shared between commands.
    // The conversion's folder list; one empty entry after load and after a clear.
    StringList folderPaths;
    // The conversion run's destination and store name; empty at start.
    std::u16string saveFolder;
    std::u16string storeDisplayName;
    // The run's session: set from the run's start, released when it logs off;
    // after a run that ended on its error path it stays until the next run.
    std::shared_ptr<conversion::redemption::RDOSession> rdoSession;
    // Folders the folder adds since the last clear could not list; the
    // run's closing message names them.
    std::vector<conversion::ListingFailure> unlistedFolders;

    // Finds an Outlook folder by a path of folder names separated by "\",
    // from above all stores when it begins with "\". Takes the names off the
    // front of `path`; none for "\". Throws when a name is not there.
    std::shared_ptr<conversion::outlook::Folder> OpenMAPIFolder(std::u16string& path);
    // The store components the conversion creates its objects from (tests
    // remove classes from it to stand for a missing component).
    conversion::ComponentRegistry& components() { return components_; }

    // ---- What the long commands (the folder add, the conversion run) use.
    //
    // Message boxes and pickers, modal over this window.
    Prompts& prompts() { return *prompts_; }
    // Lets the window handle pending events (clicks, keys, repaints) and
    // returns. While busy, the window repaints at most once per 16 ms.
    void DoEvents();
    //
    // Busy state. One long command at a time holds the window busy, through
    // a BusyCommand in its handler. While busy, the commands that change the
    // list or start a run (add, clear, convert) do nothing when clicked; the
    // exit command, the close box and the hint stay usable.
    //
    // Closing while busy is deferred: closeEvent() refuses the close and
    // notes it; closeRequested() turns true, the running command should stop
    // at its next event-processing point and return, and when its
    // BusyCommand ends the window closes. Nothing is asked again.
    bool isBusy() const { return busy_; }
    bool closeRequested() const { return closeRequested_; }
    class BusyCommand {
    public:
        explicit BusyCommand(frmStep1& window);
        ~BusyCommand();
        BusyCommand(const BusyCommand&) = delete;
        BusyCommand& operator=(const BusyCommand&) = delete;

    private:
        frmStep1& window_;
    };

    // ---- The message list.
    void AddFileToList(const QString& path);
    void ClearFileList();

    // ---- Handlers.
    void CmdAddFolder_Click();
    void cmdClear1_Click();
    void cmdEnd_Click();
    void Label2_Click();
    // The conversion run; connected to CmdExtractDBX, called only when the
    // window is not busy.
    void CmdExtractDBX_Click();

    // The hint window while it is open, else null.
    tipFrm* hintWindow() const;

    // The file system the folder add walks; tests put a failing one in place.
    void setFileSystemFactory(pathLogger::FileSystemFactory factory) { fileSystemFactory_ = std::move(factory); }

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createWidgets();
    void Form_Load();

    std::unique_ptr<Prompts> ownPrompts_;
    Prompts* prompts_ = nullptr;
    QPointer<tipFrm> tip_;
    pathLogger::FileSystemFactory fileSystemFactory_;
    conversion::ComponentRegistry components_;
    bool busy_ = false;
    bool closeRequested_ = false;
    // While busy, repaints are held to one per frame interval: a long command
    // processes events thousands of times a second, far more often than a
    // screen can show a change.
    QElapsedTimer sinceRepaint_;
    bool repaintHeld_ = false;
};

}  // namespace quillmere
