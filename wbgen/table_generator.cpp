// White-box table generation for AES-128, -192 and -256 (Chow et al. style, without mixing
// bijections). Round keys, the S-box and one column's share of MixColumns are
// folded into byte-to-four-byte round tables; the XORs between them are 4-bit
// tables; every wire carries a fresh random nibble coding numbered by
// assignCodings. Encryption follows the FIPS-197 cipher, decryption the FIPS-197
// inverse cipher (AddRoundKey before InvMixColumns, keys as expanded). A key of R
// rounds gives R - 1 table rounds and the last byte table.
//
// Both directions run through one routine, driven by a NetworkPlan that holds
// their differences: key direction, S or Si, G or iG, where the round keys are
// folded in, which tables are written, and whether the storage is cleared first.
// Only the nibble-coding draw consumes randomness; the filling is deterministic.
//
// The tables hide the key only as far as this construction does; it is known to
// be breakable and is NOT constant-time to generate.
#include "wbgen/table_generator.h"

#include <cassert>
#include <cstring>
#include <memory>
#include <vector>

#include "aesref/aes_tables.h"
#include "aesref/rijndael.h"
#include "base/status.h"
#include "wbgen/network_plan.h"

namespace {

template <int Rounds>
void fillRoundTables(const NetworkPlan& plan, const CodingMapOf<Rounds>& map, const Schedule& K,
                     const uint8_t product[4][256][4], const uint8_t* forwards,
                     const uint8_t* inverses, const CodingSet* inputSet,
                     const CodingSet* outputSet) {
    for (int stage = 0; stage < tableRoundsOf(Rounds); ++stage) {
        const int s = tableRoundSlot(plan.direction, stage, Rounds);
        for (int j = 0; j < 4; ++j) {
            for (int k = 0; k < 4; ++k) {
                const TableKeys keys = roundTableKeys(plan.direction, Rounds, K, s, j, k);
                uint8_t in[256];
                makeDecodeTable(map.round[s][j][k][0].input, forwards, inputSet, in);
                uint8_t out[4][256];
                for (int b = 0; b < 4; ++b) {
                    makeEncodeTable(map.round[s][j][k][b].output, inverses, outputSet, out[b]);
                }
                uint8_t (*entries)[4] = plan.roundTables[s][j][k];
                for (int x = 0; x < 256; ++x) {
                    const uint8_t v = static_cast<uint8_t>(plan.box[in[x] ^ keys.pre] ^ keys.post);
                    for (int b = 0; b < 4; ++b) {
                        entries[x][b] = out[b][product[k][v][b]];
                    }
                }
            }
        }
    }
}

template <int Rounds>
void fillXorTables(const NetworkPlan& plan, const CodingMapOf<Rounds>& map, const uint8_t* forwards,
                   const uint8_t* inverses) {
    for (int stage = 0; stage < tableRoundsOf(Rounds); ++stage) {
        const int s = tableRoundSlot(plan.direction, stage, Rounds);
        for (int c = 0; c < 4; ++c) {
            for (int n = 0; n < kXorTablesPerColumn; ++n) {
                fillXorTable(map.xorSlots[s][c][n], forwards, inverses, plan.xorTables[s][c][n]);
            }
        }
    }
}

template <int Rounds>
void fillLastTable(const NetworkPlan& plan, const CodingMapOf<Rounds>& map, const Schedule& K,
                   const uint8_t* forwards, const uint8_t* inverses, const CodingSet* inputSet,
                   const CodingSet* outputSet) {
    for (int j = 0; j < 4; ++j) {
        for (int k = 0; k < 4; ++k) {
            const TableKeys keys = lastTableKeys(plan.direction, Rounds, K, j, k);
            uint8_t in[256];
            uint8_t out[256];
            makeDecodeTable(map.last[j][k].input, forwards, inputSet, in);
            makeEncodeTable(map.last[j][k].output, inverses, outputSet, out);
            uint8_t* entries = (*plan.lastTable)[j][k];
            for (int x = 0; x < 256; ++x) {
                entries[x] = out[plan.box[in[x] ^ keys.pre] ^ keys.post];
            }
        }
    }
}

template <int Rounds>
int32_t generateTables(const NetworkPlan& plan, RandomSource& random, std::ostream& report,
                       const char* keyText, TableStorageOf<Rounds>& storage, const CodingSet* inputSet,
                       const CodingSet* outputSet) {
    // The key comes first: malformed key text must not produce tables for the
    // all-zero schedule of a cleared record, nor consume randomness.
    keyInstance key;
    const int32_t keyStatus = setUpKey(plan, keyText, key);
    if (keyStatus != TRUE) {
        return keyStatus;
    }

    auto map = std::make_unique<CodingMapOf<Rounds>>();
    uint32_t count = 0;
    const int32_t status = assignCodings(*map, plan.direction, inputSet != nullptr,
                                         outputSet != nullptr, &count);

    // Codings 0..count; coding 0 is drawn but referenced by no table. Kept on
    // purpose: every byte generated for a given seed depends on that draw.
    std::vector<uint8_t> forwards((count + 1) * 16u);
    std::vector<uint8_t> inverses((count + 1) * 16u);
    makeNibbleCodings(random, forwards.data(), inverses.data(), count, report);

    if (plan.clearStorage) {
        std::memset(&storage, 0, sizeof storage);
    }

    uint8_t product[4][256][4];
    makeColumnProducts(plan.mixRow0, product);

    // External sets are reached only through kind-2 refs: the inputs of the first
    // stage and the outputs of the last table.
    fillRoundTables(plan, *map, key.keySched, product, forwards.data(), inverses.data(), inputSet,
                    outputSet);
    fillXorTables(plan, *map, forwards.data(), inverses.data());
    fillLastTable(plan, *map, key.keySched, forwards.data(), inverses.data(), inputSet, outputSet);
    return status;
}

} // namespace

