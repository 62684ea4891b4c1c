// Reference Rijndael behind the AES candidate API.
//
// A byte-oriented implementation of Rijndael as FIPS-197 defines it for AES
// (Sections 5.1 to 5.3), generalised to the key and block lengths of the
// original Rijndael proposal: Nk and Nb of 4, 6 or 8 columns, Nr = 10, 12 or 14
// rounds after the longer of the two, row shifts (1, 2, 3) for Nb = 4 or 6 and
// (1, 3, 4) for Nb = 8. The state is a [4][MAXBC] byte array whose column c holds
// block bytes 4c..4c+3; the expanded key is a [MAXROUNDS + 1][4][MAXBC] array of
// round keys in the same layout, which the table generators read directly.
//
// Field products go through the log/antilog tables (gfMultiply). Nothing here
// is constant-time, and nothing is meant to be: this is the yardstick the
// white-box tables are built from and checked against.
#include "aesref/rijndael.h"

#include <cassert>
#include <cstring>

#include "aesref/aes_tables.h"

namespace {

// Columns of a key or block length in bits, 0 for a length Rijndael lacks.
int columnsOf(int32_t bits) {
    switch (bits) {
    case 128: return 4;
    case 192: return 6;
    case 256: return 8;
    default: return 0;
    }
}

bool validLength(int32_t bits) { return columnsOf(bits) != 0; }

// Nr from the longer of key and block (both already valid).
int roundsOf(int keyColumns, int blockColumns) {
    const int longer = keyColumns > blockColumns ? keyColumns : blockColumns;
    return longer + 6; // 4 -> 10, 6 -> 12, 8 -> 14
}

// Left rotation of row i by ShiftRows, for a state of bc columns.
int shiftOf(int row, int bc) {
    static constexpr int kShifts[2][4] = {{0, 1, 2, 3}, {0, 1, 3, 4}};
    return kShifts[bc == 8 ? 1 : 0][row];
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// Parses characters 2i and 2i+1 of text; false when either is not a hex digit.
bool hexByte(const char* text, int i, uint8_t* out) {
    const int high = hexDigit(text[2 * i]);
    if (high < 0) {
        return false;
    }
    const int low = hexDigit(text[2 * i + 1]);
    if (low < 0) {
        return false;
    }
    *out = static_cast<uint8_t>((high << 4) ^ low);
    return true;
}

void addRoundKey(uint8_t a[4][MAXBC], const uint8_t rk[4][MAXBC], int bc) {
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < bc; ++j) {
            a[i][j] ^= rk[i][j];
        }
    }
}

void substitute(uint8_t a[4][MAXBC], const uint8_t box[256], int bc) {
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < bc; ++j) {
            a[i][j] = box[a[i][j]];
        }
    }
}

// Row i moves left by its shift (inverse: right), cyclically over bc columns.
void shiftRows(uint8_t a[4][MAXBC], int bc, bool inverse) {
    for (int i = 1; i < 4; ++i) {
        const int shift = inverse ? bc - shiftOf(i, bc) : shiftOf(i, bc);
        uint8_t row[MAXBC];
        for (int j = 0; j < bc; ++j) {
            row[j] = a[i][(j + shift) % bc];
        }
        std::memcpy(a[i], row, static_cast<size_t>(bc));
    }
}

// Each column times the circulant matrix whose first row is coefficients:
// b[i] = XOR over k of coefficients[(k - i) mod 4] * a[k].
void mixColumns(uint8_t a[4][MAXBC], const uint8_t coefficients[4], int bc) {
    for (int j = 0; j < bc; ++j) {
        uint8_t column[4];
        for (int i = 0; i < 4; ++i) {
            column[i] = a[i][j];
        }
        for (int i = 0; i < 4; ++i) {
            uint8_t sum = 0;
            for (int k = 0; k < 4; ++k) {
                sum ^= gfMultiply(coefficients[(k - i + 4) % 4], column[k]);
            }
            a[i][j] = sum;
        }
    }
}

// Checks of the state-level functions: -2 bad block length, -3 a key length
// that leaves no valid round count; otherwise 0 with bc and nr filled in.
int32_t cipherShape(int32_t keyBits, int32_t blockBits, int* bc, int* nr) {
    *bc = columnsOf(blockBits);
    if (*bc == 0) {
        return -2;
    }
    const int kc = columnsOf(keyBits);
    if (kc == 0) {
        return -3;
    }
    *nr = roundsOf(kc, *bc);
    return 0;
}

// Round limits never come negative from the system; they count as 0 here so
// that no round key index leaves the schedule. Limits above nr count as nr.
int clampRounds(int32_t rounds, int nr) {
    if (rounds < 0) {
        return 0;
    }
    return rounds > nr ? nr : static_cast<int>(rounds);
}

