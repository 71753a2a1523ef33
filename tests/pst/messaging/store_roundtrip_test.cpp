// Stores written through the API, then checked by our checker and read back
// by our reader.

#include <gtest/gtest.h>

#include "pst/read/pst_reader.h"
#include "store_test_support.h"

using namespace pst;
using namespace pst::testing;
using pst::read::PstReader;

namespace {

std::u16string str(const std::vector<Property>& props, PropTag tag) { return read::stringProp(props, tag); }

const Bytes* bytesProp(const std::vector<Property>& props, PropTag tag) {
    auto* v = read::findProp(props, tag);
    return v ? std::get_if<Bytes>(v) : nullptr;
}

int32_t intProp(const std::vector<Property>& props, PropTag tag) {
    auto* v = read::findProp(props, tag);
    return v && std::holds_alternative<int32_t>(*v) ? std::get<int32_t>(*v) : -999;
}

std::u16string number(int i) {
    std::string s = std::to_string(i);
    return std::u16string(s.begin(), s.end());
}

std::optional<read::FolderView> child(PstReader& r, uint32_t parent, const std::u16string& name) {
    return r.findSubfolder(parent, name);
}

}  // namespace

TEST(StoreRoundTrip, EmptyStoreReadsBack) {
    ScratchDir dir;
    auto path = dir.file("empty.pst");
    Bytes key;
    {
        auto store = Store::create(path, u"Empty Store");
        key = store->recordKey();
        store->close();
    }
    EXPECT_EQ(checkerDefects(path), "");
    auto r = PstReader::open(path);
    EXPECT_TRUE(r->isUnicode());
    EXPECT_EQ(r->cryptMethod(), 0x01);
    EXPECT_EQ(r->displayName(), u"Empty Store");
    EXPECT_EQ(r->recordKey(), key);
    EXPECT_EQ(r->ipmSubtree().name, u"Top of Personal Folders");
    auto top = r->subfolders(r->ipmSubtree().nid);
    ASSERT_EQ(top.size(), 1u);
    EXPECT_EQ(top[0].name, u"Deleted Items");
    EXPECT_EQ(top[0].nidParent, r->ipmSubtree().nid);
    std::vector<std::u16string> rootChildren;
    for (auto& f : r->subfolders(r->root().nid)) rootChildren.push_back(f.name);
    EXPECT_EQ(rootChildren, (std::vector<std::u16string>{u"Top of Personal Folders", u"Search Root",
                                                         u"SPAM Search Folder 2"}));
}

TEST(StoreRoundTrip, UnencodedStore) {
    ScratchDir dir;
    auto path = dir.file("plain.pst");
    StoreOptions options;
    options.encoding = Encoding::None;
    auto store = Store::create(path, u"Plain", options);
    store->addMessage(store->createFolder(store->ipmSubtree(), u"Inbox"), mailMessage(u"hello", u"text"));
    store->close();
    EXPECT_EQ(checkerDefects(path), "");
    auto r = PstReader::open(path);
    EXPECT_EQ(r->cryptMethod(), 0x00);
    auto inbox = child(*r, r->ipmSubtree().nid, u"Inbox");
    ASSERT_TRUE(inbox);
    EXPECT_EQ(str(r->readMessage(r->messageNids(inbox->nid).at(0)).props, tags::PR_SUBJECT_W), u"hello");
}

