// The pieces both table generators share; see network_plan.h.
#include "wbgen/network_plan.h"

#include <cassert>
#include <cstring>

#include "aesref/aes_tables.h"
#include "base/status.h"
#include "wbgen/table_generator.h"

template <int Rounds>
NetworkPlan encryptionPlan(TableStorageOf<Rounds>& storage) {
    return NetworkPlan{Direction::Encryption, Rounds, DIR_ENCRYPT, true, aesSbox, aesMixCoefficients,
                       storage.enc.roundTables, storage.enc.xorTables, &storage.enc.finalRoundTable};
}

template <int Rounds>
NetworkPlan decryptionPlan(TableStorageOf<Rounds>& storage) {
    return NetworkPlan{Direction::Decryption, Rounds, DIR_DECRYPT, false, aesInvSbox, aesInvMixCoefficients,
                       storage.dec.invRoundTables, storage.dec.invXorTables, &storage.dec.invFirstRoundTable};
}

template NetworkPlan encryptionPlan(TableStorageOf<kAes128Rounds>&);
template NetworkPlan encryptionPlan(TableStorageOf<kAes192Rounds>&);
template NetworkPlan encryptionPlan(TableStorageOf<kAes256Rounds>&);
template NetworkPlan decryptionPlan(TableStorageOf<kAes128Rounds>&);
template NetworkPlan decryptionPlan(TableStorageOf<kAes192Rounds>&);
template NetworkPlan decryptionPlan(TableStorageOf<kAes256Rounds>&);

// Encryption round r adds K_r before SubBytes, at the table's own column.
// Decryption index i adds K_i after InvShiftRows and InvSubBytes, so at column
// (j + k) mod 4; index R - 1 also absorbs the initial AddRoundKey(K_R).
TableKeys roundTableKeys(Direction direction, int rounds, const Schedule& K, int s, int j, int k) {
    if (direction == Direction::Encryption) {
        return TableKeys{K[s][k][j], 0};
    }
    const uint8_t pre = s == tableRoundSlot(direction, 0, rounds) ? K[rounds][k][j] : uint8_t{0};
    return TableKeys{pre, K[s][k][(j + k) & 3]};
}

// Final round: K_(R-1), SubBytes, ShiftRows, K_R. Inverse first round:
// InvShiftRows, InvSubBytes, K_0.
TableKeys lastTableKeys(Direction direction, int rounds, const Schedule& K, int j, int k) {
    if (direction == Direction::Encryption) {
        return TableKeys{K[tableRoundsOf(rounds)][k][j], K[rounds][k][(j - k) & 3]};
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

int32_t setUpKey(const NetworkPlan& plan, const char* keyText, keyInstance& key) {
    std::memset(&key, 0, sizeof key);
    key.blockLen = 128;
    // makeKey's only failure for 128-, 192- or 256-bit text is BAD_KEY_MAT, which
    // passes up as the tool's own status.
    static_assert(BAD_KEY_MAT == STATUS_BAD_KEY_TEXT);
    if (!isTableRoundCount(plan.rounds)) {
        return BAD_KEY_MAT;
    }
    return makeKey(&key, plan.keyDirection, keyBitsOfRounds(plan.rounds), keyText);
}

void fillXorTable(const TableCodings& slot, const uint8_t* forwards, const uint8_t* inverses,
                  uint8_t entries[256]) {
    assert(slot.input.kind == CODING_NIBBLES);
    const uint8_t* newNibble = forwards + 16 * slot.input.hi;
    const uint8_t* runningSum = forwards + 16 * slot.input.lo;
    const uint8_t* result = inverses + 16 * slot.output.lo;
    for (int h = 0; h < 16; ++h) {
        for (int l = 0; l < 16; ++l) {
            entries[16 * h + l] = result[newNibble[h] ^ runningSum[l]];
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
