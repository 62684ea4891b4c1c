// Random invertible matrices over GF(2) of size 8 and 32: the mixing bijections
// of the mixed table format. A matrix is held as its rows, row i a bit mask
// whose set bits are the input bits that sum into output bit i.
#pragma once
#include <cstdint>

#include "coding/random_source.h"

// An 8x8 matrix on a byte (bit i of the byte is bit i of the vector).
struct ByteMatrix {
    uint8_t rows[8];
};

// A 32x32 matrix on a column word: byte b of a column is bits 8b..8b+7.
struct WordMatrix {
    uint32_t rows[32];
};

uint8_t applyMatrix(const ByteMatrix& m, uint8_t x);
uint32_t applyMatrix(const WordMatrix& m, uint32_t x);

// Gauss-Jordan elimination. True and inverse filled when m is invertible;
// false (inverse unspecified) when it is singular.
bool invertMatrix(const ByteMatrix& m, ByteMatrix& inverse);
bool invertMatrix(const WordMatrix& m, WordMatrix& inverse);

// Draws uniformly random matrices from random until one is invertible (about
// 29% of 8x8 and of 32x32 matrices are), and returns it with its inverse.
// Every row is one draw (32-bit rows are two 16-bit draws).
void drawInvertibleMatrix(RandomSource& random, ByteMatrix& m, ByteMatrix& inverse);
void drawInvertibleMatrix(RandomSource& random, WordMatrix& m, WordMatrix& inverse);
