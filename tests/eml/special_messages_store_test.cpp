// Special messages (winmail.dat, invitations) parsed, written into a real
// store and read back by our reader and by pffexport's dump of every
// property: the class and properties Outlook needs arrive as Outlook's own
// import makes them. Each check names the section it rests on.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "eml/charset.h"
#include "eml/eml_parser.h"
#include "pst/format/property_tags.h"
#include "independent_readers.h"
#include "pffexport_values.h"
#include "process.h"
#include "pst/check/pst_check.h"
#include "pst/format/property_sets.h"
#include "pst/read/pst_reader.h"
#include "pst/store.h"
#include "util/utf.h"
#include "invitation_messages.h"
#include "winmail_messages.h"

namespace eml::test {
namespace {

namespace fs = std::filesystem;
using namespace pst::tags;

ParseResult parse(const std::string& text) {
    return parseMessage(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

std::string utf8(const std::u16string& s) { return utf16ToUtf8(s); }

// One store holding every special message, written once for the suite.
class SpecialMessagesStore : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = std::make_unique<test_readers::detail::TempDir>();
        store_ = dir_->path() / "special.pst";
        auto store = pst::Store::create(store_, u"Special Messages");
        auto folder = store->createFolder(store->ipmSubtree(), u"Special");
        const std::string messages[] = {
            outlookWinmailMessage(),
            outlookRequest(),
            thunderbirdMessage("Team sync", "REQUEST",
                               thunderbirdEvent("FREQ=WEEKLY;BYDAY=MO,WE;UNTIL=20260415T070000Z")),
            thunderbirdMessage("Canceled: Team sync", "CANCEL", thunderbirdEvent("", "STATUS:CANCELLED\r\n")),
            thunderbirdMessage("Accepted: Team sync", "REPLY",
                               "UID:6f1c2c3e@example.com\r\nATTENDEE;PARTSTAT=ACCEPTED:mailto:bob@example.org\r\n"
                               "DTSTART:20260309T080000Z\r\nDTEND:20260309T090000Z\r\nDTSTAMP:20260303T080000Z\r\n",
                               "bob@example.org", "anna.berg@example.com"),
        };
        for (const auto& text : messages) store->addMessage(folder, parse(text).message);
        store->close();
        dump_ = dumpWithPffexport(store_, dir_->path() / "pffexport");
    }
    static void TearDownTestSuite() { dir_.reset(); }

    // Our reader's view of the message with this subject.
    static pst::MessageContent readBack(const std::u16string& subject) {
        auto reader = pst::read::PstReader::open(store_);
        auto folder = reader->findSubfolder(reader->ipmSubtree().nid, u"Special");
        if (!folder) throw std::runtime_error("no folder Special");
        for (uint32_t nid : reader->messageNids(folder->nid)) {
            auto m = reader->readMessage(nid);
            if (pst::read::stringProp(m.props, PR_SUBJECT_W) == subject) return m;
        }
        throw std::runtime_error("no message " + utf8(subject));
    }

    // pffexport's view of the item with this subject (embedded ones too).
    static const DumpedItem* dumped(const std::u16string& subject) {
        for (const auto& item : dump_.items)
            if (item.text(0x0037) == subject) return &item;
        return nullptr;
    }

    static inline std::unique_ptr<test_readers::detail::TempDir> dir_;
    static inline fs::path store_;
    static inline PffexportDump dump_;
};

TEST_F(SpecialMessagesStore, PassesOurCheckerAndTheIndependentReaders) {
    pst::check::Options strict;
    strict.strict = true;
    auto report = pst::check::checkFile(store_, strict);
    EXPECT_TRUE(report.defects.empty()) << ::testing::PrintToString(report.defects);

    for (auto seen : {test_readers::readWithReadpst(store_), test_readers::readWithPffexport(store_)}) {
        if (!seen.available) continue;
        EXPECT_TRUE(seen.ok) << seen.tool << ": " << seen.why;
        auto* top = seen.topOfStore();
        ASSERT_TRUE(top) << seen.tool;
        auto* folder = top->find("Special");
        ASSERT_TRUE(folder) << seen.tool;
        // pffexport leaves out nothing here; readpst writes meeting items too.
        EXPECT_EQ(folder->messages.size(), 5u) << seen.tool;
    }
    if (!dump_.available) GTEST_SKIP() << dump_.why;
    EXPECT_TRUE(dump_.why.empty()) << dump_.why;
}

TEST_F(SpecialMessagesStore, WinmailArrivesUnpacked) {
    auto m = readBack(u"Quarterly figures");
    // [MS-OXTNEF] 2.1.3.3.5 attMessageClass, legacy name read as IPM.Note.
    EXPECT_EQ(pst::read::stringProp(m.props, PR_MESSAGE_CLASS_W), u"IPM.Note");
    // [MS-OXCMAIL] 2.2.3.1.3: the MIME From wins over the TNEF sender.
    EXPECT_EQ(pst::read::stringProp(m.props, PR_SENDER_NAME_W), u"Anna Berg");
    // [MS-OXRTFEX] 2.3: the HTML wrapped in PidTagRtfCompressed is the body
    // (PidTagHtml, [MS-OXCMSG] 2.2.1.58.9).
    auto* html = pst::read::findProp(m.props, PR_HTML);
    ASSERT_TRUE(html);
    const auto& htmlBytes = std::get<pst::Bytes>(*html);
    EXPECT_NE(std::string(htmlBytes.begin(), htmlBytes.end()).find("Grüße, the figures"), std::string::npos);
    // [MS-OXTNEF] 2.1.3.4: named properties keep their set and id.
    auto* account = m.findNamed(pst::NamedPropertyName::byLid(pst::format::PSETID_Common, 0x8580));
    ASSERT_TRUE(account);
    EXPECT_EQ(std::get<std::u16string>(*account), u"Work account");
    // [MS-OXTNEF] 2.1.3: attachments from attAttachment; an attached item
    // (PidTagAttachDataObject holding a TNEF stream) is an embedded message.
    ASSERT_EQ(m.attachments.size(), 3u);
    int embedded = 0;
    for (const auto& a : m.attachments)
        if (a.embedded) {
            ++embedded;
            EXPECT_EQ(pst::read::stringProp(a.embedded->props, PR_SUBJECT_W), u"Minutes of the board meeting");
        }
    EXPECT_EQ(embedded, 1);

    if (!dump_.available) GTEST_SKIP() << dump_.why;
    auto* item = dumped(u"Quarterly figures");
    ASSERT_TRUE(item) << "pffexport shows no item \"Quarterly figures\"";
    EXPECT_EQ(item->text(0x001A), u"IPM.Note");
    EXPECT_EQ(item->text(0x0C1A), u"Anna Berg");
    auto* dumpedAccount = item->findLid(0x8580);
    ASSERT_TRUE(dumpedAccount);
    EXPECT_EQ(quillmere::fromUtf16Le(dumpedAccount->bytes), u"Work account");
    EXPECT_TRUE(item->findName("Keywords"));
    EXPECT_TRUE(fs::exists(item->dir / "Message.html"));
    EXPECT_TRUE(fs::exists(item->dir / "Attachments" / "1_Quarterly figures 2026.xlsx") ||
                fs::exists(item->dir / "Attachments" / "2_Quarterly figures 2026.xlsx") ||
                fs::exists(item->dir / "Attachments" / "3_Quarterly figures 2026.xlsx"));
    EXPECT_TRUE(dumped(u"Minutes of the board meeting")) << "pffexport shows no attached item";
}

uint64_t fileTimeOf(const std::vector<uint8_t>& bytes) {
    uint64_t v = 0;
    for (size_t i = 0; i < 8 && i < bytes.size(); ++i) v |= static_cast<uint64_t>(bytes[i]) << (8 * i);
    return v;
}

TEST_F(SpecialMessagesStore, MeetingRequestArrivesValueByValue) {
    // What the parser made of the invitation must be what both readers find.
    pst::MessageContent sent = parse(outlookRequest()).message;
    auto m = readBack(u"Budget review");
    // [MS-OXCICAL] 2.1.3.1.1.1 METHOD:REQUEST
    EXPECT_EQ(pst::read::stringProp(m.props, PR_MESSAGE_CLASS_W), u"IPM.Schedule.Meeting.Request");
    for (const auto& n : sent.named) {
        SCOPED_TRACE("named property 0x" + [&] { char b[16]; std::snprintf(b, sizeof b, "%04x", n.name.lid); return std::string(b); }());
        auto* got = m.findNamed(n.name);
        ASSERT_TRUE(got);
        EXPECT_TRUE(*got == n.value);
    }
    EXPECT_EQ(m.recipients.size(), 3u);  // [MS-OXOCAL] 2.2.4.10: attendees and the room

    if (!dump_.available) GTEST_SKIP() << dump_.why;
    auto* item = dumped(u"Budget review");
    ASSERT_TRUE(item) << "pffexport shows no item \"Budget review\"";
    EXPECT_EQ(item->text(0x001A), u"IPM.Schedule.Meeting.Request");
    // [MS-OXOCAL] 2.2.1.5, 2.2.1.6: start and end in UTC.
    for (uint32_t lid : {0x820Du, 0x820Eu}) {
        auto* value = item->findLid(lid);
        ASSERT_TRUE(value) << std::hex << lid;
        auto* want = sent.findNamed(pst::NamedPropertyName::byLid(pst::format::PSETID_Appointment, lid));
        EXPECT_EQ(fileTimeOf(value->bytes), std::get<pst::FileTime>(*want).value);
    }
    // [MS-OXPROPS] PidLidLocation; [MS-OXOCAL] 2.2.1.27 PidLidGlobalObjectId.
    ASSERT_TRUE(item->findLid(0x8208));
    EXPECT_EQ(quillmere::fromUtf16Le(item->findLid(0x8208)->bytes), u"Room 4.12");
    ASSERT_TRUE(item->findLid(0x0003));
    auto* goid = sent.findNamed(pst::NamedPropertyName::byLid(pst::format::PSETID_Meeting, 0x0003));
    EXPECT_EQ(item->findLid(0x0003)->bytes, std::get<pst::Bytes>(*goid));
    // [MS-OXOCAL] 2.2.1.41: the time zone of the start.
    ASSERT_TRUE(item->findLid(0x825E));
    EXPECT_EQ(item->text(0x0042), u"Anna Berg");  // the organizer
    // pffexport writes no recipient list for meeting items; readpst does.
    auto seen = test_readers::readWithReadpst(store_);
    if (!seen.available) return;
    const test_readers::SeenMessage* request = nullptr;
    if (auto* folder = seen.topOfStore() ? seen.topOfStore()->find("Special") : nullptr)
        for (const auto& message : folder->messages)
            if (message.subject == "Budget review") request = &message;
    ASSERT_TRUE(request) << "readpst shows no \"Budget review\"";
    std::vector<std::string> addresses;
    for (const auto& r : request->recipients) addresses.push_back(r.email);
    EXPECT_NE(std::find(addresses.begin(), addresses.end(), "bob@example.org"), addresses.end());
    EXPECT_NE(std::find(addresses.begin(), addresses.end(), "carla@example.org"), addresses.end());
}

TEST_F(SpecialMessagesStore, SeriesReplyAndCancellationArriveWithTheirClasses) {
    // [MS-OXCICAL] 2.1.3.1.1.1 and [MS-OXOCAL] 2.2.1.44.
    auto series = readBack(u"Team sync");
    EXPECT_EQ(pst::read::stringProp(series.props, PR_MESSAGE_CLASS_W), u"IPM.Schedule.Meeting.Request");
    EXPECT_TRUE(series.findNamed(pst::NamedPropertyName::byLid(pst::format::PSETID_Appointment, 0x8216)));
    EXPECT_EQ(pst::read::stringProp(readBack(u"Canceled: Team sync").props, PR_MESSAGE_CLASS_W),
              u"IPM.Schedule.Meeting.Canceled");
    EXPECT_EQ(pst::read::stringProp(readBack(u"Accepted: Team sync").props, PR_MESSAGE_CLASS_W),
              u"IPM.Schedule.Meeting.Resp.Pos");

    if (!dump_.available) GTEST_SKIP() << dump_.why;
    auto* item = dumped(u"Team sync");
    ASSERT_TRUE(item);
    ASSERT_TRUE(item->findLid(0x8216));
    auto* blob = series.findNamed(pst::NamedPropertyName::byLid(pst::format::PSETID_Appointment, 0x8216));
    EXPECT_EQ(item->findLid(0x8216)->bytes, std::get<pst::Bytes>(*blob));
    EXPECT_EQ(dumped(u"Canceled: Team sync")->text(0x001A), u"IPM.Schedule.Meeting.Canceled");
    EXPECT_EQ(dumped(u"Accepted: Team sync")->text(0x001A), u"IPM.Schedule.Meeting.Resp.Pos");
}

}  // namespace
}  // namespace eml::test
