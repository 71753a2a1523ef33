// Special messages as Outlook itself imports them: signed and encrypted
// mail, delivery reports and read receipts, flags, categories, receipt
// requests, drafts. Each realistic file of the corpus is parsed, written
// into a real store, and read back by our reader and by pffexport (-m all,
// its item values); the store passes our checker and readpst reads it.
// Every check names the section of Microsoft's open specifications it rests
// on.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "eml/charset.h"
#include "eml/eml_parser.h"
#include "pst/format/property_tags.h"
#include "eml/named_properties.h"
#include "independent_readers.h"
#include "pffexport_item_values.h"
#include "process.h"
#include "pst/check/pst_check.h"
#include "pst/read/pst_reader.h"
#include "pst/store.h"

namespace {

namespace fs = std::filesystem;
using namespace pst::tags;
using test_readers::ItemValues;

// The sample store's HTML message whose only attachment is the logo it shows.
constexpr const char* kInlineLogo =
    QUILLMERE_SAMPLES_DIR "/Windows Live Mail/Example Mail (ann)/Inbox/Projects/2026/Logo with inline image.eml";

const char* const kFiles[] = {
    "smime_clear_signed.eml",        "smime_encrypted.eml",          "smime_octet_stream_p7m.eml",
    "report_delivery_failed.eml",    "report_read_receipt.eml",      "envelope_flagged_categories.eml",
    "envelope_reply_prefix_urgent.eml", "envelope_unsent_draft.eml", "envelope_no_date_received.eml",
    "attachment_named_by_description.eml", "related_inline.eml",     "plain.eml",
    kInlineLogo,
};

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string utf8(const std::u16string& s) { return eml::utf16ToUtf8(s); }

// What one file became: the parser's warnings, our reader's view of the
// written message, and pffexport's item values for it.
struct Written {
    std::vector<std::string> warnings;
    pst::MessageContent stored;
    ItemValues item, recipients, attachments;
    bool pffexportSawIt = false;

    std::string text(pst::PropTag tag) const {
        auto* v = stored.find(tag);
        return v ? utf8(std::get<std::u16string>(*v)) : std::string("<absent>");
    }
    std::optional<int32_t> integer(pst::PropTag tag) const {
        auto* v = stored.find(tag);
        return v ? std::optional<int32_t>(std::get<int32_t>(*v)) : std::nullopt;
    }
    std::optional<bool> boolean(pst::PropTag tag) const {
        auto* v = stored.find(tag);
        return v ? std::optional<bool>(std::get<bool>(*v)) : std::nullopt;
    }
    const pst::PropValue* named(const pst::NamedPropertyName& name) const { return stored.findNamed(name); }
};

class SpecialMessages : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new test_readers::detail::TempDir();
        pst_ = dir_->path() / "special.pst";
        std::vector<std::pair<std::string, pst::MessageContent>> parsed;
        for (const char* file : kFiles) {
            fs::path path = fs::path(file).is_absolute() ? fs::path(file) : fs::path(QUILLMERE_EML_CORPUS_DIR) / file;
            eml::ParseResult result = eml::parseFile(path);
            written_[file].warnings = result.warnings;
            parsed.emplace_back(file, std::move(result.message));
        }
        {
            auto store = pst::Store::create(pst_, u"Special Messages");
            auto folder = store->createFolder(store->ipmSubtree(), u"Special");
            for (auto& [file, message] : parsed) store->addMessage(folder, message);
            store->close();
        }

        auto reader = pst::read::PstReader::open(pst_);
        auto folder = reader->findSubfolder(reader->ipmSubtree().nid, u"Special");
        std::vector<uint32_t> nids = reader->messageNids(folder->nid);
        for (size_t i = 0; i < nids.size() && i < parsed.size(); ++i)
            written_[parsed[i].first].stored = reader->readMessage(nids[i]);

