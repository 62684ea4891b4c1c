// The table cipher over the mixed table format (wbgen/mixed_table_storage.h):
// the same block, round-limited, buffer and CBC operations as WhiteBoxAesCipher.
// Its rounds are the plain evaluator, the reference; the buffer operations and
// CBC run on the block paths (block_paths.h) over the mixed tables, or, in a
// class that overrides the rounds, on those block by block. NOT constant-time.
#pragma once
#include <cstddef>
#include <cstdint>

#include "wbcipher/white_box_aes_cipher.h"
#include "wbgen/mixed_table_storage.h"

class MixedWhiteBoxAesCipher : public WhiteBoxAesCipher {
public:
    // As the base class's, over mixed tables: a table round is both halves of a
    // mixed round (round tables with their XOR tables, mix tables with theirs).
    // 0, or -1 without tables.
    [[nodiscard]] int32_t EncryptRounds(const uint8_t input[16], uint8_t output[16], int32_t rounds) override;
    [[nodiscard]] int32_t DecryptRounds(const uint8_t input[16], uint8_t output[16], int32_t rounds) override;

    // Stores the pointer (may be null); the storage must outlive its use. Also
    // builds, once, the layout that the fast block paths read: call it again
    // after changing the tables. The storage type gives R (10, 12 or 14).
    // Returns 0.
    template <int Rounds>
    int32_t SetMixedTables(const MixedTableStorageOf<Rounds>* storage) {
        useStorage(storage, typeid(MixedWhiteBoxAesCipher));
        return 0;
    }
    int32_t SetMixedTables(std::nullptr_t) {
        return SetMixedTables(static_cast<const MixedTableStorage*>(nullptr));
    }
};
