#include "eml/addresses.h"

#include <algorithm>
#include <optional>

#include "eml/charset.h"
#include "eml/gmime_support.h"
#include "pst/format/property_tags.h"

namespace eml {

using namespace pst::tags;

namespace {

void collect(InternetAddressList* list, std::vector<Mailbox>& out, int depth) {
    if (!list || depth > 8) return;
    int count = internet_address_list_length(list);
    for (int i = 0; i < count; ++i) {
        InternetAddress* address = internet_address_list_get_address(list, i);
        if (INTERNET_ADDRESS_IS_GROUP(address)) {
            collect(internet_address_group_get_members(INTERNET_ADDRESS_GROUP(address)), out,
                    depth + 1);
            continue;
        }
        if (!INTERNET_ADDRESS_IS_MAILBOX(address)) continue;
        Mailbox mailbox;
        mailbox.name = utf8ToUtf16(str(internet_address_get_name(address)));
        mailbox.address =
            utf8ToUtf16(str(internet_address_mailbox_get_addr(INTERNET_ADDRESS_MAILBOX(address))));
        if (mailbox.name == mailbox.address) mailbox.name.clear();
        if (!mailbox.name.empty() || !mailbox.address.empty()) out.push_back(std::move(mailbox));
    }
}

std::string unfolded(std::string_view value) {
    std::string out;
    for (char c : value) {
        if (c == '\r' || c == '\n') continue;
        out.push_back(c == '\t' ? ' ' : c);
    }
    size_t begin = out.find_first_not_of(' ');
    size_t end = out.find_last_not_of(' ');
    return begin == std::string::npos ? std::string() : out.substr(begin, end - begin + 1);
}

// The pieces of an address list between commas outside quotes, angle
// brackets and comments.
std::vector<std::string> commaSeparated(const std::string& value) {
    std::vector<std::string> pieces(1);
    bool quoted = false;
    int angle = 0, comment = 0;
    for (size_t i = 0; i < value.size(); ++i) {
        char c = value[i];
        if (c == '\\' && i + 1 < value.size()) {
            pieces.back() += value.substr(i++, 2);
            continue;
        }
        if (c == '"' && comment == 0) quoted = !quoted;
        else if (!quoted && c == '(') ++comment;
        else if (!quoted && c == ')' && comment > 0) --comment;
        else if (!quoted && comment == 0 && c == '<') ++angle;
        else if (!quoted && comment == 0 && c == '>' && angle > 0) --angle;
        if (c == ',' && !quoted && angle == 0 && comment == 0) {
            pieces.emplace_back();
            continue;
        }
        pieces.back().push_back(c);
    }
    return pieces;
}

// "Ann Lee ann@example.org": the last word holding an '@' is the address,
// the words before it the name.
std::optional<Mailbox> bracketlessMailbox(std::string_view rawValue) {
    std::string value = unfolded(rawValue);
    std::vector<std::string> words;
    for (size_t at = 0; at < value.size();) {
        size_t end = value.find(' ', at);
        if (end == std::string::npos) end = value.size();
        if (end > at) words.push_back(value.substr(at, end - at));
        at = end + 1;
    }
    auto isAddress = [](const std::string& w) { return w.find('@') != std::string::npos; };
    auto last = std::find_if(words.rbegin(), words.rend(), isAddress);
    if (last == words.rend()) return std::nullopt;
    auto strip = [](std::string w, const char* chars) {
        size_t b = w.find_first_not_of(chars), e = w.find_last_not_of(chars);
        return b == std::string::npos ? std::string() : w.substr(b, e - b + 1);
    };
    std::string address = strip(*last, "<>()[]\"',;");
    std::string name;
    for (auto it = words.begin(); it != last.base() - 1; ++it) name += (name.empty() ? "" : " ") + *it;
    name = strip(name, "\"' ");
    char* decoded = g_mime_utils_header_decode_phrase(nullptr, name.c_str());
    Mailbox mailbox;
    mailbox.name = utf8ToUtf16(str(decoded));
    g_free(decoded);
    mailbox.address = utf8ToUtf16(address);
    if (mailbox.address.empty()) return std::nullopt;
    return mailbox;
}

constexpr size_t kMaxEntryIdNameChars = 255;

void appendUtf16z(pst::Bytes& out, std::u16string_view text) {
    for (char16_t c : text) {
        out.push_back(static_cast<uint8_t>(c & 0xFF));
        out.push_back(static_cast<uint8_t>(c >> 8));
    }
    out.push_back(0);
    out.push_back(0);
}

void appendUint32(pst::Bytes& out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

}  // namespace

std::vector<Mailbox> mailboxesOf(InternetAddressList* list) {
    std::vector<Mailbox> out;
    collect(list, out, 0);
    return out;
}

std::vector<Mailbox> parseMailboxes(GMimeParserOptions* options, std::string_view rawValue, Warnings* warnings) {
    if (rawValue.empty()) return {};  // a field the message does not have: no list to make
    std::string value(rawValue);
    if (value.find('\0') != std::string::npos) value.resize(value.find('\0'));
    GPtr<InternetAddressList> list(internet_address_list_parse(options, value.c_str()));
    std::vector<Mailbox> mailboxes = mailboxesOf(list.get());
    auto withAt = [](const std::vector<Mailbox>& some) {
        return std::count_if(some.begin(), some.end(),
                             [](const Mailbox& m) { return m.address.find(u'@') != std::u16string::npos; });
    };
    std::vector<std::string> pieces = commaSeparated(value);
    size_t piecesWithAt = std::count_if(pieces.begin(), pieces.end(),
                                        [](const std::string& p) { return p.find('@') != std::string::npos; });
    if (static_cast<size_t>(withAt(mailboxes)) >= piecesWithAt) return mailboxes;
    // Some address was lost: read each piece on its own.
    std::vector<Mailbox> out;
    for (const auto& piece : pieces) {
        GPtr<InternetAddressList> one(internet_address_list_parse(options, piece.c_str()));
        std::vector<Mailbox> some = mailboxesOf(one.get());
        std::optional<Mailbox> loose;
        if (withAt(some) == 0 && piece.find('@') != std::string::npos) loose = bracketlessMailbox(piece);
        if (!loose) {
            out.insert(out.end(), some.begin(), some.end());
            continue;
        }
        if (warnings)
            warnings->add("the address \"" + unfolded(piece) + "\" has no angle brackets; it was read as \"" +
                          utf16ToUtf8(loose->name) + "\" <" + utf16ToUtf8(loose->address) + ">");
        out.push_back(*loose);
    }
    return out;
}

pst::Bytes oneOffEntryId(const Mailbox& mailbox) {
    // Flags, the one-off provider's UID, version 0, and the flags
    // MAPI_ONE_OFF_UNICODE | MAPI_ONE_OFF_NO_RICH_INFO | plain-text format.
    static const uint8_t header[] = {0x00, 0x00, 0x00, 0x00, 0x81, 0x2B, 0x1F, 0xA4, 0xBE, 0xA3,
                                     0x10, 0x19, 0x9D, 0x6E, 0x00, 0xDD, 0x01, 0x0F, 0x54, 0x02,
                                     0x00, 0x00, 0x01, 0x90};
    pst::Bytes out(std::begin(header), std::end(header));
    // The name in an entry identifier only labels the address: a very long
    // one is kept whole in the display-name properties, not copied again here.
    std::u16string name = mailbox.shown();
    if (name.size() > kMaxEntryIdNameChars) {
        size_t keep = kMaxEntryIdNameChars;
        if (name[keep - 1] >= 0xD800 && name[keep - 1] <= 0xDBFF) --keep;
        name.resize(keep);
    }
    appendUtf16z(out, name);
    appendUtf16z(out, u"SMTP");
    appendUtf16z(out, mailbox.address);
    return out;
}

pst::Bytes searchKey(const Mailbox& mailbox) {
    std::string key = "SMTP:" + utf16ToUtf8(mailbox.address);
    pst::Bytes out;
    out.reserve(key.size() + 1);
    for (unsigned char c : key) out.push_back(static_cast<uint8_t>(std::toupper(c)));
    out.push_back(0);
    return out;
}

pst::Bytes flatEntryList(const std::vector<Mailbox>& mailboxes) {
    pst::Bytes entries;
    for (const auto& mailbox : mailboxes) {
        pst::Bytes id = oneOffEntryId(mailbox);
        appendUint32(entries, static_cast<uint32_t>(id.size()));
        entries.insert(entries.end(), id.begin(), id.end());
        while (entries.size() % 4) entries.push_back(0);
    }
    pst::Bytes out;
    appendUint32(out, static_cast<uint32_t>(mailboxes.size()));
    appendUint32(out, static_cast<uint32_t>(entries.size()));
    out.insert(out.end(), entries.begin(), entries.end());
    return out;
}

pst::RecipientRow recipientRow(const Mailbox& mailbox, int32_t recipientType) {
    pst::RecipientRow row;
    auto add = [&](pst::PropTag tag, pst::PropValue value) { row.props.push_back({tag, std::move(value)}); };
    add(PR_RECIPIENT_TYPE, recipientType);
    add(PR_DISPLAY_NAME_W, mailbox.shown());
    add(PR_TRANSMITABLE_DISPLAY_NAME_W, mailbox.shown());
    add(PR_ADDRTYPE_W, std::u16string(u"SMTP"));
    add(PR_EMAIL_ADDRESS_W, mailbox.address);
    add(PR_SMTP_ADDRESS_W, mailbox.address);
    add(PR_ENTRYID, oneOffEntryId(mailbox));
    add(PR_SEARCH_KEY, searchKey(mailbox));
    add(PR_DISPLAY_TYPE, DT_MAILUSER);
    add(PR_RECIPIENT_FLAGS, RECIP_SENDABLE);
    add(PR_SEND_RICH_INFO, false);
    return row;
}

std::u16string displayList(const std::vector<Mailbox>& mailboxes) {
    std::u16string out;
    for (const auto& mailbox : mailboxes) {
        if (!out.empty()) out += u"; ";
        out += mailbox.shown();
    }
    return out;
}

}  // namespace eml