        if (!test_readers::toolInstalled("pffexport")) {
            pffexportMissing_ = "tool pffexport not installed (Debian package pff-tools)";
            return;
        }
        fs::path target = dir_->path() / "pff";
        auto run = test_readers::detail::run(
            {"pffexport", "-q", "-m", "all", "-d", "-f", "all", "-t", target.string(), pst_.string()});
        pffexportLog_ = run.output;
        fs::path items = fs::path(target.string() + ".export") / "Top of Personal Folders" / "Special";
        if (run.exitCode != 0 || !fs::is_directory(items)) return;
        // pffexport numbers the items in the order of the folder's contents table.
        for (size_t i = 0; i < parsed.size(); ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "Message%05zu", i + 1);
            Written& w = written_[parsed[i].first];
            w.item = test_readers::readItemValues(items / name / "ItemValues.txt");
            w.recipients = test_readers::readItemValues(items / name / "RecipientsItemValues.txt");
            w.attachments = test_readers::readItemValues(items / name / "Attachments" / "ItemValues.txt");
            w.pffexportSawIt = !w.item.entries.empty();
        }
    }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
    }

    static const Written& file(const std::string& name) { return written_.at(name); }
    // pffexport's view of a file, or a skip when pffexport cannot give it.
    static const Written* pff(const std::string& name) {
        const Written& w = written_.at(name);
        if (!pffexportMissing_.empty()) return nullptr;
        EXPECT_TRUE(w.pffexportSawIt) << "pffexport did not export " << name << "\n" << pffexportLog_;
        return w.pffexportSawIt ? &w : nullptr;
    }

    static inline test_readers::detail::TempDir* dir_ = nullptr;
    static inline fs::path pst_;
    static inline std::map<std::string, Written> written_;
    static inline std::string pffexportMissing_, pffexportLog_;
};

#define SKIP_WITHOUT_PFFEXPORT() \
    if (!pffexportMissing_.empty()) GTEST_SKIP() << pffexportMissing_

// ---------------------------------------------------------------------------
// The store as a whole

TEST_F(SpecialMessages, StorePassesOurCheckerAndTheIndependentReaders) {
    auto report = pst::check::checkFile(pst_, {.strict = true});
    EXPECT_TRUE(report.ok()) << report.text();
    EXPECT_EQ(report.summary.messages, std::size(kFiles));

    auto readpst = test_readers::readWithReadpst(pst_);
    if (readpst.available) {
        ASSERT_TRUE(readpst.ok) << readpst.why << "\n" << readpst.log;
        ASSERT_TRUE(readpst.topOfStore());
        const auto* folder = readpst.topOfStore()->find("Special");
        ASSERT_TRUE(folder);
        EXPECT_EQ(folder->messages.size(), std::size(kFiles));
    }
    SKIP_WITHOUT_PFFEXPORT();
    for (const char* name : kFiles) EXPECT_TRUE(file(name).pffexportSawIt) << name << "\n" << pffexportLog_;
}

// [MS-PST] Named Property Lookup Map: every named property the parser sets
// comes back from our reader under its property set and name or LID, and
// pffexport maps its id to the same name or LID through the map.
TEST_F(SpecialMessages, NamedPropertiesResolveThroughTheNameToIdMap) {
    const Written& w = file("envelope_flagged_categories.eml");
    ASSERT_TRUE(w.named(eml::named::Keywords));
    ASSERT_TRUE(w.named(eml::named::FlagRequest));
    ASSERT_TRUE(w.named(eml::named::ContentClass));
    for (const auto& n : w.stored.named)
        EXPECT_NE(n.name.propertySet, pst::Guid{}) << "a named property without its set";
    for (const auto& p : w.stored.props) EXPECT_LT(pst::tagId(p.tag), 0x8000) << "unresolved id " << std::hex << p.tag;

    SKIP_WITHOUT_PFFEXPORT();
    const Written* seen = pff("envelope_flagged_categories.eml");
    ASSERT_TRUE(seen);
    EXPECT_TRUE(seen->item.findNamed("Keywords"));
    EXPECT_TRUE(seen->item.findNamed("Content-Class"));
    EXPECT_TRUE(seen->item.findLid(0x8530));
}

