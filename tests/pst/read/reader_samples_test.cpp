// The reader on stores Outlook wrote: the folder tree, messages, recipients,
// attachments, embedded messages and named properties, in both formats.

#include "pst/read/pst_reader.h"

#include <gtest/gtest.h>

#include <functional>

#include "sample_files.h"

using namespace pst;
using namespace pst::read;

namespace {

constexpr PropTag kSubject = 0x0037001F;
constexpr PropTag kAttachMethod = 0x37050003;
constexpr PropTag kAttachSize = 0x0E200003;
constexpr PropTag kAttachData = 0x37010102;
constexpr PropTag kRecipientType = 0x0C150003;

// The subject without its stored prefix marker (0x01 and the prefix length).
std::u16string subject(const MessageContent& m) {
    auto s = stringProp(m.props, kSubject);
    if (s.size() >= 2 && s[0] == 0x01) s.erase(0, 2);
    return s;
}

const AttachmentContent& onlyAttachment(const MessageContent& m) {
    EXPECT_EQ(m.attachments.size(), 1u);
    return m.attachments.at(0);
}

void forEachFolder(PstReader& r, uint32_t nid, const std::function<void(const FolderView&)>& f) {
    auto folder = r.folder(nid);
    f(folder);
    for (auto& s : r.subfolders(nid)) forEachFolder(r, s.nid, f);
}

}  // namespace

TEST(ReaderOnSamples, EveryFolderAgreesWithItsTablesAndEveryMessageReads) {
    bool any = false;
    for (auto name : {"sample1.pst", "sample2.pst", "submessage.pst", "support.pst", "test_unicode.pst"}) {
        if (!std::filesystem::exists(test_samples::path(name))) continue;
        any = true;
        SCOPED_TRACE(name);
        auto r = PstReader::open(test_samples::path(name));
        size_t messages = 0;
        forEachFolder(*r, r->root().nid, [&](const FolderView& f) {
            SCOPED_TRACE(f.nid);
            auto nids = r->messageNids(f.nid);
            EXPECT_EQ(size_t(f.contentCount), nids.size());
            if ((f.nid & 0x1F) == 0x02) {
                EXPECT_EQ(f.hasSubfolders, !r->subfolders(f.nid).empty());
            }
            for (auto nid : nids) {
                auto m = r->readMessage(nid);
                EXPECT_FALSE(m.props.empty());
                EXPECT_EQ(r->node(nid)->nidParent, f.nid);
                ++messages;
            }
        });
        EXPECT_GT(messages, 0u);
    }
    if (!any) GTEST_SKIP() << "no Outlook-made samples in " << test_samples::dir();
}

TEST(ReaderOnSamples, UnicodeStoreTreeMessageRecipientAndAttachment) {
    REQUIRE_SAMPLE("sample1.pst");
    auto r = PstReader::open(test_samples::path("sample1.pst"));
    EXPECT_TRUE(r->isUnicode());
    EXPECT_EQ(r->cryptMethod(), 1);
    EXPECT_EQ(r->displayName(), u"sample1");
    EXPECT_EQ(r->recordKey().size(), 16u);

    auto ipm = r->ipmSubtree();
    EXPECT_EQ(ipm.nid, 0x8022u);
    EXPECT_EQ(ipm.nidParent, 0x122u);
    auto deleted = r->findSubfolder(ipm.nid, u"DELETED items");
    ASSERT_TRUE(deleted);
    EXPECT_EQ(deleted->name, u"Deleted Items");
    EXPECT_FALSE(r->findSubfolder(ipm.nid, u"Deleted"));

    auto folder = r->findSubfolder(ipm.nid, u"Sample1");
    ASSERT_TRUE(folder);
    EXPECT_EQ(folder->containerClass, u"IPF.Note");
    auto nids = r->messageNids(folder->nid);
    ASSERT_EQ(nids.size(), 1u);
    auto m = r->readMessage(nids[0]);
    EXPECT_EQ(subject(m), u"Here is a sample message");
    ASSERT_EQ(m.recipients.size(), 1u);
    EXPECT_TRUE(findProp(m.recipients[0].props, kRecipientType));
    EXPECT_FALSE(findProp(m.recipients[0].props, 0x67F20003)) << "row id columns are the table's, not the recipient's";

    auto& a = onlyAttachment(m);
    EXPECT_EQ(std::get<int32_t>(*findProp(a.props, kAttachMethod)), 1);
    auto data = findProp(a.props, kAttachData);
    ASSERT_TRUE(data);
    EXPECT_GT(std::get<Bytes>(*data).size(), 0u);
    EXPECT_LE(std::get<Bytes>(*data).size(), size_t(std::get<int32_t>(*findProp(a.props, kAttachSize))));
}

