// The mixed-format table cipher computes AES-128 in both directions, block by
// block (the plain evaluator), over buffers (the block paths) and in CBC, with no
// codings, ECB codings and CBC triples, against OpenSSL. 70 blocks: a whole
// SIMD batch of 64 and a tail.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "base/status.h"
#include "wb_fixture.h"
#include "wbcipher/mixed_white_box_aes_cipher.h"

using namespace wbfixture;

namespace {

struct Case {
    const char* name;
    Codings codings;
    uint32_t seed;
};

// ECB codings code each block on its own; CBC triples survive the chaining.
constexpr Case kCases[] = {
    {"plain", Codings::None, 400},
    {"ecb", Codings::Ecb, 401},
    {"cbc", Codings::Cbc, 402},
};

std::vector<uint8_t> coded(std::vector<uint8_t> data, const CodingSet* set) {
    if (set != nullptr) encodeData(data.data(), static_cast<uint32_t>(data.size()), *set);
    return data;
}

std::vector<uint8_t> decoded(std::vector<uint8_t> data, const CodingSet* set) {
    if (set != nullptr) decodeData(data.data(), static_cast<uint32_t>(data.size()), *set);
    return data;
}

} // namespace

TEST(MixedCipher, ComputesAesBothDirectionsBlockAndCbc) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        const std::string keyText = randomKeyText(c.seed);
        const std::vector<uint8_t> key = testsupport::hexBytes(keyText);
        testsupport::TableSet made;
        ASSERT_EQ(testsupport::makeTableSet(testsupport::TableKind::Mixed, keyText, stateFor(c.seed), c.codings, made),
                  STATUS_OK);
        const testsupport::TableSet* tables = &made;
        const auto& sets = *tables->sets;
        MixedWhiteBoxAesCipher cipher;
        cipher.SetMixedTables(tables->mixed.get());
        const std::vector<uint8_t> plain = testsupport::pseudoRandomBytes(16 * 70, c.seed);
        const std::vector<uint8_t> expected = referenceAes(true, key, kEcb, plain);
        const bool ecb = c.codings == Codings::Ecb;
        const bool cbcTriples = c.codings == Codings::Cbc;

        if (!cbcTriples) {
            // Blocks: in under the input set, out under the output set.
            std::vector<uint8_t> in = coded(plain, ecb ? &sets[0] : nullptr);
            std::vector<uint8_t> back = coded(expected, ecb ? &sets[2] : nullptr);
            for (size_t at = 0; at < plain.size(); at += 16) {
                ASSERT_EQ(cipher.EncryptBlockInPlace(in.data() + at), STATUS_OK);
                ASSERT_EQ(cipher.DecryptBlockInPlace(back.data() + at), STATUS_OK);
            }
            EXPECT_EQ(decoded(in, ecb ? &sets[1] : nullptr), expected);
            EXPECT_EQ(decoded(back, ecb ? &sets[3] : nullptr), plain);

            // The same as buffers, in place and into another buffer.
            const size_t blocks = plain.size() / 16;
            in = coded(plain, ecb ? &sets[0] : nullptr);
            ASSERT_EQ(cipher.EncryptBlocks(in.data(), in.data(), blocks), STATUS_OK);
            EXPECT_EQ(decoded(in, ecb ? &sets[1] : nullptr), expected);
            const std::vector<uint8_t> codedCipher = coded(expected, ecb ? &sets[2] : nullptr);
            ASSERT_EQ(cipher.DecryptBlocks(codedCipher.data(), back.data(), blocks), STATUS_OK);
            EXPECT_EQ(decoded(back, ecb ? &sets[3] : nullptr), plain);
        }
        if (!ecb) {
            // CBC: with triples the data and IV are coded as the coding commands
            // prescribe (encryption: data set in, output set out and on the IV;
            // decryption: input set in and on the IV, data set out).
            const Block iv = blockAt(testsupport::pseudoRandomBytes(16, c.seed + 1), 0);
            const std::vector<uint8_t> chained = referenceAes(true, key, iv.data(), plain);
            const std::vector<uint8_t> ivBytes(iv.begin(), iv.end());
            uint32_t length = static_cast<uint32_t>(plain.size());
            uint32_t capacity = length;

            std::vector<uint8_t> buffer = coded(plain, cbcTriples ? &sets[4] : nullptr);
            std::memcpy(cipher.iv, coded(ivBytes, cbcTriples ? &sets[1] : nullptr).data(), 16);
            ASSERT_EQ(cipher.MARLOAES128_EncryptCBC(buffer.data(), &length, &capacity, 0), STATUS_OK);
            EXPECT_EQ(decoded(buffer, cbcTriples ? &sets[1] : nullptr), chained);

            buffer = coded(chained, cbcTriples ? &sets[2] : nullptr);
            std::memcpy(cipher.iv, coded(ivBytes, cbcTriples ? &sets[2] : nullptr).data(), 16);
            ASSERT_EQ(cipher.MARLOAES128_DecryptCBC(buffer.data(), &length, 0), STATUS_OK);
            EXPECT_EQ(decoded(buffer, cbcTriples ? &sets[5] : nullptr), plain);
        }
    }
}

TEST(MixedCipher, WithoutTablesFails) {
    MixedWhiteBoxAesCipher cipher;
    uint8_t block[16] = {};
    EXPECT_EQ(cipher.EncryptBlockInPlace(block), STATUS_NO_TABLES);
    EXPECT_EQ(cipher.DecryptBlockInPlace(block), STATUS_NO_TABLES);
}
