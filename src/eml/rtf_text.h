#pragma once
// What an RTF body carries as HTML or text: the HTML Outlook wrapped in RTF
// (\fromhtml1), the plain text it wrapped (\fromtext), or the words of a
// rich-text body of its own.

#include <optional>
#include <string>
#include <string_view>

namespace eml {

struct RtfContent {
    enum class Kind { Html, Text, Rich };
    Kind kind = Kind::Rich;
    // HTML for Kind::Html (its <meta charset> may still name the code page
    // it was written in), text for the others, both UTF-16.
    std::u16string text;
};

// nullopt when the bytes are no RTF document.
std::optional<RtfContent> readRtf(std::string_view rtf);

}  // namespace eml
