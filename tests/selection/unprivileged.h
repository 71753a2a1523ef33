#pragma once
// Runs a check as an unprivileged user, so that file permissions apply even
// when the tests themselves run as root. The check runs in a child process;
// its result is the child's exit code.

#include <functional>

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

// -1 when no unprivileged user can be taken on; else the check's result.
inline int runUnprivileged(const std::function<int()>& check)
{
    if (::geteuid() != 0)
        return check();
    const pid_t child = ::fork();
    if (child < 0)
        return -1;
    if (child == 0) {
        constexpr uid_t nobody = 65534;
        if (::setgroups(0, nullptr) != 0 || ::setresgid(nobody, nobody, nobody) != 0 ||
            ::setresuid(nobody, nobody, nobody) != 0)
            ::_exit(255);
        ::_exit(check());
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) == 255)
        return -1;
    return WEXITSTATUS(status);
}
