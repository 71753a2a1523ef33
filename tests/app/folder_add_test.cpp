// Listing messages through the window: the folder add, the clear, the count
// texts, the convert button, and the busy state while an add runs.

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include "app/main_window.h"
#include "scripted_prompts.h"
#include "selection/file_system.h"
#include "selection/std_file_system.h"
#include "temp_store.h"

using quillmere::BoxIcon;
using quillmere::frmStep1;

namespace {

std::u16string u16(const QString& s) { return s.toStdU16String(); }

class FolderAddTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }

    // Clicks "Choose Windows Live Mail Store Folder..." and picks `folder`.
    void addFolder(const QString& folder)
    {
        prompts.folders.push_back(u16(folder));
        QTest::mouseClick(window.CmdAddFolder, Qt::LeftButton);
    }
    void clickClear(std::optional<bool> answer)
    {
        if (answer)
            prompts.answers.push_back(*answer);
        QTest::mouseClick(window.cmdClear1, Qt::LeftButton);
    }
    QStringList rows() const
    {
        QStringList out;
        for (int r = 0; r < window.grdFiles1->rows(); ++r)
            out << window.grdFiles1->textMatrix(r, 0);
        return out;
    }
    std::u16string lastMessage() const { return prompts.messages.empty() ? u"" : prompts.messages.back().text; }

    ScriptedPrompts prompts;
    frmStep1 window{&prompts};
    TempStore store;
};

}  // namespace

TEST_F(FolderAddTest, ListsTheMessageFilesOfTheWholeTreeInWalkOrder)
{
    const QString a = store.file("a.eml");
    const QString upper = store.file("B.EML");
    store.file("notes.txt");
    store.file("eml");
    store.file("archive.eml.bak");
    const QString deep = store.file("Inbox/2009/c.Eml");
    const QString inbox = store.file("Inbox/d.eml");

    addFolder(store.root());

    ASSERT_EQ(prompts.pickerTitles, std::vector<std::u16string>{u"Choose Windows Live Mail Store Folder..."});
    // The root's own files first, then the tree level by level.
    QStringList listed = rows();
    ASSERT_EQ(listed.size(), 4);
    EXPECT_EQ(QSet<QString>(listed.begin(), listed.begin() + 2), (QSet<QString>{a, upper}));
    EXPECT_EQ(listed[2], inbox);
    EXPECT_EQ(listed[3], deep);
    EXPECT_EQ(window.lblCount1->text(), QStringLiteral("4 Email Messages"));
    EXPECT_TRUE(window.CmdExtractDBX->isEnabled());
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text, u"4 Email Messages Found.");
    EXPECT_EQ(prompts.messages[0].icon, BoxIcon::None);
    EXPECT_EQ(prompts.messages[0].title, u"Quillmere");
    EXPECT_FALSE(prompts.messages[0].busyCursor);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    // The current cell ends on the newest row.
    EXPECT_EQ(window.grdFiles1->row(), 3);
}

TEST_F(FolderAddTest, TheFirstRowLandsInRowZeroAndNarrowsTheColumn)
{
    const QString only = store.file("one.eml");
    addFolder(store.root());
    EXPECT_EQ(rows(), QStringList{only});
    EXPECT_EQ(window.lblCount1->text(), QStringLiteral("1 Email Messages"));
    EXPECT_EQ(window.grdFiles1->colWidthTwips(0), 10000);
    EXPECT_EQ(window.grdFiles1->columnWidthPixels(), 667);
    EXPECT_EQ(lastMessage(), u"1 Email Messages Found.");
}

TEST_F(FolderAddTest, APickedPathWithATrailingSlashListsTheSame)
{
    const QString only = store.file("one.eml");
    addFolder(store.root() + QStringLiteral("/"));
    EXPECT_EQ(rows(), QStringList{only});
}

