#include "process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <thread>

namespace test_readers::detail {

namespace fs = std::filesystem;

TempDir::TempDir() {
    std::string pattern = (fs::temp_directory_path() / "quillmere-readers-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("cannot create a temporary folder");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

std::string readText(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

Captured run(const std::vector<std::string>& argv, int timeoutSeconds) {
    TempDir scratch;
    fs::path out = scratch.path() / "stdout", err = scratch.path() / "stderr";
    pid_t pid = ::fork();
    if (pid < 0) return {};
    if (pid == 0) {
        int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int in = ::open("/dev/null", O_RDONLY);
        if (o < 0 || e < 0 || in < 0) ::_exit(126);
        ::dup2(in, 0);
        ::dup2(o, 1);
        ::dup2(e, 2);
        ::setpgid(0, 0);
        std::vector<char*> args;
        for (auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        ::execvp(args[0], args.data());
        ::_exit(127);
    }
    int status = 0;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    for (;;) {
        pid_t r = ::waitpid(pid, &status, WNOHANG);
        if (r == pid) break;
        if (r < 0) return {};
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(-pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            Captured c;
            c.exitCode = -1;
            c.errors = argv[0] + " timed out after " + std::to_string(timeoutSeconds) + " s";
            c.output = readText(out) + readText(err) + c.errors;
            return c;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    Captured c;
    c.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    c.errors = readText(err);
    c.output = readText(out) + c.errors;
    return c;
}

}  // namespace test_readers::detail
