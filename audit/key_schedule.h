// The AES-128 key schedule in both directions, for turning any recovered round
// key back into the cipher key.
#pragma once
#include <array>
#include <cstdint>

// roundKeys[r][row][column]: byte `row` of word w[4r + column] (FIPS-197 5.2).
using RoundKeys = std::array<std::array<std::array<uint8_t, 4>, 4>, 11>;
using RoundKey = std::array<std::array<uint8_t, 4>, 4>;

// Expands a cipher key (block byte order: byte 4c + row) into its 11 round keys.
RoundKeys expandKey(const std::array<uint8_t, 16>& key);
// Runs the schedule backwards from round key `round` (0..10) to the cipher key.
std::array<uint8_t, 16> cipherKeyFromRoundKey(const RoundKey& roundKey, int round);
