#include "eml/message_reader.h"

#include "eml/bodies.h"
#include "eml/charset.h"
#include "eml/content_walk.h"
#include "eml/envelope.h"
#include "eml/gmime_support.h"
#include "eml/mapi_tags.h"
#include "eml/message_marks.h"
#include "eml/named_properties.h"
#include "eml/reports.h"
#include "eml/secure.h"

namespace eml {

using namespace tags;

pst::MessageContent readMessageContent(GMimeMessage* message, std::string_view rawHeaders, ParseContext& context,
                                       int depth) {
    pst::MessageContent out;
    MessageParts parts = walkContent(g_mime_message_get_mime_part(message), context, depth);

    // Raw 8-bit headers are most likely in the charset of the text.
    std::string fallback = parts.textCharset.empty() || parts.textCharset == "us-ascii"
                               ? std::string("windows-1252") : parts.textCharset;
    keepConverterLoaded(fallback);
    keepConverterLoaded("windows-1252");
    GMimeParserOptions* headerOptions = g_mime_parser_options_clone(context.options);
    const char* charsets[] = {"utf-8", fallback.c_str(), "windows-1252", nullptr};
    g_mime_parser_options_set_fallback_charsets(headerOptions, charsets);
    readEnvelope(message, headerOptions, rawHeaders, fallback, context.sentTime, out, *context.warnings);
    Marks marks = readMarks(message, headerOptions, out);
    g_mime_parser_options_free(headerOptions);

    out.set(PR_MESSAGE_CLASS_W, std::u16string(parts.opaqueSmime ? kSmimeMessageClass : u"IPM.Note"));
    int visible = writeBodiesAndAttachments(parts, out);
    if (parts.signedEntity) {
        out.set(PR_MESSAGE_CLASS_W, std::u16string(kSmimeSignedMessageClass));
        out.attachments.clear();  // they are parts of the signed entity
        out.attachments.push_back(std::move(parts.signedEntity->content));
    }
    if (parts.report) applyReport(*parts.report, out);
    // The store sets has-attachment and the size from what it writes; when
    // every attachment is shown in the body, Outlook shows no paperclip.
    if (!out.attachments.empty() && visible == 0) out.setNamed(named::SmartNoAttach, pst::PropType::Boolean, true);
    // An imported message has been read; a draft was never delivered.
    int32_t flags = MSGFLAG_READ;
    if (marks.unsent) {
        flags |= MSGFLAG_UNSENT;
        std::erase_if(out.props, [](const pst::Property& p) { return p.tag == PR_MESSAGE_DELIVERY_TIME; });
    }
    out.set(PR_MESSAGE_FLAGS, flags);
    return out;
}

pst::MessageContent readEmbeddedMessage(GMimeMessage* message, ParseContext& context, int depth) {
    char* headers = g_mime_object_get_headers(GMIME_OBJECT(message), nullptr);
    std::string rawHeaders = str(headers);
    g_free(headers);
    return readMessageContent(message, rawHeaders, context, depth);
}

}  // namespace eml