void loadBlock(uint8_t a[4][MAXBC], const uint8_t* bytes, int bc) {
    for (int n = 0; n < 4 * bc; ++n) {
        a[n % 4][n / 4] = bytes[n];
    }
}

void storeBlock(const uint8_t a[4][MAXBC], uint8_t* bytes, int bc) {
    for (int n = 0; n < 4 * bc; ++n) {
        bytes[n] = a[n % 4][n / 4];
    }
}

// Block bytes of the IV; an IV holds 16 bytes, so a longer block takes zeros
// for the rest.
void loadIv(uint8_t* out, const uint8_t iv[MAX_IV_SIZE], int blockBytes) {
    for (int n = 0; n < blockBytes; ++n) {
        out[n] = n < MAX_IV_SIZE ? iv[n] : 0;
    }
}

// Negative lengths process no block.
int32_t blockCount(int32_t inputLen, int32_t blockLen) {
    return inputLen > 0 ? inputLen / blockLen : 0;
}

// The walk blockEncrypt and blockDecrypt share: each block of input is copied
// out (the output may overwrite the input), handed to step(block, chain, bc) and
// written back from block; chain starts as the IV and is the step's to carry.
// Returns the bits processed.
template <class Step>
int32_t forEachBlock(const cipherInstance* cipher, const uint8_t* input, int32_t inputLen, uint8_t* outBuffer,
                     Step step) {
    const int bc = columnsOf(cipher->blockLen);
    const int blockBytes = 4 * bc;
    const int32_t blocks = blockCount(inputLen, cipher->blockLen);
    assert(blocks == 0 || (input != nullptr && outBuffer != nullptr));

    uint8_t chain[4 * MAXBC] = {};
    loadIv(chain, cipher->IV, blockBytes);
    for (int32_t b = 0; b < blocks; ++b) {
        const uint8_t* in = input + static_cast<size_t>(b) * static_cast<size_t>(blockBytes);
        uint8_t* out = outBuffer + static_cast<size_t>(b) * static_cast<size_t>(blockBytes);
        uint8_t block[4 * MAXBC];
        std::memcpy(block, in, static_cast<size_t>(blockBytes));
        step(block, chain, bc);
        std::memcpy(out, block, static_cast<size_t>(blockBytes));
    }
    return blocks * cipher->blockLen;
}

} // namespace

int32_t rijndaelKeySched(uint8_t k[4][MAXKC], int32_t keyBits, int32_t blockBits,
                         uint8_t W[MAXROUNDS + 1][4][MAXBC]) {
    const int kc = columnsOf(keyBits);
    if (kc == 0) {
        return -1;
    }
    const int bc = columnsOf(blockBits);
    if (bc == 0) {
        return -2;
    }
    const int nr = roundsOf(kc, bc);

    // FIPS-197 Section 5.2 in words w[0..bc*(nr+1)-1]; word t is round key
    // t / bc, column t % bc.
    constexpr int kMaxWords = MAXBC * (MAXROUNDS + 1);
    uint8_t w[kMaxWords][4];
    const int words = bc * (nr + 1);
    assert(words <= kMaxWords);
    for (int t = 0; t < kc; ++t) {
        for (int i = 0; i < 4; ++i) {
            w[t][i] = k[i][t];
        }
    }
    for (int t = kc; t < words; ++t) {
        uint8_t temp[4];
        std::memcpy(temp, w[t - 1], 4);
        if (t % kc == 0) {
            // RotWord, SubWord, then Rcon into the low-order (first) byte.
            const uint8_t first = temp[0];
            temp[0] = static_cast<uint8_t>(aesSbox[temp[1]] ^ (aesRoundConstant[t / kc - 1] & 0xff));
            temp[1] = aesSbox[temp[2]];
            temp[2] = aesSbox[temp[3]];
            temp[3] = aesSbox[first];
        } else if (kc > 6 && t % kc == 4) {
            for (uint8_t& byte : temp) {
                byte = aesSbox[byte];
            }
        }
        for (int i = 0; i < 4; ++i) {
            w[t][i] = static_cast<uint8_t>(w[t - kc][i] ^ temp[i]);
        }
    }
    for (int t = 0; t < words; ++t) {
        for (int i = 0; i < 4; ++i) {
            W[t / bc][i][t % bc] = w[t][i];
        }
    }
    return 0;
}

