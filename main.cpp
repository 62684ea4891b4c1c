#include <csignal>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "cli/dispatch.h"

int main(int argc, char** argv) {
    // Output piped into a reader that quits early (head) must not stop the file
    // work half-way: a failed write to standard output is simply lost.
    std::signal(SIGPIPE, SIG_IGN);
#if defined(__GLIBC__)
    // A run allocates and frees megabyte text buffers again and again. Kept in
    // the heap rather than mapped afresh each time, their pages fault in once:
    // about half the page faults and a third of the CPU time of "/g:".
    mallopt(M_MMAP_THRESHOLD, 64 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
#endif
    return runCommandLine(argc, argv);
}
