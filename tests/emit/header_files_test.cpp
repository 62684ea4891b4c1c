// Header saving end to end: real templates and headers in a temporary folder,
// checking what was printed, what was written and the status returned. The table
// text itself is checked in table_text_test.cpp; here it is the formatters' output.
#include "emit/header_files.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "base/status.h"
#include "emit/table_text.h"
#include "support/support.h"
#include "support/sync_recorder.h"

namespace {

namespace fs = std::filesystem;

enum class Operation { encryption, decryption };
enum class Shape { round, xorRows, single };

// One save step: which operation runs it, its paths and tag, and the block it renders.
struct Step {
    Operation operation;
    std::string HeaderFilePaths::*templatePath;
    std::string HeaderFilePaths::*headerPath;
    const char* tag;   // placeholder tag without its leading and closing "#"
    const char* dims;  // declarator the good templates give
    Shape shape;
    size_t offset;     // of the block in the storage
};

const Step kSteps[6] = {
    {Operation::encryption, &HeaderFilePaths::roundTableTpl, &HeaderFilePaths::roundTable, "roundTables",
     "[10][4][4][256][4]", Shape::round, 0x00000},
    {Operation::encryption, &HeaderFilePaths::xorTableTpl, &HeaderFilePaths::xorTable, "xorTables",
     "[10][4][24][256]", Shape::xorRows, 0x28000},
    {Operation::encryption, &HeaderFilePaths::finalRoundTableTpl, &HeaderFilePaths::finalRoundTable,
     "finalRoundTable", "[4][4][256]", Shape::single, 0x64000},
    {Operation::decryption, &HeaderFilePaths::invRoundTableTpl, &HeaderFilePaths::invRoundTable,
     "invRoundTables", "[10][4][4][256][4]", Shape::round, 0x65000},
    {Operation::decryption, &HeaderFilePaths::invXorTableTpl, &HeaderFilePaths::invXorTable, "invXorTables",
     "[10][4][24][256]", Shape::xorRows, 0x8D000},
    {Operation::decryption, &HeaderFilePaths::invFirstRoundTableTpl, &HeaderFilePaths::invFirstRoundTable,
     "invFirstRoundTable", "[4][4][256]", Shape::single, 0xC9000},
};

// Index of the first step of the step's operation.
size_t firstStepOf(size_t step) { return step < 3 ? 0 : 3; }

const char* marksOf(Shape shape) { return shape == Shape::single ? "" : ".........."; }

class HeaderFiles : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("tabrix_emit_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        storage_ = std::make_unique<TableStorage>();
        const std::vector<uint8_t> bytes = testsupport::pseudoRandomBytes(sizeof(TableStorage), 11);
        std::memcpy(storage_.get(), bytes.data(), bytes.size());
        for (const Step& s : kSteps) {
            paths_.*s.templatePath = path(std::string(s.tag) + ".tpl");
            paths_.*s.headerPath = path(std::string(s.tag) + ".h");
        }
    }

    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }

    std::string path(const std::string& name) const { return (dir_ / name).string(); }

    static void writeFile(const std::string& file, const std::string& bytes) {
        std::ofstream f(file, std::ios::binary | std::ios::trunc);
        f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        ASSERT_TRUE(f.good()) << file;
    }

    static std::string readFile(const std::string& file) {
        std::ifstream f(file, std::ios::binary);
        std::ostringstream content;
        content << f.rdbuf();
        return content.str();
    }

    // A template of the usual form for the step.
    static std::string goodTemplate(const Step& s) {
        return "// generated\nconst unsigned char #" + std::string(s.tag) + "#" + s.dims + "#;\n";
    }

    void writeGoodTemplates() {
        for (const Step& s : kSteps) writeFile(paths_.*s.templatePath, goodTemplate(s));
    }

    std::string tableText(const Step& s) const {
        const bool enc = s.operation == Operation::encryption;
        const TableStorage& t = *storage_;
        std::string text;
        std::ostringstream ignored;
        const void* block = nullptr;
        switch (s.shape) {
        case Shape::round:
            block = enc ? &t.enc.roundTables : &t.dec.invRoundTables;
            formatRoundTables(enc ? t.enc.roundTables : t.dec.invRoundTables, text, ignored);
            break;
        case Shape::xorRows:
            block = enc ? &t.enc.xorTables : &t.dec.invXorTables;
            formatXorTables(enc ? t.enc.xorTables : t.dec.invXorTables, text, ignored);
            break;
        case Shape::single:
            block = enc ? &t.enc.finalRoundTable : &t.dec.invFirstRoundTable;
            formatSingleRoundTable(enc ? t.enc.finalRoundTable : t.dec.invFirstRoundTable, text);
            break;
        }
        EXPECT_EQ(static_cast<const char*>(block) - reinterpret_cast<const char*>(&t),
                  static_cast<std::ptrdiff_t>(s.offset));
        return text;
    }

    int32_t run(Operation operation, std::string& printed) const {
        std::ostringstream out;
        const int32_t status = operation == Operation::encryption ? saveEncryptionHeaders(paths_, *storage_, out)
                                                                  : saveDecryptionHeaders(paths_, *storage_, out);
        printed = out.str();
        return status;
    }

    // run with one path replaced for this run only.
    int32_t runWithPath(Operation operation, std::string HeaderFilePaths::*which, const std::string& path,
                        std::string& printed) {
        const HeaderFilePaths saved = paths_;
        paths_.*which = path;
        const int32_t status = run(operation, printed);
        paths_ = saved;
        return status;
    }

    static std::string savingLine(const std::string& header) { return "--- Saving " + header + " header file "; }
    std::string savingLine(const Step& s) const { return savingLine(paths_.*s.headerPath); }
    std::string successLine(const Step& s) const { return savingLine(s) + marksOf(s.shape) + " success\n"; }
    // The success lines of the steps of its operation that come before step.
    std::string linesBefore(size_t step) const {
        std::string lines;
        for (size_t k = firstStepOf(step); k < step; ++k) lines += successLine(kSteps[k]);
        return lines;
    }

    fs::path dir_;
    std::unique_ptr<TableStorage> storage_;
    HeaderFilePaths paths_;
};

