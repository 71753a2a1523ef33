#pragma once
// The envelope of a message: subject, addresses, dates, ids, importance and
// the transport headers.

#include <optional>
#include <string>
#include <string_view>

#include <gmime/gmime.h>

#include "eml/warnings.h"
#include "pst/message_content.h"

namespace eml {

struct SubjectParts {
    std::u16string prefix;      // "RE: ", "Fwd: ", ... or empty
    std::u16string normalized;  // the rest
};
// Splits off a reply/forward prefix: one to three letters, a colon and the
// spaces after it, at the very start.
SubjectParts splitSubject(std::u16string_view subject);

// The unfolded, decoded (RFC 2047, or the fallback charsets for raw 8-bit
// text) value of the first header of that name; empty if absent.
std::u16string headerText(GMimeHeaderList* headers, const char* name, GMimeParserOptions* options);
bool hasHeader(GMimeHeaderList* headers, const char* name);
// The raw value of the first header of that name, split encoded words
// joined; empty if absent.
std::string rawHeaderValue(GMimeHeaderList* headers, const char* name);

// The sent time of a message whose Date is missing or unreadable and whose
// Received headers name no time either.
struct SentTimeFallback {
    std::optional<pst::FileTime> fileTime;  // the file's modification time
    pst::FileTime now;
};

// Sets every envelope property of `out` from the message's headers.
// `rawHeaders` is the header block as it stands in the file.
void readEnvelope(GMimeMessage* message, GMimeParserOptions* options, std::string_view rawHeaders,
                  std::string_view fallbackCharset, const SentTimeFallback& sentFallback, pst::MessageContent& out,
                  Warnings& warnings);

}  // namespace eml