TEST(StoreRoundTrip, NestedUnicodeFoldersKeepTheirCountsCoherent) {
    ScratchDir dir;
    auto path = dir.file("nested.pst");
    const std::vector<std::u16string> names = {u"收件箱", u"שלום", u"Ünïcödé 😀", u"plain"};
    {
        auto store = Store::create(path, u"Nested 😀");
        FolderId parent = store->ipmSubtree();
        for (int depth = 0; depth < 12; ++depth) {
            parent = store->createFolder(parent, names[depth % names.size()] + char16_t(u'0' + depth % 10));
            for (int i = 0; i < depth % 3; ++i) {
                MessageContent m = mailMessage(u"m" + std::u16string(1, char16_t(u'a' + i)), u"body");
                if (i == 0) m.set(tags::PR_MESSAGE_FLAGS, int32_t(0));  // unread
                store->addMessage(parent, m);
            }
        }
        store->close();
    }
    EXPECT_EQ(checkerDefects(path), "");
    auto r = PstReader::open(path);
    EXPECT_EQ(r->displayName(), u"Nested 😀");
    uint32_t parent = r->ipmSubtree().nid;
    for (int depth = 0; depth < 12; ++depth) {
        auto name = names[depth % names.size()] + char16_t(u'0' + depth % 10);
        auto f = child(*r, parent, name);
        ASSERT_TRUE(f) << depth;
        EXPECT_EQ(f->name, name);
        EXPECT_EQ(f->containerClass, u"IPF.Note");
        EXPECT_EQ(f->contentCount, depth % 3);
        EXPECT_EQ(f->unreadCount, depth % 3 ? 1 : 0);
        EXPECT_EQ(f->hasSubfolders, depth < 11);
        EXPECT_EQ(r->messageNids(f->nid).size(), size_t(depth % 3));
        // The parent's hierarchy row agrees with the folder's own properties.
        auto rows = r->table((parent & ~0x1Fu) | 0x0D).rows;
        auto row = std::find_if(rows.begin(), rows.end(), [&](auto& x) { return x.rowId == f->nid; });
        ASSERT_NE(row, rows.end());
        EXPECT_EQ(std::get<int32_t>(*row->find(tags::PR_CONTENT_COUNT)), depth % 3);
        EXPECT_EQ(std::get<bool>(*row->find(tags::PR_SUBFOLDERS)), depth < 11);
        parent = f->nid;
    }
}

TEST(StoreRoundTrip, MessageWithRecipientsAttachmentsAndEmbeddedMessage) {
    ScratchDir dir;
    auto path = dir.file("full.pst");
    Bytes data = patternBytes(20000, 1), inner = patternBytes(5000, 2);
    {
        auto store = Store::create(path, u"Full");
        FolderId inbox = store->createFolder(store->ipmSubtree(), u"Inbox");
        MessageContent m = mailMessage(u"Quarterly report", u"See attached.\r\nΚαλημέρα",
                                       {{u"Bob Builder", u"bob@example.com"}, {u"Carol 山田", u"carol@example.jp"}});
        RecipientRow cc;
        cc.props = {{tags::PR_RECIPIENT_TYPE, int32_t(2)}, {tags::PR_DISPLAY_NAME_W, std::u16string(u"Dave")},
                    {tags::PR_EMAIL_ADDRESS_W, std::u16string(u"dave@example.com")}};
        m.recipients.push_back(cc);
        m.set(0x10130102 /* PidTagHtml */, Bytes{'<', 'p', '>', 'h', 'i', '<', '/', 'p', '>'});
        m.attachments.push_back(fileAttachment(u"report.bin", data));
        MessageContent forwarded = mailMessage(u"Original message", u"inner body", {{u"Eve", u"eve@example.com"}});
        forwarded.attachments.push_back(fileAttachment(u"inner.dat", inner));
        m.attachments.push_back(embeddedAttachment(u"Original message", forwarded));
        m.named.push_back({{{0x08, 0x20, 0x06, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46}, 0x8554, {}},
                           PropType::Unicode, std::u16string(u"16.0")});
        m.named.push_back({{{0x29, 0x03, 0x02, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46}, 0, u"X-Custom-Header"},
                           PropType::Unicode, std::u16string(u"custom value")});
        store->addMessage(inbox, m);
        store->close();
    }
    EXPECT_EQ(checkerDefects(path), "");
    auto r = PstReader::open(path);
    auto inbox = child(*r, r->ipmSubtree().nid, u"inbox");
    ASSERT_TRUE(inbox);
    auto nids = r->messageNids(inbox->nid);
    ASSERT_EQ(nids.size(), 1u);
    MessageContent m = r->readMessage(nids[0]);
    EXPECT_EQ(str(m.props, tags::PR_SUBJECT_W), u"Quarterly report");
    EXPECT_EQ(str(m.props, tags::PR_BODY_W), u"See attached.\r\nΚαλημέρα");
    EXPECT_EQ(str(m.props, tags::PR_DISPLAY_TO_W), u"Bob Builder; Carol 山田");
    EXPECT_EQ(str(m.props, tags::PR_DISPLAY_CC_W), u"Dave");
    EXPECT_EQ(intProp(m.props, tags::PR_MESSAGE_FLAGS) & tags::MSGFLAG_HASATTACH, tags::MSGFLAG_HASATTACH);
    EXPECT_GT(intProp(m.props, tags::PR_MESSAGE_SIZE), 25000);
    ASSERT_NE(bytesProp(m.props, 0x10130102), nullptr);
    EXPECT_NE(read::findProp(m.props, tags::PR_CREATION_TIME), nullptr);
    EXPECT_NE(read::findProp(m.props, tags::PR_LAST_MODIFICATION_TIME), nullptr);

    ASSERT_EQ(m.recipients.size(), 3u);
    EXPECT_EQ(str(m.recipients[1].props, tags::PR_DISPLAY_NAME_W), u"Carol 山田");
    EXPECT_EQ(str(m.recipients[1].props, tags::PR_EMAIL_ADDRESS_W), u"carol@example.jp");
    EXPECT_EQ(intProp(m.recipients[2].props, tags::PR_RECIPIENT_TYPE), 2);

    ASSERT_EQ(m.attachments.size(), 2u);
    EXPECT_EQ(str(m.attachments[0].props, tags::PR_ATTACH_LONG_FILENAME_W), u"report.bin");
    ASSERT_NE(bytesProp(m.attachments[0].props, tags::PR_ATTACH_DATA_BIN), nullptr);
    EXPECT_EQ(*bytesProp(m.attachments[0].props, tags::PR_ATTACH_DATA_BIN), data);
    EXPECT_EQ(intProp(m.attachments[1].props, tags::PR_ATTACH_METHOD), tags::ATTACH_EMBEDDED_MSG);
    ASSERT_TRUE(m.attachments[1].embedded);
    const MessageContent& e = *m.attachments[1].embedded;
    EXPECT_EQ(str(e.props, tags::PR_SUBJECT_W), u"Original message");
    EXPECT_EQ(str(e.props, tags::PR_BODY_W), u"inner body");
    ASSERT_EQ(e.recipients.size(), 1u);
    ASSERT_EQ(e.attachments.size(), 1u);
    EXPECT_EQ(*bytesProp(e.attachments[0].props, tags::PR_ATTACH_DATA_BIN), inner);

    // Named properties resolve through the name-to-id map.
    ASSERT_EQ(m.named.size(), 2u);
    for (auto& n : m.named) {
        if (n.name.name.empty()) {
            EXPECT_EQ(n.name.lid, 0x8554u);
            EXPECT_EQ(std::get<std::u16string>(n.value), u"16.0");
        } else {
            EXPECT_EQ(n.name.name, u"X-Custom-Header");
            EXPECT_EQ(std::get<std::u16string>(n.value), u"custom value");
        }
    }
}