TEST_F(HeaderFiles, BothOperationsSaveTheirThreeHeaders) {
    writeGoodTemplates();
    // An existing header is truncated, not partly overwritten.
    writeFile(paths_.finalRoundTable, std::string(100000, 'z'));
    for (const Operation operation : {Operation::encryption, Operation::decryption}) {
        const size_t first = operation == Operation::encryption ? 0 : 3;
        std::string printed;
        EXPECT_EQ(run(operation, printed), STATUS_OK);
        EXPECT_EQ(printed, successLine(kSteps[first]) + successLine(kSteps[first + 1]) +
                               successLine(kSteps[first + 2]));
        for (size_t i = first; i < first + 3; ++i) {
            const Step& s = kSteps[i];
            SCOPED_TRACE(s.tag);
            EXPECT_EQ(readFile(paths_.*s.headerPath),
                      "// generated\nconst unsigned char " + std::string(s.tag) + s.dims + tableText(s) + ";\n");
        }
    }
}

TEST_F(HeaderFiles, EncryptionOutputByteForByte) {
    writeGoodTemplates();
    std::string printed;
    EXPECT_EQ(run(Operation::encryption, printed), STATUS_OK);
    EXPECT_EQ(printed, "--- Saving " + paths_.roundTable + " header file .......... success\n" +
                           "--- Saving " + paths_.xorTable + " header file .......... success\n" +
                           "--- Saving " + paths_.finalRoundTable + " header file  success\n");
}

// Each saving line is flushed where it is left open and again where it ends, so
// that a terminal or a log behind a pipe shows every header as it is saved.
TEST_F(HeaderFiles, EverySavingLineIsFlushedAsItGoes) {
    writeGoodTemplates();
    for (const Operation operation : {Operation::encryption, Operation::decryption}) {
        SyncRecorder recorder;
        std::ostream out(&recorder);
        ASSERT_EQ(operation == Operation::encryption ? saveEncryptionHeaders(paths_, *storage_, out)
                                                     : saveDecryptionHeaders(paths_, *storage_, out),
                  STATUS_OK);
        const std::string& text = recorder.received;
        size_t lines = 0;
        for (size_t at = text.find("--- Saving "); at != std::string::npos; at = text.find("--- Saving ", at + 1)) {
            const size_t opened = text.find(" header file ", at) + std::strlen(" header file ");
            const size_t ended = text.find('\n', at) + 1;
            EXPECT_TRUE(recorder.syncedAfter(opened)) << "not flushed when opened: " << text.substr(at, ended - at);
            EXPECT_TRUE(recorder.syncedAfter(ended)) << "not flushed when ended: " << text.substr(at, ended - at);
            ++lines;
        }
        EXPECT_EQ(lines, 3u);
    }
}

