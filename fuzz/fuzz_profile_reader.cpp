// Fuzzes the configuration reader. The input is a script, read for every key the
// commands use and for section and key names taken from the script's own lines
// (so that the matching paths are reached without the fuzzer guessing names).
// The file constructor only loads the bytes that fromText is given here.
//
// Checked for every value: it lies on one line, holds no NUL and no blank at
// either end; names match without regard to case; a value the commands use as
// a path can be made absolute or is reported as not (never a crash).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "base/status.h"
#include "base/profile_reader.h"
#include "base/text_path.h"
#include "base/script_keys.h"

namespace {

// Bounds the reads per input, since each read scans the whole script.
constexpr size_t kMaxDerivedNames = 8;

void check(bool holds) {
    if (!holds) std::abort();
}

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    return text;
}

std::string withCase(std::string_view text, bool upper) {
    std::string result(text);
    for (char& c : result) {
        if (upper && c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (!upper && c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return result;
}

void checkValue(const std::string& value) {
    if (value.empty()) return;
    check(value.find('\n') == std::string::npos);
    check(value.find('\0') == std::string::npos);
    check(!isBlank(value.front()) && !isBlank(value.back()));
}

// The "[section]" and "key =" names of the script's lines, each key paired with
// the section above it, at most kMaxDerivedNames of them.
std::vector<std::pair<std::string, std::string>> namesOf(std::string_view script) {
    std::vector<std::pair<std::string, std::string>> names;
    std::string section;
    while (!script.empty() && names.size() < kMaxDerivedNames) {
        const size_t end = script.find('\n');
        const std::string_view line = trimmed(script.substr(0, end));
        script.remove_prefix(end == std::string_view::npos ? script.size() : end + 1);
        if (!line.empty() && line.front() == '[') {
            section = std::string(trimmed(line.substr(1, line.find(']') - 1)));
        } else if (const size_t equals = line.find('='); equals != std::string_view::npos) {
            names.emplace_back(section, std::string(trimmed(line.substr(0, equals))));
        }
    }
    return names;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string script(reinterpret_cast<const char*>(data), size);
    const IniProfile profile = IniProfile::fromText(script);

    // Every value the commands read from a script.
    for (const ScriptKey& name : kScriptKeys) {
        const std::string value = profile.read(name.section, name.key);
        checkValue(value);
        if (!value.empty()) {
            std::string absolute;
            const int32_t status = makeAbsolutePath(value, absolute);
            check(status == STATUS_OK || status == STATUS_BAD_PATH);
            if (status == 0) check(!absolute.empty() && absolute.front() == '/');
        }
    }

    for (const auto& [section, key] : namesOf(script)) {
        const std::string value = profile.read(section, key);
        checkValue(value);
        check(profile.read(withCase(section, true), withCase(key, false)) == value);
        check(profile.read(withCase(section, false), withCase(key, true)) == value);
    }
    return 0;
}
