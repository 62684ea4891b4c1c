// Reference cipher behind the candidate API: known answers, round limits,
// result codes and agreement with OpenSSL.
#include "aesref/rijndael.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "aesref/aes_tables.h"
#include "support/support.h"

using testsupport::hexBytes;

namespace {

// FIPS-197 Appendix C.1 (AES-128): cipher key, plaintext, ciphertext, and the
// round key schedule printed as round[r].k_sch (round[0].k_sch is the key).
constexpr const char* kC1Key = "000102030405060708090a0b0c0d0e0f";
constexpr const char* kC1Plain = "00112233445566778899aabbccddeeff";
constexpr const char* kC1Cipher = "69c4e0d86a7b0430d8cdb78070b4c55a";
constexpr const char* kC1RoundKeys[11] = {
    "000102030405060708090a0b0c0d0e0f", "d6aa74fdd2af72fadaa678f1d6ab76fe",
    "b692cf0b643dbdf1be9bc5006830b3fe", "b6ff744ed2c2c9bf6c590cbf0469bf41",
    "47f7f7bc95353e03f96c32bcfd058dfd", "3caaa3e8a99f9deb50f3af57adf622aa",
    "5e390f7df7a69296a7553dc10aa31f6b", "14f9701ae35fe28c440adf4d4ea9c026",
    "47438735a41c65b9e016baf4aebf7ad2", "549932d1f08557681093ed9cbe2c974e",
    "13111d7fe3944a17f307a78b4d2b30c5",
};

// A cleared key record with blockLen 128, as every caller in the tool makes it.
keyInstance clearedKey() {
    keyInstance key;
    std::memset(&key, 0, sizeof key);
    key.blockLen = 128;
    return key;
}

cipherInstance ecbCipher() {
    cipherInstance cipher;
    std::memset(&cipher, 0, sizeof cipher);
    cipher.blockLen = 128;
    EXPECT_EQ(cipherInit(&cipher, MODE_ECB, nullptr), TRUE);
    return cipher;
}

// Round key r as the 16 bytes of words w[4r..4r+3].
std::vector<uint8_t> roundKeyBytes(const keyInstance& key, int r) {
    std::vector<uint8_t> bytes(16);
    for (int n = 0; n < 16; ++n) {
        bytes[static_cast<size_t>(n)] = key.keySched[r][n % 4][n / 4];
    }
    return bytes;
}

TEST(RijndaelKeySchedule, MatchesFips197AppendixC1) {
    keyInstance key = clearedKey();
    ASSERT_EQ(makeKey(&key, DIR_ENCRYPT, 128, kC1Key), TRUE);
    for (int r = 0; r <= 10; ++r) {
        EXPECT_EQ(roundKeyBytes(key, r), hexBytes(kC1RoundKeys[r])) << "round key " << r;
    }
    // Only rounds 0..10, columns 0..3 are written.
    for (int r = 0; r <= MAXROUNDS; ++r) {
        for (int i = 0; i < 4; ++i) {
            for (int j = 0; j < MAXBC; ++j) {
                if (r > 10 || j > 3) {
                    EXPECT_EQ(key.keySched[r][i][j], 0) << r << " " << i << " " << j;
                }
            }
        }
    }
    // The same schedule for the other direction.
    keyInstance decryptKey = clearedKey();
    ASSERT_EQ(makeKey(&decryptKey, DIR_DECRYPT, 128, kC1Key), TRUE);
    EXPECT_EQ(std::memcmp(key.keySched, decryptKey.keySched, sizeof key.keySched), 0);
}

TEST(RijndaelBlock, EncryptsAndDecryptsFips197AppendixC1) {
    const std::vector<uint8_t> plain = hexBytes(kC1Plain);
    const std::vector<uint8_t> expected = hexBytes(kC1Cipher);
    for (const char* keyText : {kC1Key, "000102030405060708090A0B0C0D0E0F"}) {
        keyInstance key = clearedKey();
        ASSERT_EQ(makeKey(&key, DIR_ENCRYPT, 128, keyText), TRUE);
        cipherInstance cipher = ecbCipher();
        uint8_t out[16] = {};
        ASSERT_EQ(blockEncrypt(&cipher, &key, plain.data(), 128, out), 128);
        EXPECT_EQ(std::vector<uint8_t>(out, out + 16), expected) << keyText;

        keyInstance decryptKey = clearedKey();
        ASSERT_EQ(makeKey(&decryptKey, DIR_DECRYPT, 128, keyText), TRUE);
        uint8_t back[16] = {};
        ASSERT_EQ(blockDecrypt(&cipher, &decryptKey, out, 128, back), 128);
        EXPECT_EQ(std::vector<uint8_t>(back, back + 16), plain) << keyText;
    }
}

} // namespace
