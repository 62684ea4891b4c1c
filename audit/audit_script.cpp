// The audit's view of a script: the header keys of [HEADER_FILES] only, read
// with the tool's own script reader.
#include "audit/audit_script.h"

#include "audit/table_headers.h"
#include "base/profile_reader.h"
#include "base/script_keys.h"
#include "base/status.h"

namespace {

using V = ScriptValues;
constexpr std::string V::*kHeaderFields[6] = {&V::roundTable,    &V::xorTable,    &V::finalRoundTable,
                                              &V::invRoundTable, &V::invXorTable, &V::invFirstRoundTable};
constexpr std::string V::*kMixedFields[4] = {&V::mixTable, &V::mixXorTable, &V::invMixTable,
                                             &V::invMixXorTable};

} // namespace

std::string absolutePath(const std::string& path) {
    std::string absolute;
    (void)makeAbsolutePath(path, absolute); // on failure: the path as given
    return absolute;
}

int32_t readHeaderPaths(const std::string& scriptPath, std::vector<std::string>& paths,
                        std::array<std::string, 4>* mixPaths, std::string* error) {
    // The tool's own reading rules, on text read under the audit's size cap.
    std::string text;
    std::string reason;
    const int32_t read = readAuditInput(absolutePath(scriptPath), text, reason);
    if (read != STATUS_OK) {
        if (error != nullptr) *error = reason;
        return read;
    }
    const IniProfile profile = IniProfile::fromText(std::move(text));
    auto valueOf = [&profile](std::string V::*field) {
        const ScriptKey& key = scriptKeyOf(field);
        const std::string value = profile.read(key.section, key.key);
        return value.empty() ? value : absolutePath(value);
    };
    paths.clear();
    for (std::string V::*field : kHeaderFields) {
        std::string path = valueOf(field);
        if (!path.empty()) paths.push_back(std::move(path));
    }
    if (mixPaths != nullptr) {
        for (size_t i = 0; i < 4; ++i) (*mixPaths)[i] = valueOf(kMixedFields[i]);
    }
    return paths.empty() ? STATUS_MISSING_VALUE : STATUS_OK;
}
