// AES-128 key expansion (FIPS-197 Section 5.2) and its inverse. Each step of
// the expansion is invertible: w[i - 4] = w[i] ^ f(w[i - 1]), with f the
// RotWord/SubWord/Rcon mix every fourth word and the identity otherwise, so a
// single round key determines all the others.
#include "audit/key_schedule.h"

#include "aesref/aes_tables.h"

namespace {

using Word = std::array<uint8_t, 4>;

Word mixWord(const Word& previous, int index) {
    if (index % 4 != 0) return previous;
    Word mixed = {aesSbox[previous[1]], aesSbox[previous[2]], aesSbox[previous[3]], aesSbox[previous[0]]};
    mixed[0] = static_cast<uint8_t>(mixed[0] ^ aesRoundConstant[index / 4 - 1]);
    return mixed;
}

} // namespace

RoundKeys expandKey(const std::array<uint8_t, 16>& key) {
    std::array<Word, 44> w{};
    for (int i = 0; i < 4; ++i) {
        for (int row = 0; row < 4; ++row) w[i][row] = key[4 * i + row];
    }
    for (int i = 4; i < 44; ++i) {
        const Word f = mixWord(w[i - 1], i);
        for (int row = 0; row < 4; ++row) w[i][row] = static_cast<uint8_t>(w[i - 4][row] ^ f[row]);
    }
    RoundKeys keys{};
    for (int r = 0; r < 11; ++r) {
        for (int c = 0; c < 4; ++c) {
            for (int row = 0; row < 4; ++row) keys[r][row][c] = w[4 * r + c][row];
        }
    }
    return keys;
}

std::array<uint8_t, 16> cipherKeyFromRoundKey(const RoundKey& roundKey, int round) {
    std::array<Word, 44> w{};
    for (int c = 0; c < 4; ++c) {
        for (int row = 0; row < 4; ++row) w[4 * round + c][row] = roundKey[row][c];
    }
    for (int i = 4 * round + 3; i >= 4; --i) {
        const Word f = mixWord(w[i - 1], i);
        for (int row = 0; row < 4; ++row) w[i - 4][row] = static_cast<uint8_t>(w[i][row] ^ f[row]);
    }
    std::array<uint8_t, 16> key{};
    for (int i = 0; i < 4; ++i) {
        for (int row = 0; row < 4; ++row) key[4 * i + row] = w[i][row];
    }
    return key;
}
