// The tool's own lines, as the command tests expect them.
#pragma once
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

} // namespace clitest
