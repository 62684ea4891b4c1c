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
// (row, column) enters stage's round tables (stage 9: the last byte table);
// stage 0 has none, so its entries are unused. wordMixing[stage][c] is the
// 32x32 matrix on column c's output of stage.
struct MixingBijections {
    ByteMatrix byteMixing[kTableRounds + 1][16];
    ByteMatrix byteUnmixing[kTableRounds + 1][16];
    WordMatrix wordMixing[kTableRounds][4];
    WordMatrix wordUnmixing[kTableRounds][4];
};

// Fill storage.tables.enc and storage.enc (encryption clears the whole storage
// first) or storage.tables.dec and storage.dec (nothing cleared). Codings,
// external sets and statuses as TableGenerator's: 0, or -2 (BAD_KEY_MAT) for
// malformed key text, then nothing is written and nothing drawn. The
// bijections used are copied to *used when it is given.
[[nodiscard]] int32_t generateMixedEncryptionTables(RandomSource& random, const char* keyText,
                                                    MixedTableStorage& storage,
                                                    const CodingSet* inputSet,
                                                    const CodingSet* outputSet,
                                                    std::ostream& report = std::cout,
                                                    MixingBijections* used = nullptr);
[[nodiscard]] int32_t generateMixedDecryptionTables(RandomSource& random, const char* keyText,
                                                    MixedTableStorage& storage,
                                                    const CodingSet* inputSet,
                                                    const CodingSet* outputSet,
                                                    std::ostream& report = std::cout,
                                                    MixingBijections* used = nullptr);
