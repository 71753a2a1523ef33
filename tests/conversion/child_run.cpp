#include "child_run.h"

#include <malloc.h>
#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace testing_support {

ChildRun convertInChild(const char* converter, const std::filesystem::path& cwd) {
    ChildRun run;
    malloc_trim(0);
    std::ifstream self("/proc/self/status");
    for (std::string line; std::getline(self, line);)
        if (line.rfind("VmRSS:", 0) == 0) run.parentKb = std::atol(line.c_str() + 6);
    pid_t pid = fork();
    if (pid == 0) {
        if (chdir(cwd.c_str()) != 0) _exit(127);
        execl(converter, converter, "--quiet", "src", "out", static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (pid > 0 && wait4(pid, &status, 0, &usage) == pid) {
        run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        run.peakKb = usage.ru_maxrss;
    }
    return run;
}

}  // namespace testing_support
