#pragma once
// The cause of a failed system call in the words a user reads in a message:
// "no space left on the device", "permission denied", "the file exists".

#include <cerrno>
#include <cstring>
#include <string>

namespace quillmere {

inline std::string systemErrorText(int err) {
    switch (err) {
        case ENOSPC: return "no space left on the device";
        case EDQUOT: return "the disk quota is used up";
        case EFBIG: return "the file would grow larger than the volume or the system allows";
        case EACCES:
        case EPERM: return "permission denied";
        case EEXIST: return "the file exists";
        case EROFS: return "the volume is read-only";
        case ENAMETOOLONG: return "the path is longer than the system allows";
        case ENOENT: return "no such file or folder";
        case ENOTDIR: return "a part of the path is not a folder";
        case EIO: return "input/output error on the device";
        case ELOOP: return "too many levels of symbolic links";
        case EMFILE:
        case ENFILE: return "too many open files";
        case ENOMEM: return "out of memory";
        default: {
            std::string text = std::strerror(err);
            if (!text.empty() && text[0] >= 'A' && text[0] <= 'Z' && (text.size() < 2 || text[1] > 'Z'))
                text[0] = static_cast<char>(text[0] + 32);
            return text;
        }
    }
}

}  // namespace quillmere
