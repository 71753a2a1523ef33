#include "app/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QScreen>
#include <QStyle>

#include "app/artwork.h"
#include "app/fonts.h"
#include "app/hint_window.h"
#include "app/twips.h"
#include "app/window_run_host.h"
#include "conversion/components.h"
#include "conversion/conversion_run.h"
#include "conversion/folder_lookup.h"
#include "conversion/redemption_face.h"
#include "selection/message_list.h"
#include "selection/qt_prompts.h"
#include "selection/std_file_system.h"
#include "util/path_helpers.h"

namespace quillmere {

namespace {

const QColor kLightYellow(255, 255, 192);
const QColor kDarkRed(192, 0, 0);
const QColor kSilver(192, 192, 192);
const QColor kGrey(128, 128, 128);
constexpr double kFontPoints = 8.25;
constexpr int kLoadedColumnTwips = 50000;
constexpr qint64 kRepaintIntervalMs = 16;

template <typename W>
W* place(W* widget, int left, int top, int width, int height)
{
    widget->setGeometry(RectFromTwips(left, top, width, height));
    return widget;
}

QLabel* makeLabel(QWidget* parent, const QString& text, QColor back, QColor fore)
{
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setMargin(0);
    label->setIndent(0);
    label->setAutoFillBackground(true);
    QPalette p = label->palette();
    p.setColor(QPalette::Window, back);
    p.setColor(QPalette::WindowText, fore);
    label->setPalette(p);
    return label;
}

QPushButton* makeButton(QWidget* parent, const QString& caption)
{
    auto* button = new QPushButton(caption, parent);
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

}  // namespace

frmStep1::BusyCommand::BusyCommand(frmStep1& window) : window_(window)
{
    window_.busy_ = true;
    window_.sinceRepaint_.start();
}

frmStep1::BusyCommand::~BusyCommand()
{
    window_.busy_ = false;
    if (window_.repaintHeld_) {
        window_.repaintHeld_ = false;
        QCoreApplication::postEvent(&window_, new QEvent(QEvent::UpdateRequest), Qt::LowEventPriority);
    }
    if (window_.closeRequested_) {
        window_.closeRequested_ = false;
        window_.close();
    }
}

frmStep1::frmStep1(Prompts* prompts, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint)
{
    if (prompts) {
        prompts_ = prompts;
    } else {
        ownPrompts_ = std::make_unique<QtPrompts>(this);
        prompts_ = ownPrompts_.get();
    }
    fileSystemFactory_ = [] { return std::make_unique<StdFileSystem>(); };
    conversion::registerStoreComponents(components_, conversion::makeFileProfile());

    setWindowTitle(QStringLiteral("Quillmere v6.2"));
    setWindowIcon(MainWindowIcon());
    setFont(WindowFont(kFontPoints));
    setFixedSize(PixelsFromTwips(8190), PixelsFromTwips(7095));
    QPalette p = palette();
    p.setColor(QPalette::Window, p.color(QPalette::Button));
    setPalette(p);
    setAutoFillBackground(true);

    createWidgets();
    Form_Load();
    installEventFilter(this);

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size(), screen->availableGeometry()));
    cmdClear1->setFocus();
}

frmStep1::~frmStep1()
{
    delete tip_;
}

