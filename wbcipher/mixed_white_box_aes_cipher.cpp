// Table-driven AES-128 over the mixed format. A table round is two byte-to-word
// look-up layers, each summed nibble by nibble through 4-bit XOR tables with
// index = new nibble << 4 | running nibble:
//   round tables: state byte (k, j) feeds output column (InvShiftRows or
//   ShiftRows routing, as in the classic format);
//   mix tables: byte b of column c's sum feeds column c again.
// The last byte table is the classic one. NOT constant-time.
#include "wbcipher/mixed_white_box_aes_cipher.h"

#include <typeinfo>

#include "base/status.h"
#include "wbcipher/table_steps.h"

namespace {

using State = uint8_t[4][4]; // [row][column]

// Both halves of a mixed table round: the classic round, then the mix layer,
// where byte (q, c) of the sum feeds column c again.
void mixedRound(State& s, const RoundTableSlot& T, const XorTableSlot& X, const RoundTableSlot& M,
                const XorTableSlot& MX, Direction direction) {
    tableRound(s, T, X, direction);
    uint32_t t[4][4];
    for (int q = 0; q < 4; ++q) {
        for (int c = 0; c < 4; ++c) {
            t[q][c] = loadWord(M[c][q][s[q][c]]);
        }
    }
    sumColumns(s, t, MX);
}

void loadState(const uint8_t input[16], State& s) {
    for (int n = 0; n < 16; ++n) s[n % 4][n / 4] = input[n];
}

void storeState(const State& s, uint8_t output[16]) {
    for (int n = 0; n < 16; ++n) output[n] = s[n % 4][n / 4];
}

} // namespace

int32_t MixedWhiteBoxAesCipher::EncryptRounds(const uint8_t input[16], uint8_t output[16],
                                              int32_t rounds) {
    if (mixedTables == nullptr) {
        return STATUS_NO_TABLES;
    }
    State s;
    loadState(input, s);
    const EncryptionTableSet& e = mixedTables->tables.enc;
    const MixedEncryptionTables& m = mixedTables->enc;
    for (int32_t stage = 0; stage < rounds && stage < kTableRounds; ++stage) {
        const int slot = tableRoundSlot(Direction::Encryption, stage);
        mixedRound(s, e.roundTables[slot], e.xorTables[slot], m.mixTables[slot], m.mixXorTables[slot],
                   Direction::Encryption);
    }
    if (rounds == kTableRounds + 1) {
        lastStep(s, e.finalRoundTable, Direction::Encryption);
    }
    storeState(s, output);
    return STATUS_OK;
}

int32_t MixedWhiteBoxAesCipher::DecryptRounds(const uint8_t input[16], uint8_t output[16],
                                              int32_t rounds) {
    if (mixedTables == nullptr) {
        return STATUS_NO_TABLES;
    }
    State s;
    loadState(input, s);
    if (rounds <= kTableRounds + 1) {
        const DecryptionTableSet& d = mixedTables->tables.dec;
        const MixedDecryptionTables& m = mixedTables->dec;
        // The base class's round numbering: round r (10 down to 2) is the
        // (10 - r)-th table round, and a limit below 2 stops at round 2.
        const int32_t lowest = rounds > 2 ? rounds : 2;
        for (int32_t r = kTableRounds + 1; r >= lowest; --r) {
            const int slot = tableRoundSlot(Direction::Decryption, kTableRounds + 1 - r);
            mixedRound(s, d.invRoundTables[slot], d.invXorTables[slot], m.invMixTables[slot],
                       m.invMixXorTables[slot], Direction::Decryption);
        }
        if (rounds == 1) {
            lastStep(s, d.invFirstRoundTable, Direction::Decryption);
        }
    }
    storeState(s, output);
    return STATUS_OK;
}

int32_t MixedWhiteBoxAesCipher::SetMixedTables(const MixedTableStorage* storage) {
    mixedTables = storage;
    // Without memory for the layout the plain evaluator does every block.
    if (storage == nullptr) {
        useTables(nullptr, nullptr, typeid(MixedWhiteBoxAesCipher));
    } else {
        useTables(&storage->tables, prepareBlockNetworks(*storage), typeid(MixedWhiteBoxAesCipher));
    }
    return STATUS_OK;
}
