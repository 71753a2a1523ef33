#pragma once
// pathLogger walks a folder and every folder below it, breadth-first, and
// records every file it meets: its full path, its bare name, and the position
// of the folder that holds it.
//
// Use: PathLogInit(); fullFileNamesOnly(true or false); LogPath(folder);
// read Count() and the collections; Terminate(). The collections are shared:
// one fetched before Terminate() stays valid with its contents.
//
// Keys: pathNames holds the root under "K0" and the p-th folder (p >= 2)
// under "K" + p, so no folder has "K1". The k-th file is under "K" + k in
// every file list that records it. Count() is 1 plus the number of recorded
// files after a walk of an existing folder.

#include "util/keyed_collection.h"
#include "util/prompts.h"
#include "selection/file_system.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace quillmere {

enum class WalkFailure { None, PermissionDenied, Other };

// A folder (or an entry) the walk could not list, with the cause in the
// user's words.
struct RefusedEntry {
    std::u16string path;
    std::string cause;
};

class pathLogger {
public:
    using FileSystemFactory = std::function<std::unique_ptr<FileSystem>()>;
    using MessageHandler = std::function<void(const std::u16string& text)>;
    using FileHandler = std::function<void(const std::u16string& fullName)>;

    // The shown text when a listing is refused.
    static constexpr const char16_t* kPermissionDeniedMessage = u"Please Select Correct Store Folder.";

    // The factory makes the file-system object at each PathLogInit; the
    // default one makes a StdFileSystem.
    pathLogger();
    explicit pathLogger(FileSystemFactory makeFileSystem);

    // Creates the file-system object, sets fullFileNamesOnly to true and lets
    // go of the four collections. The counter is kept.
    void PathLogInit();
    // Walks the tree below `folderPath`. Never throws. A folder that does not
    // exist records nothing. A failure ends the walk at once and keeps what was
    // recorded; a refused listing first sends kPermissionDeniedMessage to the
    // message handler.
    void LogPath(const std::u16string& folderPath);
    std::int32_t Count() const { return counter_; }
    // Releases the file-system object and the four collections; the counter
    // and fullFileNamesOnly keep their values.
    void Terminate();

    bool fullFileNamesOnly() const { return fullFileNamesOnly_; }
    void fullFileNamesOnly(bool value) { fullFileNamesOnly_ = value; }

    // The walker's own collections (created empty when absent).
    std::shared_ptr<StringCollection> fileNames();
    std::shared_ptr<StringCollection> pathNames();
    std::shared_ptr<IntCollection> pathPointers();
    std::shared_ptr<StringCollection> fullFileNames();

    // Where the permission-denied message goes; the window connects a message
    // box. Without a handler the message is dropped.
    void setMessageHandler(MessageHandler handler) { messageHandler_ = std::move(handler); }
    // Shorthand: show the message as an information box through `prompts`,
    // which must outlive this walker.
    void showMessagesThrough(Prompts& prompts);

    // Every file's full name goes to `handler`, in walk order, instead of
    // into the collections (the counter still counts them): a caller that
    // keeps its own list does not hold a second one while the walk runs.
    // An empty handler restores the collections.
    void sendFilesTo(FileHandler handler) { fileHandler_ = std::move(handler); }

    // How the last LogPath ended.
    WalkFailure lastFailure() const { return lastFailure_; }

    // False (the default): a failure ends the walk, as told above. True: a
    // folder that cannot be listed is passed over and the walk goes on with
    // the next one; no message is sent, the caller names refusedEntries().
    void goOnAfterFailures(bool value) { goOn_ = value; }
    // What the last LogPath could not list: the folder that ended the walk,
    // or with goOnAfterFailures every folder passed over and every entry
    // that could not be examined, in walk order.
    const std::vector<RefusedEntry>& refusedEntries() const { return refused_; }

private:
    void walk(const std::u16string& folderPath);

    FileSystemFactory makeFileSystem_;
    std::unique_ptr<FileSystem> fileSystem_;
    std::unique_ptr<Folder> currentFolder_;
    std::shared_ptr<StringCollection> pathNames_;
    std::shared_ptr<StringCollection> fullFileNames_;
    std::shared_ptr<StringCollection> fileNames_;
    std::shared_ptr<IntCollection> pathPointers_;
    std::int32_t counter_ = 0;
    bool fullFileNamesOnly_ = false;
    MessageHandler messageHandler_;
    FileHandler fileHandler_;
    WalkFailure lastFailure_ = WalkFailure::None;
    bool goOn_ = false;
    std::vector<RefusedEntry> refused_;
    std::u16string visiting_;
};

}  // namespace quillmere
