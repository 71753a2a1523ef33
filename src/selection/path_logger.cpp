#include "selection/path_logger.h"

#include "selection/std_file_system.h"
#include "util/platform_path.h"

#include <limits>

namespace quillmere {

namespace {

std::u16string key(std::int32_t number)
{
    std::u16string digits;
    const std::string text = std::to_string(number);
    digits.assign(text.begin(), text.end());
    return u"K" + digits;
}

template <typename C>
std::shared_ptr<C>& ensure(std::shared_ptr<C>& collection)
{
    if (!collection)
        collection = std::make_shared<C>();
    return collection;
}

struct WalkAborted {};

}  // namespace

pathLogger::pathLogger()
    : pathLogger([] { return std::make_unique<StdFileSystem>(); })
{
}

pathLogger::pathLogger(FileSystemFactory makeFileSystem)
    : makeFileSystem_(std::move(makeFileSystem))
{
}

void pathLogger::PathLogInit()
{
    fileSystem_ = makeFileSystem_ ? makeFileSystem_() : nullptr;
    fullFileNamesOnly_ = true;
    pathNames_.reset();
    fullFileNames_.reset();
    fileNames_.reset();
    pathPointers_.reset();
}

void pathLogger::Terminate()
{
    fileSystem_.reset();
    currentFolder_.reset();
    pathNames_.reset();
    fullFileNames_.reset();
    fileNames_.reset();
    pathPointers_.reset();
}

std::shared_ptr<StringCollection> pathLogger::fileNames() { return ensure(fileNames_); }
std::shared_ptr<StringCollection> pathLogger::pathNames() { return ensure(pathNames_); }
std::shared_ptr<IntCollection> pathLogger::pathPointers() { return ensure(pathPointers_); }
std::shared_ptr<StringCollection> pathLogger::fullFileNames() { return ensure(fullFileNames_); }

void pathLogger::showMessagesThrough(Prompts& prompts)
{
    setMessageHandler([&prompts](const std::u16string& text) { prompts.message(text, BoxIcon::Information); });
}

void pathLogger::LogPath(const std::u16string& folderPath)
{
    lastFailure_ = WalkFailure::None;
    refused_.clear();
    visiting_.clear();
    try {
        walk(folderPath);
    } catch (const FileSystemError& error) {
        lastFailure_ = error.kind() == FileSystemFailure::PermissionDenied ? WalkFailure::PermissionDenied
                                                                           : WalkFailure::Other;
        refused_.push_back({visiting_, error.cause()});
    } catch (...) {
        lastFailure_ = WalkFailure::Other;
    }
    currentFolder_.reset();
    if (lastFailure_ == WalkFailure::PermissionDenied && messageHandler_ && !goOn_) {
        try {
            messageHandler_(kPermissionDeniedMessage);
        } catch (...) {
        }
    }
}

void pathLogger::walk(const std::u16string& folderPath)
{
    if (!fileSystem_)
        throw WalkAborted{};
    if (!fileSystem_->folderExists(folderPath))
        return;

    counter_ = 1;
    std::int32_t i = 1;
    std::int32_t j = 1;
    auto& folders = *ensure(pathNames_);
    folders.add(EnsureTrailingSeparator(folderPath), u"K0");

    constexpr auto kMax = std::numeric_limits<std::int32_t>::max();
    while (i <= j) {
        const std::u16string visited = folders.item(i);
        visiting_ = visited;
        std::vector<std::u16string> subFolders, files;
        if (goOn_) {
            // The whole listing first, so that a folder that fails adds nothing.
            try {
                currentFolder_ = fileSystem_->getFolder(visited);
                subFolders = currentFolder_->subFolderNames();
                files = currentFolder_->fileNames();
                for (auto& entry : currentFolder_->unreadableEntries())
                    refused_.push_back({visited + entry.name, entry.cause});
            } catch (const FileSystemError& error) {
                refused_.push_back({visited, error.cause()});
                lastFailure_ = error.kind() == FileSystemFailure::PermissionDenied ? WalkFailure::PermissionDenied
                                                                                   : WalkFailure::Other;
                subFolders.clear();
                files.clear();
            }
        } else {
            currentFolder_ = fileSystem_->getFolder(visited);
            subFolders = currentFolder_->subFolderNames();
        }

        for (const auto& name : subFolders) {
            if (j == kMax)
                throw WalkAborted{};
            ++j;
            folders.add(visited + name + kPathSeparator, key(j));
        }

        if (!goOn_)
            files = currentFolder_->fileNames();
        for (const auto& name : files) {
            if (fileHandler_) {
                fileHandler_(visited + name);
            } else if (const auto fileKey = key(counter_); fullFileNamesOnly_) {
                ensure(fullFileNames_)->add(visited + name, fileKey);
            } else {
                ensure(fileNames_)->add(name, fileKey);
                ensure(fullFileNames_)->add(visited + name, fileKey);
                ensure(pathPointers_)->add(i, fileKey);
            }
            if (counter_ == kMax)
                throw WalkAborted{};
            ++counter_;
        }
        currentFolder_.reset();
        if (i == kMax)
            break;
        ++i;
    }
}

}  // namespace quillmere
