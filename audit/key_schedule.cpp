// AES key expansion (FIPS-197 Section 5.2) for Nk = 4, 6 or 8 key words, and
// its inverse. Each step of the expansion is invertible:
// w[i - Nk] = w[i] ^ f(w[i - 1]), with f the RotWord/SubWord/Rcon mix every
// Nk-th word, SubWord alone at i mod 8 = 4 for Nk = 8, and the identity
// otherwise, so any Nk consecutive words determine all the others.
#include "audit/key_schedule.h"

#include "aesref/aes_tables.h"

namespace {

using Word = std::array<uint8_t, 4>;

Word mixWord(const Word& previous, int index, int nk) {
    if (index % nk == 0) {
        Word mixed = {aesSbox[previous[1]], aesSbox[previous[2]], aesSbox[previous[3]], aesSbox[previous[0]]};
        mixed[0] = static_cast<uint8_t>(mixed[0] ^ aesRoundConstant[index / nk - 1]);
        return mixed;
    }
    if (nk == 8 && index % nk == 4) {
        return {aesSbox[previous[0]], aesSbox[previous[1]], aesSbox[previous[2]], aesSbox[previous[3]]};
    }
    return previous;
}

void putRoundKey(std::vector<Word>& w, int round, const RoundKey& key) {
    for (int c = 0; c < 4; ++c) {
        for (int row = 0; row < 4; ++row) w[static_cast<size_t>(4 * round + c)][static_cast<size_t>(row)] = key[static_cast<size_t>(row)][static_cast<size_t>(c)];
    }
}

// Runs the schedule back from words w[top - nk + 1 .. top] to w[0 .. nk - 1].
CipherKey keyFromWords(std::vector<Word>& w, int top, int nk) {
    for (int i = top; i >= nk; --i) {
        const Word f = mixWord(w[static_cast<size_t>(i - 1)], i, nk);
        for (size_t row = 0; row < 4; ++row) {
            w[static_cast<size_t>(i - nk)][row] = static_cast<uint8_t>(w[static_cast<size_t>(i)][row] ^ f[row]);
        }
    }
    CipherKey key(static_cast<size_t>(4 * nk));
    for (int i = 0; i < nk; ++i) {
        for (size_t row = 0; row < 4; ++row) key[static_cast<size_t>(4 * i) + row] = w[static_cast<size_t>(i)][row];
    }
    return key;
}

} // namespace

RoundKeys expandKey(std::span<const uint8_t> key) {
    const int rounds = roundsOfKeyBytes(key.size());
    if (rounds == 0) return {};
    const int nk = static_cast<int>(key.size() / 4);
    const int words = 4 * (rounds + 1);
    std::vector<Word> w(static_cast<size_t>(words));
    for (int i = 0; i < nk; ++i) {
        for (size_t row = 0; row < 4; ++row) w[static_cast<size_t>(i)][row] = key[static_cast<size_t>(4 * i) + row];
    }
    for (int i = nk; i < words; ++i) {
        const Word f = mixWord(w[static_cast<size_t>(i - 1)], i, nk);
        for (size_t row = 0; row < 4; ++row) {
            w[static_cast<size_t>(i)][row] = static_cast<uint8_t>(w[static_cast<size_t>(i - nk)][row] ^ f[row]);
        }
    }
    RoundKeys keys(static_cast<size_t>(rounds + 1));
    for (size_t r = 0; r < keys.size(); ++r) {
        for (size_t c = 0; c < 4; ++c) {
            for (size_t row = 0; row < 4; ++row) keys[r][row][c] = w[4 * r + c][row];
        }
    }
    return keys;
}

std::array<uint8_t, 16> cipherKeyFromRoundKey(const RoundKey& roundKey, int round) {
    std::vector<Word> w(44);
    putRoundKey(w, round, roundKey);
    const CipherKey key = keyFromWords(w, 4 * round + 3, 4);
    std::array<uint8_t, 16> bytes{};
    std::copy(key.begin(), key.end(), bytes.begin());
    return bytes;
}

std::optional<CipherKey> cipherKeyFromRoundKeys(const RoundKey& first, const RoundKey& second, int round,
                                                int rounds) {
    if (keyBytesOfRounds(rounds) > 32 || roundsOfKeyBytes(keyBytesOfRounds(rounds)) != rounds || round < 0 ||
        round >= rounds) {
        return std::nullopt;
    }
    const int nk = rounds - 6;
    std::vector<Word> w(static_cast<size_t>(4 * (rounds + 1)));
    putRoundKey(w, round, first);
    putRoundKey(w, round + 1, second);
    // The top nk of the eight words decide; AES-128 uses round key `round`
    // alone. Expanding the key again checks the words it did not use.
    const int top = nk == 4 ? 4 * round + 3 : 4 * round + 7;
    const CipherKey key = keyFromWords(w, top, nk);
    const RoundKeys keys = expandKey(key);
    if (keys[static_cast<size_t>(round)] != first || keys[static_cast<size_t>(round + 1)] != second) {
        return std::nullopt;
    }
    return key;
}
