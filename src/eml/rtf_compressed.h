#pragma once
// PR_RTF_COMPRESSED to RTF: the LZ77 stream Outlook keeps the rich-text body in.

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace eml {

// The RTF of a compressed ("LZFu") or stored ("MELA") body; nullopt when the
// header is wrong, the CRC does not match or the data ends inside a token.
std::optional<std::string> decompressRtf(std::span<const uint8_t> data);

// The reverse, for tests and for writing: always "LZFu", with literals and
// references found by a plain search of the dictionary.
std::string compressRtf(std::string_view rtf);

}  // namespace eml
