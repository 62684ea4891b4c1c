// Parser of the array text that header emission writes: "name[..][..] = {",
// nested braces, values as 0x hex (or decimal) separated by ", " and line
// feeds. The parser walks the braces itself, so any template text around the
// array, any line endings and any nesting of the braces are accepted, but the
// count of values must be exact and every brace must close: a truncated header
// is an error, never a short table.
#include "audit/table_headers.h"


#include "base/secret_file.h"
#include "base/status.h"

namespace {

bool isIdentifierChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

size_t skipSpace(std::string_view text, size_t at) {
    while (at < text.size() && isSpace(text[at])) ++at;
    return at;
}

// Position of the "{" that opens the initialiser of the declaration of name at
// `at`, or npos when the text there is not such a declaration.
size_t initialiserAt(std::string_view text, size_t at, std::string_view name) {
    if (at > 0 && isIdentifierChar(text[at - 1])) return std::string_view::npos;
    size_t pos = at + name.size();
    if (pos < text.size() && isIdentifierChar(text[pos])) return std::string_view::npos;
    pos = skipSpace(text, pos);
    while (pos < text.size() && text[pos] == '[') {
        const size_t close = text.find(']', pos);
        if (close == std::string_view::npos) return std::string_view::npos;
        if (text.substr(pos + 1, close - pos - 1).find_first_of("[;{}=") != std::string_view::npos) {
            return std::string_view::npos;
        }
        pos = skipSpace(text, close + 1);
    }
    if (pos >= text.size() || text[pos] != '=') return std::string_view::npos;
    pos = skipSpace(text, pos + 1);
    if (pos >= text.size() || text[pos] != '{') return std::string_view::npos;
    return pos;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

const char* const kTableNames[6] = {"roundTables",    "xorTables",    "finalRoundTable",
                                    "invRoundTables", "invXorTables", "invFirstRoundTable"};
const size_t kTableSizes[6] = {kRoundTableBytes, kXorTableBytes, kLastTableBytes,
                               kRoundTableBytes, kXorTableBytes, kLastTableBytes};

// Reads the initialiser that opens at `open`: exactly count values.
int32_t parseInitialiser(std::string_view text, size_t open, std::string_view name, size_t count,
                         std::vector<uint8_t>& values, std::string& error) {
    values.clear();
    values.reserve(count);
    const std::string prefix = std::string(name) + ": ";
    size_t depth = 0;
    size_t pos = open;
    while (pos < text.size()) {
        const char c = text[pos];
        if (c == '{') {
            ++depth;
            ++pos;
        } else if (c == '}') {
            --depth;
            ++pos;
            if (depth == 0) break;
        } else if (c == ',' || isSpace(c)) {
            ++pos;
        } else if (c >= '0' && c <= '9') {
            uint32_t value = 0;
            int base = 10;
            if (c == '0' && pos + 1 < text.size() && (text[pos + 1] == 'x' || text[pos + 1] == 'X')) {
                base = 16;
                pos += 2;
            }
            const size_t first = pos;
            while (pos < text.size() && hexDigit(text[pos]) >= 0 && hexDigit(text[pos]) < base) {
                value = value * static_cast<uint32_t>(base) + static_cast<uint32_t>(hexDigit(text[pos]));
                if (value > 255) {
                    error = prefix + "value out of byte range at value " + std::to_string(values.size());
                    return AUDIT_BAD_HEADERS;
                }
                ++pos;
            }
            if (pos == first || (pos < text.size() && isIdentifierChar(text[pos]))) {
                error = prefix + "malformed value at value " + std::to_string(values.size());
                return AUDIT_BAD_HEADERS;
            }
            if (values.size() == count) {
                error = prefix + "more than " + std::to_string(count) + " values";
                return AUDIT_BAD_HEADERS;
            }
            values.push_back(static_cast<uint8_t>(value));
        } else {
            error = prefix + "unexpected character at value " + std::to_string(values.size());
            return AUDIT_BAD_HEADERS;
        }
    }
    if (depth != 0) {
        error = prefix + "truncated after " + std::to_string(values.size()) + " of " +
                std::to_string(count) + " values";
        return AUDIT_BAD_HEADERS;
    }
    if (values.size() != count) {
        error = prefix + std::to_string(values.size()) + " values, expected " + std::to_string(count);
        return AUDIT_BAD_HEADERS;
    }
    return STATUS_OK;
}

} // namespace

int32_t parseTableText(std::string_view text, std::string_view name, size_t count,
                       std::vector<uint8_t>& values, std::string& error) {
    // Comments may hold the name followed by "= {" too: the first declaration
    // that reads whole wins; else the error of the one that read furthest.
    int32_t status = 1;
    size_t furthest = 0;
    for (size_t at = text.find(name); at != std::string_view::npos; at = text.find(name, at + 1)) {
        const size_t open = initialiserAt(text, at, name);
        if (open == std::string_view::npos) continue;
        std::string reason;
        if (parseInitialiser(text, open, name, count, values, reason) == STATUS_OK) return STATUS_OK;
        if (status == 1 || values.size() > furthest) {
            status = AUDIT_BAD_HEADERS;
            furthest = values.size();
            error = reason;
        }
    }
    return status;
}

int32_t loadHeaderSet(const std::vector<std::string>& paths, HeaderSet& set, std::string& error) {
    std::vector<uint8_t>* targets[6] = {&set.encrypt.round, &set.encrypt.xors, &set.encrypt.last,
                                        &set.decrypt.round, &set.decrypt.xors, &set.decrypt.last};
    bool found[6] = {};
    for (const std::string& path : paths) {
        std::string text;
        if (readRegularFile(path, text) != FileResult::ok) {
            error = "cannot read " + path;
            return STATUS_OPEN_FAILED;
        }
        bool any = false;
        for (int t = 0; t < 6; ++t) {
            std::vector<uint8_t> values;
            std::string reason;
            const int32_t status = parseTableText(text, kTableNames[t], kTableSizes[t], values, reason);
            if (status == 1) continue;
            if (status != STATUS_OK) {
                error = path + ": " + reason;
                return status;
            }
            if (found[t]) {
                error = path + ": " + kTableNames[t] + " found in two headers";
                return AUDIT_BAD_HEADERS;
            }
            found[t] = true;
            any = true;
            *targets[t] = std::move(values);
        }
        if (!any) {
            error = path + ": no table declaration found";
            return AUDIT_BAD_HEADERS;
        }
    }
    set.hasEncrypt = found[0] && found[1] && found[2];
    set.hasDecrypt = found[3] && found[4] && found[5];
    for (int d = 0; d < 2; ++d) {
        const bool some = found[3 * d] || found[3 * d + 1] || found[3 * d + 2];
        const bool all = found[3 * d] && found[3 * d + 1] && found[3 * d + 2];
        if (some && !all) {
            for (int t = 3 * d; t < 3 * d + 3; ++t) {
                if (!found[t]) error = std::string("no ") + kTableNames[t] + " among the headers";
            }
            return AUDIT_BAD_HEADERS;
        }
    }
    if (!set.hasEncrypt && !set.hasDecrypt) {
        error = "no table found in the headers";
        return AUDIT_BAD_HEADERS;
    }
    return STATUS_OK;
}