void frmStep1::createWidgets()
{
    const QColor face = palette().color(QPalette::Button);
    const QColor faceText = palette().color(QPalette::ButtonText);

    // Windowless elements, bottom-most first: later ones are drawn on top.
    Shape2 = place(new RectangleShape(this, kLightYellow, palette().color(QPalette::WindowText)), 120, 1920, 7935, 615);
    Image3 = place(new PictureBox(this, WarningPicture()), 270, 2100, 240, 240);
    Shape3 = place(new RectangleShape(this, kDarkRed, kGrey), 5290, 2040, 2655, 375);
    Label4 = place(makeLabel(this, QStringLiteral("Windows Live Mail stores emails in the hidden folder located at : "),
                             kLightYellow, faceText),
                   600, 2040, 4695, 465);
    lblCount1 = place(makeLabel(this, kNoFilesText, face, faceText), 150, 2760, 4335, 255);
    Shape1 = place(new RectangleShape(this, QColor(Qt::white), kSilver), -360, 6480, 11775, 855);
    Label1 = place(makeLabel(this, QStringLiteral("Conversion Progress : "), face, faceText), 120, 5400, 1695, 255);
    LblCurrentDBX = place(makeLabel(this, QStringLiteral("Converting Messages..."), face, faceText), 120, 4680, 7935, 255);
    LblProgessCurrent = place(makeLabel(this, QStringLiteral("Messages not initialized yet..."), face, Qt::black),
                              120, 5040, 7935, 255);
    Image1 = place(new PictureBox(this, BannerPicture()), 0, 0, 9000, 1275);
    Label3 = place(makeLabel(this, QStringLiteral("C:\\Users\\username\\AppData\\Local\\Microsoft\\Windows Live Mail"),
                             kLightYellow, QColor(0, 0, 255)),
                   600, 2265, 4695, 255);

    Label2 = new ClickableLabel(QStringLiteral("How to Show Hidden Files"), this);
    place(Label2, 5300, 2115, 2640, 255);
    Label2->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Label2->setWordWrap(true);
    Label2->setAutoFillBackground(true);
    Label2->setFont(WindowFont(9, true));
    {
        QPalette lp = Label2->palette();
        lp.setColor(QPalette::Window, kDarkRed);
        lp.setColor(QPalette::WindowText, Qt::white);
        Label2->setPalette(lp);
    }
    Label2->setCursor(HandCursor());
    connect(Label2, &ClickableLabel::clicked, this, [this] { Label2_Click(); });

    // Windowed controls, above every windowless element.
    cmdClear1 = place(makeButton(this, QStringLiteral("Clear File(s)...")), 4080, 1440, 1695, 375);
    CmdAddFolder = place(makeButton(this, QStringLiteral("Choose Windows Live Mail Store Folder...")), 120, 1440, 3495, 375);
    grdFiles1 = place(new FlexGrid(this), 120, 3000, 7935, 1575);
    CmdExtractDBX = place(makeButton(this, QStringLiteral("Convert to Outlook")), 3000, 5880, 2415, 435);
    CmdExtractDBX->setEnabled(false);

    Picture3 = place(new QFrame(this), -240, 6600, 11415, 495);
    Picture3->setFrameShape(QFrame::NoFrame);
    Picture3->setFocusPolicy(Qt::NoFocus);
    Picture3->setAutoFillBackground(true);
    {
        QPalette pp = Picture3->palette();
        pp.setColor(QPalette::Window, Qt::white);
        Picture3->setPalette(pp);
    }
    cmdEnd = place(makeButton(Picture3, QStringLiteral("E&xit")), 6960, 0, 1335, 375);
    {
        // The button keeps the window's face colour, not the panel's white.
        QPalette bp = cmdEnd->palette();
        bp.setColor(QPalette::Window, face);
        cmdEnd->setPalette(bp);
    }

    ProgressBar1 = place(new QProgressBar(this), 1800, 5400, 6255, 255);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);

    setTabOrder(cmdClear1, CmdAddFolder);
    setTabOrder(CmdAddFolder, grdFiles1);
    setTabOrder(grdFiles1, CmdExtractDBX);
    setTabOrder(CmdExtractDBX, cmdEnd);

    connect(cmdClear1, &QPushButton::clicked, this, [this] { cmdClear1_Click(); });
    connect(CmdAddFolder, &QPushButton::clicked, this, [this] { CmdAddFolder_Click(); });
    connect(cmdEnd, &QPushButton::clicked, this, [this] { cmdEnd_Click(); });
    connect(CmdExtractDBX, &QPushButton::clicked, this, [this] {
        if (!busy_)
            CmdExtractDBX_Click();
    });
}

void frmStep1::Form_Load()
{
    folderPaths.assign(1, std::u16string());
    grdFiles1->setColWidthTwips(0, kLoadedColumnTwips);
}

