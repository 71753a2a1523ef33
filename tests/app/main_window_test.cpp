// The main window as it starts, and its exit and close.

#include <QApplication>
#include <QFontInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>

#include "app/artwork.h"
#include "app/main_window.h"
#include "dialogs.h"
#include "scripted_prompts.h"

using quillmere::frmStep1;

namespace {

struct Placed {
    const char* name;
    QWidget* widget;
    int left, top, width, height;  // twips
};

std::vector<Placed> layoutOf(frmStep1& w)
{
    return {
        {"cmdClear1", w.cmdClear1, 4080, 1440, 1695, 375},
        {"CmdAddFolder", w.CmdAddFolder, 120, 1440, 3495, 375},
        {"grdFiles1", w.grdFiles1, 120, 3000, 7935, 1575},
        {"lblCount1", w.lblCount1, 150, 2760, 4335, 255},
        {"CmdExtractDBX", w.CmdExtractDBX, 3000, 5880, 2415, 435},
        {"Picture3", w.Picture3, -240, 6600, 11415, 495},
        {"cmdEnd", w.cmdEnd, 6960, 0, 1335, 375},
        {"ProgressBar1", w.ProgressBar1, 1800, 5400, 6255, 255},
        {"Label1", w.Label1, 120, 5400, 1695, 255},
        {"LblCurrentDBX", w.LblCurrentDBX, 120, 4680, 7935, 255},
        {"LblProgessCurrent", w.LblProgessCurrent, 120, 5040, 7935, 255},
        {"Label3", w.Label3, 600, 2265, 4695, 255},
        {"Label2", w.Label2, 5300, 2115, 2640, 255},
        {"Label4", w.Label4, 600, 2040, 4695, 465},
        {"Image1", w.Image1, 0, 0, 9000, 1275},
        {"Image3", w.Image3, 270, 2100, 240, 240},
        {"Shape1", w.Shape1, -360, 6480, 11775, 855},
        {"Shape2", w.Shape2, 120, 1920, 7935, 615},
        {"Shape3", w.Shape3, 5290, 2040, 2655, 375},
    };
}

int px(int twips) { return static_cast<int>(std::lround(twips / 15.0)); }

QColor background(QWidget* w) { return w->palette().color(w->backgroundRole()); }

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    ScriptedPrompts prompts;
    frmStep1 window{&prompts};
};

}  // namespace

TEST_F(MainWindowTest, EveryWidgetSitsWhereTheLayoutPutsIt)
{
    EXPECT_EQ(window.size(), QSize(546, 473));
    for (const auto& p : layoutOf(window)) {
        SCOPED_TRACE(p.name);
        EXPECT_EQ(p.widget->geometry(), QRect(px(p.left), px(p.top), px(p.width), px(p.height)));
        EXPECT_EQ(p.widget->parentWidget(), p.widget == window.cmdEnd ? static_cast<QWidget*>(window.Picture3) : &window);
    }
    // The banner runs past the right edge of the client area and is cut off there.
    EXPECT_GT(window.Image1->geometry().right(), window.rect().right());
    EXPECT_EQ(window.Image1->picture().size(), QSize(600, 85));
    EXPECT_EQ(window.Image3->picture().size(), QSize(16, 16));
    // The footer panel's bottom edge is the bottom of the client area.
    EXPECT_EQ(window.Picture3->geometry().bottom(), window.rect().bottom());
}