TEST_F(HeaderFiles, PlaceholderForms) {
    // "@" stands for the table text in the expected header.
    struct Case {
        const char* name;
        std::string templateText;
        std::string header;
    };
    const Case cases[] = {
        {"tiny, last byte kept", "#finalRoundTable#[4][4][256]#;", "finalRoundTable[4][4][256]@;"},
        {"empty middle part", "x #finalRoundTable##;\n", "x finalRoundTable@;\n"},
        {"placeholder twice", "A #finalRoundTable#[4]# B #finalRoundTable#[4]# C\n",
         "A finalRoundTable[4]@ B finalRoundTable[4] C\n"},
        {"other middle part left alone", "#finalRoundTable#a# #finalRoundTable#b#;",
         "finalRoundTablea@ #finalRoundTable#b#;"},
        {"closing # on a later line", "x #finalRoundTable# k\n#define Y 1\n;",
         "x finalRoundTable k\n@define Y 1\n;"},
        {"# before the tag untouched", "#pragma once\n#finalRoundTable##;\n", "#pragma once\nfinalRoundTable@;\n"},
        {"CRLF line endings kept", "// final\r\nconst unsigned char #finalRoundTable#[4][4][256]#;\r\n",
         "// final\r\nconst unsigned char finalRoundTable[4][4][256]@;\r\n"},
        {"text ends at a NUL byte", std::string("#finalRoundTable##;\n\0#junk\n", 27), "finalRoundTable@;\n"},
    };
    writeGoodTemplates();
    const std::string table = tableText(kSteps[2]);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeFile(paths_.finalRoundTableTpl, c.templateText);
        std::string printed;
        EXPECT_EQ(run(Operation::encryption, printed), STATUS_OK);
        EXPECT_TRUE(printed.ends_with(successLine(kSteps[2])));
        std::string expected = c.header;
        expected.replace(expected.find('@'), 1, table);
        EXPECT_EQ(readFile(paths_.finalRoundTable), expected);
    }
}

TEST_F(HeaderFiles, BrokenPlaceholderLeavesSavingLineOpen) {
    // Each broken template at each of the six steps: the earlier steps of that
    // operation succeed, the saving line stays open, nothing more is printed, the
    // header keeps its old content and the later headers are not attempted.
    struct Variant {
        const char* name;
        std::string (*make)(const Step&);
    };
    const Variant variants[] = {
        {"tag missing", [](const Step&) { return std::string("const unsigned char table[16];\n"); }},
        {"no closing #", [](const Step& s) { return "x #" + std::string(s.tag) + "#[4][4];\n"; }},
        {"tag behind a NUL byte",
         [](const Step& s) { return std::string("x\0", 2) + "#" + s.tag + "#" + s.dims + "#;\n"; }},
    };
    for (const Variant& v : variants) {
        for (size_t i = 0; i < 6; ++i) {
            const Step& s = kSteps[i];
            SCOPED_TRACE(std::string(v.name) + " at " + s.tag);
            fs::remove_all(dir_);
            fs::create_directories(dir_);
            writeGoodTemplates();
            writeFile(paths_.*s.templatePath, v.make(s));
            writeFile(paths_.*s.headerPath, "old header");

            std::string printed;
            EXPECT_EQ(run(s.operation, printed), STATUS_SAVE_FAILED);
            EXPECT_EQ(printed, linesBefore(i) + savingLine(s));
            EXPECT_EQ(readFile(paths_.*s.headerPath), "old header");
            for (size_t k = i + 1; k < firstStepOf(i) + 3; ++k) {
                EXPECT_FALSE(fs::exists(paths_.*kSteps[k].headerPath)) << kSteps[k].tag;
            }
        }
    }
}

