// Helpers shared by the test programs.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

// Bytes of a hex text ("000102..."); the text must have an even number of digits.
std::vector<uint8_t> hexBytes(const std::string& hex);

// Fills n bytes from a deterministic generator (not the tool's random source).
std::vector<uint8_t> pseudoRandomBytes(size_t n, uint32_t seed);

} // namespace testsupport