// ---------------------------------------------------------------------------
// Envelope

TEST_F(SpecialMessages, KeywordsFlagAndReceiptRequests) {
    const Written& w = file("envelope_flagged_categories.eml");
    // [MS-OXCMSG] 2.2.1.17 PidNameKeywords: the categories, one per keyword.
    auto* keywords = w.named(eml::named::Keywords);
    ASSERT_TRUE(keywords);
    EXPECT_EQ(std::get<std::vector<std::u16string>>(*keywords),
              (std::vector<std::u16string>{u"Finance", u"K\u00F6ln office"}));
    // [MS-OXOFLAG] 2.2.1.1 PidTagFlagStatus followupFlagged, 2.2.1.2
    // PidTagFollowupIcon, 2.2.1.9 PidLidFlagRequest: the flag's text.
    EXPECT_EQ(w.integer(PR_FLAG_STATUS), FOLLOWUP_FLAGGED);
    EXPECT_EQ(w.integer(PR_FOLLOWUP_ICON), FOLLOWUP_ICON_RED);
    auto* request = w.named(eml::named::FlagRequest);
    ASSERT_TRUE(request);
    EXPECT_EQ(utf8(std::get<std::u16string>(*request)), "Call Carl back");
    // [MS-OXCMAIL] 2.6.1 (the PidTagReadReceipt group) and [MS-OXOMSG]
    // PidTagReadReceiptRequested: Disposition-Notification-To.
    EXPECT_EQ(w.boolean(PR_READ_RECEIPT_REQUESTED), true);
    EXPECT_EQ(w.text(PR_READ_RECEIPT_NAME_W), "Carl Sender");
    EXPECT_EQ(w.text(PR_READ_RECEIPT_EMAIL_ADDRESS_W), "carl@example.net");
    EXPECT_EQ(w.text(PR_READ_RECEIPT_SMTP_ADDRESS_W), "carl@example.net");
    EXPECT_TRUE(w.stored.find(PR_READ_RECEIPT_ENTRYID));
    // [MS-OXCMAIL] 2.1.3.1.5 and [MS-OXOMSG] 2.2.1.20: Return-Receipt-To asks
    // for a delivery report.
    EXPECT_EQ(w.boolean(PR_ORIGINATOR_DELIVERY_REPORT_REQUESTED), true);
    // [MS-OXCMAIL] 2.2.3.2.7: Thread-Topic is the conversation topic.
    EXPECT_EQ(w.text(PR_CONVERSATION_TOPIC_W), "Quarterly numbers");
    // [MS-OXCMAIL] 2.2.3.2.15, [MS-OXCMSG] 2.2.1.48 PidNameContentClass; the
    // class stays IPM.Note for this value.
    auto* contentClass = w.named(eml::named::ContentClass);
    ASSERT_TRUE(contentClass);
    EXPECT_EQ(utf8(std::get<std::u16string>(*contentClass)), "urn:content-classes:message");
    EXPECT_EQ(w.text(PR_MESSAGE_CLASS_W), "IPM.Note");

    SKIP_WITHOUT_PFFEXPORT();
    const Written* seen = pff("envelope_flagged_categories.eml");
    ASSERT_TRUE(seen);
    EXPECT_EQ(ItemValues::texts(seen->item.findNamed("Keywords")),
              (std::vector<std::string>{"Finance", "K\xC3\xB6ln office"}));
    EXPECT_EQ(ItemValues::integer(seen->item.find(PR_FLAG_STATUS)), FOLLOWUP_FLAGGED);
    EXPECT_EQ(ItemValues::text(seen->item.findLid(0x8530)), "Call Carl back");
    EXPECT_EQ(ItemValues::boolean(seen->item.find(PR_READ_RECEIPT_REQUESTED)), true);
    EXPECT_EQ(ItemValues::text(seen->item.find(PR_READ_RECEIPT_EMAIL_ADDRESS_W)), "carl@example.net");
    EXPECT_EQ(ItemValues::boolean(seen->item.find(PR_ORIGINATOR_DELIVERY_REPORT_REQUESTED)), true);
    EXPECT_EQ(ItemValues::text(seen->item.find(PR_CONVERSATION_TOPIC_W)), "Quarterly numbers");
    EXPECT_EQ(ItemValues::text(seen->item.findNamed("Content-Class")), "urn:content-classes:message");
}

