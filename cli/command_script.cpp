#include "cli/command_script.h"

#include "base/status.h"
#include "cli/failure_reasons.h"

std::string CommandScript::announce(const char* scriptPath, std::ostream& out) {
    std::string script;
    // A path that cannot be made absolute is read and shown as given.
    (void)makeAbsolutePath(scriptPath, script);
    out << "Reading '" << script << "' ...\n";
    return script;
}

CommandScript::CommandScript(const char* scriptPath, std::ostream& out, std::ostream& err)
    : path_(announce(scriptPath, out)), profile_(path_), err_(&err) {
    for (const ScriptKey& row : kScriptKeys) values_.*row.field = profile_.read(row.section, row.key);
}

void CommandScript::require(std::initializer_list<std::string ScriptValues::*> fields) {
    require(std::vector<std::string ScriptValues::*>(fields));
}

void CommandScript::require(const std::vector<std::string ScriptValues::*>& fields) {
    for (auto field : fields) {
        if (!(values_.*field).empty()) continue;
        status_ = STATUS_MISSING_VALUE;
        // Every value of a script that cannot be read is missing: one line says why.
        if (!profile_.loaded()) {
            if (!unreadableReported_) reportUnreadableScript(path_, *err_);
            unreadableReported_ = true;
        } else {
            reportMissingValue(path_, scriptKeyOf(field), *err_);
        }
    }
}
