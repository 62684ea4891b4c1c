// The table cipher on single blocks: known answers, agreement with OpenSSL over
// plain and externally coded tables, round limits, the state without tables, the
// non-virtual twins and the XOR-table nibble masking.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "base/status.h"
#include "wb_fixture.h"
#include "wbcipher/white_box_aes_cipher.h"

using namespace wbfixture;

namespace {

// Encrypts or decrypts every block of data with the table cipher.
std::vector<uint8_t> tableEcb(WhiteBoxAesCipher& cipher, const std::vector<uint8_t>& data, bool encrypt) {
    std::vector<uint8_t> out(data.size());
    for (size_t n = 0; n < data.size(); n += 16) {
        const int32_t status = encrypt ? cipher.EncryptBlock(&data[n], &out[n])
                                       : cipher.DecryptBlock(&data[n], &out[n]);
        EXPECT_EQ(status, STATUS_OK);
    }
    return out;
}

// Replaces EncryptRounds and DecryptRounds by a marker, to tell which path a
// caller takes.
class MarkingCipher : public WhiteBoxAesCipher {
public:
    int32_t EncryptRounds(const uint8_t*, uint8_t output[16], int32_t) override {
        std::memset(output, 0xEE, 16);
        return 77;
    }
    int32_t DecryptRounds(const uint8_t*, uint8_t output[16], int32_t) override {
        std::memset(output, 0xDD, 16);
        return 78;
    }
};

} // namespace

TEST(WhiteBoxAesCipher, ReproducesFips197C1) {
    WhiteBoxAesCipher cipher;
    ASSERT_EQ(cipher.SetTables(plainTables(0).tables.get()), STATUS_OK);
    const Block plain = blockAt(testsupport::hexBytes(kC1Plain), 0);
    const Block expected = blockAt(testsupport::hexBytes(kC1Cipher), 0);

    Block out{};
    EXPECT_EQ(cipher.EncryptBlock(plain.data(), out.data()), STATUS_OK);
    EXPECT_EQ(out, expected);
    EXPECT_EQ(cipher.DecryptBlock(expected.data(), out.data()), STATUS_OK);
    EXPECT_EQ(out, plain);

    Block block = plain;
    EXPECT_EQ(cipher.EncryptBlockInPlace(block.data()), STATUS_OK);
    EXPECT_EQ(block, expected);
    EXPECT_EQ(cipher.DecryptBlockInPlace(block.data()), STATUS_OK);
    EXPECT_EQ(block, plain);
}

TEST(WhiteBoxAesCipher, PlainTablesAgreeWithOpenSslOnRandomBlocks) {
    const std::vector<uint8_t> data = testsupport::pseudoRandomBytes(16 * 2000, 5);
    for (size_t index = 1; index < kPlainKeys; ++index) {
        const KeyTables& key = plainTables(index);
        SCOPED_TRACE(key.keyText);
        WhiteBoxAesCipher cipher;
        cipher.SetTables(key.tables.get());
        EXPECT_EQ(tableEcb(cipher, data, true), referenceAes(true, key.keyBytes(), kEcb, data));
        EXPECT_EQ(tableEcb(cipher, data, false), referenceAes(false, key.keyBytes(), kEcb, data));
    }
}

TEST(WhiteBoxAesCipher, EcbCodedTablesAgreeWithOpenSslAfterDecoding) {
    const KeyTables& key = ecbCodedTables();
    WhiteBoxAesCipher cipher;
    cipher.SetTables(key.tables.get());
    const std::vector<uint8_t> data = testsupport::pseudoRandomBytes(16 * 1000, 6);
    for (bool encrypt : {true, false}) {
        SCOPED_TRACE(encrypt ? "encryption" : "decryption");
        std::vector<uint8_t> coded = data;
        encodeData(coded.data(), static_cast<uint32_t>(coded.size()), encrypt ? key.encIn() : key.decIn());
        std::vector<uint8_t> result = tableEcb(cipher, coded, encrypt);
        EXPECT_NE(result, referenceAes(encrypt, key.keyBytes(), kEcb, data)); // coded, not plain
        decodeData(result.data(), static_cast<uint32_t>(result.size()), encrypt ? key.encOut() : key.decOut());
        EXPECT_EQ(result, referenceAes(encrypt, key.keyBytes(), kEcb, data));
    }
}

