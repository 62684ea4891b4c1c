#include "cli/table_format.h"

#include "base/status.h"

std::optional<TableFormat> tableFormatOf(const std::string& value) {
    if (value.empty() || value == "classic") return TableFormat::Classic;
    if (value == "mixed") return TableFormat::Mixed;
    return std::nullopt;
}

int32_t checkTableFormat(const std::string& value, std::ostream& out) {
    if (tableFormatOf(value)) return STATUS_OK;
    out << "ERR: BAD TABLE FORMAT '" << value << "'\n";
    return STATUS_BAD_FORMAT;
}

MixedHeaderFilePaths mixedHeaderFilePaths(const ScriptValues& values) {
    return {values.mixTableTpl, values.mixXorTableTpl, values.invMixTableTpl, values.invMixXorTableTpl,
            values.mixTable,    values.mixXorTable,    values.invMixTable,    values.invMixXorTable};
}
