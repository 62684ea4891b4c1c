// The AES key schedule for 128-, 192- and 256-bit keys in both directions,
// for turning recovered round keys back into the cipher key.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

// roundKey[row][column]: byte `row` of word w[4r + column] (FIPS-197 5.2).
using RoundKey = std::array<std::array<uint8_t, 4>, 4>;
// Round keys 0..R of a key of R rounds.
using RoundKeys = std::vector<RoundKey>;
// A cipher key in block byte order (byte 4c + row of word c): 16, 24 or 32 bytes.
using CipherKey = std::vector<uint8_t>;

// R of a key of `bytes` bytes (10, 12 or 14), 0 for any other length.
constexpr int roundsOfKeyBytes(size_t bytes) {
    return bytes == 16 ? 10 : bytes == 24 ? 12 : bytes == 32 ? 14 : 0;
}
// The key length of R rounds in bytes: 16, 24 or 32.
constexpr size_t keyBytesOfRounds(int rounds) { return static_cast<size_t>(4 * (rounds - 6)); }

// Expands a cipher key of 16, 24 or 32 bytes into its R + 1 round keys; empty
// for any other length.
RoundKeys expandKey(std::span<const uint8_t> key);
// AES-128: runs the schedule backwards from round key `round` (0..10) to the
// cipher key; one round key determines the others.
std::array<uint8_t, 16> cipherKeyFromRoundKey(const RoundKey& roundKey, int round);
// Any key size: the cipher key of R rounds whose round keys `round` and
// `round` + 1 are these (0 <= round < R). Two consecutive round keys are eight
// schedule words, enough for the six of AES-192 and the eight of AES-256; for
// AES-128 the first one alone decides and the second must follow from it.
// Nothing when they belong to no key (the words the key fixes disagree).
std::optional<CipherKey> cipherKeyFromRoundKeys(const RoundKey& first, const RoundKey& second, int round,
                                                int rounds);
