// Table-driven AES over the mixed format, for tables of R rounds. A table round is two byte-to-word
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
    const DirectionTables& e = tableView().enc;
    if (!e.mixed()) {
        return STATUS_NO_TABLES;
    }
    State s;
    loadState(input, s);
    const int32_t tableRounds = tableRoundsOf(e.rounds);
    for (int32_t stage = 0; stage < rounds && stage < tableRounds; ++stage) {
        const int slot = tableRoundSlot(Direction::Encryption, stage, e.rounds);
        mixedRound(s, e.roundTables[slot], e.xorTables[slot], e.mixTables[slot], e.mixXorTables[slot],
                   Direction::Encryption);
    }
    if (rounds == e.rounds) {
        lastStep(s, *e.lastTable, Direction::Encryption);
    }
    storeState(s, output);
    return STATUS_OK;
}

int32_t MixedWhiteBoxAesCipher::DecryptRounds(const uint8_t input[16], uint8_t output[16],
                                              int32_t rounds) {
    const DirectionTables& d = tableView().dec;
    if (!d.mixed()) {
        return STATUS_NO_TABLES;
    }
    State s;
    loadState(input, s);
    if (rounds <= d.rounds) {
        // The base class's round numbering: round r (R down to 2) is the
        // (R - r)-th table round, and a limit below 2 stops at round 2.
        const int32_t lowest = rounds > 2 ? rounds : 2;
        for (int32_t r = d.rounds; r >= lowest; --r) {
            const int slot = tableRoundSlot(Direction::Decryption, d.rounds - r, d.rounds);
            mixedRound(s, d.roundTables[slot], d.xorTables[slot], d.mixTables[slot], d.mixXorTables[slot],
                       Direction::Decryption);
        }
        if (rounds == 1) {
            lastStep(s, *d.lastTable, Direction::Decryption);
        }
    }
    storeState(s, output);
    return STATUS_OK;
}

template <int Rounds>
void MixedWhiteBoxAesCipher::setMixed(const MixedTableStorageOf<Rounds>* storage) {
    // Without memory for the layout the plain evaluator does every block.
    if (storage == nullptr) {
        useTables(nullptr, TableSetView{}, nullptr, typeid(MixedWhiteBoxAesCipher));
    } else {
        useTables(storage, viewOf(*storage), prepareBlockNetworks(*storage), typeid(MixedWhiteBoxAesCipher));
    }
}

int32_t MixedWhiteBoxAesCipher::SetMixedTables(const MixedTableStorage* storage) {
    setMixed(storage);
    return STATUS_OK;
}

int32_t MixedWhiteBoxAesCipher::SetMixedTables(const MixedTableStorage192* storage) {
    setMixed(storage);
    return STATUS_OK;
}

int32_t MixedWhiteBoxAesCipher::SetMixedTables(const MixedTableStorage256* storage) {
    setMixed(storage);
    return STATUS_OK;
}
