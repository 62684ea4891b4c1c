// Fuzzes template filling. The input is a template file's bytes; like header
// saving, the text counts up to its first NUL. Each of the six placeholder tags
// is filled in turn on its own copy, and a real table text (the final-round
// table of a zeroed storage, rendered once) goes where the fill says.
//
// Checked: the fill fails exactly when the tag or a "#" behind it is missing,
// and leaves the text alone then; otherwise it only deletes "#" characters, the
// text before the tag stays as it was, and the table text lands right behind
// the bare name and declarator (tag and middle part without their "#").
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "emit/header_files.h"
#include "emit/table_text.h"

namespace {

constexpr std::string_view kTags[] = {
    "#roundTables#",    "#xorTables#",    "#finalRoundTable#",
    "#invRoundTables#", "#invXorTables#", "#invFirstRoundTable#",
};

void check(bool holds) {
    if (!holds) std::abort();
}

std::string withoutHashes(std::string_view text) {
    std::string result;
    for (char c : text) {
        if (c != '#') result.push_back(c);
    }
    return result;
}

// True when filled is original with some "#" characters deleted and nothing else
// changed. Matching greedily is exact here: a "#" kept early instead of a later
// one gives the same text.
bool onlyHashesDeleted(std::string_view original, std::string_view filled) {
    size_t j = 0;
    for (char c : original) {
        if (j < filled.size() && filled[j] == c) {
            ++j;
        } else if (c != '#') {
            return false;
        }
    }
    return j == filled.size();
}

const std::string& tableText() {
    static const std::string text = [] {
        static const SingleTableBlock zeroBlock = {};
        std::string rendered;
        check(formatSingleRoundTable(zeroBlock, rendered) == 0);
        return rendered;
    }();
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string original(reinterpret_cast<const char*>(data), size);
    original.resize(original.find('\0') == std::string::npos ? size : original.find('\0'));

    for (std::string_view tag : kTags) {
        std::string text = original;
        const size_t insertAt = fillPlaceholder(text, tag);

        const size_t tagAt = original.find(tag);
        const size_t closeAt =
            tagAt == std::string::npos ? std::string::npos : original.find('#', tagAt + tag.size());
        if (closeAt == std::string::npos) {
            check(insertAt == std::string::npos && text == original);
            continue;
        }
        check(insertAt != std::string::npos && insertAt <= text.size());
        check(onlyHashesDeleted(original, text));
        check(text.compare(0, tagAt, original, 0, tagAt) == 0);
        const std::string declarator =
            withoutHashes(std::string_view(original).substr(tagAt, closeAt + 1 - tagAt));
        check(insertAt == tagAt + declarator.size());
        check(text.compare(tagAt, declarator.size(), declarator) == 0);

        text.insert(insertAt, tableText());
        check(text.compare(insertAt, tableText().size(), tableText()) == 0);
    }
    return 0;
}
