// A reader of one INI section with the reading rules of the tool's own
// configuration reader, kept here so that the audit depends on nothing above
// the reference cipher.
#include "audit/audit_script.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string_view>
#include <system_error>

#include "base/status.h"

namespace {

const char* const kHeaderKeys[6] = {"roundTable",    "xorTable",    "finalRoundTable",
                                    "invRoundTable", "invXorTable", "invFirstRoundTable"};

std::string_view trimmed(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

} // namespace

std::string absolutePath(const std::string& path) {
    std::error_code ec;
    const std::filesystem::path absolute =
        path.empty() ? std::filesystem::current_path(ec) : std::filesystem::absolute(path, ec);
    return ec ? path : absolute.lexically_normal().string();
}

namespace {

// values[i] = the trimmed value of keys[i] in [HEADER_FILES], "" when absent.
int32_t readHeaderKeys(const std::string& scriptPath, const char* const* keys, size_t count,
                       std::vector<std::string>& values) {
    std::error_code ec;
    const std::string script = absolutePath(scriptPath);
    if (!std::filesystem::is_regular_file(script, ec)) return STATUS_OPEN_FAILED;
    std::ifstream file(script, std::ios::binary);
    if (!file) return STATUS_OPEN_FAILED;
    const std::string content((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::string_view text(content);
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    values.assign(count, std::string());
    std::vector<bool> seen(count, false);
    bool inSection = false;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        const std::string_view line = trimmed(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.empty() || line.front() == ';' || line.front() == '#') continue;
        if (line.front() == '[') {
            const size_t close = line.find(']');
            if (close != std::string_view::npos) inSection = sameName(trimmed(line.substr(1, close - 1)), "HEADER_FILES");
            continue;
        }
        const size_t equals = line.find('=');
        if (!inSection || equals == std::string_view::npos) continue;
        for (size_t i = 0; i < count; ++i) {
            if (seen[i] || !sameName(trimmed(line.substr(0, equals)), keys[i])) continue;
            std::string_view value = trimmed(line.substr(equals + 1));
            value = trimmed(value.substr(0, value.find('\0')));
            seen[i] = true;
            values[i] = std::string(value);
        }
    }
    return STATUS_OK;
}

} // namespace

int32_t readHeaderPaths(const std::string& scriptPath, std::vector<std::string>& paths) {
    std::vector<std::string> values;
    const int32_t status = readHeaderKeys(scriptPath, kHeaderKeys, 6, values);
    if (status != STATUS_OK) return status;
    paths.clear();
    for (const std::string& value : values) {
        if (!value.empty()) paths.push_back(absolutePath(value));
    }
    return paths.empty() ? STATUS_MISSING_VALUE : STATUS_OK;
}

void readMixedHeaderPaths(const std::string& scriptPath, std::array<std::string, 4>& paths) {
    static const char* const kMixedKeys[4] = {"mixTable", "mixXorTable", "invMixTable", "invMixXorTable"};
    std::vector<std::string> values;
    paths = {};
    if (readHeaderKeys(scriptPath, kMixedKeys, 4, values) != STATUS_OK) return;
    for (size_t i = 0; i < 4; ++i) {
        if (!values[i].empty()) paths[i] = absolutePath(values[i]);
    }
}
