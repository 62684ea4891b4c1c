// AES constant tables (FIPS-197) and GF(2^8) multiplication, shared by the
// reference cipher and the table generators.
#pragma once
#include <cstdint>

extern const uint8_t aesSbox[256];    // S-box, FIPS-197 Figure 7
extern const uint8_t aesInvSbox[256]; // inverse S-box, FIPS-197 Figure 14

// Product of a and b in GF(2^8) modulo x^8 + x^4 + x^3 + x + 1, through the
// logarithm and antilogarithm tables to the generator 03 (0 if either is 0).
uint8_t gfMultiply(uint8_t a, uint8_t b);
