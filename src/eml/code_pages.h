#pragma once
// Windows code pages to the charset names iconv reads them by.

#include <string>

namespace eml {

// "windows-1252" for an unknown code page: it can read any byte.
std::string charsetOfCodePage(int codePage);

}  // namespace eml
