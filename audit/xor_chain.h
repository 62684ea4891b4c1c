// Normalising one chain of three 4-bit XOR tables.
#pragma once
#include <array>
#include <cstdint>

// The nibble codings of one XOR chain, as far as the tables fix them: for the
// four contributions P0..P3 and for the chain's result, the map from coded
// nibble to a value that equals A·(plain nibble) ^ constant, with one unknown
// invertible linear A shared by all five. Under these maps the chain computes
// plain XOR: result = P0 ^ P1 ^ P2 ^ P3.
struct NormalisedChain {
    std::array<std::array<uint8_t, 16>, 4> input{};
    std::array<uint8_t, 16> output{};
};

// stages[q] points to the 256 entries of stage q's XOR table, indexed
// (new contribution << 4) | running sum. false when the tables are not an XOR
// chain under nibble bijections (checked on every entry).
bool normaliseChain(const uint8_t* const stages[3], NormalisedChain& chain);
