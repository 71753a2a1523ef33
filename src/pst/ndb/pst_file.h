#pragma once
// The file under a writer: positioned writes gathered into one sequential
// buffer, reads of what was written, size changes and durability barriers.
// Every failure is an NdbError: DiskFull for ENOSPC/EDQUOT/EFBIG, Io else.

#include <cstdint>
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
    // Makes the file at least `size` bytes long, reserving the space.
    void extendTo(uint64_t size);
    // flush() and then wait until everything written is on the disk.
    void sync();
    void close();  // no flush; the caller decides what is durable

private:
    void pwriteAll(uint64_t offset, const uint8_t* data, size_t size);
    [[noreturn]] void fail(const char* what, int err);

    int fd_ = -1;
    std::filesystem::path path_;
    std::vector<uint8_t> buffer_;
    uint64_t bufferOffset_ = 0;
    uint64_t size_ = 0;
    uint64_t reserved_ = 0;  // disk blocks reserved up to here
};

}  // namespace pst::ndb
