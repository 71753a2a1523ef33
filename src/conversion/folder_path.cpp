#include "conversion/folder_path.h"

#include "conversion/component_registry.h"
#include "conversion/text.h"
#include "util/platform_path.h"
#include "util/text.h"

namespace conversion {

using quillmere::trimSpaces;

std::vector<std::u16string> splitFolderNames(const std::u16string& folderPath) {
    std::vector<std::u16string> names;
    size_t start = 0;
    for (;;) {
        auto separator = folderPath.find(u'\\', start);
        names.push_back(folderPath.substr(start, separator - start));
        if (separator == std::u16string::npos) break;
        start = separator + 1;
    }
    return names;
}

std::u16string RowFolderPath(const std::u16string& rowText) {
    auto folderPath = quillmere::FolderPathOf(rowText);
    if (!folderPath || folderPath->empty())
        throw ComponentError("The file " + toUtf8(trimSpaces(rowText)) + " has no folder below the root of its drive");
    return *folderPath;
}

std::u16string PathAfterDrive(const std::u16string& rowText) {
    auto trimmed = trimSpaces(rowText);
    if (!trimmed.empty() && trimmed.front() == u'/') return trimmed;
    auto colon = trimmed.find(u':');
    if (colon == std::u16string::npos) return {};
    auto next = trimmed.find(u':', colon + 1);
    return trimmed.substr(colon + 1, next == std::u16string::npos ? std::u16string::npos : next - colon - 1);
}

}  // namespace conversion
