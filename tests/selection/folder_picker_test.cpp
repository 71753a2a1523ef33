// The folder chooser on Qt's own folder dialog, answered as a user would.

#include <QDialogButtonBox>
#include <QDir>
#include <QPushButton>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <gtest/gtest.h>

#include "../app/dialogs.h"
#include "selection/folder_picker.h"
#include "selection/qt_prompts.h"

using quillmere::BrowseForFolder;

namespace {

// Presses the dialog's accept button, as the user would, once the dialog
// (which reads folders in the background) offers it.
void pressChoose(QFileDialog* d)
{
    auto* buttons = d->findChild<QDialogButtonBox*>();
    QPushButton* choose = buttons ? buttons->button(QDialogButtonBox::Open) : nullptr;
    if (!choose || !QTest::qWaitFor([&] { return choose->isEnabled(); }, 3000)) {
        ADD_FAILURE() << "the dialog offers no enabled accept button";
        d->reject();
        return;
    }
    choose->click();
    if (d->isVisible())  // refused: leave the dialog as a cancel would
        d->reject();
}

struct Seen {
    QString title;
    QString directory;
    QStringList preselected;
    QWidget* owner = nullptr;
    bool modal = false;
    QFileDialog::FileMode mode{};
    bool dirsOnly = false;
};

class FolderPickerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        owner.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&owner));
    }
    // Opens the chooser; `answer` acts on the dialog once it shows.
    QString pick(std::function<void(QFileDialog*)> answer, const QString& title = QStringLiteral("Pick one"))
    {
        answerNextDialog<QFileDialog>([this, answer](QFileDialog* d) {
            seen = {d->windowTitle(), QDir::cleanPath(d->directory().absolutePath()), d->selectedFiles(),
                    d->parentWidget(), d->isModal(), d->fileMode(), d->testOption(QFileDialog::ShowDirsOnly)};
            answer(d);
        });
        return BrowseForFolder(&owner, title);
    }

    QWidget owner;
    Seen seen;
    QTemporaryDir temp;
};

}  // namespace

TEST_F(FolderPickerTest, OpensModalOverItsOwnerAtTheRootWithTheCallersTitle)
{
    pick([](QFileDialog* d) { d->reject(); }, QStringLiteral("Choose Folder to Save..."));
    EXPECT_EQ(seen.title, QStringLiteral("Choose Folder to Save..."));
    EXPECT_EQ(seen.owner, &owner);
    EXPECT_TRUE(seen.modal);
    EXPECT_EQ(seen.directory, QDir::rootPath());
    EXPECT_EQ(seen.mode, QFileDialog::Directory);
    EXPECT_TRUE(seen.dirsOnly);
}

TEST_F(FolderPickerTest, ReturnsTheChosenFolderWithoutATrailingSlash)
{
    const QString chosen = pick([this](QFileDialog* d) {
        d->setDirectory(temp.path());
        pressChoose(d);
    });
    EXPECT_EQ(chosen, QDir::cleanPath(temp.path()));
    EXPECT_FALSE(chosen.endsWith(QLatin1Char('/')));
}

TEST_F(FolderPickerTest, TheRootKeepsItsSlash)
{
    const QString chosen = pick([](QFileDialog* d) {
        d->setDirectory(QDir::rootPath());
        pressChoose(d);
    });
    EXPECT_EQ(chosen, QStringLiteral("/"));
}

TEST_F(FolderPickerTest, CancelAndTheCloseBoxGiveTheEmptyString)
{
    EXPECT_EQ(pick([](QFileDialog* d) { d->reject(); }), QString());
    EXPECT_EQ(pick([](QFileDialog* d) { d->close(); }), QString());
    EXPECT_EQ(pick([](QFileDialog* d) { QTest::keyClick(d, Qt::Key_Escape); }), QString());
}

TEST_F(FolderPickerTest, OpensAtTheRootAgainWithNothingPreselectedAfterAChoice)
{
    pick([this](QFileDialog* d) {
        d->setDirectory(temp.path());
        pressChoose(d);
    });
    pick([](QFileDialog* d) { d->reject(); });
    EXPECT_EQ(seen.directory, QDir::rootPath());
    for (const QString& f : seen.preselected)
        EXPECT_EQ(QDir::cleanPath(f), QDir::rootPath());
}

TEST_F(FolderPickerTest, ThePromptsPickerIsTheSameChooserOverTheSameOwner)
{
    quillmere::QtPrompts prompts(&owner);
    answerNextDialog<QFileDialog>([this](QFileDialog* d) {
        seen.title = d->windowTitle();
        seen.owner = d->parentWidget();
        d->setDirectory(temp.path());
        pressChoose(d);
    });
    const auto chosen = prompts.browseForFolder(u"Choose Windows Live Mail Store Folder...");
    EXPECT_EQ(QString::fromStdU16String(chosen), QDir::cleanPath(temp.path()));
    EXPECT_EQ(seen.title, QStringLiteral("Choose Windows Live Mail Store Folder..."));
    EXPECT_EQ(seen.owner, &owner);
}

TEST_F(FolderPickerTest, LeavesNoSettingsBehind)
{
    pick([this](QFileDialog* d) {
        d->setDirectory(temp.path());
        pressChoose(d);
    });
    pick([](QFileDialog* d) { d->reject(); });
    const QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    ASSERT_FALSE(config.isEmpty());
    EXPECT_TRUE(QDir(config).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).isEmpty())
        << QDir(config).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).join(u' ').toStdString();
}
