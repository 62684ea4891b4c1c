// Helpers shared by the test programs.
#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "base/hex_text.h"
#include "base/no_copy.h"

// A test that needs what only POSIX systems have (fork, FIFOs, umask, setrlimit,
// SIGKILL, the preloaded fault library). Its definition stands under
// #ifndef _WIN32; on Windows this stands in for it and says why it skips:
//   #else
//   POSIX_ONLY_TEST(SafeOutputs, KilledAnywhere, "SIGKILL crash loop")
//   #endif
#define POSIX_ONLY_TEST(suite, name, reason) \
    TEST(suite, name) { GTEST_SKIP() << "POSIX only: " reason; }

namespace testsupport {

// Bytes of a hex text ("000102..."); the text must have an even number of digits.
std::vector<uint8_t> hexBytes(const std::string& hex);

// Lower-case hex text of n bytes: the tool's own.
using ::hexText;

// Fills n bytes from a deterministic generator (not the tool's random source).
std::vector<uint8_t> pseudoRandomBytes(size_t n, uint32_t seed);

struct RunResult {
    int status = -1;    // exit status, or -1 when the process did not exit normally
    std::string output; // everything written to standard output
    std::string errors; // everything written to standard error
};

// Runs the built tool with the given arguments in directory cwd and collects
// its output. extraSetup, if given, runs in the child before exec (e.g. limits).
RunResult runTool(const std::vector<std::string>& args, const std::filesystem::path& cwd,
                  void (*extraSetup)() = nullptr);

// How to run the tool beyond its arguments.
struct RunOptions {
    // Variables set for the tool (e.g. those of the fault library below).
    std::vector<std::pair<std::string, std::string>> environment;
    // With the fault library preloaded (time, rename, fsync and close faults).
    bool faults = false;
    // The tool is killed (and reports -1) when it runs longer than this.
    unsigned timeoutSeconds = 60;
    // The umask it runs under; negative keeps the test's own.
    int umask = -1;
    void (*extraSetup)() = nullptr;
};
RunResult runTool(const std::vector<std::string>& args, const std::filesystem::path& cwd,
                  const RunOptions& options);

// Starts the tool without waiting, its output discarded; returns its process id.
int startTool(const std::vector<std::string>& args, const std::filesystem::path& cwd,
              const RunOptions& options = {});
// Waits for a started tool; its exit status, or -1 when it did not exit normally.
int waitTool(int pid);

// The fault library's variables (tests/support/fault_preload.c):
//   TABRIX_FAKE_TIME   the clock's time() in seconds;
//   TABRIX_FAIL_CALL   "rename", "fsync" or "close": that call fails with EIO
//   TABRIX_FAIL_MATCH  ... when its path (a rename's target, the file behind an
//                      fd) contains this text,
//   TABRIX_FAIL_SKIP   ... after this many such calls went through.

// This test process's id (for names that must not clash between processes).
int processId();

// A fresh empty directory under the system temporary directory, removed when
// the object goes out of scope.
class TempDir : NoCopy {
public:
    TempDir();
    ~TempDir();
    const std::filesystem::path& path() const { return path_; }
    // name is UTF-8, as every path the tests give the tool.
    std::filesystem::path operator/(const std::string& name) const;

private:
    std::filesystem::path path_;
};

std::string readFile(const std::filesystem::path& path);
// Equal byte strings; otherwise says where they first differ (never the whole
// text of large files).
::testing::AssertionResult sameBytes(const std::string& a, const std::string& b);
::testing::AssertionResult sameFile(const std::filesystem::path& a, const std::filesystem::path& b);
void writeFile(const std::filesystem::path& path, const std::string& content);

} // namespace testsupport
