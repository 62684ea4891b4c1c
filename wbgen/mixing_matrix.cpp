// Mixing bijections: random invertible linear maps over GF(2), drawn by
// rejection (draw every entry, keep the matrix if Gauss-Jordan elimination
// finds it invertible, draw again otherwise), as the mixing bijections of
// Chow, Eisen, Johnson and van Oorschot (SAC 2002) require.
#include "wbgen/mixing_matrix.h"

#include <bit>

namespace {

template <typename Row, int N>
uint32_t applyRows(const Row (&rows)[N], Row x) {
    uint32_t y = 0;
    for (int i = 0; i < N; ++i) {
        y |= static_cast<uint32_t>(std::popcount(static_cast<Row>(rows[i] & x)) & 1) << i;
    }
    return y;
}

// Inverts rows in place of a copy, carrying the identity along.
template <typename Row, int N>
bool invertRows(const Row (&rows)[N], Row (&inverse)[N]) {
    Row work[N];
    for (int i = 0; i < N; ++i) {
        work[i] = rows[i];
        inverse[i] = static_cast<Row>(Row{1} << i);
    }
    for (int column = 0; column < N; ++column) {
        const Row bit = static_cast<Row>(Row{1} << column);
        int pivot = column;
        while (pivot < N && (work[pivot] & bit) == 0) ++pivot;
        if (pivot == N) return false;
        if (pivot != column) {
            const Row w = work[pivot];
            work[pivot] = work[column];
            work[column] = w;
            const Row v = inverse[pivot];
            inverse[pivot] = inverse[column];
            inverse[column] = v;
        }
        for (int i = 0; i < N; ++i) {
            if (i != column && (work[i] & bit) != 0) {
                work[i] = static_cast<Row>(work[i] ^ work[column]);
                inverse[i] = static_cast<Row>(inverse[i] ^ inverse[column]);
            }
        }
    }
    return true;
}

} // namespace

uint8_t applyMatrix(const ByteMatrix& m, uint8_t x) {
    return static_cast<uint8_t>(applyRows(m.rows, x));
}

uint32_t applyMatrix(const WordMatrix& m, uint32_t x) {
    return applyRows(m.rows, x);
}

bool invertMatrix(const ByteMatrix& m, ByteMatrix& inverse) {
    return invertRows(m.rows, inverse.rows);
}

bool invertMatrix(const WordMatrix& m, WordMatrix& inverse) {
    return invertRows(m.rows, inverse.rows);
}

void drawInvertibleMatrix(RandomSource& random, ByteMatrix& m, ByteMatrix& inverse) {
    do {
        for (uint8_t& row : m.rows) (void)random.nextByte(256, &row);
    } while (!invertMatrix(m, inverse));
}

void drawInvertibleMatrix(RandomSource& random, WordMatrix& m, WordMatrix& inverse) {
    do {
        for (uint32_t& row : m.rows) {
            uint32_t high = 0;
            uint32_t low = 0;
            (void)random.next(1u << 16, &high);
            (void)random.next(1u << 16, &low);
            row = high << 16 | low;
        }
    } while (!invertMatrix(m, inverse));
}
