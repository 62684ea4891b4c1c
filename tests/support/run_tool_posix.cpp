#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>


#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

#include "support/support.h"

namespace testsupport {

namespace {

void drain(int outFd, int errFd, std::string& out, std::string& err) {
    pollfd fds[2] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
    int open = 2;
    char buffer[65536];
    while (open > 0) {
        if (poll(fds, 2, -1) < 0) break;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) continue;
            const ssize_t got = read(fds[i].fd, buffer, sizeof buffer);
            if (got <= 0) {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            } else {
                (i == 0 ? out : err).append(buffer, static_cast<size_t>(got));
            }
        }
    }
}

} // namespace

namespace {

// In the child: everything RunOptions asks for, then exec the tool.
[[noreturn]] void execTool(const std::vector<std::string>& args, const std::filesystem::path& cwd,
                           const RunOptions& options) {
    if (chdir(cwd.c_str()) != 0) _exit(127);
    for (const auto& [name, value] : options.environment) setenv(name.c_str(), value.c_str(), 1);
    if (options.faults) {
        setenv("LD_PRELOAD", TABRIX_FAULT_PRELOAD, 1);
        // Under AddressSanitizer the preloaded library stands before its runtime.
        const char* asan = getenv("ASAN_OPTIONS");
        setenv("ASAN_OPTIONS",
               (std::string(asan ? asan : "") + ":verify_asan_link_order=0").c_str(), 1);
    }
    if (options.umask >= 0) umask(static_cast<mode_t>(options.umask));
    if (options.timeoutSeconds > 0) alarm(options.timeoutSeconds);
    if (options.extraSetup) options.extraSetup();
    std::vector<char*> argv;
    static std::string exe = TABRIX_EXE;
    argv.push_back(exe.data());
    std::vector<std::string> copies(args);
    for (auto& a : copies) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(exe.c_str(), argv.data());
    _exit(127);
}

} // namespace

RunResult runTool(const std::vector<std::string>& args, const std::filesystem::path& cwd,
                  const RunOptions& options) {
    RunResult result;
    int outPipe[2];
    int errPipe[2];
    if (pipe(outPipe) != 0 || pipe(errPipe) != 0) return result;
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(outPipe[1], 1);
        dup2(errPipe[1], 2);
        close(outPipe[0]);
        close(outPipe[1]);
        close(errPipe[0]);
        close(errPipe[1]);
        execTool(args, cwd, options);
    }
    close(outPipe[1]);
    close(errPipe[1]);
    drain(outPipe[0], errPipe[0], result.output, result.errors);
    result.status = waitTool(pid);
    return result;
}

int startTool(const std::vector<std::string>& args, const std::filesystem::path& cwd,
              const RunOptions& options) {
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        execTool(args, cwd, options);
    }
    return pid;
}

int waitTool(int pid) {
    int wstatus = 0;
    while (waitpid(pid, &wstatus, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
}

int processId() { return static_cast<int>(getpid()); }

} // namespace testsupport
