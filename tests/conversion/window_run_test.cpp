// Whole conversion runs through the real main window on the offscreen
// platform: folders added with the window's own command, the convert button
// clicked, prompts answered from a script, the store file read back.

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "app/main_window.h"
#include "conversion/outlook_face.h"
#include "selection/std_file_system.h"
#include "scripted_prompts.h"
#include "source_tree.h"
#include "store_inspection.h"

namespace fs = std::filesystem;
using quillmere::frmStep1;

namespace {

using testing_support::sampleMessage;

struct RowSeen {
    QString currentDbx, progressCurrent;
    float exact;
    int value;
};

class WindowRunTest : public ::testing::Test, protected testing_support::SourceTree {
protected:
    WindowRunTest() : SourceTree("window") {}
    void SetUp() override {
        window = std::make_unique<frmStep1>(&prompts);
        window->show();
        QObject::connect(window->ProgressBar1, &QProgressBar::valueChanged, [this](int value) {
            rows.push_back({window->LblCurrentDBX->text(), window->LblProgessCurrent->text(),
                            window->ProgressBar1->property("exactValue").toFloat(), value});
            if (duringRun) duringRun();
        });
    }
    void TearDown() override {
        window.reset();
    }

    void addFolder(const fs::path& folder) {
        prompts.folders.push_back(folder.u16string());
        QTest::mouseClick(window->CmdAddFolder, Qt::LeftButton);
    }
    void convert(bool pickDestination = true) {
        if (pickDestination) prompts.folders.push_back((base / "out").u16string());
        QTest::mouseClick(window->CmdExtractDBX, Qt::LeftButton);
    }
    std::vector<ScriptedPrompts::Shown> boxesTitled(const std::u16string& title) const {
        std::vector<ScriptedPrompts::Shown> out;
        for (auto& m : prompts.messages)
            if (m.title == title) out.push_back(m);
        return out;
    }

    ScriptedPrompts prompts;
    std::unique_ptr<frmStep1> window;
    std::vector<RowSeen> rows;
    std::function<void()> duringRun;
};

}  // namespace

TEST_F(WindowRunTest, CancelAtTheDestinationPickerChangesNothing) {
    write("Mail/a.eml", sampleMessage("Alpha"));
    addFolder(base / "src");
    convert(false);
    EXPECT_EQ(prompts.pickerTitles.back(), u"Choose Folder to Save...");
    EXPECT_TRUE(stores().empty());
    EXPECT_TRUE(window->CmdExtractDBX->isEnabled());
    EXPECT_EQ(window->LblCurrentDBX->text(), "Converting Messages...");
    EXPECT_EQ(window->LblProgessCurrent->text(), "Messages not initialized yet...");
    EXPECT_EQ(window->ProgressBar1->value(), 0);
    EXPECT_FALSE(window->rdoSession);
}

