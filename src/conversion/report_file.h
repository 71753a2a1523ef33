#pragma once
// The account of a run, kept beside its store as "<store name>.txt": one
// line per folder the walk could not list and per listed file, in list
// order, then the summary. Lines go to disk as they are settled, so a run
// that ends early leaves what it had done on record. Room for the whole
// report is reserved when it is created, so a disk that the store fills
// later still takes it; a line that meets a full disk all the same is kept
// and written with the next one.

#include <filesystem>
#include <memory>
#include <string>

namespace conversion {

class ReportFile {
public:
    // Creates "<store path without .pst>.txt", or the next free
    // "<...> (2).txt" when that is taken; never overwrites a file; reserves
    // `expectedBytes` of disk for it. Returns null with the cause in
    // `failure` when it cannot be created.
    static std::unique_ptr<ReportFile> create(const std::filesystem::path& storePath, uint64_t expectedBytes,
                                              std::string& failure);
    ~ReportFile();
    ReportFile(const ReportFile&) = delete;
    ReportFile& operator=(const ReportFile&) = delete;

    const std::filesystem::path& path() const { return path_; }

    // A line of free text (the heading, the summary).
    void text(const std::string& line);
    // One tab-separated record: outcome, store folder, source path, details.
    // Kept until the next flush() or text(), so that the records settled
    // together go out in one write.
    void record(const std::string& outcome, const std::string& folder, const std::string& file,
                const std::string& details);
    void flush() { drain(); }
    // Writes what is still pending, syncs the file and gives back the room
    // it did not use. failure() then says why the report is not whole, or
    // is empty.
    void finish();
    const std::string& failure() const { return failure_; }

private:
    ReportFile(int fd, std::filesystem::path path) : fd_(fd), path_(std::move(path)) {}
    void write(const std::string& line);
    bool drain();

    int fd_;
    std::filesystem::path path_;
    std::string pending_;
    std::string failure_;
    uint64_t written_ = 0;
};

}  // namespace conversion
