#include "pst/ndb/pst_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "pst/ndb/ndb_writer.h"

namespace pst::ndb {

namespace {
constexpr size_t kBufferCapacity = 1 << 20;
constexpr uint64_t kReserveStep = 16 << 20;
}

PstFile::PstFile(const std::filesystem::path& path) : path_(path) {
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd_ < 0) fail("cannot create", errno);
    buffer_.reserve(kBufferCapacity);
}

PstFile::~PstFile() {
    if (fd_ >= 0) ::close(fd_);
}

void PstFile::fail(const char* what, int err) {
    auto kind = (err == ENOSPC || err == EDQUOT || err == EFBIG) ? NdbError::Kind::DiskFull
                                                                  : NdbError::Kind::Io;
    throw NdbError(kind, std::string(what) + " " + path_.string() + ": " + std::strerror(err));
}

void PstFile::pwriteAll(uint64_t offset, const uint8_t* data, size_t size) {
    while (size > 0) {
        ssize_t n = ::pwrite(fd_, data, size, static_cast<off_t>(offset));
        if (n < 0) {
            if (errno == EINTR) continue;
            fail("cannot write", errno);
        }
        if (n == 0) fail("cannot write", ENOSPC);
        data += n;
        size -= static_cast<size_t>(n);
        offset += static_cast<uint64_t>(n);
    }
    size_ = std::max(size_, offset);
}

void PstFile::write(uint64_t offset, std::span<const uint8_t> data) {
    if (fd_ < 0) throw NdbError(NdbError::Kind::Closed, "file is closed");
    if (!buffer_.empty() && (offset != bufferOffset_ + buffer_.size() ||
                             buffer_.size() + data.size() > kBufferCapacity))
        flush();
    if (data.size() >= kBufferCapacity) {
        pwriteAll(offset, data.data(), data.size());
        return;
    }
    if (buffer_.empty()) bufferOffset_ = offset;
    buffer_.insert(buffer_.end(), data.begin(), data.end());
}

void PstFile::writeNow(uint64_t offset, std::span<const uint8_t> data) {
    if (fd_ < 0) throw NdbError(NdbError::Kind::Closed, "file is closed");
    // A pending buffered write may overlap; keep the order of the writes.
    flush();
    pwriteAll(offset, data.data(), data.size());
}

void PstFile::read(uint64_t offset, std::span<uint8_t> out) {
    if (fd_ < 0) throw NdbError(NdbError::Kind::Closed, "file is closed");
    flush();
    size_t done = 0;
    while (done < out.size()) {
        ssize_t n = ::pread(fd_, out.data() + done, out.size() - done, static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            fail("cannot read", errno);
        }
        if (n == 0) fail("cannot read", EIO);
        done += static_cast<size_t>(n);
    }
}

void PstFile::flush() {
    if (buffer_.empty()) return;
    // Clear first: after a failure the buffer is not retried.
    std::vector<uint8_t> pending;
    pending.swap(buffer_);
    buffer_.reserve(kBufferCapacity);
    pwriteAll(bufferOffset_, pending.data(), pending.size());
    // Start writing it to the disk now, so that the sync at the next commit
    // finds little left to do and dirty pages do not pile up.
    if (pending.size() >= kBufferCapacity / 2)
        ::sync_file_range(fd_, static_cast<off_t>(bufferOffset_), static_cast<off_t>(pending.size()), SYNC_FILE_RANGE_WRITE);
}

void PstFile::extendTo(uint64_t size) {
    if (fd_ < 0) throw NdbError(NdbError::Kind::Closed, "file is closed");
    if (size <= size_) return;
    // Reserve disk blocks ahead in large steps, so that a full disk shows
    // here rather than as a failed write somewhere in the middle, then set
    // the size itself, which is cheap over reserved blocks.
    if (size > reserved_) {
        uint64_t want = std::max(size, reserved_ + kReserveStep);
        int err = ::fallocate(fd_, FALLOC_FL_KEEP_SIZE, static_cast<off_t>(reserved_),
                              static_cast<off_t>(want - reserved_));
        if (err != 0 && errno != EOPNOTSUPP && errno != ENOSYS) fail("cannot extend", errno);
        reserved_ = want;
    }
    if (::ftruncate(fd_, static_cast<off_t>(size)) != 0) fail("cannot extend", errno);
    size_ = size;
}

void PstFile::sync() {
    flush();
    if (::fdatasync(fd_) != 0) fail("cannot sync", errno);
}

void PstFile::close() {
    if (fd_ < 0) return;
    buffer_.clear();
    int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0 && errno != EINTR) fail("cannot close", errno);
}

}  // namespace pst::ndb
