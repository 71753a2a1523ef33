// Walks a generated tree of 10,000 files in 1,000 folders, as the message list
// does, and prints the time and files per second. Then sorts and de-duplicates
// the folder paths of those files, as a conversion does. Target: the walk
// finishes in under a second.

#include "selection/path_logger.h"
#include "util/platform_path.h"
#include "util/string_list.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

}  // namespace

int main(int argc, char** argv)
{
    const int topFolders = 10, subFoldersEach = 99, filesPerFolder = 10;
    const fs::path root = fs::temp_directory_path() / ("quillmere-walk-bench-" + std::to_string(::getpid()));
    fs::create_directories(root);
    int folders = 0;
    auto fill = [&](const fs::path& folder) {
        fs::create_directories(folder);
        ++folders;
        for (int f = 0; f < filesPerFolder; ++f)
            std::ofstream(folder / ("message " + std::to_string(f) + ".eml")) << "Subject: x\r\n\r\nx\r\n";
    };
    for (int t = 0; t < topFolders; ++t) {
        const fs::path top = root / ("Folder" + std::to_string(t));
        fill(top);
        for (int s = 0; s < subFoldersEach; ++s)
            fill(top / ("Sub" + std::to_string(s)));
    }

    int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    double best = 1e9, first = 0;
    std::int32_t files = 0;
    std::shared_ptr<quillmere::StringCollection> paths;
    for (int r = 0; r < rounds; ++r) {
        const auto start = Clock::now();
        quillmere::pathLogger walker;
        walker.PathLogInit();
        walker.fullFileNamesOnly(true);
        walker.LogPath(quillmere::fromFileSystemPath(root));
        paths = walker.fullFileNames();
        walker.Terminate();
        const double took = secondsSince(start);
        if (r == 0)
            first = took;
        best = std::min(best, took);
        files = paths->count();
    }
    std::printf("walk: %d files in %d folders: first %.3f s, best of %d %.3f s, %.0f files/s (target: under 1 s)\n",
                files, folders, first, rounds, best, files / best);

    const auto start = Clock::now();
    quillmere::StringList folderPaths;
    for (const auto& path : *paths)
        folderPaths.push_back(quillmere::FolderPathOf(path).value_or(u""));
    quillmere::QuickSort(folderPaths, 0, static_cast<std::int32_t>(folderPaths.size()) - 1);
    quillmere::RemoveDuplicates(folderPaths);
    std::printf("folder list: %zu folders from %d files in %.3f s\n", folderPaths.size(), files, secondsSince(start));

    std::error_code ec;
    fs::remove_all(root, ec);
    return files == topFolders * (subFoldersEach + 1) * filesPerFolder ? 0 : 1;
}
