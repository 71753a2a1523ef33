#include "pst/read/file_view.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "pst/read/pst_reader.h"

namespace pst::read {

FileView::FileView(const std::filesystem::path& file) {
    fd_ = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) throw ReadError("cannot open " + file.string() + ": " + std::strerror(errno));
    struct stat st {};
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd_);
        throw ReadError(file.string() + " is not a regular file");
    }
    size_ = static_cast<uint64_t>(st.st_size);
}

FileView::~FileView() {
    if (fd_ >= 0) ::close(fd_);
}

std::vector<uint8_t> FileView::read(uint64_t offset, size_t n) const {
    std::vector<uint8_t> out(n);
    readInto(offset, out.data(), n);
    return out;
}

void FileView::readInto(uint64_t offset, uint8_t* out, size_t n) const {
    if (offset > size_ || n > size_ - offset)
        throw ReadError("read of " + std::to_string(n) + " bytes at offset " + std::to_string(offset) +
                        " runs past the end of the file (" + std::to_string(size_) + " bytes)");
    size_t done = 0;
    while (done < n) {
        ssize_t got = ::pread(fd_, out + done, n - done, static_cast<off_t>(offset + done));
        if (got < 0) {
            if (errno == EINTR) continue;
            throw ReadError("read error at offset " + std::to_string(offset + done) + ": " + std::strerror(errno));
        }
        if (got == 0) throw ReadError("unexpected end of file at offset " + std::to_string(offset + done));
        done += static_cast<size_t>(got);
    }
}

}  // namespace pst::read
