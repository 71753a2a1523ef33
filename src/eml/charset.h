#pragma once
// Text in any charset to UTF-16, and charsets to Windows code pages.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "eml/warnings.h"

namespace eml {

struct DecodedText {
    std::u16string text;
    // The charset the bytes were read in (canonical, lower case).
    std::string charset;
    // False when the declared charset was unknown or wrong, or some bytes
    // could not be read in it (they became U+FFFD).
    bool exact = true;
};

// Reads bytes declared to be in `charset` (may be empty). An unknown or
// missing charset falls back to UTF-8 when the bytes are valid UTF-8, else to
// windows-1252, which can read any byte.
DecodedText decodeText(std::string_view bytes, std::string_view charset, Warnings& warnings);

// UTF-8 to UTF-16; invalid sequences become U+FFFD.
std::u16string utf8ToUtf16(std::string_view utf8);
std::string utf16ToUtf8(std::u16string_view text);
bool isValidUtf8(std::string_view bytes);

// The Windows code page of a charset (PR_INTERNET_CPID), if it has one.
std::optional<int32_t> windowsCodePage(std::string_view charset);

// GMime opens and closes an iconv converter for every header it decodes;
// keeping one open per charset keeps its gconv module loaded in between.
void keepConverterLoaded(const std::string& charset);

// The canonical lower-case name GMime knows a charset by.
std::string canonicalCharset(std::string_view charset);

}  // namespace eml
