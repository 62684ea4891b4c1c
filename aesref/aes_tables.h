// AES constant tables (FIPS-197) and GF(2^8) multiplication, shared by the
// reference cipher and the table generators.
#pragma once
#include <cstdint>

extern const uint8_t aesSbox[256];    // S-box, FIPS-197 Figure 7
extern const uint8_t aesInvSbox[256]; // inverse S-box, FIPS-197 Figure 14

// Round constants 01, 02, 04, ... (x^(i) in GF(2^8)), FIPS-197 Section 5.2, as
// 32-bit words whose upper three bytes are zero; 30 entries cover every
// Rijndael key and block length.
extern const uint32_t aesRoundConstant[30];
// Coefficients of the MixColumns matrix row 0 (02 03 01 01) and of its inverse
// (0E 0B 0D 09), FIPS-197 Sections 5.1.3 and 5.3.3; row i is row 0 rotated right by i.
extern const uint8_t aesMixCoefficients[4];
extern const uint8_t aesInvMixCoefficients[4];

// Product of a and b in GF(2^8) modulo x^8 + x^4 + x^3 + x + 1, through the
// logarithm and antilogarithm tables to the generator 03 (0 if either is 0).
uint8_t gfMultiply(uint8_t a, uint8_t b);
