// The shipped example scripts (every examples/*.cfg, with the shipped templates
// of examples/Tables/) run as the README says, from a copy of the examples
// folder: each writes its headers, with one progress mark per round slot of its
// key size, and the headers compile as C with the shapes of that key size.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "base/profile_reader.h"
#include "base/script_keys.h"
#include "cli/table_format.h"
#include "cli_fixture.h"
#include "wbgen/table_storage.h"

using clitest::ToolFolder;

namespace {

namespace fs = std::filesystem;

const fs::path kExamples = fs::path(TABRIX_SOURCE_DIR) / "examples";

std::vector<std::string> exampleScripts() {
    std::vector<std::string> scripts;
    for (const auto& entry : fs::directory_iterator(kExamples)) {
        if (entry.path().extension() == ".cfg") scripts.push_back(entry.path().filename().string());
    }
    return scripts;
}

// A header the script names, with the array it declares and that array's size.
struct DeclaredTable {
    std::string header;
    std::string array;
    size_t bytes;
};

std::vector<DeclaredTable> declaredTables(const IniProfile& script, int rounds) {
    const size_t slots = static_cast<size_t>(rounds);
    const struct {
        const char* key;
        const char* array;
        size_t bytes;
        bool mixedOnly;
    } tables[] = {
        {"roundTable", "roundTables", slots * sizeof(RoundTableSlot), false},
        {"xorTable", "xorTables", slots * sizeof(XorTableSlot), false},
        {"finalRoundTable", "finalRoundTable", sizeof(SingleTableBlock), false},
        {"invRoundTable", "invRoundTables", slots * sizeof(RoundTableSlot), false},
        {"invXorTable", "invXorTables", slots * sizeof(XorTableSlot), false},
        {"invFirstRoundTable", "invFirstRoundTable", sizeof(SingleTableBlock), false},
        {"mixTable", "mixTables", slots * sizeof(RoundTableSlot), true},
        {"mixXorTable", "mixXorTables", slots * sizeof(XorTableSlot), true},
        {"invMixTable", "invMixTables", slots * sizeof(RoundTableSlot), true},
        {"invMixXorTable", "invMixXorTables", slots * sizeof(XorTableSlot), true},
    };
    const bool mixed = tableFormatOf(script.read("TABLES", "format")) == TableFormat::Mixed;
    std::vector<DeclaredTable> declared;
    for (const auto& t : tables) {
        if (t.mixedOnly && !mixed) continue;
        declared.push_back({script.read("HEADER_FILES", t.key), t.array, t.bytes});
    }
    return declared;
}

size_t countOf(const std::string& text, const std::string& piece) {
    size_t n = 0;
    for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + piece.size())) ++n;
    return n;
}

// One translation unit that includes every header and asserts each array's
// size: 0 when it compiles without a warning.
[[maybe_unused]] int compileHeaders(const ToolFolder& folder, const std::vector<DeclaredTable>& tables) {
    std::string unit;
    for (const DeclaredTable& t : tables) {
        unit += "#include \"" + t.header + "\"\n";
        unit += "_Static_assert(sizeof " + t.array + " == " + std::to_string(t.bytes) + ", \"" + t.array + "\");\n";
    }
    testsupport::writeFile(folder / "all_headers.c", unit);
    const std::string command = "cd '" + folder.path().string() + "' && '" + TABRIX_C_COMPILER +
                                "' -std=c11 -fsyntax-only -Werror all_headers.c > compile.log 2>&1";
    return std::system(command.c_str());
}

} // namespace

TEST(Examples, EveryShippedScriptWritesHeadersOfItsKeySize) {
    const std::vector<std::string> scripts = exampleScripts();
    // example.cfg, mixed.cfg, aes192.cfg and aes256.cfg at least.
    ASSERT_GE(scripts.size(), 4u);
    for (const std::string& name : scripts) {
        SCOPED_TRACE(name);
        ToolFolder folder;
        fs::copy_file(kExamples / name, folder / name);
        fs::copy(kExamples / "Tables", folder / "Tables", fs::copy_options::recursive);
        const IniProfile script((folder / name).string());
        ASSERT_TRUE(script.loaded());
        const std::optional<int> rounds = keyRoundsOf(script.read("TABLES", "keyBits"));
        ASSERT_TRUE(rounds.has_value());
        const std::vector<DeclaredTable> tables = declaredTables(script, *rounds);

        const auto run = folder.run({"/g:" + name});
        ASSERT_EQ(run.status, 0) << run.output << run.errors;
        const std::string marks = " header file " + std::string(static_cast<size_t>(*rounds), '.') + " success\n";
        EXPECT_EQ(countOf(run.output, marks), tables.size() - 2) << run.output;
        for (const DeclaredTable& t : tables) {
            const std::string text = testsupport::readFile(folder / t.header);
            EXPECT_NE(text.find(t.array + "["), std::string::npos) << t.header;
        }
#ifndef _WIN32
        EXPECT_EQ(compileHeaders(folder, tables), 0) << testsupport::readFile(folder / "compile.log");
#endif
    }
}
