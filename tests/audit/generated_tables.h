// Table sets of any key size made in process by the generators, as plain
// bytes, for the audit tests: the generators' headers and the audit's cannot
// meet in one file (each has its own Direction).
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace audittest {

// One direction's blocks in storage order; mix and mixXor empty for the
// classic format. inputForward[m]: the forward table of input coding record m
// (identity without codings).
struct GeneratedDirection {
    std::vector<uint8_t> round;
    std::vector<uint8_t> xors;
    std::vector<uint8_t> last;
    std::vector<uint8_t> mix;
    std::vector<uint8_t> mixXor;
    std::array<std::array<uint8_t, 256>, 16> inputForward{};
};

struct GeneratedSet {
    int rounds = 10;
    std::string key; // hex text, 32, 48 or 64 digits
    GeneratedDirection encrypt;
    GeneratedDirection decrypt;
};

// Both directions of a random key of `rounds` rounds (10, 12 or 14) drawn
// from seed, classic or mixed, with ECB codings or none. The generators'
// status (0 on success).
int32_t generateTables(int rounds, bool mixed, bool ecbCodings, uint32_t seed, GeneratedSet& out);

} // namespace audittest
