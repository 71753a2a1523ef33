// The store's own API: folder lookup and creation rules, entry ids, errors.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "pst/ndb/write_behind_file.h"
#include "store_test_support.h"

using namespace pst;
using namespace pst::testing;

namespace {
StoreError::Kind kindOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const StoreError& e) {
        return e.kind();
    }
    ADD_FAILURE() << "no StoreError thrown";
    return StoreError::Kind::Corrupt;
}
}  // namespace

TEST(StoreApi, NewStoreHasTheStandardFolders) {
    ScratchDir dir;
    auto store = Store::create(dir.file("a.pst"), u"Mail");
    EXPECT_EQ(store->displayName(), u"Mail");
    EXPECT_NE(store->rootFolder(), store->ipmSubtree());
    auto top = store->subfolders(store->ipmSubtree());
    ASSERT_EQ(top.size(), 1u);
    EXPECT_EQ(top[0].name, u"Deleted Items");
    EXPECT_EQ(store->folderInfo(store->ipmSubtree()).name, u"Top of Personal Folders");
    EXPECT_TRUE(store->folderInfo(store->ipmSubtree()).hasSubfolders);
    store->close();
    EXPECT_FALSE(store->isOpen());
}

TEST(StoreApi, FolderNamesMatchIgnoringCase) {
    ScratchDir dir;
    auto store = Store::create(dir.file("a.pst"), u"Mail");
    FolderId inbox = store->createFolder(store->ipmSubtree(), u"Inbox");
    FolderId greek = store->createFolder(inbox, u"ΑΡΧΕΙΟ Ä");
    EXPECT_EQ(store->findFolder(store->ipmSubtree(), u"INBOX"), inbox);
    EXPECT_EQ(store->findFolder(store->ipmSubtree(), u"inbox"), inbox);
    EXPECT_EQ(store->findFolder(inbox, u"αρχειο ä"), greek);
    EXPECT_EQ(store->findFolder(store->ipmSubtree(), u"Inbo"), std::nullopt);
    EXPECT_EQ(store->findFolder(store->ipmSubtree(), u"deleted items"), store->subfolders(store->ipmSubtree())[0].id);
    // Same name elsewhere in the tree is fine.
    EXPECT_NO_THROW(store->createFolder(greek, u"Inbox"));
}

TEST(StoreApi, DuplicateFolderNameFailsWithFolderExists) {
    ScratchDir dir;
    auto store = Store::create(dir.file("a.pst"), u"Mail");
    store->createFolder(store->ipmSubtree(), u"Work");
    EXPECT_EQ(kindOf([&] { store->createFolder(store->ipmSubtree(), u"WORK"); }), StoreError::Kind::FolderExists);
    EXPECT_EQ(kindOf([&] { store->createFolder(store->ipmSubtree(), u"deleted ITEMS"); }),
              StoreError::Kind::FolderExists);
    EXPECT_EQ(store->subfolders(store->ipmSubtree()).size(), 2u);
}

TEST(StoreApi, BadArgumentsAreReportedAndTheStoreStaysUsable) {
    ScratchDir dir;
    auto path = dir.file("a.pst");
    auto store = Store::create(path, u"Mail");
    EXPECT_EQ(kindOf([&] { store->createFolder(0x12345, u"x"); }), StoreError::Kind::NotFound);
    EXPECT_EQ(kindOf([&] { store->folderInfo(0x12345); }), StoreError::Kind::NotFound);
    EXPECT_EQ(kindOf([&] { store->createFolder(store->ipmSubtree(), u""); }), StoreError::Kind::InvalidArgument);
    MessageContent bad;
    bad.set(tags::PR_SUBJECT_W, int32_t(5));  // a number where text belongs
    FolderId inbox = store->createFolder(store->ipmSubtree(), u"Inbox");
    EXPECT_EQ(kindOf([&] { store->addMessage(inbox, bad); }), StoreError::Kind::InvalidArgument);
    EXPECT_EQ(store->folderInfo(inbox).contentCount, 0u);
    store->addMessage(inbox, mailMessage(u"fine", u"body"));
    store->close();
    EXPECT_EQ(checkerDefects(path), "");
}

TEST(StoreApi, ExistingFileIsNotOverwritten) {
    ScratchDir dir;
    auto path = dir.file("a.pst");
    Store::create(path, u"Mail")->close();
    auto size = std::filesystem::file_size(path);
    EXPECT_EQ(kindOf([&] { Store::create(path, u"Other"); }), StoreError::Kind::FileExists);
    EXPECT_EQ(std::filesystem::file_size(path), size);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(path.parent_path()), {}), 1);

    StoreOptions options;
    options.nextFreeName = true;
    auto next = Store::create(path, u"Other", options);
    EXPECT_EQ(next->file(), path.parent_path() / "a (2).pst");
    EXPECT_TRUE(std::filesystem::exists(next->file()));
}

