#include "eml/envelope.h"

#include <algorithm>

#include "eml/addresses.h"
#include "eml/charset.h"
#include "eml/dates.h"
#include "eml/encoded_words.h"
#include "eml/gmime_support.h"
#include "pst/format/property_tags.h"

namespace eml {

using namespace pst::tags;

namespace {

GMimeHeader* findHeader(GMimeHeaderList* headers, const char* name) {
    int count = g_mime_header_list_get_count(headers);
    for (int i = 0; i < count; ++i) {
        GMimeHeader* header = g_mime_header_list_get_header_at(headers, i);
        const char* n = g_mime_header_get_name(header);
        if (n && g_ascii_strcasecmp(n, name) == 0) return header;
    }
    return nullptr;
}

std::string rawValue(GMimeHeaderList* headers, const char* name) {
    GMimeHeader* header = findHeader(headers, name);
    const char* raw = header ? g_mime_header_get_raw_value(header) : nullptr;
    return raw ? joinSplitBase64Words(raw) : std::string();
}

// Rewritten in place: this runs for every field of every message.
std::string unfoldedTrimmed(std::string value) {
    size_t kept = 0;
    for (char c : value) {
        if (c == '\r' || c == '\n') continue;
        if (c == '\0') break;
        value[kept++] = c == '\t' ? ' ' : c;
    }
    value.resize(kept);
    size_t end = value.find_last_not_of(' ');
    if (end == std::string::npos) return {};
    value.resize(end + 1);
    value.erase(0, value.find_first_not_of(' '));
    return value;
}

std::string lowerAscii(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

void setSender(pst::MessageContent& out, const Mailbox& who, bool representing) {
    out.set(representing ? PR_SENT_REPRESENTING_NAME_W : PR_SENDER_NAME_W, who.shown());
    out.set(representing ? PR_SENT_REPRESENTING_EMAIL_ADDRESS_W : PR_SENDER_EMAIL_ADDRESS_W, who.address);
    out.set(representing ? PR_SENT_REPRESENTING_ADDRTYPE_W : PR_SENDER_ADDRTYPE_W, std::u16string(u"SMTP"));
    out.set(representing ? PR_SENT_REPRESENTING_SMTP_ADDRESS_W : PR_SENDER_SMTP_ADDRESS_W, who.address);
    out.set(representing ? PR_SENT_REPRESENTING_ENTRYID : PR_SENDER_ENTRYID, oneOffEntryId(who));
    out.set(representing ? PR_SENT_REPRESENTING_SEARCH_KEY : PR_SENDER_SEARCH_KEY, searchKey(who));
}

// [MS-OXCMAIL] 2.2.3.2.5: Importance wins; else Priority, X-Priority or
// X-MSMail-Priority.
int32_t importanceOf(GMimeHeaderList* headers) {
    std::string importance = lowerAscii(unfoldedTrimmed(rawValue(headers, "Importance")));
    if (importance == "high") return IMPORTANCE_HIGH;
    if (importance == "low") return IMPORTANCE_LOW;
    if (importance == "normal") return IMPORTANCE_NORMAL;
    std::string priority = lowerAscii(unfoldedTrimmed(rawValue(headers, "Priority")));
    if (priority == "urgent") return IMPORTANCE_HIGH;
    if (priority == "non-urgent") return IMPORTANCE_LOW;
    if (priority == "normal") return IMPORTANCE_NORMAL;
    std::string xPriority = unfoldedTrimmed(rawValue(headers, "X-Priority"));
    if (!xPriority.empty()) {
        if (xPriority[0] == '1' || xPriority[0] == '2') return IMPORTANCE_HIGH;
        if (xPriority[0] == '4' || xPriority[0] == '5') return IMPORTANCE_LOW;
    }
    std::string msPriority = lowerAscii(unfoldedTrimmed(rawValue(headers, "X-MSMail-Priority")));
    if (msPriority == "high") return IMPORTANCE_HIGH;
    if (msPriority == "low") return IMPORTANCE_LOW;
    return IMPORTANCE_NORMAL;
}

// A message without a readable Date still gets a sent time: the oldest
// Received stamp (the first relay's), else the file's time, else now.
void readDates(GMimeHeaderList* headers, const SentTimeFallback& fallback, pst::MessageContent& out,
               Warnings& warnings) {
    std::optional<pst::FileTime> sent;
    const char* problem = nullptr;
    if (hasHeader(headers, "Date")) {
        sent = parseMailDate(unfoldedTrimmed(rawValue(headers, "Date")));
        if (!sent) problem = "the Date header cannot be read";
    } else {
        problem = "the message has no Date header";
    }
    std::optional<pst::FileTime> delivered = newestReceivedTime(headers);
    if (!sent) {
        std::string why(problem);
        if ((sent = oldestReceivedTime(headers))) {
            warnings.add(why + "; the sent time is taken from its Received header");
        } else if (fallback.fileTime) {
            sent = fallback.fileTime;
            warnings.add(why + "; the sent time is the file's modification time");
        } else {
            sent = fallback.now;
            warnings.add(why + "; the sent time is the time of the conversion");
        }
    }
    out.set(PR_CLIENT_SUBMIT_TIME, *sent);
    out.set(PR_MESSAGE_DELIVERY_TIME, delivered ? *delivered : *sent);
}

void readAddresses(GMimeHeaderList* headers, GMimeParserOptions* options, pst::MessageContent& out, Warnings& warnings) {
    auto mailboxes = [&](const char* name) { return parseMailboxes(options, rawValue(headers, name), &warnings); };
    std::vector<Mailbox> from = mailboxes("From");
    std::vector<Mailbox> sender = mailboxes("Sender");
    if (!from.empty()) setSender(out, from.front(), true);
    if (!sender.empty()) setSender(out, sender.front(), false);
    else if (!from.empty()) setSender(out, from.front(), false);

    std::vector<Mailbox> replyTo = mailboxes("Reply-To");
    if (!replyTo.empty()) {
        out.set(PR_REPLY_RECIPIENT_NAMES_W, displayList(replyTo));
        out.set(PR_REPLY_RECIPIENT_ENTRIES, flatEntryList(replyTo));
    }

    const struct { const char* header; int32_t type; pst::PropTag display; } kinds[] = {
        {"To", MAPI_TO, PR_DISPLAY_TO_W}, {"Cc", MAPI_CC, PR_DISPLAY_CC_W}, {"Bcc", MAPI_BCC, PR_DISPLAY_BCC_W}};
    for (const auto& kind : kinds) {
        std::vector<Mailbox> all;
        int count = g_mime_header_list_get_count(headers);
        for (int i = 0; i < count; ++i) {  // a header may stand more than once
            GMimeHeader* header = g_mime_header_list_get_header_at(headers, i);
            const char* name = g_mime_header_get_name(header);
            if (!name || g_ascii_strcasecmp(name, kind.header) != 0) continue;
            const char* raw = g_mime_header_get_raw_value(header);
            auto some = parseMailboxes(options, joinSplitBase64Words(raw ? raw : ""), &warnings);
            all.insert(all.end(), some.begin(), some.end());
        }
        for (const auto& mailbox : all) out.recipients.push_back(recipientRow(mailbox, kind.type));
        out.set(kind.display, displayList(all));
    }
}

void readIds(GMimeHeaderList* headers, pst::MessageContent& out) {
    const struct { const char* header; pst::PropTag tag; } ids[] = {
        {"Message-ID", PR_INTERNET_MESSAGE_ID_W},
        {"In-Reply-To", PR_IN_REPLY_TO_ID_W},
        {"References", PR_INTERNET_REFERENCES_W}};
    for (const auto& id : ids) {
        std::string value = unfoldedTrimmed(rawValue(headers, id.header));
        if (!value.empty()) out.set(id.tag, utf8ToUtf16(value));
    }
    std::string threadIndex = unfoldedTrimmed(rawValue(headers, "Thread-Index"));
    if (!threadIndex.empty()) {
        gsize length = 0;
        guchar* decoded = g_base64_decode(threadIndex.c_str(), &length);
        if (decoded && length >= 22) out.set(PR_CONVERSATION_INDEX, pst::Bytes(decoded, decoded + length));
        g_free(decoded);
    }
}

// Headers that stand once: a second one with another value is dropped, and
// named.
void warnRepeated(GMimeHeaderList* headers, Warnings& warnings) {
    for (const char* name : {"From", "Sender", "Reply-To", "Subject", "Date", "Message-ID"}) {
        GMimeHeader* first = findHeader(headers, name);
        if (!first) continue;
        std::string kept = unfoldedTrimmed(str(g_mime_header_get_raw_value(first)));
        int count = g_mime_header_list_get_count(headers);
        for (int i = 0; i < count; ++i) {
            GMimeHeader* header = g_mime_header_list_get_header_at(headers, i);
            const char* n = g_mime_header_get_name(header);
            if (header == first || !n || g_ascii_strcasecmp(n, name) != 0) continue;
            if (unfoldedTrimmed(str(g_mime_header_get_raw_value(header))) == kept) continue;
            warnings.add(std::string("the message has more than one ") + name + " header; the first was used");
            break;
        }
    }
}

}  // namespace

bool hasHeader(GMimeHeaderList* headers, const char* name) { return findHeader(headers, name) != nullptr; }

std::string rawHeaderValue(GMimeHeaderList* headers, const char* name) { return rawValue(headers, name); }

std::u16string headerText(GMimeHeaderList* headers, const char* name, GMimeParserOptions* options) {
    std::string value = unfoldedTrimmed(rawValue(headers, name));
    if (value.empty()) return {};
    char* decoded = g_mime_utils_header_decode_text(options, value.c_str());
    std::u16string text = utf8ToUtf16(str(decoded));
    g_free(decoded);
    return text;
}

namespace {
constexpr size_t kMaxSubjectPrefixAndNormalized = 253;

// The first `max` UTF-16 units of `text`, never half of a surrogate pair.
std::u16string cutAt(const std::u16string& text, size_t max) {
    if (text.size() <= max) return text;
    if (max > 0 && text[max - 1] >= 0xD800 && text[max - 1] <= 0xDBFF) --max;
    return text.substr(0, max);
}
}  // namespace

SubjectParts splitSubject(std::u16string_view subject) {
    size_t letters = 0;
    // [MS-OXCMAIL] 2.2.3.2.6.1: one to three characters of any script, none
    // of them a colon, blank or digit, then a colon.
    while (letters < subject.size() && letters < 4) {
        char16_t c = subject[letters];
        bool blank = c == u' ' || c == u'\t' || c == 0xA0 || c == 0x3000;
        bool digit = (c >= u'0' && c <= u'9') || (c >= 0xFF10 && c <= 0xFF19);
        if (c == u':' || blank || digit || c < 0x20 || (c >= 0xD800 && c <= 0xDFFF)) break;
        ++letters;
    }
    if (letters == 0 || letters > 3 || letters >= subject.size() || subject[letters] != u':')
        return {u"", std::u16string(subject)};
    size_t end = letters + 1;
    while (end < subject.size() && (subject[end] == u' ' || subject[end] == u'\t')) ++end;
    // The prefix is kept as its characters and ": ".
    return {std::u16string(subject.substr(0, letters)) + u": ", std::u16string(subject.substr(end))};
}

void readEnvelope(GMimeMessage* message, GMimeParserOptions* options, std::string_view rawHeaders,
                  std::string_view fallbackCharset, const SentTimeFallback& sentFallback, pst::MessageContent& out,
                  Warnings& warnings) {
    GMimeHeaderList* headers = g_mime_object_get_header_list(GMIME_OBJECT(message));

    std::u16string subject = headerText(headers, "Subject", options);
    SubjectParts parts = splitSubject(subject);
    out.set(PR_SUBJECT_W, subject);
    out.set(PR_SUBJECT_PREFIX_W, parts.prefix);
    // [MS-OXCMSG] 2.2.1.10: prefix and normalized subject together stay under
    // 254 characters. The subject and the header block keep the whole text,
    // so a long subject is not stored over and over.
    const size_t normalizedRoom = kMaxSubjectPrefixAndNormalized - parts.prefix.size();
    std::u16string normalized = cutAt(parts.normalized, normalizedRoom);
    out.set(PR_NORMALIZED_SUBJECT_W, normalized);
    // [MS-OXCMAIL] 2.2.3.2.7: Thread-Topic, else the normalized subject.
    std::u16string topic = headerText(headers, "Thread-Topic", options);
    out.set(PR_CONVERSATION_TOPIC_W, topic.empty() ? normalized : cutAt(topic, kMaxSubjectPrefixAndNormalized));

    readAddresses(headers, options, out, warnings);
    readDates(headers, sentFallback, out, warnings);
    readIds(headers, out);
    warnRepeated(headers, warnings);

    out.set(PR_IMPORTANCE, importanceOf(headers));
    std::string priority = lowerAscii(unfoldedTrimmed(rawValue(headers, "Priority")));
    if (priority == "urgent") out.set(PR_PRIORITY, PRIO_URGENT);
    else if (priority == "non-urgent") out.set(PR_PRIORITY, PRIO_NONURGENT);
    else if (priority == "normal") out.set(PR_PRIORITY, PRIO_NORMAL);

    std::string sensitivity = lowerAscii(unfoldedTrimmed(rawValue(headers, "Sensitivity")));
    int32_t sensitivityValue = SENSITIVITY_NONE;
    if (sensitivity == "personal") sensitivityValue = SENSITIVITY_PERSONAL;
    else if (sensitivity == "private") sensitivityValue = SENSITIVITY_PRIVATE;
    else if (sensitivity == "company-confidential") sensitivityValue = SENSITIVITY_COMPANY_CONFIDENTIAL;
    out.set(PR_SENSITIVITY, sensitivityValue);

    // The header block, with CRLF line ends as Outlook keeps it.
    std::string block;
    block.reserve(rawHeaders.size() + rawHeaders.size() / 32);
    for (size_t i = 0; i < rawHeaders.size(); ++i) {
        char c = rawHeaders[i];
        if (c == '\r' || c == '\0') continue;
        if (c == '\n') block += "\r\n";
        else block.push_back(c);
    }
    Warnings ignored;
    std::string_view charset = isValidUtf8(block) ? std::string_view("utf-8") : fallbackCharset;
    out.set(PR_TRANSPORT_MESSAGE_HEADERS_W, decodeText(block, charset, ignored).text);
}

}  // namespace eml
