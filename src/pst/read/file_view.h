#pragma once
// Positional, read-only access to a file of any size.

#include <cstdint>
#include <filesystem>
#include <vector>

namespace pst::read {

class FileView {
public:
    explicit FileView(const std::filesystem::path& file);  // throws ReadError
    ~FileView();
    FileView(const FileView&) = delete;
    FileView& operator=(const FileView&) = delete;

    uint64_t size() const { return size_; }
    // Exactly n bytes at offset; throws ReadError past the end or on I/O failure.
    std::vector<uint8_t> read(uint64_t offset, size_t n) const;
    void readInto(uint64_t offset, uint8_t* out, size_t n) const;

private:
    int fd_ = -1;
    uint64_t size_ = 0;
};

}  // namespace pst::read
