#include "cli/command_files.h"

#include <cstdlib>

#include "base/hex_text.h"
#include "base/status.h"
#include "cli/messages.h"
#include "wbgen/table_storage.h"

int32_t checkFileRoles(const std::vector<FileRole>& roles, std::ostream& out) {
    const auto clash = findSameFile(roles);
    if (!clash) return STATUS_OK;
    messages::sameFile(out, roles[clash->first].path, roles[clash->second].path);
    return STATUS_SAME_FILE;
}

int32_t toFlagWord(const char* text) {
    const long long value = std::strtoll(text, nullptr, 10);
    return static_cast<int32_t>(static_cast<uint32_t>(value));
}

int32_t checkKeyLength(const CommandScript& script, std::string ScriptValues::*field, int rounds,
                       std::ostream& out) {
    const std::string& key = script.values().*field;
    const std::string name(scriptKeyOf(field).key);
    if (rounds != kAes128Rounds) {
        // Taken whole or not at all: no text may follow the digits, so that a key
        // of another size (or a key with a typo) is never read as one of this size.
        const size_t digits = static_cast<size_t>(keyHexDigitsOfRounds(rounds));
        size_t hex = 0;
        while (hex < key.size() && isHexDigit(key[hex])) ++hex;
        if (key.size() == digits && hex == digits) return STATUS_OK;
        messages::keyNotOfSize(out, name, keyHexDigitsOfRounds(rounds), keyBitsOfRounds(rounds));
        return STATUS_BAD_KEY_TEXT;
    }
    if (key.size() <= 32 || !isHexDigit(key[32])) return STATUS_OK;
    messages::longKey(out, name);
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
        messages::badFlag(out, value, std::string(scriptKeyOf(field).key));
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
        messages::badLockWait(out, value);
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
        messages::journalRefused(out, locks.failedPath(), locks.reason());
        break;
    default:
        messages::lockNotTaken(out, locks.failedPath(), locks.reason());
        break;
    }
    return locks.status();
}