namespace {

using RoundKeys = const uint8_t (*)[4][MAXBC];

void encryptRounds(uint8_t a[4][MAXBC], RoundKeys rk, int bc, int nr, int limit) {
    addRoundKey(a, rk[0], bc);
    for (int r = 1; r <= limit && r < nr; ++r) {
        substitute(a, aesSbox, bc);
        shiftRows(a, bc, false);
        mixColumns(a, aesMixCoefficients, bc);
        addRoundKey(a, rk[r], bc);
    }
    if (limit == nr) {
        substitute(a, aesSbox, bc);
        shiftRows(a, bc, false);
        addRoundKey(a, rk[nr], bc);
    }
}

// Undo the last round, then whole rounds down to limit + 1; what is left
// is the state at the end of round `limit` (round 0 being AddRoundKey 0).
void decryptRounds(uint8_t a[4][MAXBC], RoundKeys rk, int bc, int nr, int limit) {
    addRoundKey(a, rk[nr], bc);
    substitute(a, aesInvSbox, bc);
    shiftRows(a, bc, true);
    for (int r = nr - 1; r > limit; --r) {
        addRoundKey(a, rk[r], bc);
        mixColumns(a, aesInvMixCoefficients, bc);
        substitute(a, aesInvSbox, bc);
        shiftRows(a, bc, true);
    }
    if (limit == 0) {
        addRoundKey(a, rk[0], bc);
    }
}

// The checks both directions make, then walk with the rounds clamped to the cipher's.
int32_t runRounds(void (*walk)(uint8_t[4][MAXBC], RoundKeys, int, int, int), uint8_t a[4][MAXBC],
                  int32_t keyBits, int32_t blockBits, RoundKeys rk, int32_t rounds) {
    int bc = 0;
    int nr = 0;
    const int32_t shape = cipherShape(keyBits, blockBits, &bc, &nr);
    if (shape != 0) {
        return shape;
    }
    walk(a, rk, bc, nr, clampRounds(rounds, nr));
    return 0;
}

} // namespace

int32_t rijndaelEncryptRound(uint8_t a[4][MAXBC], int32_t keyBits, int32_t blockBits,
                             const uint8_t rk[MAXROUNDS + 1][4][MAXBC], int32_t rounds) {
    return runRounds(encryptRounds, a, keyBits, blockBits, rk, rounds);
}

int32_t rijndaelDecryptRound(uint8_t a[4][MAXBC], int32_t keyBits, int32_t blockBits,
                             const uint8_t rk[MAXROUNDS + 1][4][MAXBC], int32_t rounds) {
    return runRounds(decryptRounds, a, keyBits, blockBits, rk, rounds);
}

int32_t rijndaelEncrypt(uint8_t a[4][MAXBC], int32_t keyBits, int32_t blockBits,
                        const uint8_t rk[MAXROUNDS + 1][4][MAXBC]) {
    return rijndaelEncryptRound(a, keyBits, blockBits, rk, MAXROUNDS);
}

int32_t rijndaelDecrypt(uint8_t a[4][MAXBC], int32_t keyBits, int32_t blockBits,
                        const uint8_t rk[MAXROUNDS + 1][4][MAXBC]) {
    return rijndaelDecryptRound(a, keyBits, blockBits, rk, 0);
}

int32_t makeKey(keyInstance* key, uint8_t direction, int32_t keyLen, const char* keyMaterial) {
    if (key == nullptr) {
        return BAD_KEY_INSTANCE;
    }
    if (direction != DIR_ENCRYPT && direction != DIR_DECRYPT) {
        return BAD_KEY_DIR;
    }
    key->direction = direction;
    if (!validLength(keyLen)) {
        return BAD_KEY_MAT;
    }
    key->keyLen = keyLen;

    const int digits = keyLen / 4;
    if (keyMaterial != nullptr) {
        // Copy like strncpy: stop at the terminator, pad with terminators, and
        // never read beyond the digits the key length needs.
        int n = 0;
        for (; n < digits && keyMaterial[n] != '\0'; ++n) {
            key->keyMaterial[n] = keyMaterial[n];
        }
        for (; n < digits; ++n) {
            key->keyMaterial[n] = '\0';
        }
    }

    uint8_t k[4][MAXKC] = {};
    for (int i = 0; i < keyLen / 8; ++i) {
        uint8_t byte = 0;
        if (!hexByte(key->keyMaterial, i, &byte)) {
            return BAD_KEY_MAT;
        }
        k[i % 4][i / 4] = byte;
    }
    // A block length the caller did not set leaves the schedule as it was.
    rijndaelKeySched(k, keyLen, key->blockLen, key->keySched);
    return TRUE;
}

