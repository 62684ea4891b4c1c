// CBC over the table cipher: OpenSSL and the reference CBC helpers as yardsticks,
// the padding and length edge cases, failures part way through, and chaining on
// data coded with CBC-compliant coding triples.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "aesref/aes128.h"
#include "base/status.h"
#include "wb_fixture.h"
#include "wbcipher/white_box_aes_cipher.h"

using namespace wbfixture;

namespace {

Block randomIv(uint32_t seed) {
    return blockAt(testsupport::pseudoRandomBytes(16, seed), 0);
}

void attach(WhiteBoxAesCipher& cipher, const KeyTables& key, const Block& iv) {
    cipher.SetTables(key.tables.get());
    std::memcpy(cipher.iv, iv.data(), 16);
}

std::vector<uint8_t> keyBytes(const KeyTables& key) {
    return testsupport::hexBytes(key.keyText);
}

// Fails from the call with index failAt on (0-based), after which block
// operations are counted.
class FailingCipher : public WhiteBoxAesCipher {
public:
    explicit FailingCipher(int failAt) : failAt_(failAt) {}
    int32_t EncryptRounds(const uint8_t input[16], uint8_t output[16], int32_t rounds) override {
        return calls_++ >= failAt_ ? 42 : WhiteBoxAesCipher::EncryptRounds(input, output, rounds);
    }
    int32_t DecryptRounds(const uint8_t input[16], uint8_t output[16], int32_t rounds) override {
        return calls_++ >= failAt_ ? 43 : WhiteBoxAesCipher::DecryptRounds(input, output, rounds);
    }

private:
    int failAt_;
    int calls_ = 0;
};

} // namespace

TEST(TableCbc, WithoutPaddingMatchesOpenSslAndDecryptsBack) {
    const uint32_t lengths[] = {16, 32, 48, 800, 1024, 4096};
    uint32_t seed = 1;
    for (size_t index = 0; index < kPlainKeys; ++index) {
        const KeyTables& key = plainTables(index);
        for (uint32_t length : lengths) {
            SCOPED_TRACE(key.keyText + " length " + std::to_string(length));
            const Block iv = randomIv(++seed);
            const std::vector<uint8_t> plain = testsupport::pseudoRandomBytes(length, ++seed);
            WhiteBoxAesCipher cipher;
            attach(cipher, key, iv);

            std::vector<uint8_t> buffer = plain;
            uint32_t size = length;
            uint32_t capacity = length;
            ASSERT_EQ(cipher.MARLOAES128_EncryptCBC(buffer.data(), &size, &capacity, 0), STATUS_OK);
            EXPECT_EQ(size, length);
            EXPECT_EQ(buffer, referenceAes(true, key.keyBytes(), iv.data(), plain));

            ASSERT_EQ(cipher.MARLOAES128_DecryptCBC(buffer.data(), &size, 0), STATUS_OK);
            EXPECT_EQ(size, length);
            EXPECT_EQ(buffer, plain);
            EXPECT_EQ(std::memcmp(cipher.iv, iv.data(), 16), 0);
        }
    }
}

TEST(TableCbc, WithPaddingMatchesTheReferenceCbcAndUnpadsBack) {
    const KeyTables& key = plainTables(1);
    const std::vector<uint8_t> keyData = keyBytes(key);
    const Block iv = randomIv(77);
    for (uint32_t length : {0u, 1u, 15u, 16u, 17u, 31u, 800u, 1000u}) {
        SCOPED_TRACE(length);
        const std::vector<uint8_t> plain = testsupport::pseudoRandomBytes(length, length + 3);
        std::vector<uint8_t> expected = plain;
        expected.resize(length + 32);
        uint32_t expectedSize = length;
        uint32_t expectedCapacity = static_cast<uint32_t>(expected.size());
        ASSERT_EQ(AES128_EncryptCBC(expected.data(), &expectedSize, &expectedCapacity, keyData.data(), iv.data()),
                  STATUS_OK);
        expected.resize(expectedSize);

        WhiteBoxAesCipher cipher;
        attach(cipher, key, iv);
        std::vector<uint8_t> buffer = plain;
        buffer.resize(length + 32, 0xCC);
        uint32_t size = length;
        uint32_t capacity = length + 32;
        ASSERT_EQ(cipher.MARLOAES128_EncryptCBC(buffer.data(), &size, &capacity, 1), STATUS_OK);
        EXPECT_EQ(capacity, length + 32);
        ASSERT_EQ(size, expectedSize);
        EXPECT_EQ(std::vector<uint8_t>(buffer.begin(), buffer.begin() + size), expected);

        // Without unpadding the pad block comes back as it was added.
        std::vector<uint8_t> copy = buffer;
        uint32_t copySize = size;
        ASSERT_EQ(cipher.MARLOAES128_DecryptCBC(copy.data(), &copySize, 0), STATUS_OK);
        EXPECT_EQ(copySize, size);
        EXPECT_EQ(std::vector<uint8_t>(copy.begin(), copy.begin() + length), plain);

        ASSERT_EQ(cipher.MARLOAES128_DecryptCBC(buffer.data(), &size, 1), STATUS_OK);
        EXPECT_EQ(size, length);
        EXPECT_EQ(std::vector<uint8_t>(buffer.begin(), buffer.begin() + size), plain);
        EXPECT_EQ(std::memcmp(cipher.iv, iv.data(), 16), 0);
    }
}

