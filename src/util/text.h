#pragma once
// Text helpers every layer shares: trimming and the one case-insensitive
// comparison of names (folder names, collection keys, store names).

#include <string>

namespace quillmere {

// `text` without its leading and trailing spaces (U+0020 only, as Trim does;
// tabs and line ends stay).
std::u16string trimSpaces(const std::u16string& text);

// Names compare ignoring case as Outlook compares folder names: both sides
// are taken to their Windows upper case, the simple one-to-one mapping of
// Latin (ASCII, Latin-1, Latin Extended-A), Greek and Cyrillic letters.
// So "ı" (dotless i) and "ſ" (long s) match "I" and "S", "ÿ" matches "Ÿ",
// final "ς" matches "Σ", while "İ" (capital I with dot) has no small partner
// and matches only itself. Letters beyond these scripts compare as they are.
char16_t foldCase(char16_t c);
std::u16string foldCase(const std::u16string& text);
bool equalsIgnoringCase(const std::u16string& a, const std::u16string& b);

}  // namespace quillmere
