#include <csignal>

#include "cli/dispatch.h"

int main(int argc, char** argv) {
    // Output piped into a reader that quits early (head) must not stop the file
    // work half-way: a failed write to standard output is simply lost.
    std::signal(SIGPIPE, SIG_IGN);
    return runCommandLine(argc, argv);
}
