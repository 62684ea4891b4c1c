#include "cli/failure_reasons.h"

#include "base/hex_text.h"
#include "emit/header_files.h"

void reportUnreadableScript(const std::string& script, std::ostream& err) {
    err << "tabrix: cannot read the script '" << script << "'\n" << std::flush;
}

void reportMissingValue(const std::string& script, const ScriptKey& key, std::ostream& err) {
    err << "tabrix: '" << script << "': [" << key.section << "] " << key.key << " is missing or empty\n"
        << std::flush;
}

void reportBadKeyText(const std::string& script, const ScriptKey& key, const std::string& keyText,
                      std::ostream& err) {
    err << "tabrix: '" << script << "': [" << key.section << "] " << key.key << " is not 32 hex digits (";
    size_t at = 0;
    while (at < 32 && at < keyText.size() && isHexDigit(keyText[at])) ++at;
    if (at < 32 && at < keyText.size()) {
        err << "character " << at + 1 << " is not a hex digit";
    } else {
        err << "it has " << keyText.size() << " characters";
    }
    err << ")\n" << std::flush;
}

bool reportPlaceholderFault(const std::string& templatePath, std::string_view tag, std::ostream& err) {
    std::string text;
    if (!readTemplateText(templatePath, text)) return false;
    const size_t tagAt = text.find(tag);
    if (tagAt == std::string::npos) {
        err << "tabrix: template '" << templatePath << "' has no tag " << tag << "\n" << std::flush;
        return true;
    }
    if (text.find('#', tagAt + tag.size()) == std::string::npos) {
        err << "tabrix: template '" << templatePath << "' has no closing '#' after " << tag << "\n"
            << std::flush;
        return true;
    }
    return false;
}
