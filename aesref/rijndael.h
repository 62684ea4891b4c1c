// Reference Rijndael/AES behind the AES candidate API: key and cipher records,
// makeKey, cipherInit, blockEncrypt, blockDecrypt, round-limited ciphering and
// direct access to the expanded key schedule. Byte-oriented, NOT constant-time:
// it is the yardstick the white-box tables are generated from and tested against.
#pragma once
#include <cstdint>

constexpr int MAXBC = 8;      // state columns
constexpr int MAXKC = 8;      // key columns
constexpr int MAXROUNDS = 14;
constexpr int MAX_KEY_SIZE = 64; // hex digits in a key text
constexpr int MAX_IV_SIZE = 16;  // bytes

constexpr uint8_t DIR_ENCRYPT = 0;
constexpr uint8_t DIR_DECRYPT = 1;
constexpr uint8_t MODE_ECB = 1;
constexpr uint8_t MODE_CBC = 2;
constexpr uint8_t MODE_CFB1 = 3;

constexpr int32_t TRUE = 1;
constexpr int32_t BAD_KEY_DIR = -1;
constexpr int32_t BAD_KEY_MAT = -2;
constexpr int32_t BAD_KEY_INSTANCE = -3;
constexpr int32_t BAD_CIPHER_MODE = -4;
constexpr int32_t BAD_CIPHER_STATE = -5;
constexpr int32_t BAD_CIPHER_INSTANCE = -7;

// keySched[r][i][j]: byte i (state row) of word w[4r + j] of the FIPS-197 key
// expansion. Round key 0 is the cipher key. Same for both directions.
struct keyInstance {
    uint8_t direction;
    int32_t keyLen;
    char keyMaterial[MAX_KEY_SIZE + 1];
    int32_t blockLen;
    uint8_t keySched[MAXROUNDS + 1][4][MAXBC];
};

struct cipherInstance {
    uint8_t mode;
    uint8_t IV[MAX_IV_SIZE];
    int32_t blockLen;
};

[[nodiscard]] int32_t makeKey(keyInstance* key, uint8_t direction, int32_t keyLen, const char* keyMaterial);
[[nodiscard]] int32_t cipherInit(cipherInstance* cipher, uint8_t mode, const char* IV);
// Return the number of bits processed (128 per block) or a negative code.
[[nodiscard]] int32_t blockEncrypt(cipherInstance* cipher, keyInstance* key, const uint8_t* input,
                     int32_t inputLen, uint8_t* outBuffer);
[[nodiscard]] int32_t blockDecrypt(cipherInstance* cipher, keyInstance* key, const uint8_t* input,
                     int32_t inputLen, uint8_t* outBuffer);
// One block, round-limited by `rounds`, direction taken from the key record.
[[nodiscard]] int32_t cipherUpdateRounds(cipherInstance* cipher, keyInstance* key, const uint8_t* input,
                           int32_t inputLen, uint8_t* outBuffer, int32_t rounds);

int32_t rijndaelKeySched(uint8_t k[4][MAXKC], int32_t keyBits, int32_t blockBits,
                         uint8_t W[MAXROUNDS + 1][4][MAXBC]);
int32_t rijndaelEncrypt(uint8_t a[4][MAXBC], int32_t keyBits, int32_t blockBits,
                        const uint8_t rk[MAXROUNDS + 1][4][MAXBC]);
int32_t rijndaelDecrypt(uint8_t a[4][MAXBC], int32_t keyBits, int32_t blockBits,
                        const uint8_t rk[MAXROUNDS + 1][4][MAXBC]);
int32_t rijndaelEncryptRound(uint8_t a[4][MAXBC], int32_t keyBits, int32_t blockBits,
                             const uint8_t rk[MAXROUNDS + 1][4][MAXBC], int32_t rounds);
int32_t rijndaelDecryptRound(uint8_t a[4][MAXBC], int32_t keyBits, int32_t blockBits,
                             const uint8_t rk[MAXROUNDS + 1][4][MAXBC], int32_t rounds);
