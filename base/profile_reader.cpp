// A small INI reader with the reading rules the commands rely on.
#include "base/profile_reader.h"

#include <filesystem>
#include <system_error>

#include "base/secret_file.h"
#include "base/status.h"
#include "base/text_path.h"

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view trim(std::string_view text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && isBlank(text[begin])) ++begin;
    while (end > begin && isBlank(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

} // namespace

IniProfile::IniProfile(const std::string& path) {
    // A missing file, a directory, a FIFO or a device reads as empty.
    loaded_ = readRegularFile(path, text_) == FileResult::ok;
    if (!loaded_) text_.clear();
}

IniProfile IniProfile::fromText(std::string text) {
    IniProfile profile;
    profile.text_ = std::move(text);
    return profile;
}

std::string IniProfile::read(std::string_view section, std::string_view key) const {
    std::string_view text(text_);
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    bool inSection = false;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string_view line = trim(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.empty() || line.front() == ';' || line.front() == '#') continue;
        if (line.front() == '[') {
            const size_t close = line.find(']');
            if (close != std::string_view::npos) {
                inSection = equalsIgnoringCase(trim(line.substr(1, close - 1)), section);
            }
            continue;
        }
        if (!inSection) continue;
        const size_t equals = line.find('=');
        if (equals == std::string_view::npos) continue;
        if (equalsIgnoringCase(trim(line.substr(0, equals)), key)) {
            // A value is text: it ends at the first NUL byte.
            std::string_view value = trim(line.substr(equals + 1));
            value = value.substr(0, value.find('\0'));
            return std::string(trim(value));
        }
    }
    return std::string();
}

