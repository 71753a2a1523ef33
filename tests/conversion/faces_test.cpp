// The two store faces over one profile, and the folder lookup by path.

#include <gtest/gtest.h>

#include <filesystem>

#include "conversion/components.h"
#include "conversion/folder_lookup.h"
#include "conversion/outlook_face.h"
#include "conversion/redemption_face.h"
#include "memory_store.h"

using namespace conversion;

namespace {

class FacesTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() /
              ("quillmere-faces-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        registerStoreComponents(components, memory.profile);
        session = components.create<redemption::RDOSession>(kSessionClass);
        session->Logon();
        store = session->Stores()->AddPSTStore((dir / "a.pst").u16string(), 1, u"My Store");
        auto root = store->IPMRootFolder();
        auto mail = root->Folders()->Add(u"Mail", 6);
        mail->Folders()->Add(u"Inbox", 6);
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    std::shared_ptr<outlook::Folder> open(std::u16string path) { return OpenMAPIFolder(components, path); }

    std::filesystem::path dir;
    testing_support::MemoryProfile memory;
    ComponentRegistry components;
    std::shared_ptr<redemption::RDOSession> session;
    std::shared_ptr<redemption::RDOStore> store;
};

}  // namespace

TEST(ComponentRegistryTest, UnknownClassIsAMissingComponent) {
    ComponentRegistry registry;
    EXPECT_THROW(registry.createObject("Redemption.RDOSession"), ComponentError);
    testing_support::MemoryProfile memory;
    registerStoreComponents(registry, memory.profile);
    for (const char* name : {"Redemption.RDOSession", "Redemption.MAPIUtils", "Outlook.Application"})
        EXPECT_TRUE(registry.createObject(name)) << name;
    EXPECT_THROW(registry.create<outlook::Application>("Redemption.MAPIUtils"), ComponentError);
}

TEST_F(FacesTest, SessionNeedsLogonAndLogoffClosesItsStores) {
    auto other = components.create<redemption::RDOSession>(kSessionClass);
    EXPECT_THROW(other->Stores(), ComponentError);
    EXPECT_EQ(session->Stores()->GetStoreFromID(store->EntryID())->Name(), u"My Store");
    EXPECT_THROW(session->Stores()->GetStoreFromID(u"nothing"), ComponentError);
    session->Logoff();
    EXPECT_FALSE(memory.stores[0]->isOpen());
    EXPECT_GE(memory.stores[0]->commits, 1);
    EXPECT_THROW(store->IPMRootFolder(), ComponentError);
}

TEST_F(FacesTest, AddPstStoreTakesTheNextFreeNameAndRefusesOtherFormats) {
    auto again = session->Stores()->AddPSTStore((dir / "a.pst").u16string(), 1, u"Again");
    EXPECT_EQ(again->PstPath(), (dir / "a (2).pst").u16string());
    EXPECT_EQ(store->PstPath(), (dir / "a.pst").u16string());
    EXPECT_THROW(session->Stores()->AddPSTStore((dir / "b.pst").u16string(), 2, u"Other"), ComponentError);
}

TEST_F(FacesTest, FolderFromPathIgnoresCaseAndTrailingSeparator) {
    EXPECT_EQ(session->GetFolderFromPath(u"\\\\My Store\\Mail\\Inbox")->Name(), u"Inbox");
    EXPECT_EQ(session->GetFolderFromPath(u"\\\\my store\\MAIL\\inbox\\")->Name(), u"Inbox");
    EXPECT_EQ(session->GetFolderFromPath(u"\\\\My Store")->Name(), u"Top of Personal Folders");
    EXPECT_THROW(session->GetFolderFromPath(u"\\\\My Store\\Mail\\Sent"), ComponentError);
    EXPECT_THROW(session->GetFolderFromPath(u"\\\\Nobody\\Mail"), ComponentError);
    EXPECT_THROW(session->GetFolderFromPath(u"\\\\My Store\\\\Mail"), ComponentError);
}