TEST_F(WindowRunTest, RunWritesTheFolderChainAndEveryMessageReadWithLabelsRowByRow) {
    write("Users/ann/Mail/Inbox/a.eml", sampleMessage("Alpha"));
    write("Users/ann/Mail/Inbox/b.eml", sampleMessage("Beta", true));
    write("Users/ann/Mail/Sent/c.eml", sampleMessage("Gamma"));
    addFolder(base / "src");
    ASSERT_EQ(window->grdFiles1->rows(), 3);
    convert();

    auto files = stores();
    ASSERT_EQ(files.size(), 1u);
    const std::string name = files[0].filename().string();
    EXPECT_EQ(name.rfind("WindowsLiveMailMessages", 0), 0u);
    EXPECT_EQ(window->storeDisplayName.rfind(u"Windows Live Mail Messages : Created - ", 0), 0u);
    EXPECT_TRUE(boxesTitled(u"Quillmere").size() == 1);  // only the folder add's count
    EXPECT_FALSE(window->CmdExtractDBX->isEnabled());
    EXPECT_FALSE(window->rdoSession);

    // Row by row: the labels of that row, the value as the run computed it.
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_FLOAT_EQ(rows[0].exact, 33.333332f);
    EXPECT_FLOAT_EQ(rows[1].exact, 66.666664f);
    EXPECT_FLOAT_EQ(rows[2].exact, 100.0f);
    EXPECT_EQ(window->ProgressBar1->value(), 100);
    for (int r = 0; r < 3; ++r) {
        const QString file = QString::fromStdU16String(window->grdFiles1->textMatrix(r, 0).toStdU16String());
        EXPECT_EQ(rows[r].progressCurrent, file);
        QString folder = QString::fromStdString(fs::path(file.toStdString()).parent_path().relative_path().generic_string());
        folder.replace('/', '\\');
        EXPECT_EQ(rows[r].currentDbx, "Converting Messages... from (" + folder + ")");
    }
    EXPECT_EQ(window->grdFiles1->row(), 2);
    EXPECT_EQ(window->LblCurrentDBX->text(), rows[2].currentDbx);

    const std::string mail = prefix() + "/Users/ann/Mail";
    auto pff = testing_support::readWithPffexport(files[0], base / "pff");
    if (testing_support::toolAvailable("pffexport")) {
        for (std::string folder : {prefix() + "/Users", prefix() + "/Users/ann", mail})
            EXPECT_TRUE(pff.count(folder)) << folder;
        EXPECT_EQ(pff[mail + "/Inbox"], 2);
        EXPECT_EQ(pff[mail + "/Sent"], 1);
    }
    if (testing_support::toolAvailable("readpst")) {
        auto rp = testing_support::readWithReadpst(files[0], base / "readpst");
        ASSERT_EQ(rp[mail + "/Inbox"].size(), 2u);
        ASSERT_EQ(rp[mail + "/Sent"].size(), 1u);
        for (auto& [folder, read] : rp)
            for (bool r : read) EXPECT_TRUE(r) << folder;
    }
    // Adding files enables the button again.
    addFolder(base / "src");
    EXPECT_TRUE(window->CmdExtractDBX->isEnabled());
}

TEST_F(WindowRunTest, FoldersDifferingOnlyInCaseAndFilesListedTwice) {
    write("Mail/Inbox/a.eml", sampleMessage("Alpha"));
    write("Mail/inbox/b.eml", sampleMessage("Beta"));
    addFolder(base / "src");
    addFolder(base / "src/Mail/Inbox");  // a.eml a second time
    ASSERT_EQ(window->grdFiles1->rows(), 3);
    convert();
    auto files = stores();
    ASSERT_EQ(files.size(), 1u);
    auto own = testing_support::readWithOwnReader(files[0]);
    const std::string mail = prefix() + "/Mail";
    EXPECT_EQ(own[mail + "/Inbox"].size(), 3u);
    EXPECT_FALSE(own.count(mail + "/inbox"));
    EXPECT_TRUE(boxesTitled(u"Outlook Error").empty());
}

TEST_F(WindowRunTest, EmptiedListTakesTheErrorPathAfterTheStoreWasAdded) {
    write("Mail/a.eml", sampleMessage("Alpha"));
    addFolder(base / "src");
    prompts.answers.push_back(true);
    QTest::mouseClick(window->cmdClear1, Qt::LeftButton);
    ASSERT_TRUE(window->CmdExtractDBX->isEnabled());
    convert();
    auto errors = boxesTitled(u"Outlook Error");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].icon, quillmere::BoxIcon::Information);
    EXPECT_EQ(errors[0].text.rfind(u"Outlook Session Creation Error !\r\nCheck if Outlook is installed and configured."
                                   u"\r\nFor more details visit this link : ", 0), 0u);
    EXPECT_EQ(stores().size(), 1u);
    EXPECT_TRUE(window->CmdExtractDBX->isEnabled());
    EXPECT_TRUE(window->rdoSession);
}

TEST_F(WindowRunTest, RowsWithoutAFolderBelowTheRootTakeTheErrorPath) {
    for (QString row : {QString("Mail/a.eml"), QString("/a.eml")}) {
        SCOPED_TRACE(row.toStdString());
        fs::remove_all(base / "out");
        fs::create_directories(base / "out");
        prompts.messages.clear();
        window->ClearFileList();
        window->AddFileToList(QString::fromStdString(write("Mail/ok.eml", sampleMessage("Ok")).string()));
        window->AddFileToList(row);
        window->CmdExtractDBX->setEnabled(true);
        convert();
        EXPECT_EQ(boxesTitled(u"Outlook Error").size(), 1u);
        ASSERT_EQ(stores().size(), 1u);
        auto own = testing_support::readWithOwnReader(stores()[0]);
        size_t messages = 0;
        for (auto& [folder, list] : own) messages += list.size();
        EXPECT_EQ(messages, 0u);
        EXPECT_TRUE(own.count("Deleted Items") || own.size() <= 1);  // none of the listed folders
    }
}

