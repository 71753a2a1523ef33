#include "util/path_helpers.h"

#include "util/text.h"

namespace quillmere {

std::u16string GetFolderPart(const std::u16string& path)
{
    const auto lastBackslash = path.rfind(u'\\');
    if (lastBackslash == std::u16string::npos)
        return {};
    return path.substr(0, lastBackslash + 1);
}

bool IsMessageFilePath(const std::u16string& path)
{
    // Only ASCII letters can lower-case into ".eml".
    static constexpr std::u16string_view kExtension = u".eml";
    const std::u16string trimmed = trimSpaces(path);
    if (trimmed.size() < kExtension.size())
        return false;
    const std::size_t start = trimmed.size() - kExtension.size();
    for (std::size_t i = 0; i < kExtension.size(); ++i) {
        char16_t c = trimmed[start + i];
        if (c >= u'A' && c <= u'Z')
            c += u'a' - u'A';
        if (c != kExtension[i])
            return false;
    }
    return true;
}

}  // namespace quillmere
