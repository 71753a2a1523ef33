#pragma once
// Text conversions used where component texts meet the file system and the
// terminal.

#include <filesystem>
#include <string>

namespace conversion {

std::string toUtf8(const std::u16string& text);
std::u16string fromUtf8(const std::string& text);
std::filesystem::path toPath(const std::u16string& text);
std::u16string fromPath(const std::filesystem::path& path);

}  // namespace conversion