TEST_F(SpecialMessages, PrefixInAnyScriptAndPriorityUrgentAlone) {
    const Written& w = file("envelope_reply_prefix_urgent.eml");
    // [MS-OXCMAIL] 2.2.3.2.6.1: one to three characters of any script and a
    // colon; the prefix is kept as those characters and ": ".
    EXPECT_EQ(w.text(PR_SUBJECT_W), "\u56DE\u590D: \u4F1A\u8BAE\u5B89\u6392");
    EXPECT_EQ(w.text(PR_SUBJECT_PREFIX_W), "\u56DE\u590D: ");
    EXPECT_EQ(w.text(PR_NORMALIZED_SUBJECT_W), "\u4F1A\u8BAE\u5B89\u6392");
    EXPECT_EQ(w.text(PR_CONVERSATION_TOPIC_W), "\u4F1A\u8BAE\u5B89\u6392");  // 2.2.3.2.7, no Thread-Topic
    // [MS-OXCMAIL] 2.2.3.2.5: Priority: urgent alone gives high importance.
    EXPECT_EQ(w.integer(PR_IMPORTANCE), IMPORTANCE_HIGH);

    SKIP_WITHOUT_PFFEXPORT();
    const Written* seen = pff("envelope_reply_prefix_urgent.eml");
    ASSERT_TRUE(seen);
    EXPECT_EQ(ItemValues::text(seen->item.find(PR_SUBJECT_PREFIX_W)), "\u56DE\u590D: ");
    EXPECT_EQ(ItemValues::integer(seen->item.find(PR_IMPORTANCE)), IMPORTANCE_HIGH);
}

TEST_F(SpecialMessages, UnsentDraftHasNoDeliveryTime) {
    const Written& w = file("envelope_unsent_draft.eml");
    // [MS-OXCMSG] 2.2.1.6 PidTagMessageFlags: mfUnsent; a draft was never
    // delivered.
    ASSERT_TRUE(w.integer(PR_MESSAGE_FLAGS));
    EXPECT_EQ(*w.integer(PR_MESSAGE_FLAGS) & (MSGFLAG_UNSENT | MSGFLAG_READ), MSGFLAG_UNSENT | MSGFLAG_READ);
    EXPECT_FALSE(w.stored.find(PR_MESSAGE_DELIVERY_TIME));
    EXPECT_TRUE(w.stored.find(PR_CLIENT_SUBMIT_TIME));

    SKIP_WITHOUT_PFFEXPORT();
    const Written* seen = pff("envelope_unsent_draft.eml");
    ASSERT_TRUE(seen);
    EXPECT_EQ(ItemValues::integer(seen->item.find(PR_MESSAGE_FLAGS)).value_or(0) & MSGFLAG_UNSENT, MSGFLAG_UNSENT);
    EXPECT_FALSE(seen->item.find(PR_MESSAGE_DELIVERY_TIME));
}

TEST_F(SpecialMessages, MissingDateTakesTheFirstRelaysTime) {
    const Written& w = file("envelope_no_date_received.eml");
    // [MS-OXCMAIL] "Sent Time" reader rule: a sent time is always set; the
    // first relay's Received stamp (11:59:58 +0100) is nearer the truth than
    // the time of the conversion.
    auto* sent = w.stored.find(PR_CLIENT_SUBMIT_TIME);
    ASSERT_TRUE(sent);
    int64_t unix = static_cast<int64_t>(std::get<pst::FileTime>(*sent).value / 10000000ULL) - 11644473600LL;
    EXPECT_EQ(unix, 1797245998);  // 2026-12-14 10:59:58 UTC
    ASSERT_EQ(w.warnings.size(), 1u);
    EXPECT_EQ(w.warnings[0], "the message has no Date header; the sent time is taken from its Received header");
}

