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

// One block through one direction's mixed tables, up to the base class's
// round limit and numbering.
int32_t evaluate(const DirectionTables& t, Direction direction, const uint8_t input[16], uint8_t output[16],
                 int32_t rounds) {
    if (!t.mixed()) {
        return STATUS_NO_TABLES;
    }
    State s;
    loadState(input, s);
    runRounds(s, t, direction, rounds, [&t, direction](State& state, int slot) {
        mixedRound(state, t.roundTables[slot], t.xorTables[slot], t.mixTables[slot], t.mixXorTables[slot],
                   direction);
    });
    storeState(s, output);
    return STATUS_OK;
}

} // namespace

int32_t MixedWhiteBoxAesCipher::EncryptRounds(const uint8_t input[16], uint8_t output[16],
                                              int32_t rounds) {
    return evaluate(tableView().enc, Direction::Encryption, input, output, rounds);
}

int32_t MixedWhiteBoxAesCipher::DecryptRounds(const uint8_t input[16], uint8_t output[16],
                                              int32_t rounds) {
    return evaluate(tableView().dec, Direction::Decryption, input, output, rounds);
}