TEST_F(MainWindowTest, StartsInItsInitialState)
{
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Quillmere v6.2"));
    EXPECT_EQ(window.cmdClear1->text(), QStringLiteral("Clear File(s)..."));
    EXPECT_EQ(window.CmdAddFolder->text(), QStringLiteral("Choose Windows Live Mail Store Folder..."));
    EXPECT_EQ(window.CmdExtractDBX->text(), QStringLiteral("Convert to Outlook"));
    EXPECT_EQ(window.cmdEnd->text(), QStringLiteral("E&xit"));
    EXPECT_EQ(window.lblCount1->text(), QStringLiteral("0 files"));
    EXPECT_EQ(window.Label1->text(), QStringLiteral("Conversion Progress : "));
    EXPECT_EQ(window.LblCurrentDBX->text(), QStringLiteral("Converting Messages..."));
    EXPECT_EQ(window.LblProgessCurrent->text(), QStringLiteral("Messages not initialized yet..."));
    EXPECT_EQ(window.Label3->text(),
              QStringLiteral("C:\\Users\\username\\AppData\\Local\\Microsoft\\Windows Live Mail"));
    EXPECT_EQ(window.Label2->text(), QStringLiteral("How to Show Hidden Files"));
    EXPECT_EQ(window.Label4->text(),
              QStringLiteral("Windows Live Mail stores emails in the hidden folder located at : "));

    EXPECT_FALSE(window.CmdExtractDBX->isEnabled());
    EXPECT_TRUE(window.cmdClear1->isEnabled());
    EXPECT_TRUE(window.CmdAddFolder->isEnabled());
    EXPECT_TRUE(window.cmdEnd->isEnabled());
    EXPECT_EQ(window.ProgressBar1->minimum(), 0);
    EXPECT_EQ(window.ProgressBar1->maximum(), 100);
    EXPECT_EQ(window.ProgressBar1->value(), 0);

    EXPECT_EQ(window.grdFiles1->rows(), 1);
    EXPECT_EQ(window.grdFiles1->cols(), 1);
    EXPECT_EQ(window.grdFiles1->textMatrix(0, 0), QString());
    EXPECT_EQ(window.grdFiles1->colWidthTwips(0), 50000);
    EXPECT_EQ(window.grdFiles1->columnWidthPixels(), 3333);
    EXPECT_GT(window.grdFiles1->columnWidthPixels(), window.grdFiles1->width());
    EXPECT_EQ(window.folderPaths, quillmere::StringList{u""});
    EXPECT_TRUE(window.saveFolder.empty());
    EXPECT_TRUE(window.storeDisplayName.empty());
}

TEST_F(MainWindowTest, IsAFixedWindowCentredOnTheScreenWithFocusOnClear)
{
    const auto flags = window.windowFlags();
    EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(window.minimumSize(), window.maximumSize());
    EXPECT_EQ(window.windowIcon().availableSizes(),
              (QList<QSize>{{16, 16}, {24, 24}, {32, 32}, {48, 48}, {128, 128}, {256, 256}}));

    const QPoint screenCentre = window.screen()->availableGeometry().center();
    EXPECT_LE((window.geometry().center() - screenCentre).manhattanLength(), 2);

    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    EXPECT_EQ(QApplication::focusWidget(), window.cmdClear1);
    // Tab goes cmdClear1, CmdAddFolder, grdFiles1, CmdExtractDBX (when enabled), cmdEnd.
    auto tabbing = [&] {
        std::vector<QWidget*> seen;
        for (int i = 0; i < 5; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            seen.push_back(QApplication::focusWidget());
        }
        return seen;
    };
    EXPECT_EQ(tabbing(), (std::vector<QWidget*>{window.CmdAddFolder, window.grdFiles1, window.cmdEnd,
                                                window.cmdClear1, window.CmdAddFolder}));
    window.CmdExtractDBX->setEnabled(true);
    window.cmdClear1->setFocus();
    EXPECT_EQ(tabbing(), (std::vector<QWidget*>{window.CmdAddFolder, window.grdFiles1, window.CmdExtractDBX,
                                                window.cmdEnd, window.cmdClear1}));
}

