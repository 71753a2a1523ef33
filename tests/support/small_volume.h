#pragma once
// A small tmpfs volume of its own for a test, so that a full disk is a real
// ENOSPC. Mounting needs privileges the machine may not give; ready() says
// whether it worked and why() why not, so the test can skip with that.

#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>

namespace testing_support {

class SmallVolume {
public:
    explicit SmallVolume(uint64_t bytes) {
        path_ = std::filesystem::temp_directory_path() /
                ("quillmere-volume-" + std::to_string(::getpid()) + "-" + std::to_string(counter()++));
        std::error_code ec;
        std::filesystem::create_directories(path_, ec);
        const std::string options = "size=" + std::to_string(bytes);
        if (::mount("tmpfs", path_.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) == 0) {
            mounted_ = true;
        } else {
            why_ = "cannot mount a " + std::to_string(bytes >> 10) + " KB tmpfs here (" + std::strerror(errno) +
                   "; it needs root or CAP_SYS_ADMIN)";
        }
    }
    ~SmallVolume() {
        if (mounted_) ::umount2(path_.c_str(), MNT_DETACH);
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    SmallVolume(const SmallVolume&) = delete;
    SmallVolume& operator=(const SmallVolume&) = delete;

    bool ready() const { return mounted_; }
    const std::string& why() const { return why_; }
    const std::filesystem::path& path() const { return path_; }

private:
    static int& counter() {
        static int n = 0;
        return n;
    }
    std::filesystem::path path_;
    bool mounted_ = false;
    std::string why_;
};

}  // namespace testing_support