TEST_F(FacesTest, FoldersAreWalkedByPositionAndDuplicatesRefused) {
    auto root = store->IPMRootFolder()->Folders();
    root->Add(u"Archive", 6);
    ASSERT_EQ(root->Count(), 2);
    std::vector<std::u16string> names{root->Item(1)->Name(), root->Item(2)->Name()};
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::u16string>{u"Archive", u"Mail"}));
    EXPECT_THROW(root->Item(3), ComponentError);
    EXPECT_THROW(root->Add(u"mail", 6), std::exception);
    EXPECT_THROW(root->Add(u"Notes", 5), ComponentError);
}

TEST_F(FacesTest, StoreAddedThroughSessionIsATopLevelFolderOfTheNamespace) {
    auto application = components.create<outlook::Application>(kOutlookClass);
    auto top = application->GetNamespace(u"MAPI")->GetFolders()->Item(u"my STORE");
    EXPECT_EQ(top->GetFolders()->Item(u"mail")->GetFolders()->Item(u"INBOX")->Name(), u"Inbox");
    top->GetFolders()->Item(u"Mail")->GetFolders()->Add(u"Sent", 6);
    // Both faces see the new folder at once.
    EXPECT_EQ(session->GetFolderFromPath(u"\\\\My Store\\Mail\\Sent")->Name(), u"Sent");
    EXPECT_THROW(application->GetNamespace(u"Other"), ComponentError);
}

TEST_F(FacesTest, OpenMapiFolderWalksFromAboveAllStores) {
    EXPECT_EQ(open(u"\\My Store")->Name(), u"Top of Personal Folders");
    EXPECT_EQ(open(u"\\My Store\\Mail\\Inbox")->Name(), u"Inbox");
    EXPECT_EQ(open(u"\\My Store\\Mail\\")->Name(), u"Mail");
    EXPECT_EQ(open(u"\\"), nullptr);
    EXPECT_THROW(open(u"\\My Store\\Nothing"), ComponentError);
    EXPECT_THROW(open(u"\\My Store\\\\Mail"), ComponentError);
    std::u16string path = u"\\My Store\\Mail";
    OpenMAPIFolder(components, path);
    EXPECT_TRUE(path.empty());  // the walk consumes its argument
}

TEST_F(FacesTest, OpenMapiFolderWalksRelativePathsFromTheActiveWindow) {
    EXPECT_THROW(open(u""), ComponentError);  // no window is open
    EXPECT_THROW(open(u"Inbox"), ComponentError);
    auto mail = session->GetFolderFromPath(u"\\\\My Store\\Mail");
    memory.profile->activeFolder = mail->ref();
    EXPECT_EQ(open(u"")->Name(), u"Mail");
    EXPECT_EQ(open(u"Inbox")->Name(), u"Inbox");
}

TEST_F(FacesTest, OpenMapiFolderNeedsTheApplicationClass) {
    components.unregisterClass("Outlook.Application");
    EXPECT_THROW(open(u"\\My Store"), ComponentError);
}

TEST_F(FacesTest, ImportedItemIsWrittenOnceWithItsFlags) {
    auto folder = session->GetFolderFromPath(u"\\\\My Store\\Mail\\Inbox");
    auto item = folder->Items()->Add(0);
    EXPECT_THROW(item->Import(u"/x/bad.eml", 1024), std::exception);
    EXPECT_THROW(item->Import(u"/x/a.eml", 1), ComponentError);
    item->Import(u"/x/a.eml", 1024);
    auto utils = components.create<redemption::MAPIUtils>(kUtilsClass);
    utils->HrSetOneProp(*item->MAPIOBJECT(), 0x0E070003, int32_t{1}, true);
    item->Save();  // already saved with its flags: nothing more is written
    EXPECT_THROW(utils->HrSetOneProp(*item->MAPIOBJECT(), 0x0E070003, int32_t{0}, true), ComponentError);
    auto messages = memory.stores[0]->messagesByFolder();
    ASSERT_EQ(messages[u"Mail\\Inbox"].size(), 1u);
    EXPECT_EQ(std::get<int32_t>(*messages[u"Mail\\Inbox"][0].find(0x0E070003)), 1);
    EXPECT_THROW(folder->Items()->Add(1), ComponentError);
}