void frmStep1::DoEvents()
{
    if (repaintHeld_ && sinceRepaint_.elapsed() >= kRepaintIntervalMs) {
        repaintHeld_ = false;
        QCoreApplication::postEvent(this, new QEvent(QEvent::UpdateRequest), Qt::LowEventPriority);
    }
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

bool frmStep1::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == this && event->type() == QEvent::UpdateRequest && busy_) {
        if (sinceRepaint_.elapsed() < kRepaintIntervalMs) {
            // Qt posts no further request until this one is handled; DoEvents
            // or the end of the command posts it again.
            repaintHeld_ = true;
            return true;
        }
        sinceRepaint_.restart();
    }
    return QWidget::eventFilter(watched, event);
}

void frmStep1::AddFileToList(const QString& path) { quillmere::AddFileToList(*grdFiles1, *lblCount1, path); }

void frmStep1::ClearFileList()
{
    quillmere::ClearFileList(*grdFiles1, *lblCount1, folderPaths);
    unlistedFolders.clear();
}

void frmStep1::CmdAddFolder_Click()
{
    if (busy_)
        return;
    BusyCommand busy(*this);
    QString folder =
        QString::fromStdU16String(prompts().browseForFolder(u"Choose Windows Live Mail Store Folder..."));
    if (folder.isEmpty() || closeRequested_)
        return;
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');

    QApplication::setOverrideCursor(Qt::WaitCursor);
    std::shared_ptr<StringCollection> files;
    {
        pathLogger walker(fileSystemFactory_);
        walker.PathLogInit();
        walker.fullFileNamesOnly(true);
        // The walker's own message is a box of its own: not under the busy cursor.
        walker.setMessageHandler([this](const std::u16string& text) {
            QApplication::restoreOverrideCursor();
            prompts().message(text, BoxIcon::Information);
            QApplication::setOverrideCursor(Qt::WaitCursor);
        });
        walker.LogPath(folder.toStdU16String());
        for (const auto& refused : walker.refusedEntries())
            unlistedFolders.push_back({refused.path, refused.cause});
        files = walker.fullFileNames();
        walker.Terminate();
    }

    int found = 0;
    for (const auto& entry : *files) {
        DoEvents();
        if (closeRequested_)
            break;
        if (!IsMessageFilePath(entry))
            continue;
        DoEvents();
        if (closeRequested_)
            break;
        AddFileToList(QString::fromStdU16String(entry));
        ++found;
    }
    QApplication::restoreOverrideCursor();
    if (closeRequested_)
        return;  // the window closes as the command ends

    CmdExtractDBX->setEnabled(found > 0);
    prompts().message(MessagesFoundText(found).toStdU16String(), BoxIcon::None);
}

void frmStep1::cmdClear1_Click()
{
    if (busy_)
        return;
    if (ListIsEmpty(*grdFiles1))
        return;
    if (prompts().confirm(u"Do you want to clear all the files in the list\r\n Proceed?"))
        ClearFileList();
}

void frmStep1::cmdEnd_Click()
{
    if (prompts().confirm(u"Are you sure you want to exit now?"))
        close();
}

void frmStep1::Label2_Click()
{
    if (!tip_) {
        tip_ = new tipFrm(this);
        tip_->centreOver(*this);
    }
    tip_->show();
    tip_->raise();
    tip_->activateWindow();
}

void frmStep1::CmdExtractDBX_Click()
{
    if (busy_)
        return;
    BusyCommand busy(*this);
    WindowRunHost host(*this);
    conversion::ConversionRun(host, components_, {saveFolder, storeDisplayName, rdoSession}).run();
}

std::shared_ptr<conversion::outlook::Folder> frmStep1::OpenMAPIFolder(std::u16string& path)
{
    return conversion::OpenMAPIFolder(components_, path);
}

tipFrm* frmStep1::hintWindow() const { return tip_; }

void frmStep1::closeEvent(QCloseEvent* event)
{
    if (busy_) {
        closeRequested_ = true;
        event->ignore();
        return;
    }
    if (tip_)
        tip_->close();
    event->accept();
}

}  // namespace quillmere