TEST_F(WindowRunTest, MissingSessionComponentTakesTheErrorPathWithoutAStore) {
    write("Mail/a.eml", sampleMessage("Alpha"));
    addFolder(base / "src");
    window->components().unregisterClass("Redemption.RDOSession");
    convert();
    EXPECT_EQ(boxesTitled(u"Outlook Error").size(), 1u);
    EXPECT_TRUE(stores().empty());
}

TEST_F(WindowRunTest, MissingUtilityComponentSavesMessagesWithoutFlags) {
    write("Mail/a.eml", sampleMessage("Alpha"));
    addFolder(base / "src");
    window->components().unregisterClass("Redemption.MAPIUtils");
    convert();
    ASSERT_EQ(stores().size(), 1u);
    auto own = testing_support::readWithOwnReader(stores()[0]);
    ASSERT_EQ(own[prefix() + "/Mail"].size(), 1u);
    EXPECT_TRUE(boxesTitled(u"Outlook Error").empty());
}

TEST_F(WindowRunTest, MissingApplicationComponentLeavesSubfoldersOutAndSaysSo) {
    write("Mail/a.eml", sampleMessage("Alpha"));
    addFolder(base / "src");
    window->components().unregisterClass("Outlook.Application");
    convert();
    ASSERT_EQ(stores().size(), 1u);
    // Only the top folder of the chain exists; the message had nowhere to go.
    auto own = testing_support::readWithOwnReader(stores()[0]);
    EXPECT_FALSE(own.count(prefix() + "/Mail"));
    auto boxes = boxesTitled(u"Quillmere");
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].text.rfind(u"1 message(s) could not be converted:", 0), 0u);
}

TEST_F(WindowRunTest, MalformedFileIsCountedAndReportedWithoutAnEmptyItem) {
    write("Mail/a.eml", sampleMessage("Alpha"));
    write("Mail/b.eml", "");
    write("Mail/c.eml", sampleMessage("Gamma"));
    addFolder(base / "src");
    convert();
    auto own = testing_support::readWithOwnReader(stores().at(0));
    EXPECT_EQ(own[prefix() + "/Mail"].size(), 2u);
    auto boxes = boxesTitled(u"Quillmere");
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].icon, quillmere::BoxIcon::Exclamation);
    EXPECT_EQ(boxes[1].text.rfind(u"1 message(s) could not be converted:\r\n" + (base / "src/Mail/b.eml").u16string(), 0), 0u);
    EXPECT_FALSE(window->CmdExtractDBX->isEnabled());
}

TEST_F(WindowRunTest, OtherCommandsAreHeldOffAndClosingWaitsForTheRun) {
    for (auto name : {"a", "b", "c", "d"}) write(std::string("Mail/") + name + ".eml", sampleMessage(name));
    addFolder(base / "src");
    const size_t pickers = prompts.pickerTitles.size();
    duringRun = [this] {
        if (rows.size() != 1) return;
        window->CmdExtractDBX->setEnabled(true);
        QTest::mouseClick(window->CmdExtractDBX, Qt::LeftButton);
        QTest::mouseClick(window->CmdAddFolder, Qt::LeftButton);
        QTest::mouseClick(window->cmdClear1, Qt::LeftButton);
        window->close();
    };
    convert();
    EXPECT_EQ(prompts.pickerTitles.size(), pickers + 1);  // only this run's destination
    EXPECT_TRUE(prompts.questions.empty());
    EXPECT_EQ(window->grdFiles1->rows(), 4);
    EXPECT_FALSE(window->isVisible());
    // The run stopped after the message it was on and committed the store.
    auto own = testing_support::readWithOwnReader(stores().at(0));
    EXPECT_EQ(own[prefix() + "/Mail"].size(), 1u);
}

