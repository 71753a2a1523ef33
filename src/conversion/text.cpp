#include "conversion/text.h"

#include "util/platform_path.h"
#include "util/utf.h"

namespace conversion {

std::string toUtf8(const std::u16string& text) { return quillmere::toUtf8(text); }
std::u16string fromUtf8(const std::string& text) { return quillmere::toUtf16(text); }
std::filesystem::path toPath(const std::u16string& text) { return quillmere::toFileSystemPath(text); }
std::u16string fromPath(const std::filesystem::path& path) { return quillmere::fromFileSystemPath(path); }

}  // namespace conversion
