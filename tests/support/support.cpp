#include "support/support.h"

#include <cassert>

namespace testsupport {

std::vector<uint8_t> hexBytes(const std::string& hex) {
    assert(hex.size() % 2 == 0);
    std::vector<uint8_t> bytes(hex.size() / 2);
    for (size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<uint8_t>(std::stoul(hex.substr(2 * i, 2), nullptr, 16));
    }
    return bytes;
}

std::string hexText(const uint8_t* bytes, size_t n) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (size_t i = 0; i < n; ++i) {
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 15];
    }
    return text;
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

} // namespace testsupport
