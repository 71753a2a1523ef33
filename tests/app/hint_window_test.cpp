// The hint window on showing hidden folders.

#include <QApplication>
#include <QScreen>
#include <QTest>
#include <QWindow>
#include <gtest/gtest.h>

#include "app/hint_window.h"
#include "app/main_window.h"
#include "scripted_prompts.h"

using quillmere::frmStep1;
using quillmere::tipFrm;

namespace {

int hintWindowsShown()
{
    int n = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        n += qobject_cast<tipFrm*>(w) && w->isVisible();
    return n;
}

void flushDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

class HintWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    void TearDown() override
    {
        window.close();
        flushDeletes();
    }
    void clickLabel2() { QTest::mouseClick(window.Label2, Qt::LeftButton); }

    ScriptedPrompts prompts;
    frmStep1 window{&prompts};
};

}  // namespace

TEST_F(HintWindowTest, OpensCentredOverTheMainWindowAsAnOwnedFixedWindow)
{
    clickLabel2();
    tipFrm* tip = window.hintWindow();
    ASSERT_NE(tip, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(tip));

    EXPECT_EQ(tip->windowTitle(), QStringLiteral(" Show Hidden Files in Windows 7"));
    EXPECT_EQ(tip->size(), QSize(579, 294));
    EXPECT_EQ(tip->minimumSize(), tip->maximumSize());
    EXPECT_EQ(tip->picture().size(), QSize(579, 295));
    EXPECT_EQ(tip->parentWidget(), &window);
    EXPECT_FALSE(tip->isModal());
    const auto flags = tip->windowFlags();
    EXPECT_EQ(flags & Qt::WindowType_Mask, Qt::Dialog);  // an owned window: no taskbar entry
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(tip->windowHandle()->transientParent(), window.windowHandle());
    EXPECT_FALSE(tip->windowIcon().cacheKey() == window.windowIcon().cacheKey());
    EXPECT_LE((tip->geometry().center() - window.geometry().center()).manhattanLength(), 2);

    // The picture fills the client area from its top-left corner.
    const QImage shot = tip->grab().toImage();
    EXPECT_EQ(shot.pixel(0, 0), tip->picture().pixel(0, 0));
    EXPECT_EQ(shot.pixel(300, 150), tip->picture().pixel(300, 150));
}

TEST_F(HintWindowTest, ASecondClickKeepsOneWindowAndBringsItToTheFront)
{
    clickLabel2();
    QPointer<tipFrm> first = window.hintWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(first));
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));

    clickLabel2();
    EXPECT_EQ(window.hintWindow(), first.data());
    EXPECT_EQ(hintWindowsShown(), 1);
    EXPECT_TRUE(QTest::qWaitForWindowActive(first));
}

TEST_F(HintWindowTest, ClosingItDestroysItAndTheNextClickCentresANewOneAgain)
{
    clickLabel2();
    QPointer<tipFrm> first = window.hintWindow();
    first->close();
    flushDeletes();
    EXPECT_TRUE(first.isNull());
    EXPECT_EQ(window.hintWindow(), nullptr);

    window.move(window.pos() + QPoint(-60, 40));
    clickLabel2();
    ASSERT_NE(window.hintWindow(), nullptr);
    EXPECT_LE((window.hintWindow()->geometry().center() - window.geometry().center()).manhattanLength(), 2);
}

TEST_F(HintWindowTest, TheMainWindowStaysUsableWhileItIsOpen)
{
    clickLabel2();
    ASSERT_TRUE(window.hintWindow()->isVisible());
    QTest::mouseClick(window.CmdAddFolder, Qt::LeftButton);
    QTest::mouseClick(window.cmdEnd, Qt::LeftButton);
    EXPECT_EQ(prompts.pickerTitles.size(), 1u);
    EXPECT_EQ(prompts.questions.size(), 1u);
}

TEST_F(HintWindowTest, GoesWithTheMainWindow)
{
    clickLabel2();
    QPointer<tipFrm> tip = window.hintWindow();
    ASSERT_TRUE(tip->isVisible());
    window.close();
    flushDeletes();
    EXPECT_TRUE(tip.isNull());
    EXPECT_EQ(hintWindowsShown(), 0);
}

TEST(HintWindowLifetime, IsDestroyedWithTheMainWindowObject)
{
    QPointer<tipFrm> tip;
    {
        ScriptedPrompts prompts;
        frmStep1 window{&prompts};
        window.show();
        window.Label2_Click();
        tip = window.hintWindow();
        ASSERT_FALSE(tip.isNull());
    }
    EXPECT_TRUE(tip.isNull());
}
