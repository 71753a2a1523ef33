#pragma once
// What the folder walker asks of a file system: does a folder exist, the
// folder at a path, its direct subfolders and its direct files, each by name.
// Listings include hidden entries. Tests put their own implementation in
// place of the real one to refuse a listing or to fail on purpose.

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace quillmere {

enum class FileSystemFailure { PermissionDenied, Other };

class FileSystemError : public std::runtime_error {
public:
    // `cause` in the user's words ("permission denied"); what() adds the path.
    FileSystemError(FileSystemFailure kind, const std::string& what, std::string cause = {})
        : std::runtime_error(what), kind_(kind), cause_(cause.empty() ? what : std::move(cause)) {}
    FileSystemFailure kind() const { return kind_; }
    const std::string& cause() const { return cause_; }

private:
    FileSystemFailure kind_;
    std::string cause_;
};

// An entry of a folder that could not even be looked at, and why.
struct UnreadableEntry {
    std::u16string name;
    std::string cause;
};

// One folder's direct children, in the order the file system lists them.
class Folder {
public:
    virtual ~Folder() = default;
    virtual std::vector<std::u16string> subFolderNames() = 0;
    virtual std::vector<std::u16string> fileNames() = 0;
    // Entries that are neither listed as subfolders nor as files because
    // they could not be examined (not those that vanished meanwhile).
    virtual std::vector<UnreadableEntry> unreadableEntries() { return {}; }
};

class FileSystem {
public:
    virtual ~FileSystem() = default;
    virtual bool folderExists(const std::u16string& path) = 0;
    // Throws FileSystemError when the folder cannot be opened or listed.
    virtual std::unique_ptr<Folder> getFolder(const std::u16string& path) = 0;
};

}  // namespace quillmere
