#pragma once
// Paths on this platform, for both the message listing and the conversion.
//
// Paths travel through the program as UTF-16 strings in the platform's own
// form ("/home/ann/Mail/Inbox/a.eml" here). Inside a store, a folder path is
// folder names joined by "\", with no leading or trailing "\", relative to
// the root of the file's drive; on this platform "/" is that root.

#include <filesystem>
#include <optional>
#include <string>

namespace quillmere {

#ifdef _WIN32
inline constexpr char16_t kPathSeparator = u'\\';
#else
inline constexpr char16_t kPathSeparator = u'/';
#endif

// The path unchanged if it ends with the platform separator, else the path
// with one appended.
std::u16string EnsureTrailingSeparator(const std::u16string& path);

// A "\" inside a single directory name becomes this character (FULLWIDTH
// REVERSE SOLIDUS) in a folder path, so that the name stays one folder
// instead of splitting into a chain of folders.
inline constexpr char16_t kBackslashInNameReplacement = u'\uFF3C';

// The store folder path of the file at `path`, or nullopt when it has none.
// The text is first stripped of leading and trailing spaces.
// - A path starting with "/" is a path of this platform: the directory names
//   between the root and the file name, joined by "\" (empty names from
//   doubled slashes and "." are skipped). A file directly in "/" has none.
// - Anything else is read as a drive path: the text between the first ":"
//   and the next ":" (or the end), trimmed, without its first character (the
//   "\" after the drive colon), up to but not including its last "\". No ":",
//   or nothing left, means no folder path. "C:\Users\ann\Mail\a.eml" gives
//   "Users\ann\Mail"; "\\server\share\a.eml" and "Mail/a.eml" give none.
std::optional<std::u16string> FolderPathOf(const std::u16string& path);

// Between the program's UTF-16 paths and std::filesystem. Lossless for every
// file name on this platform, also those that are not valid UTF-8 (see utf.h).
std::filesystem::path toFileSystemPath(const std::u16string& path);
std::u16string fromFileSystemPath(const std::filesystem::path& path);

}  // namespace quillmere
