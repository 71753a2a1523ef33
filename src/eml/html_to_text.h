#pragma once
// The plain text a reader sees in an HTML body, for PR_BODY when a message
// has no plain part.

#include <string>
#include <string_view>

namespace eml {

// Drops tags, comments, scripts and styles; turns block elements and <br>
// into line breaks (CRLF) and list items into "* " lines; decodes entities;
// collapses white space as a browser does, except inside <pre>.
std::u16string htmlToText(std::u16string_view html);

}  // namespace eml
