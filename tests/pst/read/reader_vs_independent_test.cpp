// Our reader and pffexport, an independent reader, see the same stores:
// the same folder tree, messages in the same order with the same subjects,
// recipients and attachments.

#include "pst/read/pst_reader.h"

#include <gtest/gtest.h>

#include <functional>

#include "independent_readers.h"
#include "sample_files.h"

using namespace pst;
using namespace pst::read;

namespace {

std::string utf8(const std::u16string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        uint32_t c = s[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < s.size()) c = 0x10000 + ((c - 0xD800) << 10) + (s[++i] - 0xDC00);
        if (c < 0x80) out += char(c);
        else if (c < 0x800) out += char(0xC0 | c >> 6), out += char(0x80 | (c & 0x3F));
        else if (c < 0x10000) out += char(0xE0 | c >> 12), out += char(0x80 | (c >> 6 & 0x3F)), out += char(0x80 | (c & 0x3F));
        else out += char(0xF0 | c >> 18), out += char(0x80 | (c >> 12 & 0x3F)), out += char(0x80 | (c >> 6 & 0x3F)), out += char(0x80 | (c & 0x3F));
    }
    return out;
}

std::string subjectOf(const MessageContent& m) {
    auto s = stringProp(m.props, 0x0037001F);
    if (s.size() >= 2 && s[0] == 0x01) s.erase(0, 2);
    return utf8(s);
}

bool exportedByPffexport(const MessageContent& m) {
    // pffexport leaves IPM.Post items out of its export.
    return stringProp(m.props, 0x001A001F).rfind(u"IPM.Post", 0) != 0;
}

void compareFolder(PstReader& r, const FolderView& ours, const test_readers::SeenFolder& theirs, const std::string& path) {
    SCOPED_TRACE(path);
    std::vector<MessageContent> messages;
    for (auto nid : r.messageNids(ours.nid)) {
        auto m = r.readMessage(nid);
        if (exportedByPffexport(m)) messages.push_back(std::move(m));
    }
    ASSERT_EQ(messages.size(), theirs.messages.size());
    for (size_t i = 0; i < messages.size(); ++i) {
        auto& m = messages[i];
        auto& t = theirs.messages[i];
        EXPECT_EQ(subjectOf(m), t.subject) << "message " << i;
        EXPECT_EQ(m.recipients.size(), t.recipients.size()) << "message " << i;
        ASSERT_EQ(m.attachments.size(), t.attachments.size()) << "message " << i;
        for (size_t a = 0; a < m.attachments.size(); ++a) {
            auto& ours = m.attachments[a];
            auto& seen = t.attachments[a];
            if (ours.embedded) {
                ASSERT_TRUE(seen.message) << "attachment " << a;
                EXPECT_EQ(subjectOf(*ours.embedded), seen.message->subject);
                continue;
            }
            auto data = findProp(ours.props, 0x37010102);
            if (data && seen.size >= 0) {
                EXPECT_EQ(int64_t(std::get<Bytes>(*data).size()), seen.size) << "attachment " << a;
            }
        }
    }
    auto children = r.subfolders(ours.nid);
    ASSERT_EQ(children.size(), theirs.subfolders.size());
    for (auto& child : children) {
        auto* match = theirs.find(utf8(child.name));
        ASSERT_NE(match, nullptr) << "pffexport lacks folder " << utf8(child.name);
        compareFolder(r, child, *match, path + "/" + utf8(child.name));
    }
}

}  // namespace

TEST(ReaderAgainstPffexport, SameTreeMessagesAndAttachmentsInEverySample) {
    if (!test_readers::toolInstalled("pffexport")) GTEST_SKIP() << "tool pffexport not installed";
    bool any = false;
    for (auto name : {"sample1.pst", "sample2.pst", "submessage.pst", "support.pst", "test_unicode.pst"}) {
        if (!std::filesystem::exists(test_samples::path(name))) continue;
        any = true;
        SCOPED_TRACE(name);
        auto seen = test_readers::readWithPffexport(test_samples::path(name));
        ASSERT_TRUE(seen.ok) << seen.why;
        auto r = PstReader::open(test_samples::path(name));
        auto ipm = r->ipmSubtree();
        auto* top = seen.root.find(utf8(ipm.name));
        ASSERT_NE(top, nullptr) << "pffexport lacks " << utf8(ipm.name);
        compareFolder(*r, ipm, *top, utf8(ipm.name));
    }
    if (!any) GTEST_SKIP() << "no Outlook-made samples in " << test_samples::dir();
}
