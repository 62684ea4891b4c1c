// The header paths of a script, for the audit. Only section
// HEADER_FILES is read, and only its header keys: no key, no coding file.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

// Reads roundTable, xorTable, finalRoundTable, invRoundTable, invXorTable and
// invFirstRoundTable from [HEADER_FILES] of the script with the tool's own
// reader (IniProfile), and makes each non-empty one absolute against the
// current directory. With mixPaths, the same read also gives the mix headers of
// the mixed format (mixTable, mixXorTable, invMixTable, invMixXorTable, in this
// order), made absolute; "" for a key the script does not set.
// 0, 16 when the script cannot be read, 30 when none of the six is set,
// AUDIT_BAD_HEADERS when it is larger than kAuditInputCap (then *error, when
// given, says so).
int32_t readHeaderPaths(const std::string& scriptPath, std::vector<std::string>& paths,
                        std::array<std::string, 4>* mixPaths = nullptr, std::string* error = nullptr);

// The absolute, normalised form of path against the current directory
// (makeAbsolutePath; the path as given when it cannot be made absolute).
std::string absolutePath(const std::string& path);
