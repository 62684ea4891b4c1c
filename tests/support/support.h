// Helpers shared by the test programs.
#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace testsupport {

// Bytes of a hex text ("000102..."); the text must have an even number of digits.
std::vector<uint8_t> hexBytes(const std::string& hex);

// Lower-case hex text of n bytes.
std::string hexText(const uint8_t* bytes, size_t n);

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

// A fresh empty directory under the system temporary directory, removed when
// the object goes out of scope.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

std::string readFile(const std::filesystem::path& path);
void writeFile(const std::filesystem::path& path, const std::string& content);

} // namespace testsupport