TEST_F(SpecialMessages, AttachmentNamedOnlyByItsDescription) {
    const Written& w = file("attachment_named_by_description.eml");
    // [MS-OXCMAIL] 2.2.3.4.1.1: without a file name, Content-Description.
    ASSERT_EQ(w.stored.attachments.size(), 1u);
    EXPECT_EQ(utf8(pst::read::stringProp(w.stored.attachments[0].props, PR_ATTACH_LONG_FILENAME_W)),
              "Scan 2026-12-14.pdf");
}

// ---------------------------------------------------------------------------
// S/MIME

TEST_F(SpecialMessages, ClearSignedKeepsTheSignedEntityWhole) {
    const Written& w = file("smime_clear_signed.eml");
    // [MS-OXOSMIME] 2.1.3.1: IPM.Note.SMIME.MultipartSigned, the body from
    // the signed content, the multipart/signed entity as the one attachment.
    EXPECT_EQ(w.text(PR_MESSAGE_CLASS_W), "IPM.Note.SMIME.MultipartSigned");
    EXPECT_EQ(w.text(PR_BODY_W), "Hello Bob,\r\n\r\nthe signed contract is attached.\r\n\r\nAnn\r\n");
    ASSERT_EQ(w.stored.attachments.size(), 1u) << "no stray smime.p7s, no loose parts of the signed content";
    const auto& a = w.stored.attachments[0].props;
    EXPECT_EQ(utf8(pst::read::stringProp(a, PR_ATTACH_LONG_FILENAME_W)), "smime.p7m");
    EXPECT_EQ(utf8(pst::read::stringProp(a, PR_ATTACH_MIME_TAG_W)), "multipart/signed");
    auto* data = pst::read::findProp(a, PR_ATTACH_DATA_BIN);
    ASSERT_TRUE(data);
    const auto& bytes = std::get<pst::Bytes>(*data);
    std::string entity(bytes.begin(), bytes.end());
    std::string sent = readFile(fs::path(QUILLMERE_EML_CORPUS_DIR) / "smime_clear_signed.eml");
    std::string body = sent.substr(sent.find("\r\n\r\n") + 4);
    std::string headers = entity.substr(0, entity.find("\r\n\r\n") + 2);
    EXPECT_NE(headers.find("Content-Type: multipart/signed; protocol=\"application/pkcs7-signature\";\r\n"
                           " micalg=sha-256; boundary=\"------------ms010203040506070809000102\"\r\n"),
              std::string::npos)
        << headers;
    ASSERT_GE(entity.size(), body.size());
    EXPECT_EQ(entity.substr(entity.size() - body.size()), body) << "the signed entity is kept byte for byte";
    // The signed content has a visible attachment: a paperclip is right.
    EXPECT_FALSE(w.named(eml::named::SmartNoAttach));

    SKIP_WITHOUT_PFFEXPORT();
    const Written* seen = pff("smime_clear_signed.eml");
    ASSERT_TRUE(seen);
    EXPECT_EQ(ItemValues::text(seen->item.find(PR_MESSAGE_CLASS_W)), "IPM.Note.SMIME.MultipartSigned");
    EXPECT_EQ(seen->attachments.sets(), 1u);
    EXPECT_EQ(ItemValues::text(seen->attachments.find(PR_ATTACH_MIME_TAG_W)), "multipart/signed");
}

