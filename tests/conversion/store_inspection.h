#pragma once
// What a written store holds, as three readers see it: our own reader and
// the two independent command-line readers. Folder paths are the names below
// the store's visible root joined by "/".

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "pst/message_content.h"

namespace testing_support {

struct ReadMessage {
    std::string subject;
    int32_t flags = -1;
    size_t attachments = 0;
};

// Our reader; every folder below the visible root, including empty ones.
std::map<std::string, std::vector<ReadMessage>> readWithOwnReader(const std::filesystem::path& pst);

// pffexport: message count per folder. Empty when the tool is missing.
std::map<std::string, int> readWithPffexport(const std::filesystem::path& pst, const std::filesystem::path& work);

// readpst -D -e: per folder, for each message whether readpst marks it read.
std::map<std::string, std::vector<bool>> readWithReadpst(const std::filesystem::path& pst,
                                                          const std::filesystem::path& work);

bool toolAvailable(const char* name);

}  // namespace testing_support
