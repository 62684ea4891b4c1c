#include "cli/table_format.h"

#include "base/status.h"

int32_t readTableFormat(const std::string& value, TableFormat& format, std::ostream& out) {
    if (value.empty() || value == "classic") {
        format = TableFormat::Classic;
        return STATUS_OK;
    }
    if (value == "mixed") {
        format = TableFormat::Mixed;
        return STATUS_OK;
    }
    out << "ERR: BAD TABLE FORMAT '" << value << "'\n";
    return STATUS_MISSING_VALUE;
}

MixedHeaderFilePaths mixedHeaderFilePaths(const ScriptValues& values) {
    return {values.mixTableTpl, values.mixXorTableTpl, values.invMixTableTpl, values.invMixXorTableTpl,
            values.mixTable,    values.mixXorTable,    values.invMixTable,    values.invMixXorTable};
}
