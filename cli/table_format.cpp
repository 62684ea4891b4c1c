#include "cli/table_format.h"

#include "base/status.h"
#include "cli/messages.h"

std::optional<TableFormat> tableFormatOf(const std::string& value) {
    if (value.empty() || value == "classic") return TableFormat::Classic;
    if (value == "mixed") return TableFormat::Mixed;
    return std::nullopt;
}

int32_t checkTableFormat(const std::string& value, std::ostream& out) {
    if (tableFormatOf(value)) return STATUS_OK;
    messages::badTableFormat(out, value);
    return STATUS_BAD_FORMAT;
}

std::optional<int> keyRoundsOf(const std::string& value) {
    if (value.empty() || value == "128") return kAes128Rounds;
    if (value == "192") return kAes192Rounds;
    if (value == "256") return kAes256Rounds;
    return std::nullopt;
}

int32_t checkKeyBits(const std::string& value, std::ostream& out) {
    if (keyRoundsOf(value)) return STATUS_OK;
    messages::badKeySize(out, value);
    return STATUS_BAD_KEY_SIZE;
}

MixedHeaderFilePaths mixedHeaderFilePaths(const ScriptValues& values) {
    return {values.mixTableTpl, values.mixXorTableTpl, values.invMixTableTpl, values.invMixXorTableTpl,
            values.mixTable,    values.mixXorTable,    values.invMixTable,    values.invMixXorTable};
}
