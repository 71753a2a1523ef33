#pragma once
// The folder path of a listed message: its folder names joined by "\",
// relative to the root of its drive (on this platform, "/").

#include <string>
#include <vector>

namespace conversion {

// Throws ComponentError when the row has no folder path (no drive colon,
// nothing after it, a file directly in the root).
std::u16string RowFolderPath(const std::u16string& rowText);

// The part of the row the progress label shows: the path after the drive
// letter and its colon ("\Users\ann\a.eml"); a path of this platform whole.
std::u16string PathAfterDrive(const std::u16string& rowText);

std::vector<std::u16string> splitFolderNames(const std::u16string& folderPath);

}  // namespace conversion
