// Headers for the C runtime written straight from a table set in memory, of
// any round count and either format: the arrays under the names the runtime
// includes, with their R slots. Beside them the compile step of the runtime
// driver (runtime_driver.c).
#pragma once
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "driver_run.h"
#include "support/support.h"
#include "wbgen/table_storage.h"

namespace storageheaders {

namespace fs = std::filesystem;

// C text of a byte array with its dimensions, braces at every level.
inline void writeArray(std::ostream& out, const uint8_t*& bytes, const std::vector<size_t>& dims, size_t level) {
    out << '{';
    for (size_t n = 0; n < dims[level]; ++n) {
        if (n > 0) out << ',';
        if (level + 1 == dims.size()) {
            out << static_cast<unsigned>(*bytes++);
        } else {
            writeArray(out, bytes, dims, level + 1);
        }
    }
    out << '}';
}

inline void writeHeader(const fs::path& path, const char* name, const void* table, const std::vector<size_t>& dims) {
    std::ostringstream out;
    out << "static const unsigned char " << name;
    for (size_t d : dims) out << '[' << d << ']';
    out << " = ";
    const auto* bytes = static_cast<const uint8_t*>(table);
    writeArray(out, bytes, dims, 0);
    out << ";\n";
    testsupport::writeFile(path, out.str());
}

// The six headers of the view's tables into dir, and the mixed format's four
// more when it has mix tables.
inline void writeTableHeaders(const fs::path& dir, const TableSetView& view) {
    const auto slots = static_cast<size_t>(view.rounds());
    const std::vector<size_t> words = {slots, 4, 4, 256, 4};
    const std::vector<size_t> xors = {slots, 4, kXorTablesPerColumn, 256};
    const std::vector<size_t> last = {4, 4, 256};
    if (view.enc.mixed()) {
        writeHeader(dir / "mix_tables.h", "mixTables", view.enc.mixTables, words);
        writeHeader(dir / "mix_xor_tables.h", "mixXorTables", view.enc.mixXorTables, xors);
        writeHeader(dir / "inv_mix_tables.h", "invMixTables", view.dec.mixTables, words);
        writeHeader(dir / "inv_mix_xor_tables.h", "invMixXorTables", view.dec.mixXorTables, xors);
    }
    writeHeader(dir / "round_tables.h", "roundTables", view.enc.roundTables, words);
    writeHeader(dir / "xor_tables.h", "xorTables", view.enc.xorTables, xors);
    writeHeader(dir / "final_round_table.h", "finalRoundTable", view.enc.lastTable, last);
    writeHeader(dir / "inv_round_tables.h", "invRoundTables", view.dec.roundTables, words);
    writeHeader(dir / "inv_xor_tables.h", "invXorTables", view.dec.xorTables, xors);
    writeHeader(dir / "inv_first_round_table.h", "invFirstRoundTable", view.dec.lastTable, last);
}

// Compiles the runtime driver around the headers in dir into dir/driver with
// the C compiler of the build, warnings as errors, and flags (the optimisation
// level among them). An empty text on success, else the compiler's log.
inline std::string compileDriver(const fs::path& dir, const std::string& flags) {
    using runtimedriver::quoted;
    const fs::path runtime = fs::path(TABRIX_SOURCE_DIR) / "runtime";
    const fs::path driver = fs::path(TABRIX_SOURCE_DIR) / "tests" / "runtime" / "runtime_driver.c";
    const std::string compile = quoted(TABRIX_C_COMPILER) + " -std=c99 " + flags +
                                " -Wall -Wextra -Wpedantic -Wconversion -Wshadow -Werror -I " + quoted(dir) +
                                " -I " + quoted(runtime) + " " + quoted(runtime / "tabrix_runtime.c") + " " +
                                quoted(driver) + " -o " + quoted(dir / "driver") + " > " +
                                quoted(dir / "compile.log") + " 2>&1";
    if (std::system(compile.c_str()) == 0) return "";
    const std::string log = testsupport::readFile(dir / "compile.log");
    return log.empty() ? "the compiler failed without a message" : log;
}

} // namespace storageheaders