TEST_F(SpecialMessages, OpaqueAndEncryptedAreSmimeWithoutBody) {
    for (const char* name : {"smime_encrypted.eml", "smime_octet_stream_p7m.eml"}) {
        SCOPED_TRACE(name);
        const Written& w = file(name);
        // [MS-OXOSMIME] 2.1.3.2: IPM.Note.SMIME, no body, the CMS data kept
        // as smime.p7m; application/octet-stream named *.p7m is the same.
        EXPECT_EQ(w.text(PR_MESSAGE_CLASS_W), "IPM.Note.SMIME");
        EXPECT_FALSE(w.stored.find(PR_BODY_W));
        ASSERT_EQ(w.stored.attachments.size(), 1u);
        const auto& a = w.stored.attachments[0].props;
        EXPECT_EQ(utf8(pst::read::stringProp(a, PR_ATTACH_LONG_FILENAME_W)), "smime.p7m");
        EXPECT_EQ(utf8(pst::read::stringProp(a, PR_ATTACH_MIME_TAG_W)), "application/pkcs7-mime");
        auto* data = pst::read::findProp(a, PR_ATTACH_DATA_BIN);
        ASSERT_TRUE(data);
        const auto& cms = std::get<pst::Bytes>(*data);
        ASSERT_GT(cms.size(), 13u);
        EXPECT_EQ(cms[0], 0x30) << "the decoded CMS structure, not its base64";

        if (!pffexportMissing_.empty()) continue;
        const Written* seen = pff(name);
        ASSERT_TRUE(seen);
        EXPECT_EQ(ItemValues::text(seen->item.find(PR_MESSAGE_CLASS_W)), "IPM.Note.SMIME");
        EXPECT_FALSE(seen->item.find(PR_BODY_W));
    }
}

// ---------------------------------------------------------------------------
// Reports

TEST_F(SpecialMessages, DeliveryReportTakesClassAndRowsFromItsMostSevereAction) {
    const Written& w = file("report_delivery_failed.eml");
    // [MS-OXCMAIL] 2.2.3.7.1: the class from the most severe Action, the
    // Reporting-MTA on the message, a recipient row for each block of that
    // action with Remote-MTA and the supplementary information.
    EXPECT_EQ(w.text(PR_MESSAGE_CLASS_W), "REPORT.IPM.Note.NDR");
    EXPECT_EQ(w.text(PR_REPORTING_MTA_W), "dns; mail.example.org");
    std::vector<const pst::RecipientRow*> reported;
    for (const auto& r : w.stored.recipients)
        if (pst::read::findProp(r.props, PR_SUPPLEMENTARY_INFO_W)) reported.push_back(&r);
    ASSERT_EQ(reported.size(), 1u) << "the delivered recipient is left out";
    EXPECT_EQ(utf8(pst::read::stringProp(reported[0]->props, PR_EMAIL_ADDRESS_W)), "nobody@example.net");
    EXPECT_EQ(utf8(pst::read::stringProp(reported[0]->props, PR_REMOTE_MTA_W)), "mx.example.net");
    EXPECT_EQ(utf8(pst::read::stringProp(reported[0]->props, PR_SUPPLEMENTARY_INFO_W)),
              "<mx.example.net #5.1.1 550 5.1.1 <nobody@example.net>: Recipient address rejected: User unknown>");
    // The human-readable part is the body; the undelivered message stays attached.
    EXPECT_NE(w.text(PR_BODY_W).find("could not\r\nbe delivered"), std::string::npos);
    bool original = false;
    for (const auto& a : w.stored.attachments) original |= a.embedded != nullptr;
    EXPECT_TRUE(original);

    SKIP_WITHOUT_PFFEXPORT();
    const Written* seen = pff("report_delivery_failed.eml");
    ASSERT_TRUE(seen);
    EXPECT_EQ(ItemValues::text(seen->item.find(PR_MESSAGE_CLASS_W)), "REPORT.IPM.Note.NDR");
    EXPECT_EQ(ItemValues::text(seen->item.find(PR_REPORTING_MTA_W)), "dns; mail.example.org");
    bool rowSeen = false;
    for (uint32_t set = 0; set < seen->recipients.sets(); ++set)
        rowSeen |= ItemValues::text(seen->recipients.find(PR_REMOTE_MTA_W, set)) == std::optional<std::string>("mx.example.net");
    EXPECT_TRUE(rowSeen);
}