TEST(StoreRoundTrip, FiftyMegabyteAttachment) {
    ScratchDir dir;
    auto path = dir.file("large.pst");
    {
        auto store = Store::create(path, u"Large");
        FolderId f = store->createFolder(store->ipmSubtree(), u"Big");
        MessageContent m = mailMessage(u"big one", u"large attachment follows");
        m.attachments.push_back(fileAttachment(u"big.bin", patternBytes(50u << 20, 9)));
        store->addMessage(f, m);
        store->close();
    }
    EXPECT_GT(std::filesystem::file_size(path), 50u << 20);
    EXPECT_EQ(checkerDefects(path), "");
    auto r = PstReader::open(path);
    auto f = child(*r, r->ipmSubtree().nid, u"Big");
    ASSERT_TRUE(f);
    MessageContent m = r->readMessage(r->messageNids(f->nid).at(0));
    ASSERT_EQ(m.attachments.size(), 1u);
    auto* data = bytesProp(m.attachments[0].props, tags::PR_ATTACH_DATA_BIN);
    ASSERT_NE(data, nullptr);
    EXPECT_TRUE(*data == patternBytes(50u << 20, 9));
}

TEST(StoreRoundTrip, ManyMessagesSpreadTheContentsTableOverBlocks) {
    ScratchDir dir;
    auto path = dir.file("many.pst");
    const int count = 3000;
    StoreOptions options;
    options.commitEveryBytes = 256 << 10;  // many commit points on the way
    {
        auto store = Store::create(path, u"Many", options);
        FolderId f = store->createFolder(store->ipmSubtree(), u"Bulk");
        for (int i = 0; i < count; ++i)
            store->addMessage(f, mailMessage(u"message #" + number(i),
                                             u"body " + std::u16string(100, u'x')));
        store->close();
    }
    EXPECT_EQ(checkerDefects(path), "");
    auto r = PstReader::open(path);
    auto f = child(*r, r->ipmSubtree().nid, u"bulk");
    ASSERT_TRUE(f);
    EXPECT_EQ(f->contentCount, count);
    auto nids = r->messageNids(f->nid);
    ASSERT_EQ(nids.size(), size_t(count));
    auto rows = r->table((f->nid & ~0x1Fu) | 0x0E).rows;
    ASSERT_EQ(rows.size(), size_t(count));
    for (int i = 0; i < count; i += 499) {
        auto expected = u"message #" + number(i);
        EXPECT_EQ(std::get<std::u16string>(*rows[i].find(tags::PR_SUBJECT_W)), expected);
        EXPECT_EQ(str(r->readMessage(rows[i].rowId).props, tags::PR_SUBJECT_W), expected);
    }
}

