// Constant tables and GF(2^8) multiplication, checked against a
// shift-and-add multiplication and the FIPS-197 Section 5.1.1 construction.
#include "aesref/aes_tables.h"

#include <gtest/gtest.h>

namespace {

// Carry-less multiplication reduced by x^8 + x^4 + x^3 + x + 1, bit by bit.
uint8_t slowMultiply(uint8_t a, uint8_t b) {
    unsigned product = 0;
    unsigned x = a;
    for (unsigned y = b; y != 0; y >>= 1) {
        if (y & 1U) {
            product ^= x;
        }
        x <<= 1;
        if (x & 0x100U) {
            x ^= 0x11bU;
        }
    }
    return static_cast<uint8_t>(product);
}

TEST(AesTables, MultiplicationMatchesShiftAndAddForEveryPair) {
    for (unsigned a = 0; a < 256; ++a) {
        for (unsigned b = 0; b < 256; ++b) {
            ASSERT_EQ(gfMultiply(static_cast<uint8_t>(a), static_cast<uint8_t>(b)),
                      slowMultiply(static_cast<uint8_t>(a), static_cast<uint8_t>(b)))
                << a << " * " << b;
        }
    }
    // FIPS-197 Section 4.2 example: {57} * {83} = {c1}; 4.2.1: {57} * {13} = {fe}.
    EXPECT_EQ(gfMultiply(0x57, 0x83), 0xc1);
    EXPECT_EQ(gfMultiply(0x57, 0x13), 0xfe);
}

TEST(AesTables, SboxIsAffineMapOfInverse) {
    for (unsigned a = 0; a < 256; ++a) {
        uint8_t inverse = 0;
        for (unsigned b = 1; b < 256 && a != 0; ++b) {
            if (slowMultiply(static_cast<uint8_t>(a), static_cast<uint8_t>(b)) == 1) {
                inverse = static_cast<uint8_t>(b);
            }
        }
        unsigned s = inverse;
        for (int shift = 1; shift <= 4; ++shift) {
            s ^= ((inverse << shift) | (inverse >> (8 - shift))) & 0xffU;
        }
        s ^= 0x63U;
        EXPECT_EQ(aesSbox[a], s) << a;
        EXPECT_EQ(aesInvSbox[aesSbox[a]], a) << a;
    }
}

TEST(AesTables, RoundConstantsArePowersOfTwo) {
    uint8_t power = 1;
    for (int i = 0; i < 30; ++i) {
        EXPECT_EQ(aesRoundConstant[i], power) << i;
        power = slowMultiply(power, 2);
    }
    EXPECT_EQ(aesRoundConstant[8], 0x1bU);
    EXPECT_EQ(aesRoundConstant[9], 0x36U);
}

TEST(AesTables, InverseMixColumnsMatrixIsInverse) {
    // Circulant matrices multiply like polynomials mod x^4 + 1 (FIPS-197 4.3).
    for (int i = 0; i < 4; ++i) {
        uint8_t sum = 0;
        for (int k = 0; k < 4; ++k) {
            sum ^= gfMultiply(aesMixCoefficients[k], aesInvMixCoefficients[(i - k + 4) % 4]);
        }
        EXPECT_EQ(sum, i == 0 ? 1 : 0) << i;
    }
}

} // namespace
