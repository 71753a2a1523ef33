#pragma once
// RFC 2047 encoded words are decoded by GMime; this only prepares header
// text for it.

#include <string>
#include <string_view>

namespace eml {

// Joins each run of adjacent base64 encoded words of one charset into a
// single word. Mailers split long text into several words, each padded with
// '='; GMime glues the payloads of such a run together before decoding, and
// the padding in the middle would cut the text short. Joining the decoded
// bytes also keeps a multi-byte character that was split across two words.
// Base64 words in ISO-2022-JP come out as UTF-8 words, read with the
// extension characters mail from Windows puts in them.
std::string joinSplitBase64Words(std::string_view header);

}  // namespace eml
