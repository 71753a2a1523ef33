#pragma once
// Shared pieces of the store tests: scratch files, sample messages and the
// checks every written file must pass.

#include <filesystem>
#include <string>

#include "pst/message_content.h"
#include "pst/format/property_tags.h"
#include "pst/store.h"

namespace pst::testing {

// A fresh directory under the system temp folder, removed afterwards.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    std::filesystem::path file(const std::string& name) const { return dir_ / name; }
private:
    std::filesystem::path dir_;
};

// A plain mail message with a subject, body, sender and the given recipients (To).
MessageContent mailMessage(const std::u16string& subject, const std::u16string& body,
                           const std::vector<std::pair<std::u16string, std::u16string>>& to = {});
AttachmentContent fileAttachment(const std::u16string& name, Bytes data);
AttachmentContent embeddedAttachment(const std::u16string& name, MessageContent message);
Bytes patternBytes(size_t size, uint32_t seed);

// Runs our checker and returns its defects joined, empty when clean. Strict
// for files closed normally; a writer killed between its allocation-map and
// HEADER writes leaves a stale free-space count the format tolerates.
std::string checkerDefects(const std::filesystem::path& file, bool strict = true);

// Where the Outlook-made samples are, or empty when the shared folder is absent.
std::filesystem::path referenceDir();

}  // namespace pst::testing