TEST(WhiteBoxAesCipher, WithoutTablesEveryBlockOperationFailsAndWritesNothing) {
    WhiteBoxAesCipher fresh;
    WhiteBoxAesCipher detached;
    detached.SetTables(plainTables(0).tables.get());
    EXPECT_EQ(detached.SetTables(nullptr), STATUS_OK);

    for (WhiteBoxAesCipher* cipher : {&fresh, &detached}) {
        const Block input = blockAt(testsupport::hexBytes(kC1Plain), 0);
        Block out;
        out.fill(0x5C);
        const Block untouched = out;
        EXPECT_EQ(cipher->EncryptRounds(input.data(), out.data(), 10), STATUS_NO_TABLES);
        EXPECT_EQ(cipher->DecryptRounds(input.data(), out.data(), 1), STATUS_NO_TABLES);
        EXPECT_EQ(cipher->EncryptRoundsDirect(input.data(), out.data(), 10), STATUS_NO_TABLES);
        EXPECT_EQ(cipher->DecryptRoundsDirect(input.data(), out.data(), 1), STATUS_NO_TABLES);
        EXPECT_EQ(cipher->EncryptBlock(input.data(), out.data()), STATUS_NO_TABLES);
        EXPECT_EQ(cipher->DecryptBlock(input.data(), out.data()), STATUS_NO_TABLES);
        EXPECT_EQ(out, untouched);
        Block block = input;
        EXPECT_EQ(cipher->EncryptBlockInPlace(block.data()), STATUS_NO_TABLES);
        EXPECT_EQ(cipher->DecryptBlockInPlace(block.data()), STATUS_NO_TABLES);
        EXPECT_EQ(block, input);
    }
    Block zero{};
    EXPECT_EQ(std::memcmp(fresh.iv, zero.data(), 16), 0);
}

TEST(WhiteBoxAesCipher, RoundLimitsOutsideTheFullCipher) {
    WhiteBoxAesCipher cipher;
    cipher.SetTables(ecbCodedTables().tables.get());
    const Block input = blockAt(testsupport::pseudoRandomBytes(16, 9), 0);
    auto encrypt = [&](int32_t rounds) {
        Block out{};
        EXPECT_EQ(cipher.EncryptRounds(input.data(), out.data(), rounds), STATUS_OK);
        return out;
    };
    auto decrypt = [&](int32_t rounds) {
        Block out{};
        EXPECT_EQ(cipher.DecryptRounds(input.data(), out.data(), rounds), STATUS_OK);
        return out;
    };

    // No table round at all: the input comes back.
    for (int32_t rounds : {0, -1, -1000}) {
        EXPECT_EQ(encrypt(rounds), input) << rounds;
    }
    for (int32_t rounds : {11, 12, 1000}) {
        EXPECT_EQ(decrypt(rounds), input) << rounds;
    }
    // Above 10, encryption runs the nine table rounds without the last step;
    // decryption limits of 0 and below run as 2 (nine rounds, no last step).
    EXPECT_EQ(encrypt(11), encrypt(9));
    EXPECT_EQ(encrypt(1000), encrypt(9));
    EXPECT_NE(encrypt(9), encrypt(10));
    EXPECT_EQ(decrypt(0), decrypt(2));
    EXPECT_EQ(decrypt(-5), decrypt(2));
    EXPECT_NE(decrypt(2), decrypt(1));
    EXPECT_NE(decrypt(2), decrypt(3));
    EXPECT_NE(encrypt(1), input);
    EXPECT_NE(decrypt(10), input);
}

TEST(WhiteBoxAesCipher, BlockOperationsDispatchButDirectTwinsDoNot) {
    MarkingCipher cipher;
    cipher.SetTables(plainTables(0).tables.get());
    const Block plain = blockAt(testsupport::hexBytes(kC1Plain), 0);
    const Block expected = blockAt(testsupport::hexBytes(kC1Cipher), 0);
    Block out{};

    EXPECT_EQ(cipher.EncryptRoundsDirect(plain.data(), out.data(), 10), STATUS_OK);
    EXPECT_EQ(out, expected);
    EXPECT_EQ(cipher.DecryptRoundsDirect(expected.data(), out.data(), 1), STATUS_OK);
    EXPECT_EQ(out, plain);

    EXPECT_EQ(cipher.EncryptBlock(plain.data(), out.data()), 77);
    EXPECT_EQ(cipher.DecryptBlock(plain.data(), out.data()), 78);
    // A failing block leaves an in-place block unchanged.
    Block block = plain;
    EXPECT_EQ(cipher.EncryptBlockInPlace(block.data()), 77);
    EXPECT_EQ(cipher.DecryptBlockInPlace(block.data()), 78);
    EXPECT_EQ(block, plain);
}

TEST(WhiteBoxAesCipher, IgnoresTheUpperBitsOfXorTableEntries) {
    const KeyTables& key = ecbCodedTables();
    auto junk = std::make_unique<TableStorage>(*key.tables);
    const std::vector<uint8_t> noise = testsupport::pseudoRandomBytes(sizeof junk->enc.xorTables, 11);
    auto* encXor = &junk->enc.xorTables[0][0][0][0];
    auto* decXor = &junk->dec.invXorTables[0][0][0][0];
    for (size_t n = 0; n < noise.size(); ++n) {
        encXor[n] = static_cast<uint8_t>(encXor[n] | (noise[n] & 0xF0));
        decXor[n] = static_cast<uint8_t>(decXor[n] | (noise[n] << 4));
    }
    WhiteBoxAesCipher clean;
    WhiteBoxAesCipher dirty;
    clean.SetTables(key.tables.get());
    dirty.SetTables(junk.get());
    const std::vector<uint8_t> data = testsupport::pseudoRandomBytes(16 * 200, 12);
    for (bool encrypt : {true, false}) {
        EXPECT_EQ(tableEcb(dirty, data, encrypt), tableEcb(clean, data, encrypt));
    }
}
