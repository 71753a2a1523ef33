#pragma once
// The body properties of a message, and which of its attachments the HTML
// shows itself (hidden) and which the reader sees as files.

#include "eml/content_walk.h"
#include "pst/message_content.h"

namespace eml {

// Sets PR_BODY, PR_HTML, PR_INTERNET_CPID and PR_NATIVE_BODY_INFO, and moves
// the attachments into `out`. Returns the number of visible attachments.
int writeBodiesAndAttachments(MessageParts& parts, pst::MessageContent& out);

// A charset named only inside the HTML (<meta charset=...> or the
// http-equiv form), looked for near the top.
std::string metaCharset(std::string_view html);

// The HTML with the charset of its <meta> declarations changed to UTF-8.
std::string declareUtf8(std::string html);

}  // namespace eml
