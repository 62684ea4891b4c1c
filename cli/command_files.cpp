#include "cli/command_files.h"

#include <cstdlib>

#include "base/status.h"

int32_t checkFileRoles(const std::vector<FileRole>& roles, std::ostream& out) {
    const auto clash = findSameFile(roles);
    if (!clash) return STATUS_OK;
    out << "ERR: '" << roles[clash->first].path << "' AND '" << roles[clash->second].path
        << "' ARE THE SAME FILE\n";
    return STATUS_SAME_FILE;
}

int32_t toFlagWord(const char* text) {
    const long long value = std::strtoll(text, nullptr, 10);
    return static_cast<int32_t>(static_cast<uint32_t>(value));
}

int32_t readUseFlag(const CommandScript& script, std::string ScriptValues::*field, bool& on,
                    std::ostream& out) {
    const std::string& value = script.values().*field;
    size_t at = 0;
    while (at < value.size() && (value[at] == ' ' || value[at] == '\t')) ++at;
    if (at < value.size() && (value[at] == '+' || value[at] == '-')) ++at;
    const size_t digits = at;
    while (at < value.size() && value[at] >= '0' && value[at] <= '9') ++at;
    if (at == digits || at != value.size()) {
        out << "ERR: BAD FLAG VALUE '" << value << "' FOR " << scriptKeyOf(field).key << "\n";
        return STATUS_MISSING_VALUE;
    }
    on = toFlagWord(value.c_str()) != 0;
    return STATUS_OK;
}
