#pragma once
// UTF-8 <-> UTF-16 conversion.
//
// File names on this platform are byte strings that are usually, but not
// always, UTF-8. So that every file the walker finds can be opened again from
// its UTF-16 path, toUtf16 is lossless: a byte that is not part of a valid
// UTF-8 sequence becomes the lone low surrogate U+DC80 + byte, and toUtf8 turns
// such a lone surrogate back into that byte. Any other unpaired surrogate is
// written as U+FFFD.
//
// Text meant for people or for the store (folder names, display names) should
// pass through withoutUnpairedSurrogates, which swaps every unpaired surrogate
// for U+FFFD so the result is well-formed UTF-16.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace quillmere {

std::u16string toUtf16(std::string_view utf8);
// One code point (at most U+10FFFF) as one or two UTF-16 units.
void appendCodePoint(std::u16string& out, char32_t cp);
std::string toUtf8(std::u16string_view utf16);
// UTF-16 text stored as little-endian bytes (as the store and TNEF keep it);
// a trailing odd byte is dropped.
std::u16string fromUtf16Le(std::span<const uint8_t> bytes);
// The other way: UTF-16 text appended to `out` as little-endian bytes.
void appendUtf16Le(std::u16string_view text, std::string& out);

std::u16string withoutUnpairedSurrogates(std::u16string_view utf16);

}  // namespace quillmere
