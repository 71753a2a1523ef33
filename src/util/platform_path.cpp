#include "util/platform_path.h"

#include "util/path_helpers.h"
#include "util/text.h"
#include "util/utf.h"

#include <vector>

namespace quillmere {

namespace {

std::optional<std::u16string> folderPathOfPlatformPath(const std::u16string& path)
{
    // Directory names lie between the root "/" and the last "/".
    const auto lastSlash = path.rfind(u'/');
    std::u16string result;
    std::size_t start = 1;
    while (start <= lastSlash) {
        const auto end = path.find(u'/', start);
        std::u16string name = path.substr(start, end - start);
        start = end + 1;
        if (name.empty() || name == u".")
            continue;
        for (auto& c : name) {
            if (c == u'\\')
                c = kBackslashInNameReplacement;
        }
        if (!result.empty())
            result.push_back(u'\\');
        result += name;
    }
    if (result.empty())
        return std::nullopt;
    return result;
}

std::optional<std::u16string> folderPathOfDrivePath(const std::u16string& path)
{
    const auto colon = path.find(u':');
    if (colon == std::u16string::npos)
        return std::nullopt;
    const auto nextColon = path.find(u':', colon + 1);
    std::u16string piece = trimSpaces(path.substr(colon + 1, nextColon == std::u16string::npos
                                                                 ? std::u16string::npos
                                                                 : nextColon - colon - 1));
    if (piece.empty())
        return std::nullopt;
    piece.erase(0, 1);
    std::u16string folder = GetFolderPart(piece);
    if (folder.empty())
        return std::nullopt;
    folder.pop_back();
    if (folder.empty())
        return std::nullopt;
    return folder;
}

}  // namespace

std::u16string EnsureTrailingSeparator(const std::u16string& path)
{
    if (!path.empty() && path.back() == kPathSeparator)
        return path;
    return path + kPathSeparator;
}

std::optional<std::u16string> FolderPathOf(const std::u16string& path)
{
    const std::u16string trimmed = trimSpaces(path);
    if (!trimmed.empty() && trimmed.front() == u'/')
        return folderPathOfPlatformPath(trimmed);
    return folderPathOfDrivePath(trimmed);
}

std::filesystem::path toFileSystemPath(const std::u16string& path)
{
    return std::filesystem::path(toUtf8(path));
}

std::u16string fromFileSystemPath(const std::filesystem::path& path)
{
    return toUtf16(path.native());
}

}  // namespace quillmere
