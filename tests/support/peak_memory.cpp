// peak_memory COMMAND [ARGS...]: runs the command and prints its peak
// resident memory in KB on stderr's last line; exits with its status.
//
// A test that forks itself to run a program would count its own pages in
// the child's peak until the exec; this small process forks instead.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: peak_memory COMMAND [ARGS...]\n");
        return 125;
    }
    pid_t pid = fork();
    if (pid == 0) {
        execv(argv[1], argv + 1);
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (pid < 0 || wait4(pid, &status, 0, &usage) != pid) return 126;
    std::fprintf(stderr, "peak memory %ld KB\n", usage.ru_maxrss);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 126;
}