namespace {

// One coding ref applied to a byte: nibble codings looked up in nibbles (the
// forwards to decode, the inverses to encode), an external record through its
// half `side` (inverse to decode, forward to encode).
uint8_t applyCoding(uint8_t x, const CodingRef& ref, const uint8_t* nibbles, const CodingSet* set,
                    const uint8_t (ByteCoding::*side)[256]) {
    switch (ref.kind) {
    case CODING_NONE:
        return x;
    case CODING_NIBBLES:
        return static_cast<uint8_t>((nibbles[16 * ref.hi + (x >> 4)] << 4) | nibbles[16 * ref.lo + (x & 15)]);
    default: {
        const int32_t m = ref.lo - kExternalCodingBase;
        assert(set != nullptr && m >= 0 && m < 16);
        return (set->records[m].*side)[x];
    }
    }
}

} // namespace

uint8_t decodeInput(uint8_t x, const CodingRef& ref, const uint8_t* forwards, const CodingSet* inputSet) {
    return applyCoding(x, ref, forwards, inputSet, &ByteCoding::inverse);
}

uint8_t encodeOutput(uint8_t v, const CodingRef& ref, const uint8_t* inverses, const CodingSet* outputSet) {
    return applyCoding(v, ref, inverses, outputSet, &ByteCoding::forward);
}

TableGenerator::TableGenerator(std::ostream& report) : random_(), report_(&report) {}

TableGenerator::TableGenerator(const RandomState& state, std::ostream& report)
    : random_(state), report_(&report) {}

template <int Rounds>
int32_t TableGenerator::generateEncryptionTables(const char* keyText, TableStorageOf<Rounds>& storage,
                                                 const CodingSet* inputSet,
                                                 const CodingSet* outputSet) {
    return generateTables(encryptionPlan(storage), random_, *report_, keyText, storage, inputSet,
                          outputSet);
}

template <int Rounds>
int32_t TableGenerator::generateDecryptionTables(const char* keyText, TableStorageOf<Rounds>& storage,
                                                 const CodingSet* inputSet,
                                                 const CodingSet* outputSet) {
    return generateTables(decryptionPlan(storage), random_, *report_, keyText, storage, inputSet,
                          outputSet);
}

#define TABRIX_TABLE_GENERATOR_FOR(R)                                                                      \
    template int32_t TableGenerator::generateEncryptionTables(const char*, TableStorageOf<R>&,             \
                                                              const CodingSet*, const CodingSet*);         \
    template int32_t TableGenerator::generateDecryptionTables(const char*, TableStorageOf<R>&,             \
                                                              const CodingSet*, const CodingSet*);
TABRIX_TABLE_GENERATOR_FOR(kAes128Rounds)
TABRIX_TABLE_GENERATOR_FOR(kAes192Rounds)
TABRIX_TABLE_GENERATOR_FOR(kAes256Rounds)
#undef TABRIX_TABLE_GENERATOR_FOR