TEST_F(HeaderFiles, TemplateThatCannotBeRead) {
    writeGoodTemplates();
    struct Case {
        const char* name;
        size_t step;
        std::string templatePath;
    };
    const Case cases[] = {
        {"missing file, first step", 0, path("missing.tpl")},
        {"missing file, last step", 5, path("missing.tpl")},
        {"a directory", 1, dir_.string()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Step& s = kSteps[c.step];
        std::string printed;
        EXPECT_EQ(runWithPath(s.operation, s.templatePath, c.templatePath, printed), STATUS_SAVE_FAILED);
        EXPECT_EQ(printed, linesBefore(c.step) + "Fail to open " + c.templatePath + "\n");
        EXPECT_FALSE(fs::exists(paths_.*s.headerPath));
    }
}

TEST_F(HeaderFiles, HeaderThatCannotBeWritten) {
    writeGoodTemplates();
    struct Case {
        const char* name;
        size_t step;
        std::string headerPath;
        const char* message;
    };
    const bool haveDevFull = fs::exists("/dev/full");
    std::vector<Case> cases = {
        {"directory missing, round tables", 0, path("no_such_dir/r.h"), "Fail to open "},
        {"directory missing, inverse first round", 5, path("no_such_dir/f.h"), "Fail to open "},
    };
    if (haveDevFull) {
        // Writing to /dev/full opens fine and then fails with ENOSPC.
        cases.push_back({"device full, XOR tables", 1, "/dev/full", "Fail to write "});
        cases.push_back({"device full, final round", 2, "/dev/full", "Fail to write "});
        cases.push_back({"device full, inverse first round", 5, "/dev/full", "Fail to write "});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Step& s = kSteps[c.step];
        std::string printed;
        EXPECT_EQ(runWithPath(s.operation, s.headerPath, c.headerPath, printed), STATUS_SAVE_FAILED);
        const std::string before = linesBefore(c.step);
        EXPECT_EQ(printed, before + savingLine(c.headerPath) + marksOf(s.shape) + " fail\n" + c.message + c.headerPath + "\n");
        EXPECT_EQ(printed.find("success", before.size()), std::string::npos);
    }
    if (!haveDevFull) GTEST_SKIP() << "no /dev/full for the write-error cases";
}

// A storage of the longer keys: every round and XOR header shows its R slots
// (one progress mark each) from the right block, the byte tables as for AES-128.
template <int Rounds>
void expectLongerKeyHeaders(const HeaderFilePaths& paths) {
    SCOPED_TRACE(Rounds);
    auto storage = std::make_unique<TableStorageOf<Rounds>>();
    const std::vector<uint8_t> bytes = testsupport::pseudoRandomBytes(sizeof *storage, Rounds);
    std::memcpy(storage.get(), bytes.data(), bytes.size());
    std::ostringstream ignored;
    std::string texts[6];
    formatRoundTables(storage->enc.roundTables, texts[0], ignored);
    formatXorTables(storage->enc.xorTables, texts[1], ignored);
    formatSingleRoundTable(storage->enc.finalRoundTable, texts[2]);
    formatRoundTables(storage->dec.invRoundTables, texts[3], ignored);
    formatXorTables(storage->dec.invXorTables, texts[4], ignored);
    formatSingleRoundTable(storage->dec.invFirstRoundTable, texts[5]);

    std::ostringstream out;
    ASSERT_EQ(saveEncryptionHeaders(paths, *storage, out), STATUS_OK);
    ASSERT_EQ(saveDecryptionHeaders(paths, *storage, out), STATUS_OK);
    const std::string marks(static_cast<size_t>(Rounds), '.');
    std::string expected;
    for (size_t i = 0; i < 6; ++i) {
        const Step& s = kSteps[i];
        expected += "--- Saving " + paths.*s.headerPath + " header file " +
                    (s.shape == Shape::single ? std::string() : marks) + " success\n";
        std::ifstream header(paths.*s.headerPath, std::ios::binary);
        std::ostringstream content;
        content << header.rdbuf();
        EXPECT_EQ(content.str(), "// generated\nconst unsigned char " + std::string(s.tag) + s.dims + texts[i] + ";\n")
            << s.tag;
    }
    EXPECT_EQ(out.str(), expected);
}

TEST_F(HeaderFiles, LongerKeysSaveTheirRoundSlots) {
    writeGoodTemplates();
    expectLongerKeyHeaders<kAes192Rounds>(paths_);
    expectLongerKeyHeaders<kAes256Rounds>(paths_);
}

} // namespace
