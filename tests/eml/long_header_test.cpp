// Header fields of many megabytes: GMime reads only their first words, the
// item's subject, names and recipients are that prefix, a warning names the
// field with its true size, and the item's Internet headers keep every byte.

#include "eml_test_support.h"

namespace eml::test {
namespace {

using namespace pst::tags;

constexpr size_t kFieldSize = 3u << 20;

// A value of `size` bytes in the given shape.
std::string longValue(const std::string& shape, const std::string& unit) {
    std::string value;
    while (value.size() < kFieldSize) {
        value += unit;
        if (shape == "folded" && value.size() % 900 < unit.size()) {
            value.pop_back();  // the blank begins the next line
            value += "\r\n ";
        }
    }
    return value;
}

std::string warningAbout(const ParseResult& result, const std::string& field) {
    for (const auto& w : result.warnings)
        if (w.find("the " + field + " header is ") != std::string::npos) return w;
    return {};
}

const std::string kOther = "Date: Mon, 7 Dec 2026 10:00:00 +0000\r\nMessage-ID: <long@example.org>\r\n";

TEST(LongHeaderField, EveryShapeOfAnOverlongSubjectGivesItsFirstWords) {
    struct Shape {
        const char* name;
        std::string unit;
        std::string expectedUnit;  // the unit as decoded text
    } shapes[] = {
        {"one line", "word of a subject ", "word of a subject "},
        {"folded", "word of a subject ", "word of a subject "},
        {"encoded words", "=?utf-8?B?w6l0w6kg?= ", "\xC3\xA9t\xC3\xA9 "},
        {"no blank", "abcdefgh\xC3\xA9", "abcdefgh\xC3\xA9"},
    };
    for (const auto& shape : shapes) {
        SCOPED_TRACE(shape.name);
        std::string value = longValue(shape.name, shape.unit);
        std::string message = "From: ann@example.org\r\nSubject: " + value + "\r\n" + kOther + "\r\nbody\r\n";
        ParseResult result = parseText(message);
        std::string subject = text(result.message, PR_SUBJECT_W);
        EXPECT_GT(subject.size(), 8u << 10);
        EXPECT_LE(subject.size(), 64u << 10);
        // Whole units only: no encoded word or character is split.
        std::string expected;
        while (expected.size() < subject.size()) expected += shape.expectedUnit;
        EXPECT_EQ(expected.compare(0, subject.size(), subject), 0) << subject.substr(subject.size() - 40);
        EXPECT_EQ(subject.find("=?"), std::string::npos);
        std::string warning = warningAbout(result, "Subject");
        EXPECT_NE(warning.find(std::to_string(std::string("Subject: ").size() + value.size() + 2) + " bytes"),
                  std::string::npos) << warning;
        // The rest of the message is read as usual, the header block whole.
        EXPECT_EQ(text(result.message, PR_BODY_W), "body\r\n");
        EXPECT_EQ(text(result.message, PR_INTERNET_MESSAGE_ID_W), "<long@example.org>");
        EXPECT_EQ(unixTime(result.message, PR_CLIENT_SUBMIT_TIME), 1796637600);
        std::string headers = text(result.message, PR_TRANSPORT_MESSAGE_HEADERS_W);
        std::string crlfValue = value;
        EXPECT_NE(headers.find(crlfValue.substr(crlfValue.size() - 1000) + "\r\nDate:"), std::string::npos);
        EXPECT_GT(headers.size(), value.size());
    }
}

TEST(LongHeaderField, OtherFieldsKeepWhatTheItemNeedsFromThem) {
    std::string list;
    for (int i = 0; list.size() < kFieldSize; ++i) list.append("Person ").append(std::to_string(i)).append(" <p").append(std::to_string(i)).append("@example.org>, ");
    std::string relays;
    while (relays.size() < kFieldSize) relays += "from relay.example.org by mx.example.org ";

    ParseResult to = parseText("From: ann@example.org\r\nTo: " + list + "\r\n" + kOther + "\r\nbody\r\n");
    ASSERT_GT(to.message.recipients.size(), 100u);
    EXPECT_LT(to.message.recipients.size(), 5000u);
    // The last recipient read is a whole one.
    const auto& last = to.message.recipients.back();
    size_t n = to.message.recipients.size() - 1;
    EXPECT_EQ(text(last, PR_EMAIL_ADDRESS_W), std::string("p") + std::to_string(n) + "@example.org");
    EXPECT_EQ(text(last, PR_DISPLAY_NAME_W), std::string("Person ") + std::to_string(n));
    EXPECT_FALSE(warningAbout(to, "To").empty());

    // The delivery time stands at the end of a Received field.
    ParseResult received = parseText("From: ann@example.org\r\nReceived: " + relays +
                                     "\r\n\tid 42; Tue, 8 Dec 2026 11:00:00 +0000\r\n" + kOther + "\r\nbody\r\n");
    EXPECT_EQ(unixTime(received.message, PR_MESSAGE_DELIVERY_TIME), 1796727600);
    EXPECT_FALSE(warningAbout(received, "Received").empty());

    // An X- field is only in the header block: nothing of it is lost there.
    ParseResult unknown = parseText("From: ann@example.org\r\nX-Long: " + relays + "\r\nSubject: short\r\n" + kOther +
                                    "\r\nbody\r\n");
    EXPECT_EQ(text(unknown.message, PR_SUBJECT_W), "short");
    EXPECT_NE(text(unknown.message, PR_TRANSPORT_MESSAGE_HEADERS_W).find("X-Long: " + relays + "\r\n"), std::string::npos);
    EXPECT_FALSE(warningAbout(unknown, "X-Long").empty());
}

TEST(LongHeaderField, ManyFieldsJustUnderTheLimitAreCutOnceTheBlockIsLong) {
    std::string value;
    while (value.size() < (1800u << 10)) value += "word ";
    std::string message = "From: ann@example.org\r\n";
    for (int i = 0; i < 5; ++i) message.append("X-Field-").append(std::to_string(i)).append(": ").append(value).append("\r\n");
    ParseResult result = parseText(message + "Subject: short\r\n" + kOther + "\r\nbody\r\n");
    EXPECT_TRUE(warningAbout(result, "X-Field-0").empty());
    EXPECT_TRUE(warningAbout(result, "X-Field-1").empty());
    EXPECT_FALSE(warningAbout(result, "X-Field-2").empty());
    EXPECT_FALSE(warningAbout(result, "X-Field-4").empty());
    EXPECT_EQ(text(result.message, PR_SUBJECT_W), "short");
    EXPECT_GT(text(result.message, PR_TRANSPORT_MESSAGE_HEADERS_W).size(), 5 * value.size());
}

}  // namespace
}  // namespace eml::test
