// The reasons of failures that standard output reports only by their status
// (a verdict frame, an open saving line): one line each on the error stream,
// naming the file, section and key, or the template and what it lacks. Key
// text is never shown, since it is the secret.
#pragma once
#include <iostream>
#include <string>
#include <string_view>

#include "base/script_keys.h"

// "tabrix: cannot read the script '<script>'\n"
void reportUnreadableScript(const std::string& script, std::ostream& err);

// "tabrix: '<script>': [<SECTION>] <key> is missing or empty\n"
void reportMissingValue(const std::string& script, const ScriptKey& key, std::ostream& err);

// "tabrix: '<script>': [KEY_VALUE] <key> is not 32 hex digits (<why>)\n", where
// why is "it has <n> characters" or "character <n> is not a hex digit".
void reportBadKeyText(const std::string& script, const ScriptKey& key, const std::string& keyText,
                      std::ostream& err);

// Looks at a template the way header saving does (text up to its first NUL)
// and, when it lacks its placeholder, writes
// "tabrix: template '<path>' has no tag <tag>\n" or
// "tabrix: template '<path>' has no closing '#' after <tag>\n". Returns whether
// it wrote a line; a template that cannot be read is left to its own message.
bool reportPlaceholderFault(const std::string& templatePath, std::string_view tag, std::ostream& err);
