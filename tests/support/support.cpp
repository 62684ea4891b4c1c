#include "support/support.h"

#include <algorithm>
#include <atomic>
#include <cassert>
#include <fstream>
#include <iterator>

#include "base/text_path.h"

namespace testsupport {

std::vector<uint8_t> hexBytes(const std::string& hex) {
    assert(hex.size() % 2 == 0);
    std::vector<uint8_t> bytes(hex.size() / 2);
    for (size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<uint8_t>(std::stoul(hex.substr(2 * i, 2), nullptr, 16));
    }
    return bytes;
}

std::vector<uint8_t> pseudoRandomBytes(size_t n, uint32_t seed) {
    std::vector<uint8_t> bytes(n);
    uint64_t x = seed * 0x9E3779B97F4A7C15ULL + 1;
    for (auto& b : bytes) {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        b = static_cast<uint8_t>(x >> 24);
    }
    return bytes;
}

RunResult runTool(const std::vector<std::string>& args, const std::filesystem::path& cwd, void (*extraSetup)()) {
    RunOptions options;
    options.extraSetup = extraSetup;
    return runTool(args, cwd, options);
}

TempDir::TempDir() {
    static std::atomic<int> counter{0};
    const auto base = std::filesystem::temp_directory_path();
    for (;;) {
        path_ = base / ("tabrix-test-" + std::to_string(processId()) + "-" +
                        std::to_string(counter++));
        if (std::filesystem::create_directory(path_)) break;
    }
}

std::filesystem::path TempDir::operator/(const std::string& name) const { return path_ / pathFromUtf8(name); }

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::string readFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void writeFile(const std::filesystem::path& path, const std::string& content) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(content.data(), static_cast<std::streamsize>(content.size()));
}

::testing::AssertionResult sameBytes(const std::string& a, const std::string& b) {
    if (a == b) return ::testing::AssertionSuccess();
    size_t at = 0;
    while (at < a.size() && at < b.size() && a[at] == b[at]) ++at;
    auto around = [at](const std::string& text) {
        const size_t from = at < 16 ? 0 : at - 16;
        std::string quoted(1, '"');
        quoted.append(text, std::min(from, text.size()), 48);
        quoted.push_back('"');
        return quoted;
    };
    return ::testing::AssertionFailure() << "sizes " << a.size() << " and " << b.size()
                                         << ", first difference at byte " << at << ": " << around(a)
                                         << " vs " << around(b);
}

::testing::AssertionResult sameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
    ::testing::AssertionResult result = sameBytes(readFile(a), readFile(b));
    if (!result) result << " (" << a.string() << " vs " << b.string() << ")";
    return result;
}

} // namespace testsupport