TEST(ReaderOnSamples, AnsiStoreReadsLikeItsUnicodeTwin) {
    REQUIRE_SAMPLE("sample2.pst");
    auto r = PstReader::open(test_samples::path("sample2.pst"));
    EXPECT_FALSE(r->isUnicode());
    EXPECT_EQ(r->displayName(), u"sample2");
    auto folder = r->findSubfolder(r->ipmSubtree().nid, u"sample2");
    ASSERT_TRUE(folder);
    auto nids = r->messageNids(folder->nid);
    ASSERT_EQ(nids.size(), 1u);
    auto m = r->readMessage(nids[0]);
    EXPECT_EQ(subject(m), u"Here is a sample message");
    EXPECT_EQ(m.recipients.size(), 1u);
    EXPECT_EQ(m.attachments.size(), 1u);
}

TEST(ReaderOnSamples, EmbeddedMessageIsReadAsAMessage) {
    REQUIRE_SAMPLE("submessage.pst");
    auto r = PstReader::open(test_samples::path("submessage.pst"));
    auto folder = r->findSubfolder(r->ipmSubtree().nid, u"submessage");
    ASSERT_TRUE(folder);
    auto m = r->readMessage(r->messageNids(folder->nid).at(0));
    auto& a = onlyAttachment(m);
    EXPECT_EQ(std::get<int32_t>(*findProp(a.props, kAttachMethod)), 5);
    EXPECT_FALSE(findProp(a.props, 0x3701000D)) << "the object reference is replaced by the embedded message";
    ASSERT_TRUE(a.embedded);
    EXPECT_EQ(stringProp(a.embedded->props, 0x001A001F), u"IPM.Note");
    EXPECT_FALSE(subject(*a.embedded).empty());
    EXPECT_NE(subject(*a.embedded), subject(m));
}

TEST(ReaderOnSamples, NonAsciiFolderNamesAndLargeRecipientTables) {
    REQUIRE_SAMPLE("support.pst");
    auto r = PstReader::open(test_samples::path("support.pst"));
    auto ipm = r->ipmSubtree();
    EXPECT_EQ(ipm.name, u"Top of Personal Folders");
    EXPECT_TRUE(r->findSubfolder(ipm.nid, u"Attivit\u00E0"));
    EXPECT_TRUE(r->findSubfolder(ipm.nid, u"ATTIVIT\u00C0")) << "folder names match ignoring case";
    auto sent = r->findSubfolder(ipm.nid, u"Sent Messages");
    ASSERT_TRUE(sent);
    size_t most = 0;
    for (auto nid : r->messageNids(sent->nid)) most = std::max(most, r->readMessage(nid).recipients.size());
    EXPECT_GT(most, 100u) << "a recipient table spread over more than one block";
    auto recoverable = r->findSubfolder(ipm.nid, u"Recoverable Items");
    ASSERT_TRUE(recoverable);
    EXPECT_TRUE(recoverable->hasSubfolders);
    EXPECT_EQ(r->subfolders(recoverable->nid).size(), 3u);
}

TEST(ReaderOnSamples, NamedPropertiesResolveThroughTheMap) {
    REQUIRE_SAMPLE("sample1.pst");
    auto r = PstReader::open(test_samples::path("sample1.pst"));
    auto folder = r->findSubfolder(r->ipmSubtree().nid, u"Sample1");
    auto m = r->readMessage(r->messageNids(folder->nid).at(0));
    ASSERT_FALSE(m.named.empty());
    for (auto& p : m.named) {
        EXPECT_NE(p.name.propertySet, Guid{});
        auto id = r->namedPropertyId(p.name);
        ASSERT_TRUE(id);
        EXPECT_EQ(r->namedPropertyName(*id), p.name);
    }
    for (auto& p : m.props) EXPECT_LT(tagId(p.tag), 0x8000) << "unresolved named property " << std::hex << p.tag;
}
