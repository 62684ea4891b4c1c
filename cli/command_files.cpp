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

int32_t checkKeyLength(const CommandScript& script, std::string ScriptValues::*field, std::ostream& out) {
    const std::string& key = script.values().*field;
    if (key.size() <= 32) return STATUS_OK;
    const char next = key[32];
    const bool hexDigit = (next >= '0' && next <= '9') || (next >= 'a' && next <= 'f') || (next >= 'A' && next <= 'F');
    if (!hexDigit) return STATUS_OK;
    out << "ERR: KEY TEXT OF " << scriptKeyOf(field).key << " HAS MORE THAN 32 HEX DIGITS\n";
    return STATUS_BAD_KEY_TEXT;
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
        return STATUS_BAD_FLAG;
    }
    on = toFlagWord(value.c_str()) != 0;
    return STATUS_OK;
}

int32_t readLockWait(const CommandScript& script, unsigned& seconds, std::ostream& out) {
    const std::string& value = script.values().lockWait;
    seconds = kDefaultLockWaitSeconds;
    if (value.empty()) return STATUS_OK;
    const bool digits = value.size() <= 5 && value.find_first_not_of("0123456789") == std::string::npos;
    const unsigned long parsed = digits ? std::strtoul(value.c_str(), nullptr, 10) : 0;
    if (!digits || parsed > 86400) {
        out << "ERR: BAD LOCK WAIT VALUE '" << value << "'\n";
        return STATUS_BAD_LOCK_WAIT;
    }
    seconds = static_cast<unsigned>(parsed);
    return STATUS_OK;
}

int32_t reportLocks(const OutputLocks& locks, std::ostream& out) {
    switch (locks.status()) {
    case STATUS_OK:
        return STATUS_OK;
    case STATUS_UNSAFE_JOURNAL:
        out << "ERR: COMMIT JOURNAL '" << locks.failedPath() << "' NOT REPLAYED: " << locks.reason() << "\n";
        break;
    default:
        out << "ERR: LOCK ON '" << locks.failedPath() << "' NOT TAKEN: " << locks.reason() << "\n";
        break;
    }
    return locks.status();
}