TEST_F(MainWindowTest, UsesTahomaAndTheGivenColours)
{
    for (QWidget* w : {static_cast<QWidget*>(window.cmdClear1), static_cast<QWidget*>(window.lblCount1),
                       static_cast<QWidget*>(window.grdFiles1), static_cast<QWidget*>(window.Label3),
                       static_cast<QWidget*>(window.cmdEnd)}) {
        EXPECT_EQ(QFontInfo(w->font()).family(), QStringLiteral("Tahoma"));
        EXPECT_DOUBLE_EQ(w->font().pointSizeF(), 8.25);
        EXPECT_FALSE(w->font().bold());
    }
    EXPECT_DOUBLE_EQ(window.Label2->font().pointSizeF(), 9.0);
    EXPECT_TRUE(window.Label2->font().bold());
    EXPECT_TRUE(window.Label2->alignment() & Qt::AlignHCenter);

    EXPECT_EQ(background(window.Label2), QColor(192, 0, 0));
    EXPECT_EQ(window.Label2->palette().color(QPalette::WindowText), QColor(Qt::white));
    EXPECT_EQ(background(window.Label3), QColor(255, 255, 192));
    EXPECT_EQ(window.Label3->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    EXPECT_EQ(background(window.Label4), QColor(255, 255, 192));
    EXPECT_EQ(window.LblProgessCurrent->palette().color(QPalette::WindowText), QColor(Qt::black));
    EXPECT_EQ(background(window.Picture3), QColor(Qt::white));
    EXPECT_EQ(window.Shape1->fill(), QColor(Qt::white));
    EXPECT_EQ(window.Shape1->border(), QColor(192, 192, 192));
    EXPECT_EQ(window.Shape2->fill(), QColor(255, 255, 192));
    EXPECT_EQ(window.Shape3->fill(), QColor(192, 0, 0));
    EXPECT_EQ(window.Shape3->border(), QColor(128, 128, 128));
}

TEST_F(MainWindowTest, DrawsTheInformationBoxAndTheFooterInTheirStackingOrder)
{
    const QImage shot = window.grab().toImage();
    auto at = [&](QWidget* w, QPoint local) { return QColor(shot.pixel(w->mapTo(&window, local))); };
    // Label2 is drawn over Shape3, Label3 over the lower part of Label4.
    EXPECT_EQ(at(window.Label2, {1, window.Label2->height() - 2}), QColor(192, 0, 0));
    EXPECT_EQ(at(window.Label3, {window.Label3->width() - 2, 2}), QColor(255, 255, 192));
    // Shape3's grey border shows around Label2.
    EXPECT_EQ(at(window.Shape3, {window.Shape3->width() / 2, 0}), QColor(128, 128, 128));
    EXPECT_EQ(at(window.Shape3, {window.Shape3->width() / 2, 2}), QColor(192, 0, 0));
    // Inside the yellow box, beside the warning sign.
    EXPECT_EQ(at(window.Shape2, {3, 3}), QColor(255, 255, 192));
    // The footer: Shape1's silver top edge, then white down to the bottom.
    EXPECT_EQ(QColor(shot.pixel(100, window.Shape1->y())), QColor(192, 192, 192));
    EXPECT_EQ(QColor(shot.pixel(100, window.Shape1->y() + 3)), QColor(Qt::white));
    EXPECT_EQ(QColor(shot.pixel(100, window.height() - 1)), QColor(Qt::white));
    // The grid: the one empty cell light green, the rest of it white.
    const QPoint cell = window.grdFiles1->viewport()->mapTo(&window, QPoint(5, 5));
    EXPECT_EQ(QColor(shot.pixel(cell)), QColor(192, 255, 192));
    const QPoint below = window.grdFiles1->viewport()->mapTo(&window, QPoint(5, 40));
    EXPECT_EQ(QColor(shot.pixel(below)), QColor(Qt::white));
}

TEST_F(MainWindowTest, Label2ShowsTheHandCursorWithItsHotSpotAtTheFingertip)
{
    const QCursor cursor = window.Label2->cursor();
    ASSERT_EQ(cursor.shape(), Qt::BitmapCursor);
    EXPECT_EQ(cursor.hotSpot(), QPoint(5, 0));
    const QBitmap shape = cursor.bitmap();
    const QBitmap mask = cursor.mask();
    EXPECT_EQ(shape.size(), QSize(32, 32));
    const QImage m = mask.toImage();
    // The hot spot is an opaque pixel at the top of the finger.
    EXPECT_NE(m.pixelIndex(5, 0), m.pixelIndex(0, 0));
}

TEST_F(MainWindowTest, ExitAnsweredNoChangesNothing)
{
    window.AddFileToList(QStringLiteral("/mail/a.eml"));
    window.LblCurrentDBX->setText(QStringLiteral("Converting Messages... from (Inbox)"));
    window.ProgressBar1->setValue(40);

    QTest::mouseClick(window.cmdEnd, Qt::LeftButton);

    ASSERT_EQ(prompts.questions, std::vector<std::u16string>{u"Are you sure you want to exit now?"});
    EXPECT_EQ(prompts.lastQuestionTitle, u"Quillmere");
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.grdFiles1->textMatrix(0, 0), QStringLiteral("/mail/a.eml"));
    EXPECT_EQ(window.LblCurrentDBX->text(), QStringLiteral("Converting Messages... from (Inbox)"));
    EXPECT_EQ(window.ProgressBar1->value(), 40);
}

