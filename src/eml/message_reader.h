#pragma once
// One parsed message (the file's, or one attached to it) to a mail item.

#include <string_view>

#include <gmime/gmime.h>

#include "eml/parse_context.h"
#include "pst/message_content.h"

namespace eml {

// `rawHeaders` is the header block as sent; `size` the message's size in
// bytes (PR_MESSAGE_SIZE).
pst::MessageContent readMessageContent(GMimeMessage* message, std::string_view rawHeaders, size_t size,
                                       ParseContext& context, int depth);

// An attached message: its header block and size are taken from GMime.
pst::MessageContent readEmbeddedMessage(GMimeMessage* message, ParseContext& context, int depth);

}  // namespace eml
