#include <csignal>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <string>
#include <vector>

#include "base/command_line.h"
#include "cli/dispatch.h"

int main(int argc, char** argv) {
    // Output piped into a reader that quits early (head) must not stop the file
    // work half-way: a failed write to standard output is simply lost.
#ifdef SIGPIPE
    std::signal(SIGPIPE, SIG_IGN);
#endif
#if defined(__GLIBC__)
    // A run allocates and frees megabyte text buffers again and again. Kept in
    // the heap rather than mapped afresh each time, their pages fault in once:
    // about half the page faults and a third of the CPU time of "/g:".
    mallopt(M_MMAP_THRESHOLD, 64 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
#endif
    const std::vector<std::string> arguments = utf8Arguments(argc, argv);
    std::vector<const char*> pointers;
    for (const std::string& argument : arguments) pointers.push_back(argument.c_str());
    pointers.push_back(nullptr);
    return runCommandLine(static_cast<int>(arguments.size()), pointers.data());
}