TEST_F(WindowRunTest, OpenMapiFolderFindsTheNewStoresFoldersDuringTheRun) {
    write("Mail/Inbox/a.eml", sampleMessage("Alpha"));
    addFolder(base / "src");
    std::u16string found, missing = u"unset";
    duringRun = [&] {
        std::u16string path = u"\\" + window->storeDisplayName + u"\\" + fs::path(prefix()).begin()->u16string();
        if (auto folder = window->OpenMAPIFolder(path)) found = folder->Name();
        std::u16string root = u"\\";
        missing = window->OpenMAPIFolder(root) ? u"a folder" : u"none";
    };
    convert();
    EXPECT_EQ(found, fs::path(prefix()).begin()->u16string());
    EXPECT_EQ(missing, u"none");
}

// The window keeps its walk (it stops at a refused folder with its box);
// the run's closing box then names that folder and the report, which
// accounts for the folder and every listed file.
TEST_F(WindowRunTest, ClosingBoxNamesTheRefusedFolderAndTheReport) {
    struct RefusingFolder : quillmere::Folder {
        std::vector<std::u16string> subFolderNames() override {
            throw quillmere::FileSystemError(quillmere::FileSystemFailure::PermissionDenied, "refused",
                                             "permission denied");
        }
        std::vector<std::u16string> fileNames() override { return {}; }
    };
    struct PartlyRefusing : quillmere::StdFileSystem {
        std::unique_ptr<quillmere::Folder> getFolder(const std::u16string& path) override {
            if (path.ends_with(u"/Locked/")) return std::make_unique<RefusingFolder>();
            return StdFileSystem::getFolder(path);
        }
    };
    window->setFileSystemFactory([] { return std::make_unique<PartlyRefusing>(); });
    write("a.eml", sampleMessage("Alpha"));
    write("Locked/b.eml", sampleMessage("Beta"));
    write("Mail/c.eml", sampleMessage("Gamma"));
    addFolder(base / "src" / "Mail");
    addFolder(base / "src");
    ASSERT_EQ(prompts.messages.size(), 3u);
    EXPECT_EQ(prompts.messages[1].text, u"Please Select Correct Store Folder.");
    convert();

    auto boxes = boxesTitled(u"Quillmere");
    ASSERT_EQ(boxes.size(), 4u);
    const auto& text = boxes[3].text;
    const std::u16string locked = (base / "src" / "Locked").u16string() + u"/";
    EXPECT_NE(text.find(u"1 folder(s) could not be listed"), std::u16string::npos) << text.size();
    EXPECT_NE(text.find(locked + u" (permission denied)"), std::u16string::npos);
    ASSERT_EQ(stores().size(), 1u);
    fs::path report = stores()[0];
    report.replace_extension(".txt");
    EXPECT_NE(text.find(u"Every file is accounted for in the report " + report.u16string()), std::u16string::npos);
    std::ifstream in(report);
    std::string all((std::istreambuf_iterator<char>(in)), {});
    EXPECT_NE(all.find("folder not listed\t\t" + (base / "src" / "Locked").string() + "/\tpermission denied"),
              std::string::npos)
        << all;
    EXPECT_NE(all.find("2 of 2 messages converted (0 with warnings), 0 not converted, 1 folder not listed."),
              std::string::npos)
        << all;

    // A clear forgets the folders the earlier adds could not list.
    prompts.answers.push_back(true);
    QTest::mouseClick(window->cmdClear1, Qt::LeftButton);
    EXPECT_TRUE(window->unlistedFolders.empty());
}

// The error path keeps its box, with the true cause as its last line.
TEST_F(WindowRunTest, OutlookErrorBoxEndsWithTheCause) {
    write("Mail/a.eml", sampleMessage("Alpha"));
    addFolder(base / "src");
    std::ofstream(base / "plainfile") << "x";
    prompts.folders.push_back((base / "plainfile" / "out").u16string());
    convert(false);
    auto errors = boxesTitled(u"Outlook Error");
    ASSERT_EQ(errors.size(), 1u);
    const auto& text = errors[0].text;
    EXPECT_EQ(text.rfind(u"Outlook Session Creation Error !\r\nCheck if Outlook is installed and configured.\r\n", 0), 0u);
    const auto last = text.substr(text.rfind(u"\r\n") + 2);
    EXPECT_NE(last.find((base / "plainfile" / "out").u16string()), std::u16string::npos);
    EXPECT_NE(last.find(u"a part of the path is not a folder"), std::u16string::npos);
    EXPECT_EQ(last.find(u".partial"), std::u16string::npos);
}
