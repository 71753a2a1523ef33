#include "selection/std_file_system.h"

#include "util/platform_path.h"
#include "util/system_error_text.h"
#include "util/utf.h"

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace quillmere {

namespace {

class StdFolder : public Folder {
public:
    StdFolder(std::vector<std::u16string> subFolders, std::vector<std::u16string> files,
              std::vector<UnreadableEntry> unreadable)
        : subFolders_(std::move(subFolders)), files_(std::move(files)), unreadable_(std::move(unreadable)) {}
    std::vector<std::u16string> subFolderNames() override { return subFolders_; }
    std::vector<std::u16string> fileNames() override { return files_; }
    std::vector<UnreadableEntry> unreadableEntries() override { return unreadable_; }

private:
    std::vector<std::u16string> subFolders_;
    std::vector<std::u16string> files_;
    std::vector<UnreadableEntry> unreadable_;
};

[[noreturn]] void fail(const std::error_code& ec, const std::string& what)
{
    const bool refused = ec == std::errc::permission_denied || ec == std::errc::operation_not_permitted;
    const std::string cause = systemErrorText(ec.value());
    throw FileSystemError(refused ? FileSystemFailure::PermissionDenied : FileSystemFailure::Other,
                          what + ": " + cause, cause);
}

}  // namespace

bool StdFileSystem::folderExists(const std::u16string& path)
{
    if (path.empty())
        return false;
    std::error_code ec;
    return fs::is_directory(toFileSystemPath(path), ec);
}

std::unique_ptr<Folder> StdFileSystem::getFolder(const std::u16string& path)
{
    const fs::path folder = toFileSystemPath(path);
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    if (ec)
        fail(ec, "cannot list " + folder.string());

    std::vector<std::u16string> subFolders;
    std::vector<std::u16string> files;
    std::vector<UnreadableEntry> unreadable;
    for (const fs::directory_iterator end; it != end; it.increment(ec)) {
        if (ec)
            fail(ec, "cannot list " + folder.string());
        const fs::directory_entry& entry = *it;
        std::error_code statusError;
        const fs::file_status own = entry.symlink_status(statusError);
        const std::u16string name = fromFileSystemPath(entry.path().filename());
        if (statusError) {
            if (statusError != std::errc::no_such_file_or_directory)  // else it vanished while listing
                unreadable.push_back({name, systemErrorText(statusError.value())});
            continue;
        }
        if (fs::is_directory(own)) {
            subFolders.push_back(name);
        } else if (fs::is_regular_file(own)) {
            files.push_back(name);
        } else if (fs::is_symlink(own)) {
            const fs::file_status target = entry.status(statusError);
            if (!statusError && fs::is_regular_file(target))
                files.push_back(name);
        }
    }
    if (ec)
        fail(ec, "cannot list " + folder.string());
    return std::make_unique<StdFolder>(std::move(subFolders), std::move(files), std::move(unreadable));
}

}  // namespace quillmere
