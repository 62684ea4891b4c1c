// The command line: each argument is recognised by its prefix and runs one
// command; the status of the last command that failed is the exit status.
#pragma once
#include <cstdint>
#include <iostream>

// The four command operations, replaceable for tests. Each writes its messages
// to out and the one-line reasons of failures that have no message of their own
// to err.
struct CommandSet {
    int32_t (*generateTables)(const char* scriptPath, std::ostream& out, std::ostream& err);
    int32_t (*generateEcbCodings)(const char* scriptPath, std::ostream& out, std::ostream& err);
    int32_t (*generateCbcCodings)(const char* scriptPath, std::ostream& out, std::ostream& err);
    int32_t (*runSelfTest)(int32_t flags, std::ostream& out, std::ostream& err);
};

// The tool's real commands.
CommandSet toolCommands();

// Writes the usage text and flushes.
void printUsage(std::ostream& out);

// Runs argv[1..argc-1] in order through commands; prints the usage text when there
// are no arguments or the last one was not recognised. "--help" and "-h" print the
// usage text, "--version" prints "tabrix <version>"; both succeed and take their
// turn in the order like any command. An argument that names no command prints
// its notice and fails with STATUS_UNRECOGNIZED_ARGUMENT. Returns the exit status (exitStatusOf) of
// the last command (or argument) that failed, or 0 when every command succeeded
// (or none ran). A command that runs out of memory prints "ERR: OUT OF MEMORY"
// and fails with 34.
int32_t dispatchCommands(int argc, const char* const* argv, const CommandSet& commands,
                         std::ostream& out, std::ostream& err);

// The process entry: dispatchCommands with the real commands on standard output
// and standard error.
int runCommandLine(int argc, const char* const* argv);
