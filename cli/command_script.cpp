#include "cli/command_script.h"

#include "base/status.h"

std::string CommandScript::announce(const char* scriptPath, std::ostream& out) {
    std::string script;
    // A path that cannot be made absolute is read and shown as given.
    (void)makeAbsolutePath(scriptPath, script);
    out << "Reading '" << script << "' ...\n";
    return script;
}

CommandScript::CommandScript(const char* scriptPath, std::ostream& out)
    : path_(announce(scriptPath, out)), profile_(path_) {
    for (const ScriptKey& row : kScriptKeys) values_.*row.field = profile_.read(row.section, row.key);
}

void CommandScript::require(std::initializer_list<std::string ScriptValues::*> fields) {
    for (auto field : fields) {
        if ((values_.*field).empty()) status_ = STATUS_MISSING_VALUE;
    }
}
