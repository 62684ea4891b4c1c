#include "cli/table_format.h"

#include "base/status.h"

std::optional<TableFormat> tableFormatOf(const std::string& value) {
    if (value.empty() || value == "classic") return TableFormat::Classic;
    if (value == "mixed") return TableFormat::Mixed;
    return std::nullopt;
}

int32_t readTableFormat(const std::string& value, TableFormat& format, std::ostream& out) {
    const std::optional<TableFormat> named = tableFormatOf(value);
    if (!named) {
        out << "ERR: BAD TABLE FORMAT '" << value << "'\n";
        return STATUS_BAD_FORMAT;
    }
    format = *named;
    return STATUS_OK;
}

MixedHeaderFilePaths mixedHeaderFilePaths(const ScriptValues& values) {
    return {values.mixTableTpl, values.mixXorTableTpl, values.invMixTableTpl, values.invMixXorTableTpl,
            values.mixTable,    values.mixXorTable,    values.invMixTable,    values.invMixXorTable};
}
