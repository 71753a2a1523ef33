#pragma once
// Case folding for folder-name comparison, independent of the C locale:
// ASCII, Latin-1, Latin Extended-A, Greek and Cyrillic capitals.

#include <string>

namespace pst::read {

char16_t foldChar(char16_t c);
std::u16string foldCase(std::u16string s);

}  // namespace pst::read
