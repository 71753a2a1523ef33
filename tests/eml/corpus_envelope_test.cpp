// Subject, addresses, dates, ids and flags read from the corpus.

#include <unistd.h>

#include <chrono>
#include <filesystem>

#include "eml_test_support.h"
#include "eml/addresses.h"
#include "eml/named_properties.h"

namespace eml::test {
namespace {

using namespace pst::tags;

TEST(Envelope, PlainMessageCarriesEveryEnvelopeProperty) {
    auto m = parseCorpus("plain.eml").message;
    EXPECT_EQ(text(m, PR_MESSAGE_CLASS_W), "IPM.Note");
    EXPECT_EQ(text(m, PR_SUBJECT_W), "Re: Lunch on Friday");
    EXPECT_EQ(text(m, PR_SUBJECT_PREFIX_W), "Re: ");
    EXPECT_EQ(text(m, PR_NORMALIZED_SUBJECT_W), "Lunch on Friday");
    EXPECT_EQ(text(m, PR_CONVERSATION_TOPIC_W), "Lunch on Friday");

    EXPECT_EQ(text(m, PR_SENT_REPRESENTING_NAME_W), "Ann Example");
    EXPECT_EQ(text(m, PR_SENT_REPRESENTING_EMAIL_ADDRESS_W), "ann@example.org");
    EXPECT_EQ(text(m, PR_SENT_REPRESENTING_ADDRTYPE_W), "SMTP");
    EXPECT_EQ(text(m, PR_SENDER_NAME_W), "Ann Example");  // no Sender: header
    EXPECT_EQ(text(m, PR_SENDER_SMTP_ADDRESS_W), "ann@example.org");
    EXPECT_EQ(bytesAsString(*prop<pst::Bytes>(m.props, PR_SENDER_SEARCH_KEY)),
              std::string("SMTP:ANN@EXAMPLE.ORG\0", 21));
    EXPECT_EQ(*prop<pst::Bytes>(m.props, PR_SENDER_ENTRYID),
              oneOffEntryId({u"Ann Example", u"ann@example.org"}));

    EXPECT_EQ(text(m, PR_REPLY_RECIPIENT_NAMES_W), "Ann at home; lists@example.net");
    auto replyEntries = *prop<pst::Bytes>(m.props, PR_REPLY_RECIPIENT_ENTRIES);
    EXPECT_EQ(replyEntries[0], 2);  // two entries

    EXPECT_EQ(text(m, PR_DISPLAY_TO_W), "Bob Builder; carol@example.com");
    EXPECT_EQ(text(m, PR_DISPLAY_CC_W), "Dave, the Reviewer");
    EXPECT_EQ(text(m, PR_DISPLAY_BCC_W), "eve@example.com");
    ASSERT_EQ(m.recipients.size(), 4u);
    const int32_t types[] = {MAPI_TO, MAPI_TO, MAPI_CC, MAPI_BCC};
    const char* addresses[] = {"bob@example.com", "carol@example.com", "dave@example.com", "eve@example.com"};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(prop<int32_t>(m.recipients[i].props, PR_RECIPIENT_TYPE), types[i]);
        EXPECT_EQ(text(m.recipients[i], PR_EMAIL_ADDRESS_W), addresses[i]);
        EXPECT_EQ(text(m.recipients[i], PR_SMTP_ADDRESS_W), addresses[i]);
        EXPECT_EQ(text(m.recipients[i], PR_ADDRTYPE_W), "SMTP");
        EXPECT_TRUE(prop<pst::Bytes>(m.recipients[i].props, PR_ENTRYID));
        EXPECT_TRUE(prop<pst::Bytes>(m.recipients[i].props, PR_SEARCH_KEY));
    }
    EXPECT_EQ(text(m.recipients[2], PR_DISPLAY_NAME_W), "Dave, the Reviewer");
    EXPECT_EQ(text(m.recipients[1], PR_DISPLAY_NAME_W), "carol@example.com");

    // Date: Tue, 1 Dec 2026 11:00:00 +0100; newest Received 10:05 UTC.
    EXPECT_EQ(unixTime(m, PR_CLIENT_SUBMIT_TIME), 1796119200);
    EXPECT_EQ(unixTime(m, PR_MESSAGE_DELIVERY_TIME), 1796119500);