TEST_F(FolderAddTest, TheSameFolderTwiceDoublesTheRows)
{
    store.file("a.eml");
    store.file("sub/b.eml");
    addFolder(store.root());
    const QStringList once = rows();
    addFolder(store.root());
    EXPECT_EQ(rows(), once + once);
    EXPECT_EQ(window.lblCount1->text(), QStringLiteral("4 Email Messages"));
    EXPECT_EQ(lastMessage(), u"2 Email Messages Found.");
}

TEST_F(FolderAddTest, AFolderWithoutMessagesDisablesConvertEvenWithRowsListed)
{
    store.file("full/a.eml");
    store.file("empty/readme.txt");
    addFolder(store.path("full"));
    ASSERT_TRUE(window.CmdExtractDBX->isEnabled());

    addFolder(store.path("empty"));
    EXPECT_FALSE(window.CmdExtractDBX->isEnabled());
    EXPECT_EQ(rows(), QStringList{store.path("full/a.eml")});
    EXPECT_EQ(window.lblCount1->text(), QStringLiteral("1 Email Messages"));
    EXPECT_EQ(lastMessage(), u"0 Email Messages Found.");
}

TEST_F(FolderAddTest, AFolderThatIsGoneFindsNothing)
{
    addFolder(store.path("not-there"));
    EXPECT_EQ(lastMessage(), u"0 Email Messages Found.");
    EXPECT_FALSE(window.CmdExtractDBX->isEnabled());
    EXPECT_EQ(rows(), QStringList{QString()});
    EXPECT_EQ(window.lblCount1->text(), QStringLiteral("0 files"));
}