TEST(StoreRoundTrip, CommittedStateIsReadableWhileTheStoreStaysOpen) {
    ScratchDir dir;
    auto path = dir.file("open.pst");
    auto store = Store::create(path, u"Open");
    FolderId f = store->createFolder(store->ipmSubtree(), u"Inbox");
    store->addMessage(f, mailMessage(u"first", u"b"));
    store->commit();
    store->addMessage(f, mailMessage(u"second, not yet committed", u"b"));
    {
        EXPECT_EQ(checkerDefects(path), "");
        auto r = PstReader::open(path);
        auto inbox = child(*r, r->ipmSubtree().nid, u"Inbox");
        ASSERT_TRUE(inbox);
        EXPECT_EQ(inbox->contentCount, 1);
        EXPECT_EQ(r->messageNids(inbox->nid).size(), 1u);
    }
    store->close();
    auto r = PstReader::open(path);
    EXPECT_EQ(r->messageNids(child(*r, r->ipmSubtree().nid, u"Inbox")->nid).size(), 2u);
}

TEST(StoreRoundTrip, DeepAndWideFolderTrees) {
    ScratchDir dir;
    auto path = dir.file("tree.pst");
    {
        auto store = Store::create(path, u"Tree");
        FolderId parent = store->ipmSubtree();
        for (int depth = 0; depth < 64; ++depth) parent = store->createFolder(parent, u"level " + number(depth));
        FolderId wide = store->createFolder(store->ipmSubtree(), u"Wide");
        for (int i = 0; i < 600; ++i) store->createFolder(wide, u"child " + number(i));  // a hierarchy table over blocks
        store->close();
    }
    EXPECT_EQ(checkerDefects(path), "");
    auto r = PstReader::open(path);
    uint32_t parent = r->ipmSubtree().nid;
    for (int depth = 0; depth < 64; ++depth) {
        auto f = child(*r, parent, u"LEVEL " + number(depth));
        ASSERT_TRUE(f) << depth;
        parent = f->nid;
    }
    EXPECT_TRUE(r->subfolders(parent).empty());
    auto wide = child(*r, r->ipmSubtree().nid, u"Wide");
    ASSERT_TRUE(wide);
    auto children = r->subfolders(wide->nid);
    ASSERT_EQ(children.size(), 600u);
    EXPECT_EQ(children[599].name, u"child 599");
}

TEST(StoreRoundTrip, ContentsTableKeepsTheFirst255CharactersOfALongValue) {
    ScratchDir dir;
    auto path = dir.file("long-values.pst");
    // A subject whose 255th unit begins a surrogate pair, a long body (no
    // column), and a short subject that the table keeps as it is.
    std::u16string subject = std::u16string(254, u'a') + u"\U0001F600" + std::u16string(5000, u'b');
    {
        auto store = Store::create(path, u"Long");
        FolderId f = store->createFolder(store->ipmSubtree(), u"Inbox");
        store->addMessage(f, mailMessage(subject, std::u16string(100000, u'x')));
        store->addMessage(f, mailMessage(std::u16string(255, u'c'), u"short"));
        store->close();
    }
    EXPECT_EQ(checkerDefects(path), "");
    auto r = PstReader::open(path);
    auto f = child(*r, r->ipmSubtree().nid, u"inbox");
    ASSERT_TRUE(f);
    auto rows = r->table((f->nid & ~0x1Fu) | 0x0E).rows;
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(std::get<std::u16string>(*rows[0].find(tags::PR_SUBJECT_W)), std::u16string(254, u'a'));
    EXPECT_EQ(str(r->readMessage(rows[0].rowId).props, tags::PR_SUBJECT_W), subject);
    EXPECT_EQ(std::get<std::u16string>(*rows[1].find(tags::PR_SUBJECT_W)), std::u16string(255, u'c'));
}
