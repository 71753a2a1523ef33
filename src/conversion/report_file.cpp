#include "conversion/report_file.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include "util/system_error_text.h"

namespace conversion {

namespace {

// Tabs and line breaks inside a field would break the record apart.
std::string field(std::string text) {
    for (char& c : text)
        if (c == '\t' || c == '\n' || c == '\r') c = ' ';
    return text;
}

}  // namespace

std::unique_ptr<ReportFile> ReportFile::create(const std::filesystem::path& storePath, uint64_t expectedBytes,
                                              std::string& failure) {
    const std::filesystem::path folder = storePath.parent_path();
    const std::string stem = storePath.stem().string();
    for (int n = 1; n < 1000; ++n) {
        std::filesystem::path path = folder / (stem + (n == 1 ? "" : " (" + std::to_string(n) + ")") + ".txt");
        int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0) {
            // Best effort: without it the lines are written as space allows.
            ::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(expectedBytes));
            return std::unique_ptr<ReportFile>(new ReportFile(fd, path));
        }
        if (errno != EEXIST) {
            failure = "cannot create the report " + path.string() + ": " + quillmere::systemErrorText(errno);
            return nullptr;
        }
    }
    failure = "cannot create the report beside " + storePath.string() + ": every name is taken";
    return nullptr;
}

ReportFile::~ReportFile() { ::close(fd_); }

bool ReportFile::drain() {
    while (!pending_.empty()) {
        ssize_t n = ::write(fd_, pending_.data(), pending_.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            failure_ = "cannot write the report " + path_.string() + ": " +
                       quillmere::systemErrorText(n < 0 ? errno : ENOSPC);
            return false;
        }
        pending_.erase(0, static_cast<size_t>(n));
        written_ += static_cast<uint64_t>(n);
    }
    failure_.clear();
    return true;
}

void ReportFile::write(const std::string& line) {
    pending_ += line;
    pending_ += '\n';
}

void ReportFile::text(const std::string& line) {
    write(line);
    drain();
}

void ReportFile::record(const std::string& outcome, const std::string& folder, const std::string& file,
                        const std::string& details) {
    write(field(outcome) + '\t' + field(folder) + '\t' + field(file) + '\t' + field(details));
}

void ReportFile::finish() {
    if (drain() && ::fsync(fd_) != 0 && errno != EINVAL)
        failure_ = "cannot write the report " + path_.string() + ": " + quillmere::systemErrorText(errno);
    ::ftruncate(fd_, static_cast<off_t>(written_));
}

}  // namespace conversion
