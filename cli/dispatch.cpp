// Command dispatch. Arguments are matched byte-wise and case-sensitively over
// exactly the prefix length; the rest of the argument goes to the command.
#include "cli/dispatch.h"

#include <cstring>
#include <new>

#include "base/status.h"
#include "cli/MARLO_AES.h"
#include "cli/command_files.h"
#include "cli/coding_commands.h"
#include "cli/generate_tables.h"

CommandSet toolCommands() {
    return CommandSet{generateTables, generateEcbCodings, generateCbcCodings, runSelfTest};
}

// The build passes the project's version (CMake's project(VERSION)).
#ifndef TABRIX_VERSION
#error "TABRIX_VERSION must be defined by the build"
#endif

void printUsage(std::ostream& out) {
    out << "MARLO AES Generator " << TABRIX_VERSION << ", tabrix edition by the tabrix team\n\n"
        << "Usage: Tabrix.exe [params in any order]\n"
        << "Params: /g:[CONFIG_SCRIPT_FILE_PATH] ... Generate and save MARLO AES tables.\n"
        << "           Paths are obtained from CONFIG_SCRIPT_FILE_PATH file.\n"
        << "        /ecbioc:[CONFIG_SCRIPT_FILE_PATH] ... Generate and save input & output \n"
        << "           codings for MARLO AES tables compliant with Electronic Code Book\n"
        << "           (ECB) mode.\n"
        << "        /cbcioc:[CONFIG_SCRIPT_FILE_PATH] ... Generate and save input & output\n"
        << "           & data codings for MARLO AES tables compliant with Cipher Back\n"
        << "           Chaining (CBC) mode.\n"
        << "        /test:[flags] ... Perform various tests. Refer to MARLO_AES for details.\n"
        << "\n"
        << "        CONFIG_SCRIPT_FILE_PATH ... Configuration script file path.\n\n"
        << "        Configuration script syntax: (see example.cfg for example)\n"
        << "\n\n"
        << "Example: Tabrix.exe /g:example.cfg\n";
    out.flush();
}

namespace {

bool hasPrefix(const char* argument, const char* prefix) {
    return std::strncmp(argument, prefix, std::strlen(prefix)) == 0;
}

// Runs the command an argument names. Sets recognised to false (and prints the
// notice) when it names none.
int32_t runArgument(const char* argument, const CommandSet& commands, std::ostream& out,
                    std::ostream& err, bool& recognised) {
    recognised = true;
    // The conventional flags match whole arguments; none of them starts like a command.
    if (std::strcmp(argument, "--help") == 0 || std::strcmp(argument, "-h") == 0) {
        printUsage(out);
        return 0;
    }
    if (std::strcmp(argument, "--version") == 0) {
        out << "tabrix " << TABRIX_VERSION << "\n";
        out.flush();
        return 0;
    }
    if (hasPrefix(argument, "/g:")) return commands.generateTables(argument + 3, out, err);
    if (hasPrefix(argument, "/ecbioc:")) return commands.generateEcbCodings(argument + 8, out, err);
    if (hasPrefix(argument, "/cbcioc:")) return commands.generateCbcCodings(argument + 8, out, err);
    if (hasPrefix(argument, "/test:")) return commands.runSelfTest(toFlagWord(argument + 6), out, err);
    recognised = false;
    out << "ERROR: Unrecognized command: '" << argument << "' ignored\n\n";
    out.flush();
    // A build script must not take a mistyped command (/G:, -help) for a run.
    return STATUS_UNRECOGNIZED_ARGUMENT;
}

} // namespace

int32_t dispatchCommands(int argc, const char* const* argv, const CommandSet& commands,
                         std::ostream& out, std::ostream& err) {
    if (argc <= 1) {
        printUsage(out);
        return 0;
    }
    int32_t result = 0;
    bool recognised = false;
    for (int i = 1; i < argc; ++i) {
        int32_t status = 0;
        try {
            status = runArgument(argv[i], commands, out, err, recognised);
        } catch (const std::bad_alloc&) {
            // Whatever the command had pending is dropped; old files stay as they were.
            out << "ERR: OUT OF MEMORY\n";
            out.flush();
            status = STATUS_OUT_OF_MEMORY;
        }
        // The exit status is that of the last command that failed.
        if (status != 0) result = exitStatusOf(status);
    }
    if (!recognised) printUsage(out);
    return result;
}

int runCommandLine(int argc, const char* const* argv) {
    return dispatchCommands(argc, argv, toolCommands(), std::cout, std::cerr);
}
