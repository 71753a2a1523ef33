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
    FileSystemError(FileSystemFailure kind, const std::string& what)
        : std::runtime_error(what), kind_(kind) {}
    FileSystemFailure kind() const { return kind_; }

private:
    FileSystemFailure kind_;
};

// One folder's direct children, in the order the file system lists them.
class Folder {
public:
    virtual ~Folder() = default;
    virtual std::vector<std::u16string> subFolderNames() = 0;
    virtual std::vector<std::u16string> fileNames() = 0;
};

class FileSystem {
public:
    virtual ~FileSystem() = default;
    virtual bool folderExists(const std::u16string& path) = 0;
    // Throws FileSystemError when the folder cannot be opened or listed.
    virtual std::unique_ptr<Folder> getFolder(const std::u16string& path) = 0;
};

}  // namespace quillmere
