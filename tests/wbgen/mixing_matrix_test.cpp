// Mixing bijections: every matrix the mixed generator draws is invertible and
// carries its inverse; the solver tells singular matrices apart; the mixed
// tables are no longer the classic ones.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <sstream>

#include "support/table_sets.h"
#include "support/support.h"
#include "wbgen/mixing_matrix.h"

namespace {

RandomState fixedState(uint32_t seed) {
    RandomState state{};
    const auto bytes = testsupport::pseudoRandomBytes(16, seed);
    std::copy(bytes.begin(), bytes.end(), state.begin());
    return state;
}

// m(inverse(e_i)) = e_i and inverse(m(e_i)) = e_i for every unit vector.
template <typename Matrix, typename Word>
bool inverts(const Matrix& m, const Matrix& inverse, int size) {
    for (int i = 0; i < size; ++i) {
        const Word unit = static_cast<Word>(Word{1} << i);
        if (applyMatrix(m, applyMatrix(inverse, unit)) != unit) return false;
        if (applyMatrix(inverse, applyMatrix(m, unit)) != unit) return false;
    }
    return true;
}

} // namespace

TEST(MixingMatrix, EveryDrawnMatrixIsInvertibleWithTheInverseUsed) {
    testsupport::TableSet made;
    ASSERT_EQ(testsupport::makeTableSet(testsupport::TableKind::Mixed, "2b7e151628aed2a6abf7158809cf4f3c",
                                        fixedState(7), testsupport::Codings::None, made),
              STATUS_OK);
    const testsupport::TableSet* tables = &made;
    for (const MixingBijections* mixing : {tables->encMixing.get(), tables->decMixing.get()}) {
        for (int stage = 0; stage <= kTableRounds; ++stage) {
            for (int m = 0; m < 16; ++m) {
                EXPECT_TRUE((inverts<ByteMatrix, uint8_t>(mixing->byteMixing[stage][m],
                                                          mixing->byteUnmixing[stage][m], 8)))
                    << stage << " " << m;
            }
        }
        for (int stage = 0; stage < kTableRounds; ++stage) {
            for (int c = 0; c < 4; ++c) {
                EXPECT_TRUE((inverts<WordMatrix, uint32_t>(mixing->wordMixing[stage][c],
                                                           mixing->wordUnmixing[stage][c], 32)))
                    << stage << " " << c;
            }
        }
        // Drawn, not fixed: the byte matrices of a stage are not all alike.
        EXPECT_NE(std::memcmp(&mixing->byteMixing[1][0], &mixing->byteMixing[1][1], sizeof(ByteMatrix)), 0);
    }
}

TEST(MixingMatrix, SingularMatricesAreRejected) {
    struct Case {
        const char* name;
        ByteMatrix m;
        bool invertible;
    };
    const Case cases[] = {
        {"identity", {{1, 2, 4, 8, 16, 32, 64, 128}}, true},
        {"zero row", {{1, 2, 4, 8, 16, 32, 64, 0}}, false},
        {"equal rows", {{1, 2, 4, 8, 16, 32, 64, 64}}, false},
        {"row sum of two others", {{3, 1, 2, 8, 16, 32, 64, 128}}, false},
        {"lower triangle", {{1, 3, 7, 15, 31, 63, 127, 255}}, true},
    };
    for (const Case& c : cases) {
        ByteMatrix inverse{};
        EXPECT_EQ(invertMatrix(c.m, inverse), c.invertible) << c.name;
        if (c.invertible) {
            EXPECT_TRUE((inverts<ByteMatrix, uint8_t>(c.m, inverse, 8))) << c.name;
        }
    }
    // A draw by rejection from any state ends with an invertible pair.
    for (uint32_t seed = 0; seed < 20; ++seed) {
        RandomSource random(fixedState(seed));
        WordMatrix m{};
        WordMatrix inverse{};
        drawInvertibleMatrix(random, m, inverse);
        EXPECT_TRUE((inverts<WordMatrix, uint32_t>(m, inverse, 32))) << seed;
    }
}

TEST(MixingMatrix, MalformedKeyDrawsNothingAndWritesNothing) {
    auto storage = std::make_unique<MixedTableStorage>();
    storage->enc.mixTables[0][0][0][0][0] = 0x5A;
    RandomSource random(fixedState(3));
    const RandomState before = random.state();
    std::ostringstream report;
    EXPECT_EQ(generateMixedEncryptionTables(random, "not a key", *storage, nullptr, nullptr, report), -2);
    EXPECT_EQ(generateMixedDecryptionTables(random, "0011", *storage, nullptr, nullptr, report), -2);
    EXPECT_EQ(random.state(), before);
    EXPECT_EQ(storage->enc.mixTables[0][0][0][0][0], 0x5A);
}