TEST(TableCbc, PaddingSizeQueryAndShortCapacity) {
    WhiteBoxAesCipher cipher;
    attach(cipher, plainTables(0), Block{});
    uint32_t size = 800;
    uint32_t capacity = 0;
    EXPECT_EQ(cipher.MARLOAES128_EncryptCBC(nullptr, &size, &capacity, 1), STATUS_OK);
    EXPECT_EQ(capacity, 816u);
    EXPECT_EQ(size, 800u);

    std::vector<uint8_t> buffer = testsupport::pseudoRandomBytes(816, 4);
    const std::vector<uint8_t> before = buffer;
    capacity = 810;
    EXPECT_EQ(cipher.MARLOAES128_EncryptCBC(buffer.data(), &size, &capacity, 1), STATUS_BUFFER_TOO_SMALL);
    EXPECT_EQ(capacity, 816u);
    EXPECT_EQ(size, 800u);
    EXPECT_EQ(buffer, before);
}

TEST(TableCbc, LengthEdgeCasesTouchNothing) {
    WhiteBoxAesCipher cipher;
    attach(cipher, plainTables(0), randomIv(5));
    std::vector<uint8_t> buffer = testsupport::pseudoRandomBytes(48, 6);
    const std::vector<uint8_t> before = buffer;

    struct Case {
        const char* what;
        uint32_t length;
        bool decrypt;
        uint32_t flag;
        int32_t status;
    };
    const Case cases[] = {
        {"encrypt 17", 17, false, 0, STATUS_BAD_LENGTH},
        {"decrypt 17", 17, true, 0, STATUS_BAD_LENGTH},
        {"decrypt 17 unpad", 17, true, 1, STATUS_BAD_LENGTH},
        {"encrypt 0", 0, false, 0, STATUS_OK},
        {"decrypt 0", 0, true, 0, STATUS_OK},
        {"decrypt 0 unpad", 0, true, 1, STATUS_BAD_LENGTH},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        uint32_t length = c.length;
        uint32_t capacity = 48;
        const int32_t status = c.decrypt ? cipher.MARLOAES128_DecryptCBC(buffer.data(), &length, c.flag)
                                         : cipher.MARLOAES128_EncryptCBC(buffer.data(), &length, &capacity, c.flag);
        EXPECT_EQ(status, c.status);
        EXPECT_EQ(length, c.length);
        EXPECT_EQ(capacity, 48u);
        EXPECT_EQ(buffer, before);
    }

    // Unpadding without a buffer: nothing to read the pad from.
    uint32_t length = 32;
    EXPECT_EQ(cipher.MARLOAES128_DecryptCBC(nullptr, &length, 1), STATUS_BAD_LENGTH);
    EXPECT_EQ(length, 32u);
    EXPECT_EQ(cipher.MARLOAES128_DecryptCBC(nullptr, &length, 0), STATUS_OK);
    EXPECT_EQ(cipher.MARLOAES128_EncryptCBC(nullptr, &length, nullptr, 0), STATUS_OK);
    EXPECT_EQ(length, 32u);
}

TEST(TableCbc, WithoutTablesOnlyTheIvIsXoredIn) {
    WhiteBoxAesCipher cipher;
    const Block iv = randomIv(8);
    std::memcpy(cipher.iv, iv.data(), 16);
    const std::vector<uint8_t> plain = testsupport::pseudoRandomBytes(64, 9);

    std::vector<uint8_t> buffer = plain;
    uint32_t length = 64;
    uint32_t capacity = 64;
    EXPECT_EQ(cipher.MARLOAES128_EncryptCBC(buffer.data(), &length, &capacity, 0), STATUS_NO_TABLES);
    std::vector<uint8_t> expected = plain;
    for (size_t n = 0; n < 16; ++n) {
        expected[n] ^= iv[n];
    }
    EXPECT_EQ(buffer, expected);

    buffer = plain;
    EXPECT_EQ(cipher.MARLOAES128_DecryptCBC(buffer.data(), &length, 1), STATUS_NO_TABLES);
    EXPECT_EQ(buffer, plain);
    EXPECT_EQ(length, 64u);
    EXPECT_EQ(std::memcmp(cipher.iv, iv.data(), 16), 0);
}

