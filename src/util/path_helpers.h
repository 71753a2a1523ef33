#pragma once
// The folder part of a backslash-separated path, and which walked paths are
// message files.

#include <string>

namespace quillmere {

// Everything up to and including the last "\" of `path`; the empty string
// when `path` holds no "\" (a "/" is an ordinary character here). A path that
// ends with "\" is returned whole. The empty path gives the empty string.
std::u16string GetFolderPart(const std::u16string& path);

// Whether a walked file path names a message file: lower-cased and without
// its leading and trailing spaces, it ends in ".eml".
bool IsMessageFilePath(const std::u16string& path);

}  // namespace quillmere
