#include "eml/message_reader.h"

#include <climits>

#include "eml/bodies.h"
#include "eml/content_walk.h"
#include "eml/envelope.h"
#include "eml/gmime_support.h"
#include "eml/mapi_tags.h"
#include "eml/secure.h"

namespace eml {

using namespace tags;

pst::MessageContent readMessageContent(GMimeMessage* message, std::string_view rawHeaders, size_t size,
                                       ParseContext& context, int depth) {
    pst::MessageContent out;
    MessageParts parts = walkContent(g_mime_message_get_mime_part(message), context, depth);

    // Raw 8-bit headers are most likely in the charset of the text.
    std::string fallback = parts.textCharset.empty() || parts.textCharset == "us-ascii"
                               ? std::string("windows-1252") : parts.textCharset;
    GMimeParserOptions* headerOptions = g_mime_parser_options_clone(context.options);
    const char* charsets[] = {"utf-8", fallback.c_str(), "windows-1252", nullptr};
    g_mime_parser_options_set_fallback_charsets(headerOptions, charsets);
    readEnvelope(message, headerOptions, rawHeaders, fallback, out, *context.warnings);
    g_mime_parser_options_free(headerOptions);

    out.set(PR_MESSAGE_CLASS_W, std::u16string(parts.opaqueSmime ? kSmimeMessageClass : u"IPM.Note"));
    int visible = writeBodiesAndAttachments(parts, out);
    out.set(PR_HASATTACH, visible > 0);
    // An imported message has been read; it has attachments only when it has.
    out.set(PR_MESSAGE_FLAGS, MSGFLAG_READ | (visible > 0 ? MSGFLAG_HASATTACH : 0));
    out.set(PR_MESSAGE_SIZE, static_cast<int32_t>(std::min<size_t>(size, INT32_MAX)));
    return out;
}

pst::MessageContent readEmbeddedMessage(GMimeMessage* message, ParseContext& context, int depth) {
    char* headers = g_mime_object_get_headers(GMIME_OBJECT(message), nullptr);
    std::string rawHeaders = str(headers);
    g_free(headers);
    size_t size = serialised(GMIME_OBJECT(message)).size();
    return readMessageContent(message, rawHeaders, size, context, depth);
}

}  // namespace eml
