// Command dispatch. Arguments are matched byte-wise and case-sensitively over
// exactly the prefix length; the rest of the argument goes to the command.
#include "cli/dispatch.h"

#include <cstdlib>
#include <cstring>

#include "cli/MARLO_AES.h"
#include "cli/coding_commands.h"
#include "cli/generate_tables.h"

CommandSet toolCommands() {
    return CommandSet{generateTables, generateEcbCodings, generateCbcCodings, runSelfTest};
}

void printUsage(std::ostream& out) {
    out << "MARLO AES Generator " << "1.1" << ", tabrix edition by the tabrix team\n\n"
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

} // namespace

int32_t dispatchCommands(int argc, const char* const* argv, const CommandSet& commands,
                         std::ostream& out) {
    if (argc <= 1) {
        printUsage(out);
        return 0;
    }
    int32_t result = 0;
    bool recognised = false;
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        recognised = true;
        if (hasPrefix(argument, "/g:")) {
            result = commands.generateTables(argument + 3, out);
        } else if (hasPrefix(argument, "/ecbioc:")) {
            result = commands.generateEcbCodings(argument + 8, out);
        } else if (hasPrefix(argument, "/cbcioc:")) {
            result = commands.generateCbcCodings(argument + 8, out);
        } else if (hasPrefix(argument, "/test:")) {
            // atoi semantics, without its undefined behaviour on overflow.
            const long long flags = std::strtoll(argument + 6, nullptr, 10);
            result = commands.runSelfTest(static_cast<int32_t>(static_cast<uint32_t>(flags)), out);
        } else {
            recognised = false;
            out << "ERROR: Unrecognized command: '" << argument << "' ignored\n\n";
            out.flush();
        }
    }
    if (!recognised) printUsage(out);
    return result;
}

int runCommandLine(int argc, const char* const* argv) {
    return dispatchCommands(argc, argv, toolCommands(), std::cout);
}
