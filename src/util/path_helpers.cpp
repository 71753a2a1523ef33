#include "util/path_helpers.h"

namespace quillmere {

std::u16string GetFolderPart(const std::u16string& path)
{
    const auto lastBackslash = path.rfind(u'\\');
    if (lastBackslash == std::u16string::npos)
        return {};
    return path.substr(0, lastBackslash + 1);
}

}  // namespace quillmere