TEST(StoreApi, CommittedMessagesCountsWhatTheFileHolds) {
    ScratchDir dir;
    StoreOptions options;
    options.commitEveryBytes = UINT64_MAX;
    options.commitEverySeconds = 1e9;
    auto store = Store::create(dir.file("a.pst"), u"Mail", options);
    auto inbox = store->createFolder(store->ipmSubtree(), u"Inbox");
    MessageContent m;
    m.set(0x0037001F, std::u16string(u"one"));  // PR_SUBJECT_W
    store->addMessage(inbox, m);
    store->addMessage(inbox, m);
    EXPECT_EQ(store->committedMessages(), 0u);
    store->commit();
    EXPECT_EQ(store->committedMessages(), 2u);
    store->addMessage(inbox, m);
    store->close();
    EXPECT_EQ(store->committedMessages(), 3u);
}

// An automatic commit is made behind: its messages count only once it is
// on the disk. The second commit is held before its HEADER.
std::atomic<uint64_t> lastDurable{0};
std::atomic<uint64_t> holdFrom{UINT64_MAX};

TEST(StoreApi, AnAutomaticCommitCountsOnceItIsDurable) {
    ScratchDir dir;
    StoreOptions options;
    options.commitEveryBytes = 1;  // a commit after every message
    options.commitEverySeconds = 1e9;
    auto store = Store::create(dir.file("a.pst"), u"Mail", options);
    auto inbox = store->createFolder(store->ipmSubtree(), u"Inbox");
    pst::ndb::setCommitStepHook([](pst::ndb::CommitStep step, uint64_t number) {
        if (step == pst::ndb::CommitStep::Durable) lastDurable = number;
        while (step == pst::ndb::CommitStep::BeforeHeader && number >= holdFrom)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    });
    auto within = [](auto done) {
        for (int i = 0; i < 2000 && !done(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return done();
    };
    store->addMessage(inbox, mailMessage(u"one", u"b"));
    ASSERT_TRUE(within([] { return lastDurable > 0; }));
    EXPECT_EQ(store->committedMessages(), 1u);
    holdFrom = lastDurable + 1;
    store->addMessage(inbox, mailMessage(u"two", u"b"));  // starts the second commit
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(store->committedMessages(), 1u) << "counted before its HEADER was written";
    holdFrom = UINT64_MAX;
    EXPECT_TRUE(within([&] { return store->committedMessages() == 2; }));
    pst::ndb::setCommitStepHook(nullptr);
    store->close();
    EXPECT_EQ(store->committedMessages(), 2u);
}

TEST(StoreApi, ClosedStoreRefusesWrites) {
    ScratchDir dir;
    auto store = Store::create(dir.file("a.pst"), u"Mail");
    store->close();
    EXPECT_NO_THROW(store->close());
    EXPECT_EQ(kindOf([&] { store->createFolder(store->ipmSubtree(), u"x"); }), StoreError::Kind::Closed);
    EXPECT_EQ(kindOf([&] { store->addMessage(store->ipmSubtree(), mailMessage(u"s", u"b")); }),
              StoreError::Kind::Closed);
    EXPECT_EQ(kindOf([&] { store->commit(); }), StoreError::Kind::Closed);
}

TEST(StoreApi, EntryIdsCarryTheRecordKeyAndNid) {
    ScratchDir dir;
    auto store = Store::create(dir.file("a.pst"), u"Mail");
    Bytes key = store->recordKey();
    ASSERT_EQ(key.size(), 16u);
    FolderId f = store->createFolder(store->ipmSubtree(), u"F");
    Bytes id = store->entryId(f);
    ASSERT_EQ(id.size(), 24u);
    EXPECT_EQ(Bytes(id.begin(), id.begin() + 4), Bytes(4, 0));
    EXPECT_EQ(Bytes(id.begin() + 4, id.begin() + 20), key);
    EXPECT_EQ(uint32_t(id[20] | id[21] << 8 | id[22] << 16 | id[23] << 24), f);
    // Two stores get different provider UIDs.
    auto other = Store::create(dir.file("b.pst"), u"Mail");
    EXPECT_NE(other->recordKey(), key);
}

TEST(StoreApi, CountsFollowMessages) {
    ScratchDir dir;
    auto store = Store::create(dir.file("a.pst"), u"Mail");
    FolderId f = store->createFolder(store->ipmSubtree(), u"F");
    store->addMessage(f, mailMessage(u"read", u"b"));
    MessageContent unread = mailMessage(u"unread", u"b");
    unread.set(tags::PR_MESSAGE_FLAGS, int32_t(0));
    store->addMessage(f, unread);
    auto info = store->folderInfo(f);
    EXPECT_EQ(info.contentCount, 2u);
    EXPECT_EQ(info.unreadCount, 1u);
    EXPECT_FALSE(info.hasSubfolders);
    EXPECT_EQ(kindOf([&] { store->addMessage(0x7777, unread); }), StoreError::Kind::NotFound);
}
