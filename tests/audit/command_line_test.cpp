// The audit's command line and its reading of a script's [HEADER_FILES].
#include <gtest/gtest.h>

#include <filesystem>

#include "audit/audit_script.h"
#include "base/status.h"
#include "audit_fixture.h"

namespace {

using audittest::audit;

// Runs the body with the current directory set to dir, then restores it.
class CurrentDirectory {
public:
    explicit CurrentDirectory(const std::filesystem::path& dir) : saved_(std::filesystem::current_path()) {
        std::filesystem::current_path(dir);
    }
    ~CurrentDirectory() { std::filesystem::current_path(saved_); }

private:
    std::filesystem::path saved_;
};

TEST(AuditScript, ReadsOnlyTheHeaderPathsWithTheToolsReadingRules) {
    testsupport::TempDir dir;
    const std::string script = (dir / "s.cfg").string();
    // BOM, CRLF, comments, names in any case, blanks around "=", the value
    // after the first "=", the first occurrence winning, other sections ignored.
    testsupport::writeFile(script,
                           "\xEF\xBB\xBF; comment\r\n[KEY_VALUE]\r\nroundTable = not/this.h\r\n"
                           "[header_files]\r\n# roundTable = commented.h\r\n  ROUNDTABLE =  a/../r.h  \r\n"
                           "roundTable = second.h\r\nxorTableTpl = t.tpl\r\nxortable=x=y.h\r\n"
                           "finalRoundTable =\r\ninvFirstRoundTable = /abs/f.h\r\n[IOC_FILES]\r\n"
                           "invRoundTable = not/this/either.h\r\n");
    const CurrentDirectory here(dir.path());
    std::vector<std::string> paths;
    ASSERT_EQ(readHeaderPaths("s.cfg", paths), STATUS_OK);
    // An absolute path stays as it is (on Windows it gains the current drive).
    const std::string absolute = std::filesystem::absolute("/abs/f.h").lexically_normal().string();
    const std::vector<std::string> expected = {(dir / "r.h").string(), (dir / "x=y.h").string(), absolute};
    EXPECT_EQ(paths, expected);

    testsupport::writeFile(script, "[HEADER_FILES]\nroundTableTpl = t.tpl\n");
    EXPECT_EQ(readHeaderPaths("s.cfg", paths), STATUS_MISSING_VALUE);
    EXPECT_EQ(readHeaderPaths("missing.cfg", paths), STATUS_OPEN_FAILED);
}

TEST(AuditScript, RelativeHeaderPathsResolveAgainstTheCurrentDirectory) {
    const std::string key = audittest::randomKey(31);
    const audittest::TableRun run(key, audittest::randomKey(32), "", "5EED5EED5EED5EED5EED5EED5EED5EED");
    ASSERT_TRUE(run.ok());
    // A script elsewhere names the headers relative to the current directory.
    testsupport::TempDir elsewhere;
    const std::filesystem::path headers = std::filesystem::path(run.header(0)).parent_path();
    testsupport::writeFile((elsewhere / "a.cfg").string(),
                           "[HEADER_FILES]\nroundTable = out/roundTable.h\nxorTable = out/xorTable.h\n"
                           "finalRoundTable = ./out/finalRoundTable.h\n");
    const CurrentDirectory here(headers.parent_path());
    const audittest::AuditRun result = audit({"--check", key, (elsewhere / "a.cfg").string()});
    EXPECT_EQ(result.status, STATUS_OK) << result.output;
    EXPECT_EQ(result.output.rfind("Reading '" + (elsewhere / "a.cfg").string() + "' ...\n", 0), 0u);
}

TEST(AuditCommandLine, ErrorsAndUsage) {
    const audittest::TableRun run(audittest::randomKey(41), audittest::randomKey(42), "",
                                  "5EED5EED5EED5EED5EED5EED5EED5EED");
    ASSERT_TRUE(run.ok());
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* text;
    };
    const Case cases[] = {
        {{}, AUDIT_USAGE, "Usage: tabrix-audit"},
        {{"--headers"}, AUDIT_USAGE, "Usage: tabrix-audit"},
        {{"a.cfg", "b.cfg"}, AUDIT_USAGE, "ERROR: unexpected argument 'b.cfg'"},
        {{"--check", "0011", "a.cfg"}, AUDIT_USAGE, "ERROR: bad key '0011'"},
        {{"--bogus", "a.cfg"}, AUDIT_USAGE, "ERROR: unexpected argument '--bogus'"},
        {{"a.cfg", "--headers", "x.h"}, AUDIT_USAGE, "Usage: tabrix-audit"},
        {{"missing.cfg"}, STATUS_OPEN_FAILED, "ERROR: cannot read the script"},
        {{"--headers", "missing.h"}, STATUS_OPEN_FAILED, "ERROR: cannot read "},
        {{"--headers", run.header(0), run.header(1)}, AUDIT_BAD_HEADERS, "no finalRoundTable among the headers"},
        {{"--headers", run.header(0), run.header(1), run.header(2), run.header(0)}, AUDIT_BAD_HEADERS,
         "roundTables found in two headers"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const audittest::AuditRun result = audit(c.args);
        EXPECT_EQ(result.status, c.status);
        EXPECT_NE(result.output.find(c.text), std::string::npos) << result.output;
    }
}

} // namespace
