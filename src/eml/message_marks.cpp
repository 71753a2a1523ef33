#include "eml/message_marks.h"

#include <algorithm>

#include "eml/addresses.h"
#include "eml/charset.h"
#include "eml/envelope.h"
#include "pst/format/property_tags.h"
#include "eml/named_properties.h"

namespace eml {

using namespace pst::tags;

namespace {

// The values of every Keywords header, split at commas; each kept under 256
// characters, as a category name must be, and each kept once.
std::vector<std::u16string> categories(GMimeHeaderList* headers, GMimeParserOptions* options) {
    std::vector<std::u16string> out;
    int count = g_mime_header_list_get_count(headers);
    for (int i = 0; i < count; ++i) {
        GMimeHeader* header = g_mime_header_list_get_header_at(headers, i);
        const char* name = g_mime_header_get_name(header);
        if (!name || g_ascii_strcasecmp(name, "Keywords") != 0) continue;
        const char* raw = g_mime_header_get_raw_value(header);
        if (!raw) continue;
        char* decoded = g_mime_utils_header_decode_text(options, raw);
        std::u16string text = utf8ToUtf16(decoded ? decoded : "");
        g_free(decoded);
        size_t start = 0;
        while (start <= text.size()) {
            size_t comma = text.find(u',', start);
            if (comma == std::u16string::npos) comma = text.size();
            std::u16string word = text.substr(start, comma - start);
            for (auto& c : word)
                if (c == u'\r' || c == u'\n' || c == u'\t') c = u' ';
            size_t first = word.find_first_not_of(u' ');
            size_t last = word.find_last_not_of(u' ');
            if (first != std::u16string::npos) {
                word = word.substr(first, last - first + 1);
                if (word.size() > 255) word.resize(255);
                if (std::find(out.begin(), out.end(), word) == out.end()) out.push_back(word);
            }
            start = comma + 1;
        }
    }
    return out;
}

void setReadReceipt(const Mailbox& to, pst::MessageContent& out) {
    out.set(PR_READ_RECEIPT_REQUESTED, true);
    out.set(PR_READ_RECEIPT_NAME_W, to.shown());
    out.set(PR_READ_RECEIPT_EMAIL_ADDRESS_W, to.address);
    out.set(PR_READ_RECEIPT_ADDRTYPE_W, std::u16string(u"SMTP"));
    out.set(PR_READ_RECEIPT_SMTP_ADDRESS_W, to.address);
    out.set(PR_READ_RECEIPT_ENTRYID, oneOffEntryId(to));
    out.set(PR_READ_RECEIPT_SEARCH_KEY, searchKey(to));
}

bool isTrue(std::u16string value) {
    for (auto& c : value)
        if (c >= u'A' && c <= u'Z') c += 32;
    return value == u"1" || value == u"true" || value == u"yes";
}

}  // namespace

Marks readMarks(GMimeMessage* message, GMimeParserOptions* options, pst::MessageContent& out) {
    Marks marks;
    GMimeHeaderList* headers = g_mime_object_get_header_list(GMIME_OBJECT(message));

    std::vector<std::u16string> keywords = categories(headers, options);
    if (!keywords.empty()) out.setNamed(named::Keywords, pst::PropType::MvUnicode, std::move(keywords));

    // Outlook Express and Windows Live Mail write the flag's text here; an
    // imported flag has no dates, so it is flagged without a due time.
    if (hasHeader(headers, "X-Message-Flag")) {
        std::u16string request = headerText(headers, "X-Message-Flag", options);
        if (request.empty()) request = u"Follow up";
        out.set(PR_FLAG_STATUS, FOLLOWUP_FLAGGED);
        out.set(PR_FOLLOWUP_ICON, FOLLOWUP_ICON_RED);
        out.set(PR_TODO_ITEM_FLAGS, TODO_TIME_FLAGGED);
        out.setNamed(named::FlagRequest, pst::PropType::Unicode, std::move(request));
    }

    std::vector<Mailbox> receiptTo = parseMailboxes(options, rawHeaderValue(headers, "Disposition-Notification-To"));
    if (!receiptTo.empty()) setReadReceipt(receiptTo.front(), out);
    if (hasHeader(headers, "Return-Receipt-To")) out.set(PR_ORIGINATOR_DELIVERY_REPORT_REQUESTED, true);

    // GMime files the Content-* headers with the top-level part.
    GMimeObject* body = g_mime_message_get_mime_part(message);
    std::u16string contentClass = headerText(headers, "Content-Class", options);
    if (contentClass.empty() && body) contentClass = headerText(g_mime_object_get_header_list(body), "Content-Class", options);
    if (!contentClass.empty()) out.setNamed(named::ContentClass, pst::PropType::Unicode, std::move(contentClass));

    marks.unsent = isTrue(headerText(headers, "X-Unsent", options));
    return marks;
}

}  // namespace eml
