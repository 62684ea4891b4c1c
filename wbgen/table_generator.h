// Generation of the white-box tables of one AES-128, AES-192 or AES-256 key, with fresh random
// nibble codings on every internal value and optional external byte codings.
#pragma once
#include <cstdint>
#include <iostream>

#include "coding/codings.h"
#include "coding/random_source.h"
#include "wbgen/coding_map.h"
#include "wbgen/table_storage.h"

// Byte x as it arrives under ref, decoded (kind 0 plain, 1 nibble forwards,
// 2 inverse table of record lo - 10001 of inputSet).
uint8_t decodeInput(uint8_t x, const CodingRef& ref, const uint8_t* forwards, const CodingSet* inputSet);
// Byte v coded for output under ref (kind 0 plain, 1 nibble inverses, 2 forward
// table of record lo - 10001 of outputSet).
uint8_t encodeOutput(uint8_t v, const CodingRef& ref, const uint8_t* inverses, const CodingSet* outputSet);

class TableGenerator {
public:
    // Seeds its random source from the clock. Duplicate reports go to `report`.
    explicit TableGenerator(std::ostream& report = std::cout);
    TableGenerator(const RandomState& state, std::ostream& report = std::cout);

    // Fills storage.enc (after clearing the whole storage). The storage's round
    // count picks the key size: TableStorage (R = 10) reads 32 hex digits of
    // keyText, TableStorage192 48 and TableStorage256 64; characters after them
    // are not read. inputSet and outputSet are both given or both null. Returns
    // 0, or -2 (BAD_KEY_MAT) when those characters are not all hex digits; then
    // nothing is written and nothing drawn.
    template <int Rounds>
    [[nodiscard]] int32_t generateEncryptionTables(const char* keyText, TableStorageOf<Rounds>& storage,
                                                   const CodingSet* inputSet, const CodingSet* outputSet);
    // Fills storage.dec without clearing; the encryption half is not touched.
    // Same key sizes and statuses.
    template <int Rounds>
    [[nodiscard]] int32_t generateDecryptionTables(const char* keyText, TableStorageOf<Rounds>& storage,
                                                   const CodingSet* inputSet, const CodingSet* outputSet);

    RandomSource& random() { return random_; }

private:
    RandomSource random_;
    std::ostream* report_;
};
