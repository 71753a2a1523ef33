#include "child_run.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

namespace testing_support {

#ifdef QUILLMERE_PEAK_MEMORY
ChildRun convertInChild(const char* converter, const std::filesystem::path& cwd) {
    ChildRun run;
    std::ifstream self("/proc/self/status");
    for (std::string line; std::getline(self, line);)
        if (line.rfind("VmRSS:", 0) == 0) run.parentKb = std::atol(line.c_str() + 6);
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return run;
    pid_t pid = fork();
    if (pid == 0) {
        dup2(pipeFds[1], STDERR_FILENO);
        close(pipeFds[0]);
        close(pipeFds[1]);
        if (chdir(cwd.c_str()) != 0) _exit(127);
        execl(QUILLMERE_PEAK_MEMORY, QUILLMERE_PEAK_MEMORY, converter, "--quiet", "src", "out",
              static_cast<char*>(nullptr));
        _exit(127);
    }
    close(pipeFds[1]);
    std::string errors;
    char buffer[4096];
    for (ssize_t n; (n = read(pipeFds[0], buffer, sizeof buffer)) > 0;) errors.append(buffer, size_t(n));
    close(pipeFds[0]);
    int status = 0;
    if (pid > 0 && waitpid(pid, &status, 0) == pid) run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    const size_t line = errors.rfind("peak memory ");
    if (line != std::string::npos) run.peakKb = std::stol(errors.substr(line + 12));
    return run;
}
#endif

}  // namespace testing_support
