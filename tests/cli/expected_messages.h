// The tool's own lines, as the command tests expect them.
#pragma once
#include <cstdint>
#include <string>

#include "cli_fixture.h"

namespace clitest {

// "Reading '<absolute script path>' ...\n"
inline std::string reading(const ToolFolder& folder, const std::string& script) {
    return "Reading '" + folder.absolute(script) + "' ...\n";
}

inline const std::string kEcbEncOk = "OK: MARLOAES ECB-COMPLIANT CODING GENERATED (ENCRYPT DIRECTION)\n";
inline const std::string kEcbDecOk = "OK: MARLOAES EBC-COMPLIANT CODING GENERATED (DECRYPT DIRECTION)\n";
inline const std::string kEcbDecErr = "ERR: MARLOAES EBC-COMPLIANT CODING NOT GENERATED (DECRYPT DIRECTION)\n";
// Both ECB error lines: the encryption direction failed.
inline const std::string kEcbErr =
    "ERR: MARLOAES EBC-COMPLIANT CODING NOT GENERATED (ENCRYPT DIRECTION)\n" + kEcbDecErr;

inline const std::string kCbcEncOk = "OK: MARLOAES CBC-COMPLIANT CODING GENERATED (ENCRYPT DIRECTION)\n";
inline const std::string kCbcDecOk = "OK: MARLOAES CBC-COMPLIANT CODING GENERATED (DECRYPT DIRECTION)\n";
// The CBC error lines with their status: both when the encryption direction
// failed, the decryption one alone otherwise.
inline std::string cbcErr(int status, bool both = true) {
    const std::string s = std::to_string(status);
    return (both ? "ERR: MARLOAES CBC-COMPLIANT CODING NOT GENERATED (ENCRYPT DIRECTION) (" + s + ")\n"
                 : std::string()) +
           "ERR: MARLOAES CBC-COMPLIANT CODING NOT GENERATED (DECRYPT DIRECTION) (" + s + ")\n";
}

// The usage text, byte for byte.
inline const std::string kUsage =
    "MARLO AES Generator 1.1, tabrix edition by the tabrix team\n\n"
    "Usage: Tabrix.exe [params in any order]\n"
    "Params: /g:[CONFIG_SCRIPT_FILE_PATH] ... Generate and save MARLO AES tables.\n"
    "           Paths are obtained from CONFIG_SCRIPT_FILE_PATH file.\n"
    "        /ecbioc:[CONFIG_SCRIPT_FILE_PATH] ... Generate and save input & output \n"
    "           codings for MARLO AES tables compliant with Electronic Code Book\n"
    "           (ECB) mode.\n"
    "        /cbcioc:[CONFIG_SCRIPT_FILE_PATH] ... Generate and save input & output\n"
    "           & data codings for MARLO AES tables compliant with Cipher Back\n"
    "           Chaining (CBC) mode.\n"
    "        /test:[flags] ... Perform various tests. Refer to MARLO_AES for details.\n"
    "\n"
    "        CONFIG_SCRIPT_FILE_PATH ... Configuration script file path.\n\n"
    "        Configuration script syntax: (see example.cfg for example)\n"
    "\n\n"
    "Example: Tabrix.exe /g:example.cfg\n";

// The notice for an argument that names no command.
inline std::string unrecognised(const std::string& argument) {
    return "ERROR: Unrecognized command: '" + argument + "' ignored\n\n";
}

// "/g:" refusing a key with more hex digits than AES-128 has.
inline std::string longKey(const std::string& key) {
    return "ERR: KEY TEXT OF " + key + " HAS MORE THAN 32 HEX DIGITS\n";
}

// The reasons on standard error of failures whose output names no cause.
inline std::string unreadableScript(const std::string& absoluteScript) {
    return "tabrix: cannot read the script '" + absoluteScript + "'\n";
}
inline std::string missingValue(const std::string& absoluteScript, const std::string& section,
                                const std::string& key) {
    return "tabrix: '" + absoluteScript + "': [" + section + "] " + key + " is missing or empty\n";
}
// why: "it has <n> characters" or "character <n> is not a hex digit".
inline std::string badKeyText(const std::string& absoluteScript, const std::string& key, const std::string& why) {
    return "tabrix: '" + absoluteScript + "': [KEY_VALUE] " + key + " is not 32 hex digits (" + why + ")\n";
}
inline std::string noTag(const std::string& templatePath, const std::string& tag) {
    return "tabrix: template '" + templatePath + "' has no tag " + tag + "\n";
}
inline std::string noClosingHash(const std::string& templatePath, const std::string& tag) {
    return "tabrix: template '" + templatePath + "' has no closing '#' after " + tag + "\n";
}
inline std::string selfTestFailed(uint64_t failures) {
    return "tabrix: the self-test failed " + std::to_string(failures) + " of its counted comparisons\n";
}

} // namespace clitest