int32_t cipherInit(cipherInstance* cipher, uint8_t mode, const char* IV) {
    // Not among the published codes' triggers, but a missing record must not
    // be written through.
    if (cipher == nullptr) {
        return BAD_CIPHER_INSTANCE;
    }
    if (mode != MODE_ECB && mode != MODE_CBC && mode != MODE_CFB1) {
        return BAD_CIPHER_MODE;
    }
    cipher->mode = mode;
    if (IV != nullptr) {
        // The IV field holds 16 bytes whatever blockLen claims.
        int bytes = cipher->blockLen > 0 ? cipher->blockLen / 8 : 0;
        if (bytes > MAX_IV_SIZE) {
            bytes = MAX_IV_SIZE;
        }
        for (int i = 0; i < bytes; ++i) {
            if (!hexByte(IV, i, &cipher->IV[i])) {
                return BAD_CIPHER_INSTANCE;
            }
        }
    }
    return TRUE;
}

int32_t blockEncrypt(cipherInstance* cipher, keyInstance* key, const uint8_t* input,
                     int32_t inputLen, uint8_t* outBuffer) {
    if (key == nullptr || key->direction != DIR_ENCRYPT || !validLength(key->keyLen)) {
        return BAD_KEY_MAT;
    }
    if (cipher == nullptr || cipher->mode < MODE_ECB || cipher->mode > MODE_CFB1 ||
        !validLength(cipher->blockLen)) {
        return BAD_CIPHER_STATE;
    }
    if (cipher->mode == MODE_CFB1) {
        return BAD_CIPHER_STATE;
    }
    // In CBC mode `chain` carries the previous ciphertext block (the IV first).
    const bool cbc = cipher->mode == MODE_CBC;
    return forEachBlock(cipher, input, inputLen, outBuffer, [&](uint8_t* block, uint8_t* chain, int bc) {
        if (cbc) {
            for (int n = 0; n < 4 * bc; ++n) {
                block[n] ^= chain[n];
            }
        }
        uint8_t a[4][MAXBC] = {};
        loadBlock(a, block, bc);
        rijndaelEncrypt(a, key->keyLen, cipher->blockLen, key->keySched);
        storeBlock(a, block, bc);
        std::memcpy(chain, block, static_cast<size_t>(4 * bc));
    });
}

int32_t blockDecrypt(cipherInstance* cipher, keyInstance* key, const uint8_t* input,
                     int32_t inputLen, uint8_t* outBuffer) {
    if (cipher == nullptr || key == nullptr || key->direction == DIR_ENCRYPT ||
        cipher->blockLen != key->blockLen) {
        return BAD_CIPHER_STATE;
    }
    if (key->direction != DIR_DECRYPT || !validLength(key->keyLen)) {
        return BAD_KEY_MAT;
    }
    if (cipher->mode < MODE_ECB || cipher->mode > MODE_CFB1 || !validLength(cipher->blockLen)) {
        return BAD_CIPHER_STATE;
    }
    if (cipher->mode == MODE_CFB1) {
        return BAD_CIPHER_STATE;
    }
    const bool cbc = cipher->mode == MODE_CBC;
    return forEachBlock(cipher, input, inputLen, outBuffer, [&](uint8_t* block, uint8_t* chain, int bc) {
        // The ciphertext is the next block's chain value.
        uint8_t cipherText[4 * MAXBC];
        std::memcpy(cipherText, block, static_cast<size_t>(4 * bc));
        uint8_t a[4][MAXBC] = {};
        loadBlock(a, cipherText, bc);
        rijndaelDecrypt(a, key->keyLen, cipher->blockLen, key->keySched);
        storeBlock(a, block, bc);
        if (cbc) {
            for (int n = 0; n < 4 * bc; ++n) {
                block[n] ^= chain[n];
            }
            std::memcpy(chain, cipherText, static_cast<size_t>(4 * bc));
        }
    });
}

int32_t cipherUpdateRounds(cipherInstance* cipher, keyInstance* key, const uint8_t* input,
                           int32_t /*inputLen*/, uint8_t* outBuffer, int32_t rounds) {
    // The block length must also be one Rijndael has: it decides how many
    // bytes are read and written.
    if (cipher == nullptr || key == nullptr || cipher->blockLen != key->blockLen ||
        !validLength(cipher->blockLen)) {
        return BAD_CIPHER_STATE;
    }
    const int bc = columnsOf(cipher->blockLen);
    assert(input != nullptr && outBuffer != nullptr);
    uint8_t a[4][MAXBC] = {};
    loadBlock(a, input, bc);
    if (key->direction == DIR_ENCRYPT) {
        rijndaelEncryptRound(a, key->keyLen, cipher->blockLen, key->keySched, rounds);
    } else if (key->direction == DIR_DECRYPT) {
        rijndaelDecryptRound(a, key->keyLen, cipher->blockLen, key->keySched, rounds);
    } else {
        return BAD_KEY_DIR;
    }
    storeBlock(a, outBuffer, bc);
    return TRUE;
}
