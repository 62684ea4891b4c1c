// White-box table generation for AES-128 (Chow et al. style, without mixing
// bijections). Round keys, the S-box and one column's share of MixColumns are
// folded into byte-to-four-byte round tables; the XORs between them are 4-bit
// tables; every wire carries a fresh random nibble coding numbered by
// assignCodings. Encryption follows the FIPS-197 cipher, decryption the FIPS-197
// inverse cipher (AddRoundKey before InvMixColumns, keys as expanded).
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

namespace {

using Schedule = uint8_t[MAXROUNDS + 1][4][MAXBC];

// K_10, the last round key of AES-128.
constexpr int kLastRoundKey = kTableRounds + 1;

// Everything in which the encryption and the decryption network differ.
struct NetworkPlan {
    Direction direction;
    uint8_t keyDirection;       // for makeKey
    bool clearStorage;          // encryption clears the whole area, decryption relies on it
    const uint8_t* box;         // S or Si
    const uint8_t* mixRow0;     // row 0 of the (Inv)MixColumns matrix
    RoundTableBlock* roundTables;
    XorTableBlock* xorTables;
    SingleTableBlock* lastTable;
};

NetworkPlan encryptionPlan(TableStorage& storage) {
    return NetworkPlan{Direction::Encryption, DIR_ENCRYPT, true, aesSbox, aesMixCoefficients,
                       &storage.enc.roundTables, &storage.enc.xorTables,
                       &storage.enc.finalRoundTable};
}

NetworkPlan decryptionPlan(TableStorage& storage) {
    return NetworkPlan{Direction::Decryption, DIR_DECRYPT, false, aesInvSbox,
                       aesInvMixCoefficients,
                       &storage.dec.invRoundTables, &storage.dec.invXorTables,
                       &storage.dec.invFirstRoundTable};
}

// Round-key bytes of one table: its value is box[in(x) ^ pre] ^ post.
struct TableKeys {
    uint8_t pre;
    uint8_t post;
};

// Encryption round r adds K_r before SubBytes, at the table's own column.
// Decryption index i adds K_i after InvShiftRows and InvSubBytes, so at column
// (j + k) mod 4; index 9 also absorbs the initial AddRoundKey(K_10).
TableKeys roundTableKeys(Direction direction, const Schedule& K, int s, int j, int k) {
    if (direction == Direction::Encryption) {
        return TableKeys{K[s][k][j], 0};
    }
    const uint8_t pre = s == tableRoundSlot(direction, 0) ? K[kLastRoundKey][k][j] : uint8_t{0};
    return TableKeys{pre, K[s][k][(j + k) & 3]};
}

// Final round: K_9, SubBytes, ShiftRows, K_10. Inverse first round: InvShiftRows,
// InvSubBytes, K_0.
TableKeys lastTableKeys(Direction direction, const Schedule& K, int j, int k) {
    if (direction == Direction::Encryption) {
        return TableKeys{K[kTableRounds][k][j], K[kLastRoundKey][k][(j - k) & 3]};
    }
    return TableKeys{0, K[0][k][(j + k) & 3]};
}

// product[k][v][b] = M[b][k] . v: the column-k share of (Inv)MixColumns, whose
// matrix row b is row 0 rotated right by b, so M[b][k] = row0[(k - b) mod 4].
void makeColumnProducts(const uint8_t row0[4], uint8_t product[4][256][4]) {
    for (int k = 0; k < 4; ++k) {
        for (int v = 0; v < 256; ++v) {
            for (int b = 0; b < 4; ++b) {
                product[k][v][b] = gfMultiply(row0[(k - b) & 3], static_cast<uint8_t>(v));
            }
        }
    }
}

// In(x) for all 256 x: resolves the ref's kind once per table, not per entry.
void makeDecodeTable(const CodingRef& ref, const uint8_t* forwards, const CodingSet* inputSet,
                     uint8_t table[256]) {
    for (int x = 0; x < 256; ++x) {
        table[x] = decodeInput(static_cast<uint8_t>(x), ref, forwards, inputSet);
    }
}

void makeEncodeTable(const CodingRef& ref, const uint8_t* inverses, const CodingSet* outputSet,
                     uint8_t table[256]) {
    for (int v = 0; v < 256; ++v) {
        table[v] = encodeOutput(static_cast<uint8_t>(v), ref, inverses, outputSet);
    }
}

void fillRoundTables(const NetworkPlan& plan, const CodingMap& map, const Schedule& K,
                     const uint8_t product[4][256][4], const uint8_t* forwards,
                     const uint8_t* inverses, const CodingSet* inputSet,
                     const CodingSet* outputSet) {
    for (int stage = 0; stage < kTableRounds; ++stage) {
        const int s = tableRoundSlot(plan.direction, stage);
        for (int j = 0; j < 4; ++j) {
            for (int k = 0; k < 4; ++k) {
                const TableKeys keys = roundTableKeys(plan.direction, K, s, j, k);
                uint8_t in[256];
                makeDecodeTable(map.round[s][j][k][0].input, forwards, inputSet, in);
                uint8_t out[4][256];
                for (int b = 0; b < 4; ++b) {
                    makeEncodeTable(map.round[s][j][k][b].output, inverses, outputSet, out[b]);
                }
                uint8_t (*entries)[4] = (*plan.roundTables)[s][j][k];
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

void fillXorTables(const NetworkPlan& plan, const CodingMap& map, const uint8_t* forwards,
                   const uint8_t* inverses) {
    for (int stage = 0; stage < kTableRounds; ++stage) {
        const int s = tableRoundSlot(plan.direction, stage);
        for (int c = 0; c < 4; ++c) {
            for (int n = 0; n < kXorTablesPerColumn; ++n) {
                const TableCodings& slot = map.xorSlots[s][c][n];
                assert(slot.input.kind == CODING_NIBBLES);
                // Entry x: decode both nibbles, XOR them, code the result. Only the
                // output ref's lo number is meaningful for an XOR lane.
                const uint8_t* newNibble = forwards + 16 * slot.input.hi;
                const uint8_t* runningSum = forwards + 16 * slot.input.lo;
                const uint8_t* result = inverses + 16 * slot.output.lo;
                uint8_t* entries = (*plan.xorTables)[s][c][n];
                for (int h = 0; h < 16; ++h) {
                    for (int l = 0; l < 16; ++l) {
                        entries[16 * h + l] = result[newNibble[h] ^ runningSum[l]];
                    }
                }
            }
        }
    }
}

void fillLastTable(const NetworkPlan& plan, const CodingMap& map, const Schedule& K,
                   const uint8_t* forwards, const uint8_t* inverses, const CodingSet* inputSet,
                   const CodingSet* outputSet) {
    for (int j = 0; j < 4; ++j) {
        for (int k = 0; k < 4; ++k) {
            const TableKeys keys = lastTableKeys(plan.direction, K, j, k);
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

int32_t generateTables(const NetworkPlan& plan, RandomSource& random, std::ostream& report,
                       const char* keyText, TableStorage& storage, const CodingSet* inputSet,
                       const CodingSet* outputSet) {
    // The key comes first: malformed key text must not produce tables for the
    // all-zero schedule of a cleared record, nor consume randomness.
    keyInstance key;
    std::memset(&key, 0, sizeof key);
    key.blockLen = 128;
    // makeKey's only failure for 128-bit text is BAD_KEY_MAT, which passes up as
    // the tool's own status.
    static_assert(BAD_KEY_MAT == STATUS_BAD_KEY_TEXT);
    const int32_t keyStatus = makeKey(&key, plan.keyDirection, 128, keyText);
    if (keyStatus != TRUE) {
        return keyStatus;
    }

    auto map = std::make_unique<CodingMap>();
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

uint8_t decodeInput(uint8_t x, const CodingRef& ref, const uint8_t* forwards, const CodingSet* inputSet) {
    switch (ref.kind) {
    case CODING_NONE:
        return x;
    case CODING_NIBBLES:
        return static_cast<uint8_t>((forwards[16 * ref.hi + (x >> 4)] << 4) |
                                    forwards[16 * ref.lo + (x & 15)]);
    default: {
        const int32_t m = ref.lo - kExternalCodingBase;
        assert(inputSet != nullptr && m >= 0 && m < 16);
        return inputSet->records[m].inverse[x];
    }
    }
}

uint8_t encodeOutput(uint8_t v, const CodingRef& ref, const uint8_t* inverses, const CodingSet* outputSet) {
    switch (ref.kind) {
    case CODING_NONE:
        return v;
    case CODING_NIBBLES:
        return static_cast<uint8_t>((inverses[16 * ref.hi + (v >> 4)] << 4) |
                                    inverses[16 * ref.lo + (v & 15)]);
    default: {
        const int32_t m = ref.lo - kExternalCodingBase;
        assert(outputSet != nullptr && m >= 0 && m < 16);
        return outputSet->records[m].forward[v];
    }
    }
}

TableGenerator::TableGenerator(std::ostream& report) : random_(), report_(&report) {}

TableGenerator::TableGenerator(const RandomState& state, std::ostream& report)
    : random_(state), report_(&report) {}

int32_t TableGenerator::generateEncryptionTables(const char* keyText, TableStorage& storage,
                                                 const CodingSet* inputSet,
                                                 const CodingSet* outputSet) {
    return generateTables(encryptionPlan(storage), random_, *report_, keyText, storage, inputSet,
                          outputSet);
}

int32_t TableGenerator::generateDecryptionTables(const char* keyText, TableStorage& storage,
                                                 const CodingSet* inputSet,
                                                 const CodingSet* outputSet) {
    return generateTables(decryptionPlan(storage), random_, *report_, keyText, storage, inputSet,
                          outputSet);
}
