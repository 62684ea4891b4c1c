// Reference cipher behind the candidate API: known answers, round limits,
// result codes and agreement with OpenSSL.
#include "aesref/rijndael.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "aesref/aes_tables.h"
#include "support/known_answers.h"
#include "support/reference_crypto.h"
#include "support/support.h"

using testsupport::hexBytes;
using testsupport::hexText;
using testsupport::kEcb;
using testsupport::referenceAes;

namespace {

using namespace vectors;

// FIPS-197 Appendix C.1 (AES-128): cipher key, plaintext, ciphertext, and the
// round key schedule printed as round[r].k_sch (round[0].k_sch is the key).
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

// FIPS-197 Appendix C.1, round[r].start for r = 2..10: the state at the end of
// round r - 1. kC1RoundStates[r] is the state at the end of round r (1..9).
constexpr const char* kC1RoundStates[10] = {
    nullptr,
    "89d810e8855ace682d1843d8cb128fe4", "4915598f55e5d7a0daca94fa1f0a63f7",
    "fa636a2825b339c940668a3157244d17", "247240236966b3fa6ed2753288425b6c",
    "c81677bc9b7ac93b25027992b0261996", "c62fe109f75eedc3cc79395d84f9cf5d",
    "d1876c0f79c4300ab45594add66ff41f", "fde3bad205e5d0d73547964ef1fe37f1",
    "bd6e7c3df2b5779e0b61216e8b10b689",
};

TEST(RijndaelBlock, KnownAnswersForEveryKeyLength) {
    // FIPS-197 Appendix C.1 to C.3: the example for each key length (128-bit block).
    for (const vectors::KeySizeVectors& kat : vectors::kKeySizeVectors) {
        keyInstance key = clearedKey();
        ASSERT_EQ(makeKey(&key, DIR_ENCRYPT, kat.keyBits, kat.fipsKey), TRUE) << kat.source;
        cipherInstance cipher = ecbCipher();
        const std::vector<uint8_t> plain = hexBytes(kC1Plain);
        uint8_t out[16] = {};
        ASSERT_EQ(blockEncrypt(&cipher, &key, plain.data(), 128, out), 128);
        EXPECT_EQ(std::vector<uint8_t>(out, out + 16), hexBytes(kat.fipsCipher)) << kat.source;
        key.direction = DIR_DECRYPT; // one record serves both directions
        uint8_t back[16] = {};
        ASSERT_EQ(blockDecrypt(&cipher, &key, out, 128, back), 128);
        EXPECT_EQ(std::vector<uint8_t>(back, back + 16), plain) << kat.source;
    }
}

// cipherUpdateRounds on the C.1 example with the given direction and limit.
std::vector<uint8_t> c1Rounds(uint8_t direction, const std::vector<uint8_t>& input, int32_t rounds) {
    keyInstance key = clearedKey();
    EXPECT_EQ(makeKey(&key, direction, 128, kC1Key), TRUE);
    cipherInstance cipher = ecbCipher();
    uint8_t out[16] = {};
    EXPECT_EQ(cipherUpdateRounds(&cipher, &key, input.data(), 128, out, rounds), TRUE);
    return std::vector<uint8_t>(out, out + 16);
}

TEST(RijndaelRounds, IntermediateRoundsMeetFromBothEnds) {
    const std::vector<uint8_t> plain = hexBytes(kC1Plain);
    const std::vector<uint8_t> cipherText = hexBytes(kC1Cipher);
    for (int32_t r = 1; r <= 9; ++r) {
        const std::vector<uint8_t> expected = hexBytes(kC1RoundStates[r]);
        EXPECT_EQ(c1Rounds(DIR_ENCRYPT, plain, r), expected) << "encrypt, limit " << r;
        EXPECT_EQ(c1Rounds(DIR_DECRYPT, cipherText, r), expected) << "decrypt, limit " << r;
    }
}

TEST(RijndaelRounds, LimitsAtAndBeyondTheEnds) {
    const std::vector<uint8_t> plain = hexBytes(kC1Plain);
    const std::vector<uint8_t> cipherText = hexBytes(kC1Cipher);
    std::vector<uint8_t> whitened = plain;
    const std::vector<uint8_t> keyBytes = hexBytes(kC1Key);
    for (size_t n = 0; n < 16; ++n) {
        whitened[n] ^= keyBytes[n];
    }
    EXPECT_EQ(c1Rounds(DIR_ENCRYPT, plain, 0), whitened);
    EXPECT_EQ(c1Rounds(DIR_ENCRYPT, plain, 10), cipherText);
    EXPECT_EQ(c1Rounds(DIR_ENCRYPT, plain, 25), cipherText);
    EXPECT_EQ(c1Rounds(DIR_DECRYPT, cipherText, 0), plain);
    EXPECT_EQ(c1Rounds(DIR_DECRYPT, cipherText, 10), hexBytes(kC1RoundStates[9]));
    EXPECT_EQ(c1Rounds(DIR_DECRYPT, cipherText, 25), hexBytes(kC1RoundStates[9]));
    // Negative limits never come from the tool; they act as 0 and stay in the schedule.
    EXPECT_EQ(c1Rounds(DIR_ENCRYPT, plain, -3), whitened);
    EXPECT_EQ(c1Rounds(DIR_DECRYPT, cipherText, -3), plain);
}

TEST(RijndaelKeySchedule, StateLevelResultCodes) {
    uint8_t k[4][MAXKC] = {};
    uint8_t w[MAXROUNDS + 1][4][MAXBC] = {};
    EXPECT_EQ(rijndaelKeySched(k, 100, 128, w), -1);
    EXPECT_EQ(rijndaelKeySched(k, 128, 100, w), -2);
    EXPECT_EQ(rijndaelKeySched(k, 256, 256, w), 0);
    uint8_t a[4][MAXBC] = {};
    EXPECT_EQ(rijndaelEncrypt(a, 128, 100, w), -2);
    EXPECT_EQ(rijndaelDecrypt(a, 128, 100, w), -2);
    EXPECT_EQ(rijndaelEncryptRound(a, 100, 128, w, 3), -3);
    EXPECT_EQ(rijndaelDecryptRound(a, 100, 128, w, 3), -3);
}

TEST(RijndaelMakeKey, ResultCodes) {
    // Key texts for 128-bit keys: the first 32 characters decide.
    struct Case {
        const char* text;
        int32_t result;
    };
    const Case cases[] = {
        {"000102030405060708090a0b0c0d0e0", BAD_KEY_MAT},          // 31 digits
        {"g00102030405060708090a0b0c0d0e0f", BAD_KEY_MAT},         // 'g' first
        {"000102030405060708090a0b0c0d0eg", BAD_KEY_MAT},          // 'g' at 31
        {"00010203040506070809g0b0c0d0e0f0", BAD_KEY_MAT},         // 'g' inside
        {"", BAD_KEY_MAT},                                          // empty
        {"000102030405060708090a0b0c0d0e0fzzzzzzzz", TRUE},        // 40 characters
        {"000102030405060708090A0B0C0D0E0F", TRUE},                // upper case
    };
    for (const Case& c : cases) {
        keyInstance key = clearedKey();
        EXPECT_EQ(makeKey(&key, DIR_ENCRYPT, 128, c.text), c.result) << c.text;
        if (c.result == TRUE) {
            EXPECT_EQ(roundKeyBytes(key, 10), hexBytes(kC1RoundKeys[10])) << c.text;
        }
    }

    keyInstance key = clearedKey();
    EXPECT_EQ(makeKey(nullptr, DIR_ENCRYPT, 128, kC1Key), BAD_KEY_INSTANCE);
    EXPECT_EQ(makeKey(&key, 2, 128, kC1Key), BAD_KEY_DIR);
    EXPECT_EQ(makeKey(&key, DIR_ENCRYPT, 100, kC1Key), BAD_KEY_MAT);
    EXPECT_EQ(makeKey(&key, DIR_ENCRYPT, 0, kC1Key), BAD_KEY_MAT);
}

TEST(RijndaelMakeKey, FailureKeepsScheduleAndMissingTextReusesMaterial) {
    keyInstance key = clearedKey();
    ASSERT_EQ(makeKey(&key, DIR_ENCRYPT, 128, kC1Key), TRUE);
    uint8_t before[sizeof key.keySched];
    std::memcpy(before, key.keySched, sizeof before);
    EXPECT_EQ(makeKey(&key, DIR_ENCRYPT, 128, "ffffffffffffffffffffffffffffffgg"), BAD_KEY_MAT);
    EXPECT_EQ(std::memcmp(before, key.keySched, sizeof before), 0);

    keyInstance reused = clearedKey();
    std::strcpy(reused.keyMaterial, kC1Key);
    ASSERT_EQ(makeKey(&reused, DIR_DECRYPT, 128, nullptr), TRUE);
    EXPECT_EQ(std::memcmp(before, reused.keySched, sizeof before), 0);
    EXPECT_EQ(reused.direction, DIR_DECRYPT);
    EXPECT_EQ(reused.keyLen, 128);

    // Without key text on a cleared record there is nothing to parse.
    keyInstance empty = clearedKey();
    EXPECT_EQ(makeKey(&empty, DIR_ENCRYPT, 128, nullptr), BAD_KEY_MAT);
}

TEST(RijndaelCipherInit, ModesAndIv) {
    cipherInstance cipher;
    std::memset(&cipher, 0, sizeof cipher);
    cipher.blockLen = 128;
    EXPECT_EQ(cipherInit(&cipher, 0, nullptr), BAD_CIPHER_MODE);
    EXPECT_EQ(cipherInit(&cipher, 4, nullptr), BAD_CIPHER_MODE);
    EXPECT_EQ(cipherInit(nullptr, MODE_ECB, nullptr), BAD_CIPHER_INSTANCE);
    for (uint8_t mode : {MODE_ECB, MODE_CBC, MODE_CFB1}) {
        EXPECT_EQ(cipherInit(&cipher, mode, nullptr), TRUE);
        EXPECT_EQ(cipher.mode, mode);
    }
    EXPECT_EQ(cipherInit(&cipher, MODE_CBC, "000102030405060708090A0B0C0D0E0F"), TRUE);
    EXPECT_EQ(std::vector<uint8_t>(cipher.IV, cipher.IV + 16), hexBytes(kC1Key));

    // A bad digit stops the parse; the bytes before it are already stored.
    std::memset(cipher.IV, 0xaa, sizeof cipher.IV);
    EXPECT_EQ(cipherInit(&cipher, MODE_CBC, "1112x3"), BAD_CIPHER_INSTANCE);
    EXPECT_EQ(cipher.IV[0], 0x11);
    EXPECT_EQ(cipher.IV[1], 0x12);
    EXPECT_EQ(cipher.IV[2], 0xaa);
}

TEST(RijndaelBlock, ResultCodes) {
    const std::vector<uint8_t> plain = hexBytes(kC1Plain);
    keyInstance encryptKey = clearedKey();
    ASSERT_EQ(makeKey(&encryptKey, DIR_ENCRYPT, 128, kC1Key), TRUE);
    keyInstance decryptKey = clearedKey();
    ASSERT_EQ(makeKey(&decryptKey, DIR_DECRYPT, 128, kC1Key), TRUE);
    cipherInstance cipher = ecbCipher();
    uint8_t out[16] = {};

    EXPECT_EQ(blockEncrypt(&cipher, nullptr, plain.data(), 128, out), BAD_KEY_MAT);
    EXPECT_EQ(blockEncrypt(&cipher, &decryptKey, plain.data(), 128, out), BAD_KEY_MAT);
    EXPECT_EQ(blockEncrypt(nullptr, &encryptKey, plain.data(), 128, out), BAD_CIPHER_STATE);
    EXPECT_EQ(blockDecrypt(&cipher, &encryptKey, plain.data(), 128, out), BAD_CIPHER_STATE);
    EXPECT_EQ(blockDecrypt(nullptr, &decryptKey, plain.data(), 128, out), BAD_CIPHER_STATE);
    EXPECT_EQ(blockDecrypt(&cipher, nullptr, plain.data(), 128, out), BAD_CIPHER_STATE);

    // A direction that is neither: blockDecrypt reports the key material.
    keyInstance oddKey = decryptKey;
    oddKey.direction = 7;
    EXPECT_EQ(blockDecrypt(&cipher, &oddKey, plain.data(), 128, out), BAD_KEY_MAT);
    EXPECT_EQ(blockEncrypt(&cipher, &oddKey, plain.data(), 128, out), BAD_KEY_MAT);

    // blockDecrypt wants the cipher's block length to match the key's.
    cipherInstance wide = cipher;
    wide.blockLen = 256;
    EXPECT_EQ(blockDecrypt(&wide, &decryptKey, plain.data(), 128, out), BAD_CIPHER_STATE);

    cipherInstance cfb = cipher;
    cfb.mode = MODE_CFB1;
    EXPECT_EQ(blockEncrypt(&cfb, &encryptKey, plain.data(), 128, out), BAD_CIPHER_STATE);
    EXPECT_EQ(blockDecrypt(&cfb, &decryptKey, plain.data(), 128, out), BAD_CIPHER_STATE);
    cipherInstance noMode = cipher;
    noMode.mode = 0;
    EXPECT_EQ(blockEncrypt(&noMode, &encryptKey, plain.data(), 128, out), BAD_CIPHER_STATE);
    EXPECT_EQ(blockDecrypt(&noMode, &decryptKey, plain.data(), 128, out), BAD_CIPHER_STATE);

    // Less than one block: nothing processed, nothing written.
    std::memset(out, 0x5a, sizeof out);
    EXPECT_EQ(blockEncrypt(&cipher, &encryptKey, plain.data(), 127, out), 0);
    EXPECT_EQ(blockDecrypt(&cipher, &decryptKey, plain.data(), 127, out), 0);
    EXPECT_EQ(blockEncrypt(&cipher, &encryptKey, plain.data(), -128, out), 0);
    for (uint8_t b : out) {
        EXPECT_EQ(b, 0x5a);
    }
    EXPECT_EQ(blockEncrypt(&cipher, &encryptKey, plain.data(), 128, out), 128);
    EXPECT_EQ(std::vector<uint8_t>(out, out + 16), hexBytes(kC1Cipher));

    // cipherUpdateRounds: records, block lengths and direction.
    EXPECT_EQ(cipherUpdateRounds(nullptr, &encryptKey, plain.data(), 128, out, 3), BAD_CIPHER_STATE);
    EXPECT_EQ(cipherUpdateRounds(&cipher, nullptr, plain.data(), 128, out, 3), BAD_CIPHER_STATE);
    EXPECT_EQ(cipherUpdateRounds(&wide, &encryptKey, plain.data(), 128, out, 3), BAD_CIPHER_STATE);
    EXPECT_EQ(cipherUpdateRounds(&cipher, &oddKey, plain.data(), 128, out, 3), BAD_KEY_DIR);
    // Matching but unset block lengths would say nothing of how much to read.
    keyInstance unsetKey = encryptKey;
    unsetKey.blockLen = 0;
    cipherInstance unsetCipher = cipher;
    unsetCipher.blockLen = 0;
    EXPECT_EQ(cipherUpdateRounds(&unsetCipher, &unsetKey, plain.data(), 128, out, 3),
              BAD_CIPHER_STATE);
    // The mode is not consulted.
    EXPECT_EQ(cipherUpdateRounds(&cfb, &encryptKey, plain.data(), 128, out, 10), TRUE);
    EXPECT_EQ(std::vector<uint8_t>(out, out + 16), hexBytes(kC1Cipher));
}


TEST(RijndaelBlock, CbcModeMatchesSp80038aF21AndF22) {
    keyInstance key = clearedKey();
    ASSERT_EQ(makeKey(&key, DIR_ENCRYPT, 128, kCbcKey), TRUE);
    cipherInstance cipher;
    std::memset(&cipher, 0, sizeof cipher);
    cipher.blockLen = 128;
    ASSERT_EQ(cipherInit(&cipher, MODE_CBC, kCbcIv), TRUE);

    const std::vector<uint8_t> plain = hexBytes(kCbcPlain);
    std::vector<uint8_t> buffer = plain;
    // Four blocks in one call, in place.
    ASSERT_EQ(blockEncrypt(&cipher, &key, buffer.data(), 512, buffer.data()), 512);
    EXPECT_EQ(buffer, hexBytes(kCbcCipher));
    key.direction = DIR_DECRYPT;
    ASSERT_EQ(blockDecrypt(&cipher, &key, buffer.data(), 512, buffer.data()), 512);
    EXPECT_EQ(buffer, plain);
}

TEST(RijndaelBlock, AgreesWithOpenSslOnRandomKeysAndBlocks) {
    constexpr int kPairs = 3000;
    for (int keyBits : {128, 192, 256}) {
        for (int i = 0; i < kPairs / 3; ++i) {
            const uint32_t seed = static_cast<uint32_t>(keyBits * 100000 + i);
            const std::vector<uint8_t> keyBytes =
                testsupport::pseudoRandomBytes(static_cast<size_t>(keyBits / 8), seed);
            const std::vector<uint8_t> block = testsupport::pseudoRandomBytes(16, seed ^ 0x5555u);
            const std::string keyText = hexText(keyBytes.data(), keyBytes.size());

            keyInstance key = clearedKey();
            ASSERT_EQ(makeKey(&key, DIR_ENCRYPT, keyBits, keyText.c_str()), TRUE);
            cipherInstance cipher = ecbCipher();
            uint8_t out[16] = {};
            ASSERT_EQ(blockEncrypt(&cipher, &key, block.data(), 128, out), 128);
            ASSERT_EQ(std::vector<uint8_t>(out, out + 16), referenceAes(true, keyBytes, kEcb, block))
                << keyText;

            key.direction = DIR_DECRYPT;
            ASSERT_EQ(blockDecrypt(&cipher, &key, block.data(), 128, out), 128);
            ASSERT_EQ(std::vector<uint8_t>(out, out + 16), referenceAes(false, keyBytes, kEcb, block))
                << keyText;
        }
    }
}

// Rijndael's published example vectors for the block lengths beyond AES
// (B. Gladman's tables for every block and key length: plaintext the leading
// hex digits of pi, key those of e). A round trip passes when both directions
// share an error, such as wrong ShiftRows offsets; these do not.
struct WideKnownAnswer {
    int32_t blockBits;
    int32_t keyBits;
    const char* cipher;
};
constexpr const char* kPiDigits = "3243f6a8885a308d313198a2e03707344a4093822299f31d0082efa98ec4e6c8";
constexpr const char* kEDigits = "2b7e151628aed2a6abf7158809cf4f3c762e7160f38b4da56a784d9045190cfe";
constexpr WideKnownAnswer kWideBlocks[] = {
    {192, 128, "b24d275489e82bb8f7375e0d5fcdb1f481757c538b65148a"},
    {192, 192, "725ae43b5f3161de806a7c93e0bca93c967ec1ae1b71e1cf"},
    {192, 256, "0ebacf199e3315c2e34b24fcc7c46ef4388aa475d66c194c"},
    {256, 128, "7d15479076b69a46ffb3b3beae97ad8313f622f67fedb487de9f06b9ed9c8f19"},
    {256, 192, "5d7101727bb25781bf6715b0e6955282b9610e23a43c2eb062699f0ebf5887b2"},
    {256, 256, "a49406115dfb30a40418aafa4869b7c6a886ff31602a7dd19c889dc64f7e4e7a"},
};

TEST(RijndaelBlock, KnownAnswersForWideBlocks) {
    for (const WideKnownAnswer& kat : kWideBlocks) {
        SCOPED_TRACE(std::to_string(kat.blockBits) + "-bit block, " + std::to_string(kat.keyBits) +
                     "-bit key");
        const std::string keyText(kEDigits, static_cast<size_t>(kat.keyBits / 4));
        const std::vector<uint8_t> plain =
            hexBytes(std::string(kPiDigits, static_cast<size_t>(kat.blockBits / 4)));
        keyInstance key;
        std::memset(&key, 0, sizeof key);
        key.blockLen = kat.blockBits;
        ASSERT_EQ(makeKey(&key, DIR_ENCRYPT, kat.keyBits, keyText.c_str()), TRUE);
        cipherInstance cipher;
        std::memset(&cipher, 0, sizeof cipher);
        cipher.blockLen = kat.blockBits;
        ASSERT_EQ(cipherInit(&cipher, MODE_ECB, nullptr), TRUE);

        std::vector<uint8_t> sealed(plain.size());
        ASSERT_EQ(blockEncrypt(&cipher, &key, plain.data(), kat.blockBits, sealed.data()), kat.blockBits);
        EXPECT_EQ(hexText(sealed.data(), sealed.size()), kat.cipher);
        key.direction = DIR_DECRYPT;
        const std::vector<uint8_t> expected = hexBytes(kat.cipher);
        std::vector<uint8_t> opened(plain.size());
        ASSERT_EQ(blockDecrypt(&cipher, &key, expected.data(), kat.blockBits, opened.data()), kat.blockBits);
        EXPECT_EQ(opened, plain);
    }
}

TEST(RijndaelBlock, WideBlocksRoundTripAndMeetInTheMiddle) {
    // No independent reference ciphers 192- or 256-bit blocks; beside the known
    // answers above, check on random data that decryption inverts encryption
    // and that round limits meet.
    for (int32_t blockBits : {192, 256}) {
        for (int32_t keyBits : {128, 192, 256}) {
            const uint32_t seed = static_cast<uint32_t>(blockBits + keyBits);
            const std::vector<uint8_t> keyBytes =
                testsupport::pseudoRandomBytes(static_cast<size_t>(keyBits / 8), seed);
            const std::string keyText = hexText(keyBytes.data(), keyBytes.size());
            const std::vector<uint8_t> plain =
                testsupport::pseudoRandomBytes(static_cast<size_t>(blockBits / 8), seed + 1);
            keyInstance key;
            std::memset(&key, 0, sizeof key);
            key.blockLen = blockBits;
            ASSERT_EQ(makeKey(&key, DIR_ENCRYPT, keyBits, keyText.c_str()), TRUE);
            cipherInstance cipher;
            std::memset(&cipher, 0, sizeof cipher);
            cipher.blockLen = blockBits;
            ASSERT_EQ(cipherInit(&cipher, MODE_ECB, nullptr), TRUE);

            std::vector<uint8_t> sealed(plain.size());
            ASSERT_EQ(blockEncrypt(&cipher, &key, plain.data(), blockBits, sealed.data()), blockBits);
            EXPECT_NE(sealed, plain);
            std::vector<uint8_t> middleEncrypt(plain.size());
            ASSERT_EQ(cipherUpdateRounds(&cipher, &key, plain.data(), blockBits,
                                         middleEncrypt.data(), 5),
                      TRUE);
            key.direction = DIR_DECRYPT;
            std::vector<uint8_t> opened(plain.size());
            ASSERT_EQ(blockDecrypt(&cipher, &key, sealed.data(), blockBits, opened.data()), blockBits);
            EXPECT_EQ(opened, plain) << blockBits << "/" << keyBits;
            std::vector<uint8_t> middleDecrypt(plain.size());
            ASSERT_EQ(cipherUpdateRounds(&cipher, &key, sealed.data(), blockBits,
                                         middleDecrypt.data(), 5),
                      TRUE);
            EXPECT_EQ(middleDecrypt, middleEncrypt) << blockBits << "/" << keyBits;
        }
    }
}

} // namespace