// A failing block ends the call: encryption leaves the earlier blocks encrypted
// and the failing one chained; decryption leaves the later blocks plain, the
// failing one and those before it still ciphertext, and removes no padding.
TEST(TableCbc, StopsAtTheFirstFailingBlock) {
    const KeyTables& key = plainTables(2);
    const Block iv = randomIv(10);
    const std::vector<uint8_t> plain = testsupport::pseudoRandomBytes(64, 11);
    const std::vector<uint8_t> cipherText = referenceAes(true, key.keyBytes(), iv.data(), plain);

    FailingCipher encryptor(2);
    attach(encryptor, key, iv);
    std::vector<uint8_t> buffer = plain;
    uint32_t length = 64;
    uint32_t capacity = 64;
    EXPECT_EQ(encryptor.MARLOAES128_EncryptCBC(buffer.data(), &length, &capacity, 0), 42);
    std::vector<uint8_t> expected(cipherText.begin(), cipherText.begin() + 32);
    for (size_t n = 32; n < 48; ++n) {
        expected.push_back(static_cast<uint8_t>(plain[n] ^ cipherText[n - 16]));
    }
    expected.insert(expected.end(), plain.begin() + 48, plain.end());
    EXPECT_EQ(buffer, expected);

    FailingCipher decryptor(1);
    attach(decryptor, key, iv);
    buffer = cipherText;
    EXPECT_EQ(decryptor.MARLOAES128_DecryptCBC(buffer.data(), &length, 1), 43);
    expected.assign(cipherText.begin(), cipherText.begin() + 48);
    expected.insert(expected.end(), plain.begin() + 48, plain.end());
    EXPECT_EQ(buffer, expected);
    EXPECT_EQ(length, 64u);
}

namespace {

// One CBC-compliant triple over 1600 bytes: the IV coded with ivSet, the input
// with inSet; the cipher's result decoded with outSet must be the ciphertext
// (encryption) or the plaintext (decryption).
void expectCodedTriple(bool encrypt, const CodingSet& ivSet, const CodingSet& inSet, const CodingSet& outSet,
                       uint32_t ivSeed, uint32_t dataSeed) {
    const KeyTables& key = cbcCodedTables();
    const Block iv = randomIv(ivSeed);
    const std::vector<uint8_t> plain = testsupport::pseudoRandomBytes(1600, dataSeed);
    const std::vector<uint8_t> cipherText = referenceAes(true, key.keyBytes(), iv.data(), plain);

    Block codedIv = iv;
    encodeData(codedIv.data(), 16, ivSet);
    WhiteBoxAesCipher cipher;
    attach(cipher, key, codedIv);
    std::vector<uint8_t> buffer = encrypt ? plain : cipherText;
    encodeData(buffer.data(), 1600, inSet);
    uint32_t length = 1600;
    uint32_t capacity = 1600;
    ASSERT_EQ(encrypt ? cipher.MARLOAES128_EncryptCBC(buffer.data(), &length, &capacity, 0)
                      : cipher.MARLOAES128_DecryptCBC(buffer.data(), &length, 0),
              STATUS_OK);
    decodeData(buffer.data(), 1600, outSet);
    EXPECT_EQ(buffer, encrypt ? cipherText : plain);
}

} // namespace

// Encryption triple: data coded with the data set and the IV with the output set
// chain into the tables' input coding; the result is the ciphertext under the
// output set.
TEST(TableCbc, CbcCompliantCodingsEncrypt) {
    const KeyTables& key = cbcCodedTables();
    expectCodedTriple(true, key.encOut(), key.encData(), key.encOut(), 12, 13);
}

// Decryption triple: ciphertext and IV coded with the decryption input set; the
// result is the plaintext under the decryption data set.
TEST(TableCbc, CbcCompliantCodingsDecrypt) {
    const KeyTables& key = cbcCodedTables();
    expectCodedTriple(false, key.decIn(), key.decIn(), key.decData(), 14, 15);
}
