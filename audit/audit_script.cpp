// The audit's view of a script: the header keys of [HEADER_FILES] only, read
// with the tool's own script reader.
#include "audit/audit_script.h"

#include "base/profile_reader.h"
#include "base/script_keys.h"
#include "base/status.h"

namespace {

using V = ScriptValues;
constexpr std::string V::*kHeaderFields[6] = {&V::roundTable,    &V::xorTable,    &V::finalRoundTable,
                                              &V::invRoundTable, &V::invXorTable, &V::invFirstRoundTable};
constexpr std::string V::*kMixedFields[4] = {&V::mixTable, &V::mixXorTable, &V::invMixTable,
                                             &V::invMixXorTable};

// values[i] = the value of fields[i] in the script, "" when absent; 16 when the
// script cannot be read.
template <size_t N>
int32_t readHeaderKeys(const std::string& scriptPath, std::string V::*const (&fields)[N],
                       std::array<std::string, N>& values) {
    const IniProfile profile(absolutePath(scriptPath));
    if (!profile.loaded()) return STATUS_OPEN_FAILED;
    for (size_t i = 0; i < N; ++i) {
        const ScriptKey& key = scriptKeyOf(fields[i]);
        values[i] = profile.read(key.section, key.key);
    }
    return STATUS_OK;
}

} // namespace

std::string absolutePath(const std::string& path) {
    std::string absolute;
    (void)makeAbsolutePath(path, absolute); // on failure: the path as given
    return absolute;
}

int32_t readHeaderPaths(const std::string& scriptPath, std::vector<std::string>& paths) {
    std::array<std::string, 6> values;
    const int32_t status = readHeaderKeys(scriptPath, kHeaderFields, values);
    if (status != STATUS_OK) return status;
    paths.clear();
    for (const std::string& value : values) {
        if (!value.empty()) paths.push_back(absolutePath(value));
    }
    return paths.empty() ? STATUS_MISSING_VALUE : STATUS_OK;
}

void readMixedHeaderPaths(const std::string& scriptPath, std::array<std::string, 4>& paths) {
    paths = {};
    if (readHeaderKeys(scriptPath, kMixedFields, paths) != STATUS_OK) return;
    for (std::string& path : paths) {
        if (!path.empty()) path = absolutePath(path);
    }
}
