#include "pst/ndb/pst_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "pst/ndb/ndb_writer.h"
#include "util/system_error_text.h"

namespace pst::ndb {

namespace {
constexpr size_t kBufferCapacity = 1 << 20;
// Disk space is reserved ahead of the file's end by as much as the file
// holds already, within these bounds: a small store asks a small volume for
// little, a large one does not ask at every step.
constexpr uint64_t kMinReserveAhead = 256 << 10;
constexpr uint64_t kMaxReserveAhead = 16 << 20;
// How far behind the writes the disk may fall before the writer waits for it.
constexpr uint64_t kWritebackLag = 8 << 20;
constexpr uint64_t kWritebackStep = 1 << 20;

bool isDiskFull(int err) { return err == ENOSPC || err == EDQUOT || err == EFBIG; }

void syncFolderOf(const std::filesystem::path& file) {
    int fd = ::open(file.parent_path().empty() ? "." : file.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}
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
    auto kind = isDiskFull(err) ? NdbError::Kind::DiskFull : err == EEXIST ? NdbError::Kind::Exists : NdbError::Kind::Io;
    throw NdbError(kind, std::string(what) + " " + path_.string() + ": " + quillmere::systemErrorText(err));
}

void PstFile::pwriteAll(uint64_t offset, const uint8_t* data, size_t size) {
    pwriteRaw(offset, data, size);
    size_ = std::max(size_, offset + size);
    startWriteback(offset + size);
}

void PstFile::pwriteRaw(uint64_t offset, const uint8_t* data, size_t size) {
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
}

void PstFile::writeInPlace(uint64_t offset, std::span<const uint8_t> data) {
    if (fd_ < 0) throw NdbError(NdbError::Kind::Closed, "file is closed");
    pwriteRaw(offset, data.data(), data.size());
}

void PstFile::syncWritten() {
    if (fd_ < 0) throw NdbError(NdbError::Kind::Closed, "file is closed");
    if (::fdatasync(fd_) != 0) fail("cannot sync", errno);
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
}

// The file grows at its end: once a megabyte has been written past where
// the disk writes were last started, they are started for it, and the ones
// started a few megabytes before are waited for. So the sync at the next
// commit finds little left to do, and the waiting for the disk is spread over
// the writes (on the writing thread, behind its queue) instead of gathered
// into the commit. Writes into reused space below are left to that sync.
void PstFile::startWriteback(uint64_t end) {
    if (end < writebackEnd_ + kWritebackStep) return;
    const uint64_t offset = writebackEnd_, size = end - writebackEnd_;
    writebackEnd_ = end;
    ::sync_file_range(fd_, static_cast<off_t>(offset), static_cast<off_t>(size), SYNC_FILE_RANGE_WRITE);
    writingBack_.emplace_back(offset, size);
    writingBackBytes_ += size;
    while (writingBackBytes_ > kWritebackLag) {
        auto [o, n] = writingBack_.front();
        writingBack_.pop_front();
        writingBackBytes_ -= n;
        ::sync_file_range(fd_, static_cast<off_t>(o), static_cast<off_t>(n), SYNC_FILE_RANGE_WAIT_BEFORE);
    }
}

void PstFile::extendTo(uint64_t size) {
    if (fd_ < 0) throw NdbError(NdbError::Kind::Closed, "file is closed");
    if (size <= size_) return;
    // A full disk shows here rather than as a failed write somewhere in the
    // middle; setting the size itself is cheap over reserved blocks.
    if (size > reserved_) reserve(size);
    if (::ftruncate(fd_, static_cast<off_t>(size)) != 0) fail("cannot extend", errno);
    size_ = size;
}

void PstFile::reserve(uint64_t size) {
    if (!canReserve_) return;
    const uint64_t ahead = std::clamp(size, kMinReserveAhead, kMaxReserveAhead);
    for (uint64_t want : {size + ahead, size}) {
        if (::fallocate(fd_, FALLOC_FL_KEEP_SIZE, static_cast<off_t>(reserved_),
                        static_cast<off_t>(want - reserved_)) == 0) {
            reserved_ = want;
            return;
        }
        if (errno == EOPNOTSUPP || errno == ENOSYS) {
            canReserve_ = false;
            return;
        }
        // Room for what is needed now but not for the step ahead: take that.
        if (!isDiskFull(errno)) break;
    }
    fail("cannot extend", errno);
}

void PstFile::releaseReservation() {
    if (fd_ < 0 || reserved_ <= size_) return;
    // Blocks reserved past the end go with a truncation to the same size on
    // most file systems; a hole punched there catches the others.
    ::ftruncate(fd_, static_cast<off_t>(size_));
    ::fallocate(fd_, FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, static_cast<off_t>(size_),
                static_cast<off_t>(reserved_ - size_));
    reserved_ = size_;
}

bool PstFile::renameNoReplace(const std::filesystem::path& to) {
    if (fd_ < 0) throw NdbError(NdbError::Kind::Closed, "file is closed");
    int err = 0;
    if (::renameat2(AT_FDCWD, path_.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        path_ = to;
        syncFolderOf(path_);
        return true;
    }
    err = errno;
    if (err == EINVAL || err == ENOSYS || err == EOPNOTSUPP) {
        // A file system without the no-replace rename: a hard link also
        // refuses a taken name.
        if (::link(path_.c_str(), to.c_str()) == 0) {
            ::unlink(path_.c_str());
            path_ = to;
            syncFolderOf(path_);
            return true;
        }
        err = errno;
        if (err == EPERM || err == EOPNOTSUPP) {
            std::error_code ec;
            if (std::filesystem::exists(to, ec)) return false;
            if (::rename(path_.c_str(), to.c_str()) == 0) {
                path_ = to;
                syncFolderOf(path_);
                return true;
            }
            err = errno;
        }
    }
    if (err == EEXIST) return false;
    fail("cannot rename", err);
}

void PstFile::sync() {
    flush();
    if (::fdatasync(fd_) != 0) fail("cannot sync", errno);
    writingBack_.clear();
    writingBackBytes_ = 0;
}

void PstFile::close() {
    if (fd_ < 0) return;
    buffer_.clear();
    releaseReservation();
    int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0 && errno != EINTR) fail("cannot close", errno);
}

}  // namespace pst::ndb