    EXPECT_EQ(text(m, PR_INTERNET_MESSAGE_ID_W), "<plain-1@example.org>");
    EXPECT_EQ(text(m, PR_IN_REPLY_TO_ID_W), "<orig-1@example.com>");
    EXPECT_EQ(text(m, PR_INTERNET_REFERENCES_W), "<root-0@example.com> <orig-1@example.com>");
    EXPECT_EQ(integer(m, PR_IMPORTANCE), IMPORTANCE_HIGH);
    EXPECT_EQ(integer(m, PR_SENSITIVITY), SENSITIVITY_PRIVATE);
    EXPECT_EQ(prop<pst::Bytes>(m.props, PR_CONVERSATION_INDEX)->size(), 24u);

    std::string headers = text(m, PR_TRANSPORT_MESSAGE_HEADERS_W);
    EXPECT_EQ(headers.rfind("Received: from mx.example.org", 0), 0u);
    EXPECT_NE(headers.find("Content-Transfer-Encoding: 7bit\r\n"), std::string::npos);
    EXPECT_EQ(headers.find("Friday at noon"), std::string::npos);  // the body is not a header

    EXPECT_FALSE(integer(m, PR_MESSAGE_SIZE));  // the store's to compute
    EXPECT_EQ(integer(m, PR_INTERNET_CPID), 20127);
}

TEST(Envelope, SenderHeaderActsForTheFromAddress) {
    auto m = parseCorpus("related_inline.eml").message;
    EXPECT_EQ(text(m, PR_SENDER_NAME_W), "Secretary");
    EXPECT_EQ(text(m, PR_SENDER_EMAIL_ADDRESS_W), "secretary@example.org");
    EXPECT_EQ(text(m, PR_SENT_REPRESENTING_NAME_W), "Ann Example");
    EXPECT_EQ(text(m, PR_SENT_REPRESENTING_EMAIL_ADDRESS_W), "ann@example.org");
}

TEST(Envelope, ImportanceFromXPriorityAndDefaults) {
    EXPECT_EQ(integer(parseCorpus("html_only.eml").message, PR_IMPORTANCE), IMPORTANCE_LOW);  // X-Priority: 5
    auto m = parseCorpus("alternative.eml").message;
    EXPECT_EQ(integer(m, PR_IMPORTANCE), IMPORTANCE_NORMAL);
    EXPECT_EQ(integer(m, PR_SENSITIVITY), SENSITIVITY_NONE);
    EXPECT_EQ(integer(parseText("From: a@b.c\r\nPriority: urgent\r\nX-MSMail-Priority: High\r\n\r\nx").message,
                      PR_PRIORITY), PRIO_URGENT);
}

TEST(Envelope, EncodedWordsInSubjectAndNames) {
    auto m = parseCorpus("encoded_words.eml").message;
    // Two base64 words, each padded, then a Q word in another charset.
    EXPECT_EQ(text(m, PR_SUBJECT_W), "This is split \u2713 and plain caf\u00e9");
    EXPECT_EQ(text(m, PR_SENDER_NAME_W), "J\u00fcrgen M\u00fcller");
    EXPECT_EQ(text(m, PR_DISPLAY_TO_W), "\u042f\u0440\u043e\u0441\u043b\u0430\u0432; Z\u00f6e");
    ASSERT_EQ(m.recipients.size(), 2u);
    EXPECT_EQ(text(m.recipients[0], PR_DISPLAY_NAME_W), "\u042f\u0440\u043e\u0441\u043b\u0430\u0432");
}

// [MS-OXCMAIL] "Sent Time": every message gets a sent time; without a
// readable Date (and without Received) the file's time, else the time of the
// conversion, each with a warning saying which.
TEST(Envelope, MessageWithoutDateTakesTheFileTime) {
    auto file = std::filesystem::temp_directory_path() / ("quillmere-no-date-" + std::to_string(::getpid()) + ".eml");
    std::filesystem::copy_file(corpusDir() / "no_date.eml", file, std::filesystem::copy_options::overwrite_existing);
    std::filesystem::last_write_time(file, std::filesystem::last_write_time(file) - std::chrono::hours(24 * 400));
    auto result = parseFile(file);
    auto expected = std::chrono::duration_cast<std::chrono::seconds>(
                        (std::filesystem::last_write_time(file) - std::filesystem::file_time_type::clock::now()) +
                        std::chrono::system_clock::now().time_since_epoch()).count();
    std::filesystem::remove(file);
    ASSERT_TRUE(unixTime(result.message, PR_CLIENT_SUBMIT_TIME));
    EXPECT_NEAR(static_cast<double>(*unixTime(result.message, PR_CLIENT_SUBMIT_TIME)), static_cast<double>(expected), 2.0);
    EXPECT_EQ(unixTime(result.message, PR_MESSAGE_DELIVERY_TIME), unixTime(result.message, PR_CLIENT_SUBMIT_TIME));
    ASSERT_EQ(result.warnings.size(), 1u);
    EXPECT_EQ(result.warnings[0], "the message has no Date header; the sent time is the file's modification time");
    EXPECT_EQ(text(result.message, PR_SUBJECT_W), "No date here");

    auto fromBytes = parseText("From: a@example.org\r\nSubject: x\r\n\r\nbody\r\n");
    EXPECT_TRUE(unixTime(fromBytes.message, PR_CLIENT_SUBMIT_TIME));
    ASSERT_EQ(fromBytes.warnings.size(), 1u);
    EXPECT_EQ(fromBytes.warnings[0], "the message has no Date header; the sent time is the time of the conversion");
}

TEST(Envelope, UnreadableDateFallsBackToReceived) {
    auto result = parseCorpus("bad_unparsable_date.eml");
    EXPECT_EQ(unixTime(result.message, PR_CLIENT_SUBMIT_TIME), 1796713200);  // 8 Dec 2026 07:00 UTC
    EXPECT_EQ(unixTime(result.message, PR_MESSAGE_DELIVERY_TIME), 1796713200);
    ASSERT_EQ(result.warnings.size(), 1u);
    EXPECT_EQ(result.warnings[0], "the Date header cannot be read; the sent time is taken from its Received header");
}

TEST(Envelope, GroupsAndRepeatedHeadersGiveEveryRecipient) {
    auto m = parseText(
        "From: a@example.org\r\nTo: Team: x@example.org, \"Y\" <y@example.org>;, z@example.org\r\n"
        "To: w@example.org\r\nCc: undisclosed-recipients:;\r\n\r\nbody").message;
    ASSERT_EQ(m.recipients.size(), 4u);
    EXPECT_EQ(text(m, PR_DISPLAY_TO_W), "x@example.org; Y; z@example.org; w@example.org");
    EXPECT_EQ(text(m, PR_DISPLAY_CC_W), "");
}

// Has-attachment is the store's to set from its attachment table; the parser
// marks a message whose attachments are all shown in its body
// (PidLidSmartNoAttach), so that Outlook shows no paperclip.
TEST(ReadState, EveryItemIsReadAndHidesThePaperclipOnlyForInlinePictures) {
    auto smartNoAttach = [](const pst::MessageContent& m) {
        auto* v = m.findNamed(named::SmartNoAttach);
        return v && std::get<bool>(*v);
    };
    auto plain = parseCorpus("plain.eml").message;
    EXPECT_EQ(integer(plain, PR_MESSAGE_FLAGS), MSGFLAG_READ);
    EXPECT_FALSE(prop<bool>(plain.props, PR_HASATTACH));
    EXPECT_FALSE(smartNoAttach(plain));

    auto files = parseCorpus("attachments_names.eml").message;
    EXPECT_EQ(integer(files, PR_MESSAGE_FLAGS), MSGFLAG_READ);
    EXPECT_FALSE(smartNoAttach(files));

    // Pictures the HTML shows are hidden and do not count; the unused one does.
    auto related = parseCorpus("related_inline.eml").message;
    EXPECT_FALSE(smartNoAttach(related));
    auto onlyInline = parseText(
        "From: a@example.org\r\nContent-Type: multipart/related; boundary=b\r\n\r\n--b\r\n"
        "Content-Type: text/html\r\n\r\n<img src=\"cid:i1\">\r\n--b\r\nContent-Type: image/gif\r\n"
        "Content-ID: <i1>\r\nContent-Transfer-Encoding: base64\r\n\r\nR0lGODlhAQABAAAAACw=\r\n--b--\r\n").message;
    EXPECT_EQ(integer(onlyInline, PR_MESSAGE_FLAGS), MSGFLAG_READ);
    EXPECT_TRUE(smartNoAttach(onlyInline));
    EXPECT_EQ(onlyInline.attachments.size(), 1u);
}

}  // namespace
}  // namespace eml::test
