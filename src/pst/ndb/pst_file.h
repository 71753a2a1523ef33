#pragma once
// The file under a writer: positioned writes gathered into one sequential
// buffer, reads of what was written, size changes and durability barriers.
// Every failure is an NdbError: DiskFull for ENOSPC/EDQUOT/EFBIG, Exists
// for a name that is taken, Io else; its text names the cause in plain words.

#include <cstdint>
#include <deque>
#include <filesystem>
#include <span>
#include <vector>

namespace pst::ndb {

class PstFile {
public:
    // Creates the file; fails if it exists.
    explicit PstFile(const std::filesystem::path& path);
    ~PstFile();
    PstFile(const PstFile&) = delete;
    PstFile& operator=(const PstFile&) = delete;

    // Buffered: consecutive writes go out as one; a write elsewhere flushes first.
    void write(uint64_t offset, std::span<const uint8_t> data);
    // Unbuffered, in place (the HEADER and map pages).
    void writeNow(uint64_t offset, std::span<const uint8_t> data);
    void read(uint64_t offset, std::span<uint8_t> out);
    void flush();
    // Makes the file at least `size` bytes long, reserving disk space ahead
    // of it in proportion to what the file holds already.
    void extendTo(uint64_t size);
    // Gives the file the name `to` unless a file of that name exists (then
    // false), and makes the new name durable.
    bool renameNoReplace(const std::filesystem::path& to);
    const std::filesystem::path& path() const { return path_; }
    // Gives back the disk space reserved past the end of the file.
    void releaseReservation();
    // flush() and then wait until everything written is on the disk.
    void sync();

    // Safe beside the calls above made on another thread: a write below the
    // file's end that bypasses the buffer (the HEADER), and a wait until
    // what was written before it began (not what is still buffered) is on
    // the disk.
    void writeInPlace(uint64_t offset, std::span<const uint8_t> data);
    void syncWritten();
    // No flush (the caller decides what is durable); the disk space reserved
    // past the end of the file is given back.
    void close();

private:
    void pwriteAll(uint64_t offset, const uint8_t* data, size_t size);
    void pwriteRaw(uint64_t offset, const uint8_t* data, size_t size);
    void reserve(uint64_t size);
    [[noreturn]] void fail(const char* what, int err);

    void startWriteback(uint64_t end);

    int fd_ = -1;
    std::filesystem::path path_;
    std::vector<uint8_t> buffer_;
    uint64_t bufferOffset_ = 0;
    uint64_t size_ = 0;
    uint64_t reserved_ = 0;  // disk blocks reserved up to here
    bool canReserve_ = true;
    // Ranges whose writeback was started and not yet waited for, oldest first.
    std::deque<std::pair<uint64_t, uint64_t>> writingBack_;
    uint64_t writingBackBytes_ = 0;
    uint64_t writebackEnd_ = 0;  // disk writes were started for the file below this
};

}  // namespace pst::ndb
