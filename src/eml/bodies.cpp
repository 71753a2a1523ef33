#include "eml/bodies.h"

#include "eml/html_to_text.h"
#include "eml/mapi_tags.h"

namespace eml {

using namespace tags;

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

int writeBodiesAndAttachments(MessageParts& parts, pst::MessageContent& out) {
    std::optional<int32_t> codePage;
    if (parts.html) {
        const HtmlBody& html = *parts.html;
        std::optional<int32_t> original = windowsCodePage(html.decoded.charset);
        if (html.decoded.exact && original) {
            out.set(PR_HTML, pst::Bytes(html.bytes.begin(), html.bytes.end()));
            codePage = original;
        } else {
            // The HTML is kept in a charset Outlook can name.
            std::string utf8 = utf16ToUtf8(html.decoded.text);
            out.set(PR_HTML, pst::Bytes(utf8.begin(), utf8.end()));
            codePage = 65001;
        }
        out.set(PR_BODY_W, parts.plain ? *parts.plain : htmlToText(html.decoded.text));
        out.set(PR_NATIVE_BODY_INFO, BODY_HTML);
    } else if (parts.plain) {
        out.set(PR_BODY_W, *parts.plain);
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
