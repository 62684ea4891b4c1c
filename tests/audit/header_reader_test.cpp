// The audit's header reader against what a C compiler makes of the same text:
// comments, conditional groups and line splices; C integer literals; linear
// time on hostile input; the size cap and running out of memory.
#include <gtest/gtest.h>

#include <algorithm>

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#if !defined(_WIN32)
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "audit/audit_command.h"
#include "audit/table_headers.h"
#include "base/status.h"
#include "audit_fixture.h"

namespace {

using audittest::audit;
using audittest::TableRun;

const char* const kSeed = "5EED5EED5EED5EED5EED5EED5EED5EED";
const char* const kLiveKey = "000102030405060708090a0b0c0d0e0f";
const char* const kDeadKey = "ffeeddccbbaa99887766554433221100";

struct ReadCase {
    const char* text;
    int32_t status;       // of parseTableText for the table "t" of 4 values
    const char* expected; // the four values as hex text, or a text in the error
};

::testing::AssertionResult readsAs(const ReadCase& c) {
    std::vector<uint8_t> values;
    std::string error;
    const int32_t status = parseTableText(c.text, "t", 4, values, error);
    if (status != c.status) return ::testing::AssertionFailure() << "status " << status << ", error '" << error << "'";
    if (status == STATUS_OK && testsupport::hexText(values.data(), values.size()) != c.expected) {
        return ::testing::AssertionFailure() << "values " << testsupport::hexText(values.data(), values.size());
    }
    if (status == AUDIT_BAD_HEADERS && error.find(c.expected) == std::string::npos) {
        return ::testing::AssertionFailure() << "error '" << error << "'";
    }
    return ::testing::AssertionSuccess();
}

// What the compiler skips, the reader skips; where it cannot tell which of two
// declarations is compiled, it refuses; a file that would not compile is refused.
TEST(AuditReader, SkipsWhatTheCompilerSkips) {
    const ReadCase cases[] = {
        {"t[4] = {1, 2, 3, 4};", STATUS_OK, "01020304"},
        {"#if 0\nt[4] = {9, 9, 9, 9};\n#endif\nt[4] = {1, 2, 3, 4};", STATUS_OK, "01020304"},
        // Nested groups inside a skipped one, #elif and #else after it.
        {"#if 0\n#if 1\nt[4] = {9,9,9,9};\n#else\nt[4] = {8,8,8,8};\n#endif\n#elif 0\nt[4] = {7,7,7,7};\n#else\n"
         "t[4] = {1,2,3,4};\n#endif\n",
         STATUS_OK, "01020304"},
        {"#if 1\nt[4] = {1,2,3,4};\n#elif 1\nt[4] = {9,9,9,9};\n#else\nt[4] = {8,8,8,8};\n#endif\n", STATUS_OK,
         "01020304"},
        {"#ifdef X\n#if 0\nt[4] = {9,9,9,9};\n#endif\n#endif\nt[4] = {1,2,3,4};", STATUS_OK, "01020304"},
        {"#if !1\nt[4] = {9,9,9,9};\n#endif\n#if (0)\nt[4] = {8,8,8,8};\n#endif\n#  if /* c */ 0x0UL // c\n"
         "t[4] = {7,7,7,7};\n#endif\nt[4] = {1,2,3,4};",
         STATUS_OK, "01020304"},
        {"#if \\\n0\nt[4] = {9,9,9,9};\n#endif\nt[4] = {1,2,3,4};", STATUS_OK, "01020304"},
        {"/* t[4] = {9,9,9,9}; */ t[4] = {1,2,3,4};", STATUS_OK, "01020304"},
        {"// t[4] = {9,9,9,9};\nt[4] = {1,2,3,4};", STATUS_OK, "01020304"},
        {"// a spliced comment \\\nt[4] = {9,9,9,9};\nt[4] = {1,2,3,4};", STATUS_OK, "01020304"},
        {"const char* s = \"t[4] = {9,9,9,9};\";\nt[4] = {1,2,3,4};", STATUS_OK, "01020304"},
        // In a skipped group a quote still hides comment marks.
        {"#if 0\nconst char* s = \"/*\";\n#endif\nt[4] = {1,2,3,4};", STATUS_OK, "01020304"},
        // An unterminated quote ends with its line, as GCC lexes it.
        {"#if 0\ndon't /*\n#endif\nt[4] = {1,2,3,4};", STATUS_OK, "01020304"},
        {"#if 0\n/*\n#endif\n*/\nt[4] = {9,9,9,9};\n#endif\nt[4] = {1,2,3,4};", STATUS_OK, "01020304"},
        // Known groups inside the initialiser.
        {"t[4] = {1, 2,\n#if 0\n9,\n#endif\n3, 4};", STATUS_OK, "01020304"},
        {"t[4] = {1, 2, /* 9, */ 3, // 9,\n4};", STATUS_OK, "01020304"},
        {"t[4] = {1, 2, 3, \\\n4};", STATUS_OK, "01020304"},
        {"#if 0\nt[4] = {1,2,3,4};\n#endif\n", 1, ""},
        // Either may be compiled: refused.
        {"#ifdef X\nt[4] = {9,9,9,9};\n#endif\nt[4] = {1,2,3,4};", AUDIT_BAD_HEADERS, "t: declared twice (lines 2 and 4)"},
        {"#if 0\n#elif Y\nt[4] = {9,9,9,9};\n#else\nt[4] = {1,2,3,4};\n#endif\n", AUDIT_BAD_HEADERS,
         "t: declared twice (lines 3 and 5)"},
        {"t[4] = {1,2,3,4};\nt[4] = {1,2,3,4};", AUDIT_BAD_HEADERS, "t: declared twice (lines 1 and 2)"},
        {"t[4] = {1, 2,\n#ifdef X\n3, 4\n#else\n5, 6\n#endif\n};", AUDIT_BAD_HEADERS,
         "t: a conditional of unknown value inside the initialiser"},
        {"t[4] =\n#ifdef X\n{9,9,9,9};\n#else\n{1,2,3,4};\n#endif\n", AUDIT_BAD_HEADERS,
         "t: a conditional of unknown value inside the declaration"},
        // Would not compile.
        {"t[4] = {1,2,3,4};\n#if 0\n", AUDIT_BAD_HEADERS, "#if at line 2 has no #endif"},
        {"t[4] = {1,2,3,4};\n#endif\n", AUDIT_BAD_HEADERS, "#endif at line 2 has no #if"},
        {"#if 1\n#else\n#else\n#endif\nt[4] = {1,2,3,4};", AUDIT_BAD_HEADERS, "#else at line 3 follows #else"},
        {"#elif 1\nt[4] = {1,2,3,4};", AUDIT_BAD_HEADERS, "#elif at line 1 has no #if"},
        {"t[4] = {1,2,3,4}; /* open", AUDIT_BAD_HEADERS, "comment opened at line 1 is not closed"},
        {"t[4] = {1,,2,3,4};", AUDIT_BAD_HEADERS, "t: unexpected comma at value 1"},
        {"t[4] = {1 2 3 4};", AUDIT_BAD_HEADERS, "t: missing comma at value 1"},
    };
    for (const ReadCase& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_TRUE(readsAs(c));
    }
}

// C17 6.4.4.1: the base comes from the prefix ("0" alone is octal), any u/U
// and l/L/ll/LL suffix; anything else is no integer constant.
TEST(AuditReader, ReadsIntegerLiteralsAsC) {
    const ReadCase cases[] = {
        {"t[4] = {010, 0x1F, 0b11, 7};", STATUS_OK, "081f0307"},
        {"t[4] = {0377, 0XfF, 0, 00};", STATUS_OK, "ffff0000"},
        {"t[4] = {1u, 2U, 3ul, 4LLU};", STATUS_OK, "01020304"},
        {"t[4] = {0x1lu, 0Ull, 012L, 255uLL};", STATUS_OK, "01000aff"},
        {"t[4] = {08, 1, 2, 3};", AUDIT_BAD_HEADERS, "t: malformed value at value 0"},
        {"t[4] = {1, 1lL, 2, 3};", AUDIT_BAD_HEADERS, "t: malformed value at value 1"},
        {"t[4] = {1, 2, 1uu, 3};", AUDIT_BAD_HEADERS, "t: malformed value at value 2"},
        {"t[4] = {0x, 1, 2, 3};", AUDIT_BAD_HEADERS, "t: malformed value at value 0"},
        {"t[4] = {1.0, 1, 2, 3};", AUDIT_BAD_HEADERS, "t: malformed value at value 0"},
        {"t[4] = {0xe+1, 1, 2, 3};", AUDIT_BAD_HEADERS, "t: malformed value at value 0"},
        {"t[4] = {0400, 1, 2, 3};", AUDIT_BAD_HEADERS, "t: value out of byte range at value 0"},
        {"t[4] = {1, 99999999999999999999999, 2, 3};", AUDIT_BAD_HEADERS, "t: value out of byte range at value 1"},
        {"t[4] = {1, 'a', 2, 3};", AUDIT_BAD_HEADERS, "t: unexpected character at value 1"},
    };
    for (const ReadCase& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_TRUE(readsAs(c));
    }
}

// Every "0x.." value of text in another form of C literal, in turn: octal,
// decimal with suffixes, upper-case hex with suffixes, binary.
std::string otherLiterals(const std::string& text) {
    std::string out;
    out.reserve(text.size() * 2);
    size_t n = 0;
    for (size_t i = 0; i < text.size();) {
        if (text.compare(i, 2, "0x") != 0) {
            out += text[i++];
            continue;
        }
        size_t end = i + 2;
        while (end < text.size() && std::isxdigit(static_cast<unsigned char>(text[end]))) ++end;
        const unsigned v = static_cast<unsigned>(std::stoul(text.substr(i + 2, end - i - 2), nullptr, 16));
        char form[40];
        switch (n++ % 4) {
        case 0: std::snprintf(form, sizeof form, "0%o", v); break;
        case 1: std::snprintf(form, sizeof form, "%uul", v); break;
        case 2: std::snprintf(form, sizeof form, "0X%XLLU", v); break;
        default: {
            std::string bits = "0b";
            for (int b = 7; b >= 0; --b) bits += (v >> b) & 1u ? '1' : '0';
            std::snprintf(form, sizeof form, "%s", bits.c_str());
        }
        }
        out += form;
        i = end;
    }
    return out;
}

// Six tables of one key in a group a compiler skips, ahead of the real ones:
// the audit reports the real key. Under a condition of unknown value it
// cannot tell which set is compiled and refuses. Literals of any C form give
// the same key as the tool's own hex.
TEST(AuditReader, AuditsTheTablesACompilerWouldBuild) {
    const TableRun dead(kDeadKey, kDeadKey, "", kSeed);
    const TableRun live(kLiveKey, kLiveKey, "/ecbioc:", kSeed);
    ASSERT_TRUE(dead.ok() && live.ok());
    const struct {
        const char* name;
        const char* before; // around the dead tables
        const char* after;
        int32_t status;
        const char* expected; // in the output
    } cases[] = {
        {"#if 0", "#if 0\n", "#endif\n", STATUS_OK, "encryption key: recovered 000102030405060708090a0b0c0d0e0f\n"},
        {"#if 0 #else", "#if 0\n", "#else\n", STATUS_OK, "decryption key: recovered 000102030405060708090a0b0c0d0e0f\n"},
        {"#ifdef", "#ifdef TABRIX_OLD_TABLES\n", "#endif\n", AUDIT_BAD_HEADERS, ": declared twice (lines "},
        {"octal and others", "", "", STATUS_OK, "decryption key: recovered 000102030405060708090a0b0c0d0e0f\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testsupport::TempDir dir;
        const std::vector<std::string> args = audittest::writeHeaders(dir, [&](int i) {
            std::string text = testsupport::readFile(live.header(i));
            if (*c.before != '\0') {
                text = c.before + testsupport::readFile(dead.header(i)) + c.after + text;
                if (std::string(c.after) == "#else\n") text += "#endif\n";
            } else {
                text = otherLiterals(text);
            }
            return text;
        });
        const audittest::AuditRun result = audit(args);
        EXPECT_EQ(result.status, c.status) << result.output;
        EXPECT_NE(result.output.find(c.expected), std::string::npos) << result.output.substr(0, 2000);
        EXPECT_EQ(result.output.find(kDeadKey), std::string::npos);
        if (c.status == STATUS_OK) {
            EXPECT_NE(result.output.find("encryption key: recovered " + std::string(kLiveKey)), std::string::npos);
            EXPECT_NE(result.output.find("external input coding: recovered"), std::string::npos);
        }
    }
}

// Hostile text of 16 MB each, read in one pass: the ctest entry that runs
// this suite has a timeout a quadratic reader cannot meet (tests/CMakeLists.txt).
TEST(AuditReaderScale, HostileTextIsReadInLinearTime) {
    const size_t size = size_t{16} << 20;
    auto repeat = [size](const std::string& unit) {
        std::string text;
        text.reserve(size + unit.size());
        while (text.size() < size) text += unit;
        return text;
    };
    const struct {
        const char* name;
        std::string text;
        int32_t status;
        const char* error;
    } cases[] = {
        {"name and bracket", repeat("xorTables["), 1, ""},
        {"name and equals", repeat("xorTables = "), 1, ""},
        {"names", repeat("xorTables "), 1, ""},
        {"open braces", "xorTables = " + repeat("{"), AUDIT_BAD_HEADERS, "xorTables: truncated after 0 of 16 values"},
        {"values", "xorTables = {" + repeat("0x1, "), AUDIT_BAD_HEADERS, "xorTables: more than 16 values"},
        {"nested groups", repeat("#if 1\n"), AUDIT_BAD_HEADERS, "conditionals nested more than 4096 deep at line 4097"},
        {"nested dead groups", "#if 0\n" + repeat("#if 1\n"), AUDIT_BAD_HEADERS, "nested more than 4096 deep"},
        {"comment marks", repeat("/*/"), 1, ""},
        {"splices", "xorTables[16] = {" + repeat("\\\n") + "}", AUDIT_BAD_HEADERS, "xorTables: 0 values, expected 16"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> values;
        std::string error;
        EXPECT_EQ(parseTableText(c.text, "xorTables", 16, values, error), c.status) << error;
        EXPECT_NE(error.find(c.error), std::string::npos) << error;
    }
}

// A script or header above the cap is refused before it is read (sparse
// files of 3 GiB); one at the cap is read. A mix header without its table is
// refused as malformed too.
TEST(AuditReader, InputsAboveTheCapAreRefused) {
    const TableRun run(kLiveKey, kLiveKey, "", kSeed, {}, true);
    ASSERT_TRUE(run.ok()) << run.output();
    const std::string limit = "larger than 64 MiB, the most the audit reads";
    const struct {
        const char* file;
        uintmax_t size;      // sparse size, or 0: the file holds content instead
        const char* content;
        int32_t status;
        const char* text;
    } cases[] = {
        {"out/roundTable.h", uintmax_t{3} << 30, "", AUDIT_BAD_HEADERS, "out/roundTable.h: "},
        {"out/invMixXorTables.h", uintmax_t{3} << 30, "", AUDIT_BAD_HEADERS, "out/invMixXorTables.h: "},
        {"tables.cfg", uintmax_t{3} << 30, "", AUDIT_BAD_HEADERS, "tables.cfg: "},
        {"out/xorTable.h", kAuditInputCap + 1, "", AUDIT_BAD_HEADERS, "out/xorTable.h: "},
        {"out/xorTable.h", kAuditInputCap, "", STATUS_OK, "encryption key: recovered 000102030405060708090a0b0c0d0e0f"},
        {"out/mixTables.h", 0, "/* no table */\n", AUDIT_BAD_HEADERS,
         "out/mixTables.h: no mixTables declaration found\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " " + std::to_string(c.size));
        const std::string path = run.file(c.file);
        const std::string saved = testsupport::readFile(path);
        if (c.size == 0) testsupport::writeFile(path, c.content);
        else std::filesystem::resize_file(path, c.size);
        const audittest::AuditRun result = audit({run.script()});
        std::filesystem::resize_file(path, 0);
        testsupport::writeFile(path, saved);
        EXPECT_EQ(result.status, c.status) << result.output;
        // Paths as the audit prints them ("\\" between folders on Windows), read with "/".
        std::string printed = result.output;
        std::replace(printed.begin(), printed.end(), '\\', '/');
        std::string expectedPath = path;
        std::replace(expectedPath.begin(), expectedPath.end(), '\\', '/');
        EXPECT_NE(printed.find(c.text), std::string::npos) << result.output;
        if (c.status != STATUS_OK) {
            EXPECT_EQ(printed.find("key: recovered"), std::string::npos);
        }
        if (c.size > kAuditInputCap) {
            EXPECT_NE(printed.find("ERROR: " + expectedPath + ": " + limit), std::string::npos) << result.output;
        }
    }
}

#if !defined(__SANITIZE_ADDRESS__) && !defined(_WIN32)
// runAudit in a child process under an address-space limit.
audittest::AuditRun auditWithMemoryLimit(const std::vector<std::string>& args, size_t headroom) {
    int fds[2];
    if (pipe(fds) != 0) return {-1, "no pipe"};
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        long pages = 0;
        if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
            if (std::fscanf(statm, "%ld", &pages) != 1) pages = 0;
            std::fclose(statm);
        }
        const rlim_t limit = static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) + headroom;
        const rlimit rl = {limit, limit};
        setrlimit(RLIMIT_AS, &rl);
        std::ostringstream out;
        const int32_t status = runAudit(args, out);
        const std::string text = out.str();
        if (write(fds[1], text.data(), text.size()) < 0) _exit(99);
        _exit(static_cast<int>(status));
    }
    close(fds[1]);
    std::string output;
    char chunk[4096];
    for (ssize_t n; (n = read(fds[0], chunk, sizeof chunk)) > 0;) output.append(chunk, static_cast<size_t>(n));
    close(fds[0]);
    int wstatus = 0;
    waitpid(pid, &wstatus, 0);
    return {WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1, output};
}

// A header under the cap that still does not fit in memory: status 34 and a
// message, not an abort.
TEST(AuditReader, OutOfMemoryIsAStatus) {
    const TableRun run(kLiveKey, kLiveKey, "", kSeed);
    ASSERT_TRUE(run.ok()) << run.output();
    // 60 MB of comment after the table, read under 40 MB of headroom.
    const std::string path = run.header(1);
    testsupport::writeFile(path, testsupport::readFile(path) + "/*" + std::string(60u << 20, ' ') + "*/\n");
    const audittest::AuditRun result = auditWithMemoryLimit({run.script()}, size_t{40} << 20);
    EXPECT_EQ(result.status, STATUS_OUT_OF_MEMORY) << result.output;
    EXPECT_NE(result.output.find("ERROR: out of memory\n"), std::string::npos) << result.output;
    EXPECT_EQ(result.output.find("key: recovered"), std::string::npos);
}
#endif

} // namespace
