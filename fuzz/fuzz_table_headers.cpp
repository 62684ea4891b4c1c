// Fuzzes the audit's reader of emitted table text. The input is a header's
// bytes; the reader looks for a small table (16 values) under two names.
//
// Checked: the result is found (values read whole), absent (no error text) or a
// parse error (with a reason); values read back from the text the reader accepted
// give the same bytes when written out again in the tool's own form; a comment
// line in front of the text changes neither the status nor the values.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "audit/table_headers.h"
#include "base/status.h"

namespace {

void check(bool holds) {
    if (!holds) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (const std::string_view name : {std::string_view("finalRoundTable"), std::string_view("xorTables")}) {
        std::vector<uint8_t> values;
        std::string error;
        const int32_t status = parseTableText(text, name, 16, values, error);
        check(status == STATUS_OK || status == 1 || status == AUDIT_BAD_HEADERS);
        std::vector<uint8_t> commented;
        std::string ignored;
        check(parseTableText("/**/\n" + std::string(text), name, 16, commented, ignored) == status);
        check(commented == values);
        if (status == AUDIT_BAD_HEADERS) check(!error.empty());
        if (status == 1) check(error.empty());
        if (status != STATUS_OK) continue;
        check(values.size() == 16);
        std::string again = "const unsigned char " + std::string(name) + "[16] = {";
        for (const uint8_t v : values) again += std::to_string(v) + ",";
        again += "};\n";
        std::vector<uint8_t> reread;
        check(parseTableText(again, name, 16, reread, error) == STATUS_OK);
        check(reread == values);
    }
    return 0;
}
