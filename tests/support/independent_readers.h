#pragma once
// Runs the independent PST readers on a file and returns what each of them
// saw in one shape tests can compare:
//   pffexport / pffinfo (pff-tools), readpst / lspst (pst-utils) and the
//   pst-extractor npm package (through tests/readers/dump-pst.js).
// A reader that is not installed comes back with available == false and a
// reason such as "tool pffexport not installed", so tests can skip.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace test_readers {

struct SeenMessage;

struct SeenRecipient {
    std::string name;
    std::string email;
    int type = 0;  // 1 To, 2 Cc, 3 Bcc, 0 when the reader does not say
};

struct SeenAttachment {
    std::string name;                      // the long file name where the reader has one
    int64_t size = -1;                     // bytes of data, -1 when the reader does not say
    std::string digest;                    // contentDigest() of the data, empty when the reader does not give it
    std::shared_ptr<SeenMessage> message;  // an embedded message, when the reader shows it
};

struct SeenMessage {
    std::string subject;
    std::string senderName;
    std::string senderEmail;
    std::string date;      // as the reader prints it (submit or sent time)
    std::string bodyText;  // UTF-8
    std::string bodyHtml;  // UTF-8, empty when the reader gives none
    std::vector<SeenRecipient> recipients;
    std::vector<SeenAttachment> attachments;
};

struct SeenFolder {
    std::string name;
    std::vector<SeenMessage> messages;  // in the reader's order
    std::vector<SeenFolder> subfolders;

    // A descendant by a '/'-separated path of names ("" is this folder); nullptr when absent.
    const SeenFolder* find(const std::string& path) const;
    size_t totalMessages() const;  // here and below
    // Every folder below this one as "path: message count" lines, sorted.
    std::vector<std::string> outline() const;
};

struct ReaderResult {
    std::string tool;
    bool available = false;  // false: not installed; see why
    bool ok = false;         // ran and read the file
    std::string why;         // the reason when !available or !ok
    int exitCode = -1;
    std::string log;         // what the tool printed
    std::string storeName;   // when the reader reports it
    // The folder tree as the reader shows it:
    //  pffexport, pst-extractor: the unnamed root folder, holding the IPM
    //    subtree ("Top of Personal Folders"), the search root, ...
    //  readpst: an unnamed root holding one folder, the IPM subtree under
    //    the store's display name; readpst leaves out folders without items.
    SeenFolder root;
    // The IPM subtree: the root's child named "Top of ..." (pffexport,
    // pst-extractor) or readpst's top folder; nullptr when absent.
    const SeenFolder* topOfStore() const;
};

ReaderResult readWithPffexport(const std::filesystem::path& pst);
ReaderResult readWithReadpst(const std::filesystem::path& pst);
// pst-extractor reads a message's recipients in time quadratic in their
// number (about 5 s for 100 recipients): keep recipient lists short.
ReaderResult readWithPstExtractor(const std::filesystem::path& pst);

// A plain run of a listing tool.
struct ToolRun {
    std::string tool;
    bool available = false;
    std::string why;
    int exitCode = -1;
    std::string output;  // stdout and stderr
    bool ok() const { return available && exitCode == 0; }
};
ToolRun runPffinfo(const std::filesystem::path& pst);
ToolRun runLspst(const std::filesystem::path& pst);

// The 64-bit FNV-1a hash of the bytes as 16 lower-case hex digits: how the
// readers report attachment data, so tests can compare it with what was written.
std::string contentDigest(const void* data, size_t size);
template <class Bytes>
std::string contentDigest(const Bytes& bytes) {
    return contentDigest(bytes.data(), bytes.size());
}

// Whether a command is on PATH.
bool toolInstalled(const std::string& command);

}  // namespace test_readers
