// quillmere-pstcheck: checks the integrity of a personal-folders file.

#include <cstring>
#include <iostream>

#include "pst/check/pst_check.h"

int main(int argc, char** argv) {
    pst::check::Options options;
    const char* file = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::cout << "quillmere-pstcheck " QUILLMERE_VERSION "\n";
            return 0;
        } else if (std::strcmp(argv[i], "--ndb-only") == 0)
            options.ndbOnly = true;
        else if (std::strcmp(argv[i], "--strict") == 0)
            options.strict = true;
        else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0 || file)
            file = nullptr, i = argc;
        else
            file = argv[i];
    }
    if (!file) {
        std::cerr << "usage: quillmere-pstcheck [--ndb-only] [--strict] FILE.pst\n"
                     "Checks the file's integrity and prints what it found; exits 1 on any defect.\n"
                     "  --ndb-only  check the node database only (no messaging nodes needed)\n"
                     "  --strict    also count what Outlook's own files get away with\n"
                     "  --version   print the program's version\n";
        return 2;
    }
    auto report = pst::check::checkFile(file, options);
    std::cout << file << "\n" << report.text();
    return report.ok() ? 0 : 1;
}