TEST_F(FolderAddTest, CancellingThePickerChangesNothing)
{
    store.file("a.eml");
    addFolder(store.root());
    window.CmdExtractDBX->setEnabled(false);  // whatever state it has must stay

    QTest::mouseClick(window.CmdAddFolder, Qt::LeftButton);  // no folder scripted: cancel
    EXPECT_EQ(prompts.pickerTitles.size(), 2u);
    EXPECT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(rows(), QStringList{store.path("a.eml")});
    EXPECT_FALSE(window.CmdExtractDBX->isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(FolderAddTest, ARefusedListingIsReportedAndWhatWasFoundIsListed)
{
    // The root lists two messages and a subfolder; that subfolder refuses.
    struct RefusingFolder : quillmere::Folder {
        std::vector<std::u16string> subFolderNames() override
        {
            throw quillmere::FileSystemError(quillmere::FileSystemFailure::PermissionDenied, "refused");
        }
        std::vector<std::u16string> fileNames() override { return {}; }
    };
    struct PartlyRefusing : quillmere::StdFileSystem {
        std::unique_ptr<quillmere::Folder> getFolder(const std::u16string& path) override
        {
            if (path.ends_with(u"/locked/"))
                return std::make_unique<RefusingFolder>();
            return StdFileSystem::getFolder(path);
        }
    };
    window.setFileSystemFactory([] { return std::make_unique<PartlyRefusing>(); });
    store.file("a.eml");
    store.file("b.eml");
    store.folder("locked");

    addFolder(store.root());

    ASSERT_EQ(prompts.messages.size(), 2u);
    EXPECT_EQ(prompts.messages[0].text, u"Please Select Correct Store Folder.");
    EXPECT_EQ(prompts.messages[0].icon, BoxIcon::Information);
    EXPECT_FALSE(prompts.messages[0].busyCursor);
    EXPECT_EQ(prompts.messages[1].text, u"2 Email Messages Found.");
    EXPECT_EQ(rows().size(), 2);
    EXPECT_TRUE(window.CmdExtractDBX->isEnabled());
}

TEST_F(FolderAddTest, ClearingAnEmptyListAsksNothing)
{
    clickClear(std::nullopt);
    EXPECT_TRUE(prompts.questions.empty());
}

TEST_F(FolderAddTest, ClearAnsweredNoKeepsEveryRow)
{
    store.file("a.eml");
    store.file("b.eml");
    addFolder(store.root());
    const QStringList before = rows();

    clickClear(false);
    ASSERT_EQ(prompts.questions, std::vector<std::u16string>{u"Do you want to clear all the files in the list\r\n Proceed?"});
    EXPECT_EQ(prompts.lastQuestionTitle, u"Quillmere");
    EXPECT_EQ(rows(), before);
    EXPECT_EQ(window.lblCount1->text(), QStringLiteral("2 Email Messages"));
}

TEST_F(FolderAddTest, ClearAnsweredYesEmptiesTheListAndKeepsConvertAsItWas)
{
    store.file("a.eml");
    store.file("b.eml");
    addFolder(store.root());
    window.folderPaths = {u"Inbox", u"Inbox\\2009"};

    clickClear(true);
    EXPECT_EQ(rows(), QStringList{QString()});
    EXPECT_EQ(window.lblCount1->text(), QStringLiteral("0 files"));
    EXPECT_EQ(window.folderPaths, quillmere::StringList{u""});
    EXPECT_TRUE(window.CmdExtractDBX->isEnabled());
    EXPECT_EQ(window.grdFiles1->colWidthTwips(0), 10000);

    // The next add starts again at row 0.
    addFolder(store.root());
    EXPECT_EQ(rows().size(), 2);
    EXPECT_EQ(window.lblCount1->text(), QStringLiteral("2 Email Messages"));
}

TEST_F(FolderAddTest, WhileAnAddRunsTheCursorIsBusyAndListCommandsAreHeldOff)
{
    for (int i = 0; i < 30; ++i)
        store.file(QStringLiteral("m%1.eml").arg(i));

    std::optional<Qt::CursorShape> cursorDuringAdd;
    bool busyDuringAdd = false;
    // Runs at the add's first event-processing point.
    QTimer::singleShot(0, &window, [&] {
        busyDuringAdd = window.isBusy();
        if (const QCursor* c = QApplication::overrideCursor())
            cursorDuringAdd = c->shape();
        prompts.answers.push_back(true);
        window.cmdClear1_Click();
        window.CmdAddFolder_Click();
    });
    addFolder(store.root());

    EXPECT_TRUE(busyDuringAdd);
    EXPECT_EQ(cursorDuringAdd, Qt::WaitCursor);
    EXPECT_TRUE(prompts.questions.empty());       // the clear did not ask
    EXPECT_EQ(prompts.pickerTitles.size(), 1u);   // the second add did not start
    EXPECT_EQ(rows().size(), 30);
    EXPECT_FALSE(window.isBusy());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(FolderAddTest, ClosingWhileAnAddRunsClosesWhenTheAddStops)
{
    for (int i = 0; i < 30; ++i)
        store.file(QStringLiteral("m%1.eml").arg(i));
    bool visibleAfterCloseRequest = false;
    QTimer::singleShot(0, &window, [&] {
        window.close();
        visibleAfterCloseRequest = window.isVisible();
    });
    addFolder(store.root());

    EXPECT_TRUE(visibleAfterCloseRequest);
    EXPECT_FALSE(window.isVisible());
    EXPECT_LT(rows().size(), 30);
    EXPECT_TRUE(prompts.messages.empty());  // no found box on the way out
    EXPECT_FALSE(window.isBusy());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(FolderAddTest, ExitAnsweredYesDuringAnAddClosesAfterIt)
{
    for (int i = 0; i < 10; ++i)
        store.file(QStringLiteral("m%1.eml").arg(i));
    QTimer::singleShot(0, &window, [&] {
        prompts.answers.push_back(true);
        window.cmdEnd_Click();
    });
    addFolder(store.root());
    EXPECT_EQ(prompts.questions, std::vector<std::u16string>{u"Are you sure you want to exit now?"});
    EXPECT_FALSE(window.isVisible());
}