TEST_F(MainWindowTest, ExitAnsweredYesCloses)
{
    prompts.answers = {true};
    QTest::mouseClick(window.cmdEnd, Qt::LeftButton);
    EXPECT_EQ(prompts.questions.size(), 1u);
    EXPECT_FALSE(window.isVisible());
}

TEST_F(MainWindowTest, AltXAsksTheExitQuestion)
{
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_X, Qt::AltModifier);
    // An access key presses the button visibly: the click follows a moment later.
    EXPECT_TRUE(QTest::qWaitFor([&] { return !prompts.questions.empty(); }, 2000));
    EXPECT_EQ(prompts.questions, std::vector<std::u16string>{u"Are you sure you want to exit now?"});
}

TEST_F(MainWindowTest, TheCloseBoxClosesAtOnceWithoutAsking)
{
    window.AddFileToList(QStringLiteral("/mail/a.eml"));
    window.CmdExtractDBX->setEnabled(true);
    EXPECT_TRUE(window.close());
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(prompts.questions.empty());
    EXPECT_TRUE(prompts.messages.empty());
}

// With the real message boxes: the question, its buttons and Yes as the default.
class RealExitQuestionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    frmStep1 window;
};

TEST_F(RealExitQuestionTest, EnterAnswersYesAndCloses)
{
    QString title, text;
    QMessageBox::Icon icon{};
    QWidget* owner = nullptr;
    bool modal = false, yesIsDefault = false;
    answerNextDialog<QMessageBox>([&](QMessageBox* box) {
        title = box->windowTitle();
        text = box->text();
        icon = box->icon();
        owner = box->parentWidget();
        modal = box->isModal();
        yesIsDefault = box->defaultButton() == box->button(QMessageBox::Yes) &&
                       box->button(QMessageBox::No) != nullptr;
        QTest::keyClick(box, Qt::Key_Return);
    });
    QTest::mouseClick(window.cmdEnd, Qt::LeftButton);

    EXPECT_EQ(title, QStringLiteral("Quillmere"));
    EXPECT_EQ(text, QStringLiteral("Are you sure you want to exit now?"));
    EXPECT_EQ(icon, QMessageBox::Question);
    EXPECT_EQ(owner, &window);
    EXPECT_TRUE(modal);
    EXPECT_TRUE(yesIsDefault);
    EXPECT_FALSE(window.isVisible());
}

TEST_F(RealExitQuestionTest, NoKeepsTheWindowAndYesClosesIt)
{
    answerNextDialog<QMessageBox>([](QMessageBox* box) { box->button(QMessageBox::No)->click(); });
    QTest::mouseClick(window.cmdEnd, Qt::LeftButton);
    EXPECT_TRUE(window.isVisible());

    answerNextDialog<QMessageBox>([](QMessageBox* box) { box->button(QMessageBox::Yes)->click(); });
    QTest::mouseClick(window.cmdEnd, Qt::LeftButton);
    EXPECT_FALSE(window.isVisible());
}

TEST(Artwork, HasTheGivenSizes)
{
    EXPECT_EQ(quillmere::BannerPicture().size(), QSize(600, 85));
    EXPECT_EQ(quillmere::WarningPicture().size(), QSize(16, 16));
    for (int size : {16, 24, 32, 48, 128, 256})
        EXPECT_EQ(quillmere::EmblemImage(size).size(), QSize(size, size));
    const QImage hint = quillmere::HintPicture();
    EXPECT_EQ(hint.size(), QSize(579, 295));
    EXPECT_EQ(hint.format(), QImage::Format_Indexed8);
    EXPECT_LE(hint.colorCount(), 32);
    EXPECT_EQ(quillmere::HintWindowIcon().availableSizes(), QList<QSize>{QSize(16, 16)});
}
