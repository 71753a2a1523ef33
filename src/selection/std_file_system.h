#pragma once
// The file system of this machine, through std::filesystem.
//
// A folder's subfolders are its directories; a link to a directory is neither
// a subfolder (links to folders are not followed, so a walk cannot loop) nor
// a file. Its files are its regular files and links that lead to one.
// FIFOs, sockets, devices and dangling links are left out: they are not
// messages and opening some of them would block. The folder given to
// folderExists/getFolder itself may be a link.

#include "selection/file_system.h"

namespace quillmere {

class StdFileSystem : public FileSystem {
public:
    bool folderExists(const std::u16string& path) override;
    std::unique_ptr<Folder> getFolder(const std::u16string& path) override;
};

}  // namespace quillmere
