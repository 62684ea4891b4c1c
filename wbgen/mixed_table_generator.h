// Generation of the mixed table format (mixed_table_storage.h): the classic
// network with mixing bijections, random invertible 8x8 matrices on every state
// byte between rounds and a random invertible 32x32 matrix on every column's
// (Inv)MixColumns output, drawn from the command's one random source.
#pragma once
#include <cstdint>
#include <iostream>

#include "coding/codings.h"
#include "coding/random_source.h"
#include "wbgen/mixed_table_storage.h"
#include "wbgen/mixing_matrix.h"

// The mixing bijections of one direction, by processing stage (0 runs first):
// byteMixing[stage][4*row + column] is the 8x8 matrix under which state byte
// (row, column) enters stage's round tables (stage R - 1: the last byte table);
// stage 0 has none, so its entries are unused. wordMixing[stage][c] is the
// 32x32 matrix on column c's output of stage.
template <int Rounds>
struct MixingBijectionsOf {
    static constexpr int kRounds = Rounds;
    ByteMatrix byteMixing[tableRoundsOf(Rounds) + 1][16];
    ByteMatrix byteUnmixing[tableRoundsOf(Rounds) + 1][16];
    WordMatrix wordMixing[tableRoundsOf(Rounds)][4];
    WordMatrix wordUnmixing[tableRoundsOf(Rounds)][4];
};
using MixingBijections = MixingBijectionsOf<kAes128Rounds>;

// Fill storage.tables.enc and storage.enc (encryption clears the whole storage
// first) or storage.tables.dec and storage.dec (nothing cleared). Codings,
// external sets and statuses as TableGenerator's: 0, or -2 (BAD_KEY_MAT) for
// malformed key text, then nothing is written and nothing drawn. The
// bijections used are copied to *used when it is given. The storage's round
// count picks the key size as for TableGenerator: MixedTableStorage reads 32 hex
// digits, MixedTableStorage192 48, MixedTableStorage256 64.
template <int Rounds>
[[nodiscard]] int32_t generateMixedEncryptionTables(RandomSource& random, const char* keyText,
                                                    MixedTableStorageOf<Rounds>& storage,
                                                    const CodingSet* inputSet,
                                                    const CodingSet* outputSet,
                                                    std::ostream& report = std::cout,
                                                    MixingBijectionsOf<Rounds>* used = nullptr);
template <int Rounds>
[[nodiscard]] int32_t generateMixedDecryptionTables(RandomSource& random, const char* keyText,
                                                    MixedTableStorageOf<Rounds>& storage,
                                                    const CodingSet* inputSet,
                                                    const CodingSet* outputSet,
                                                    std::ostream& report = std::cout,
                                                    MixingBijectionsOf<Rounds>* used = nullptr);
