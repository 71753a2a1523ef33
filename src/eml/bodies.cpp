#include "eml/bodies.h"

#include <algorithm>

#include "eml/html_to_text.h"
#include "pst/format/property_tags.h"

namespace eml {

using namespace pst::tags;

namespace {

char16_t lower(char16_t c) { return (c >= u'A' && c <= u'Z') ? c + 32 : c; }

bool containsNoCase(std::u16string_view haystack, std::u16string_view needle) {
    if (needle.empty() || needle.size() > haystack.size()) return false;
    for (size_t i = 0; i + needle.size() <= haystack.size(); ++i) {
        size_t k = 0;
        while (k < needle.size() && lower(haystack[i + k]) == lower(needle[k])) ++k;
        if (k == needle.size()) return true;
    }
    return false;
}

bool shownByHtml(const PendingAttachment& attachment, std::u16string_view html) {
    if (!attachment.contentId.empty() && containsNoCase(html, u"cid:" + attachment.contentId)) return true;
    return attachment.related && !attachment.contentLocation.empty() &&
           containsNoCase(html, attachment.contentLocation);
}

}  // namespace

std::string metaCharset(std::string_view html) {
    std::string head(html.substr(0, 4096));
    for (auto& c : head) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    size_t at = 0;
    while ((at = head.find("<meta", at)) != std::string::npos) {
        size_t end = head.find('>', at);
        if (end == std::string::npos) break;
        size_t cs = head.find("charset=", at);
        if (cs != std::string::npos && cs < end) {
            size_t v = cs + 8;
            while (v < end && (head[v] == '"' || head[v] == '\'' || head[v] == ' ')) ++v;
            size_t e = v;
            while (e < end && head[e] != '"' && head[e] != '\'' && head[e] != ' ' && head[e] != ';' && head[e] != '/')
                ++e;
            if (e > v) return head.substr(v, e - v);
        }
        at = end;
    }
    return {};
}

std::string declareUtf8(std::string html) {
    size_t limit = std::min<size_t>(html.size(), 8192);
    size_t at = 0;
    auto lowerAt = [&](size_t i) { return static_cast<char>(std::tolower(static_cast<unsigned char>(html[i]))); };
    while (at < limit) {
        size_t meta = std::string::npos;
        for (size_t i = at; i + 5 <= limit; ++i)
            if (html[i] == '<' && lowerAt(i + 1) == 'm' && lowerAt(i + 2) == 'e' && lowerAt(i + 3) == 't' && lowerAt(i + 4) == 'a') {
                meta = i;
                break;
            }
        if (meta == std::string::npos) break;
        size_t end = html.find('>', meta);
        if (end == std::string::npos) break;
        for (size_t i = meta; i + 8 <= end; ++i) {
            static const char key[] = "charset=";
            size_t k = 0;
            while (k < 8 && lowerAt(i + k) == key[k]) ++k;
            if (k < 8) continue;
            size_t v = i + 8;
            while (v < end && (html[v] == '"' || html[v] == '\'' || html[v] == ' ')) ++v;
            size_t e = v;
            while (e < end && html[e] != '"' && html[e] != '\'' && html[e] != ' ' && html[e] != ';' && html[e] != '/' && html[e] != '>')
                ++e;
            html.replace(v, e - v, "utf-8");
            end = html.find('>', meta);
            limit = std::min<size_t>(html.size(), 8192);
            break;
        }
        at = end + 1;
    }
    return html;
}

int writeBodiesAndAttachments(MessageParts& parts, pst::MessageContent& out) {
    std::optional<int32_t> codePage;
    auto plainBody = [&]() -> pst::PropValue {
        if (parts.streamedPlain) return parts.streamedPlain;
        return *parts.plain;
    };
    if (parts.html) {
        const HtmlBody& html = *parts.html;
        // Kept as UTF-8 whatever it was sent in: every reader and Outlook
        // handle that, and its charset declaration is made to say so.
        if (html.streamed) {
            out.set(PR_HTML, html.streamed);
        } else {
            std::string utf8 = declareUtf8(utf16ToUtf8(html.decoded.text));
            out.set(PR_HTML, pst::Bytes(utf8.begin(), utf8.end()));
        }
        codePage = 65001;
        out.set(PR_BODY_W, parts.plain ? plainBody() : pst::PropValue(htmlToText(html.decoded.text)));
        out.set(PR_NATIVE_BODY_INFO, BODY_HTML);
    } else if (parts.plain) {
        out.set(PR_BODY_W, plainBody());
        out.set(PR_NATIVE_BODY_INFO, BODY_PLAIN);
        codePage = windowsCodePage(parts.textCharset);
    }
    out.set(PR_INTERNET_CPID, codePage.value_or(65001));

    std::u16string_view htmlText = parts.html ? std::u16string_view(parts.html->decoded.text) : std::u16string_view();
    int visible = 0;
    for (auto& attachment : parts.attachments) {
        bool hidden = parts.html && shownByHtml(attachment, htmlText);
        attachment.content.props.push_back({PR_ATTACHMENT_HIDDEN, hidden});
        if (hidden) attachment.content.props.push_back({PR_ATTACH_FLAGS, ATT_MHTML_REF});
        else ++visible;
        out.attachments.push_back(std::move(attachment.content));
    }
    parts.attachments.clear();
    return visible;
}

}  // namespace eml