TEST_F(SpecialMessages, ReadReceiptIsAReadReport) {
    const Written& w = file("report_read_receipt.eml");
    // [MS-OXCMAIL] 2.1.3.2.1 (REPORT.IPM.Note.IPNRN for a read report) and
    // [MS-OXOMSG] 2.2.1.34 PidTagReportDisposition.
    EXPECT_EQ(w.text(PR_MESSAGE_CLASS_W), "REPORT.IPM.Note.IPNRN");
    EXPECT_EQ(w.text(PR_REPORT_DISPOSITION_W), "displayed");
    EXPECT_EQ(w.text(PR_REPORT_DISPOSITION_MODE_W), "manual-action/MDN-sent-manually");
    EXPECT_EQ(w.text(PR_ORIGINAL_MESSAGE_ID_W), "<budget-2027@example.org>");

    SKIP_WITHOUT_PFFEXPORT();
    const Written* seen = pff("report_read_receipt.eml");
    ASSERT_TRUE(seen);
    EXPECT_EQ(ItemValues::text(seen->item.find(PR_MESSAGE_CLASS_W)), "REPORT.IPM.Note.IPNRN");
    EXPECT_EQ(ItemValues::text(seen->item.find(PR_REPORT_DISPOSITION_W)), "displayed");
}

// ---------------------------------------------------------------------------
// Computed properties: one owner each

// [MS-PST] Attachment Objects: mfHasAttach says whether the attachment table
// has rows, and PidTagHasAttachments follows it ([MS-PST] Calculated
// Properties, SPGET_HASATTACH); the store sets both, and the message size.
// Outlook hides the paperclip of a message whose only attachments are shown
// in its body through PidLidSmartNoAttach ([MS-OXPROPS] PidLidSmartNoAttach),
// which the parser sets.
TEST_F(SpecialMessages, HasAttachmentAndSizeComeFromTheStore) {
    eml::ParseResult parsed = eml::parseFile(kInlineLogo);
    EXPECT_FALSE(parsed.message.find(PR_HASATTACH)) << "the store's to compute";
    EXPECT_FALSE(parsed.message.find(PR_MESSAGE_SIZE)) << "the store's to compute";
    for (const auto& a : parsed.message.attachments) EXPECT_FALSE(pst::read::findProp(a.props, PR_ATTACH_SIZE));

    for (const char* name : {kInlineLogo, "related_inline.eml", "plain.eml", "attachment_named_by_description.eml"}) {
        SCOPED_TRACE(name);
        const Written& w = file(name);
        bool rows = !w.stored.attachments.empty();
        ASSERT_TRUE(w.integer(PR_MESSAGE_FLAGS));
        EXPECT_EQ((*w.integer(PR_MESSAGE_FLAGS) & MSGFLAG_HASATTACH) != 0, rows);
        EXPECT_EQ(w.boolean(PR_HASATTACH), rows);
        ASSERT_TRUE(w.integer(PR_MESSAGE_SIZE));
        EXPECT_GT(*w.integer(PR_MESSAGE_SIZE), 0);
    }
    const Written& inlineOnly = file(kInlineLogo);
    ASSERT_FALSE(inlineOnly.stored.attachments.empty());
    auto* noAttach = inlineOnly.named(eml::named::SmartNoAttach);
    ASSERT_TRUE(noAttach);
    EXPECT_EQ(std::get<bool>(*noAttach), true);
    // A picture the HTML does not show, and a file, are attachments the user sees.
    EXPECT_FALSE(file("related_inline.eml").named(eml::named::SmartNoAttach));
    EXPECT_FALSE(file("attachment_named_by_description.eml").named(eml::named::SmartNoAttach));

    SKIP_WITHOUT_PFFEXPORT();
    const Written* seen = pff(kInlineLogo);
    ASSERT_TRUE(seen);
    EXPECT_EQ(ItemValues::boolean(seen->item.findLid(0x8514)), true);
    EXPECT_EQ(ItemValues::boolean(seen->item.find(PR_HASATTACH)), true);
}

}  // namespace
