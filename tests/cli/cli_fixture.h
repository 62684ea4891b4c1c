// A temporary working folder with templates and a configuration script for
// running the real tool end to end.
#pragma once
#include <map>
#include <string>
#include <vector>

#include "coding/codings.h"
#include "support/support.h"
#include "wbgen/mixed_table_storage.h"
#include "wbgen/table_storage.h"

namespace clitest {

// The twelve HEADER_FILES keys with the values the default script gives them.
extern const std::vector<std::pair<std::string, std::string>> kHeaderKeys;
// The six header paths, encryption ones first.
extern const std::vector<std::string> kHeaders;
// The mixed format's eight HEADER_FILES keys and TABLES/format = mixed, as
// script changes; and its four new header paths, encryption ones first.
extern const std::map<std::string, std::string> kMixedKeys;
extern const std::vector<std::string> kMixedHeaders;

class ToolFolder {
public:
    ToolFolder(); // writes the ten templates under tpl/ and creates out/

    const std::filesystem::path& path() const { return dir_.path(); }
    // name is UTF-8, as every path the tests give the tool.
    std::filesystem::path operator/(const std::string& name) const { return dir_ / name; }

    // Writes a script: every key of the default script, with `changes` applied
    // (an empty value writes "key =", a value "<absent>" drops the key).
    void writeScript(const std::string& name,
                     const std::map<std::string, std::string>& changes = {}) const;

    testsupport::RunResult run(const std::vector<std::string>& args) const {
        return testsupport::runTool(args, path());
    }
    testsupport::RunResult run(const std::vector<std::string>& args,
                               const testsupport::RunOptions& options) const {
        return testsupport::runTool(args, path(), options);
    }

    std::string absolute(const std::string& name) const { return (path() / name).string(); }

private:
    testsupport::TempDir dir_;
};

// A fixed random seed for scripts whose commands must not depend on the clock:
// a CBC coding record fails all its attempts now and then (status 28), so tests
// that need "/cbcioc:" to succeed give it a seed known to work.
extern const char* const kFixedSeed;

// changes plus RANDOM/seed = kFixedSeed.
std::map<std::string, std::string> seeded(std::map<std::string, std::string> changes = {});

// The verdict frame of "/g:" for a failure with the given status.
std::string failFrame(int status);

// The expected output of a fully successful "/g:" run with the default paths.
std::string successOutput(const std::string& absoluteScript);


// Reads the six headers written with the default paths back into a table
// storage of R = 10, 12 or 14 rounds: the values after " = {" are the table's
// bytes in storage order. Returns false if a header is missing or holds the
// wrong number of values.
template <int Rounds>
bool loadHeaders(const ToolFolder& folder, TableStorageOf<Rounds>& storage);
// The same for the ten headers of the mixed format.
template <int Rounds>
bool loadMixedHeaders(const ToolFolder& folder, MixedTableStorageOf<Rounds>& storage);

// Reads the coding set at byte offset `offset` of a coding file.
bool loadCodingSet(const std::filesystem::path& file, size_t offset, CodingSet& set);

} // namespace clitest
