// AES-192 and AES-256 through the table cipher, classic and mixed, with no
// codings, ECB codings and CBC triples: FIPS-197 C.2 and C.3, the SP 800-38A
// CBC vectors (F.2.3 to F.2.6) in both directions and its counter-mode key
// streams (F.5.3 to F.5.6), and random keys against
// OpenSSL, block by block (the plain evaluator), over buffers (the block paths)
// and in CBC.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "base/status.h"
#include "wb_fixture.h"
#include "wbcipher/mixed_white_box_aes_cipher.h"

using namespace wbfixture;
using testsupport::TableKind;
using testsupport::TableSetOf;

namespace {

std::vector<uint8_t> coded(std::vector<uint8_t> data, const CodingSet* set) {
    if (set != nullptr) (void)encodeData(data.data(), static_cast<uint32_t>(data.size()), *set);
    return data;
}

std::vector<uint8_t> decoded(std::vector<uint8_t> data, const CodingSet* set) {
    if (set != nullptr) (void)decodeData(data.data(), static_cast<uint32_t>(data.size()), *set);
    return data;
}

// A cipher of the set's format over its tables.
template <int Rounds>
std::unique_ptr<WhiteBoxAesCipher> cipherOver(const TableSetOf<Rounds>& set) {
    if (set.mixed != nullptr) {
        auto mixed = std::make_unique<MixedWhiteBoxAesCipher>();
        mixed->SetMixedTables(set.mixed.get());
        return mixed;
    }
    auto classic = std::make_unique<WhiteBoxAesCipher>();
    classic->SetTables(set.tables.get());
    return classic;
}

// What one key must give: expectedEcb for plain in ECB, and when iv is given
// expectedCbc for plain in CBC from iv.
struct Expected {
    std::vector<uint8_t> plain;
    std::vector<uint8_t> ecb;
    std::vector<uint8_t> iv; // empty: no CBC check
    std::vector<uint8_t> cbc;
};

// Builds the tables of keyText and holds the cipher to `expected`: with no
// codings and ECB codings block by block and over buffers, with no codings and
// CBC triples in CBC (ECB codings do not survive the chaining, and CBC
// triples code the data for the chaining only).
template <int Rounds>
void expectAnswers(TableKind kind, Codings codings, const std::string& keyText, uint32_t seed,
                   const Expected& expected) {
    SCOPED_TRACE(std::string(kind == TableKind::Mixed ? "mixed" : "classic") + " R=" + std::to_string(Rounds) +
                 (codings == Codings::None ? " plain" : codings == Codings::Ecb ? " ECB-coded" : " CBC-coded"));
    TableSetOf<Rounds> set;
    ASSERT_EQ(testsupport::makeTableSet(kind, keyText, stateFor(seed), codings, set), STATUS_OK);
    const std::unique_ptr<WhiteBoxAesCipher> cipher = cipherOver(set);
    ASSERT_EQ(cipher->RoundCount(), Rounds);
    const bool ecb = codings == Codings::Ecb;
    const bool cbc = codings == Codings::Cbc;

    if (!cbc) {
        const CodingSet* encIn = ecb ? &set.encIn() : nullptr;
        const CodingSet* encOut = ecb ? &set.encOut() : nullptr;
        const CodingSet* decIn = ecb ? &set.decIn() : nullptr;
        const CodingSet* decOut = ecb ? &set.decOut() : nullptr;
        std::vector<uint8_t> in = coded(expected.plain, encIn);
        std::vector<uint8_t> back = coded(expected.ecb, decIn);
        for (size_t at = 0; at < in.size(); at += 16) {
            ASSERT_EQ(cipher->EncryptBlockInPlace(in.data() + at), STATUS_OK);
            ASSERT_EQ(cipher->DecryptBlockInPlace(back.data() + at), STATUS_OK);
        }
        EXPECT_EQ(decoded(in, encOut), expected.ecb);
        EXPECT_EQ(decoded(back, decOut), expected.plain);

        const size_t blocks = expected.plain.size() / 16;
        in = coded(expected.plain, encIn);
        ASSERT_EQ(cipher->EncryptBlocks(in.data(), in.data(), blocks), STATUS_OK);
        EXPECT_EQ(decoded(in, encOut), expected.ecb);
        const std::vector<uint8_t> codedCipher = coded(expected.ecb, decIn);
        ASSERT_EQ(cipher->DecryptBlocks(codedCipher.data(), back.data(), blocks), STATUS_OK);
        EXPECT_EQ(decoded(back, decOut), expected.plain);
    }
    if (!ecb && !expected.iv.empty()) {
        // With triples, data and IV coded as the coding commands prescribe
        // (encryption: data set in, output set out and on the IV; decryption:
        // input set in and on the IV, data set out).
        uint32_t length = static_cast<uint32_t>(expected.plain.size());
        uint32_t capacity = length;
        std::vector<uint8_t> buffer = coded(expected.plain, cbc ? &set.encData() : nullptr);
        std::memcpy(cipher->iv, coded(expected.iv, cbc ? &set.encOut() : nullptr).data(), 16);
        ASSERT_EQ(cipher->MARLOAES128_EncryptCBC(buffer.data(), &length, &capacity, 0), STATUS_OK);
        EXPECT_EQ(decoded(buffer, cbc ? &set.encOut() : nullptr), expected.cbc);

        buffer = coded(expected.cbc, cbc ? &set.decIn() : nullptr);
        std::memcpy(cipher->iv, coded(expected.iv, cbc ? &set.decIn() : nullptr).data(), 16);
        ASSERT_EQ(cipher->MARLOAES128_DecryptCBC(buffer.data(), &length, 0), STATUS_OK);
        EXPECT_EQ(decoded(buffer, cbc ? &set.decData() : nullptr), expected.plain);
    }
}

template <int Rounds>
void forEveryVariant(const std::string& keyText, uint32_t seed, const Expected& expected) {
    for (const TableKind kind : {TableKind::Classic, TableKind::Mixed}) {
        for (const Codings codings : {Codings::None, Codings::Ecb, Codings::Cbc}) {
            expectAnswers<Rounds>(kind, codings, keyText, seed, expected);
        }
    }
}

// The four counter blocks of SP 800-38A F.5: kCtrCounter, incremented as one
// 128-bit big-endian number.
std::vector<uint8_t> counterBlocks() {
    std::vector<uint8_t> blocks;
    std::vector<uint8_t> counter = testsupport::hexBytes(vectors::kCtrCounter);
    for (int n = 0; n < 4; ++n) {
        blocks.insert(blocks.end(), counter.begin(), counter.end());
        for (size_t i = 16; i-- > 0 && ++counter[i] == 0;) {
        }
    }
    return blocks;
}

template <int Rounds>
void expectPublishedAnswers(const vectors::KeySizeVectors& p) {
    using testsupport::hexBytes;
    // Counter mode (F.5): the counter blocks encrypt to the key stream that
    // turns the plaintext into the published ciphertext.
    std::vector<uint8_t> keyStream = hexBytes(p.ctrCipher);
    const std::vector<uint8_t> ctrPlain = hexBytes(vectors::kCtrPlain);
    for (size_t i = 0; i < keyStream.size(); ++i) keyStream[i] = static_cast<uint8_t>(keyStream[i] ^ ctrPlain[i]);
    forEveryVariant<Rounds>(p.modeKey, 902, {counterBlocks(), keyStream, {}, {}});
    forEveryVariant<Rounds>(p.fipsKey, 900, {hexBytes(kC1Plain), hexBytes(p.fipsCipher), {}, {}});
    forEveryVariant<Rounds>(p.modeKey, 901,
                            {hexBytes(vectors::kCbcPlain), referenceAes(true, hexBytes(p.modeKey), kEcb,
                                                                         hexBytes(vectors::kCbcPlain)),
                             hexBytes(vectors::kCbcIv), hexBytes(p.cbcCipher)});
}

template <int Rounds>
void expectOpenSslAnswers(uint32_t seed) {
    const std::vector<uint8_t> key =
        testsupport::pseudoRandomBytes(static_cast<size_t>(keyHexDigitsOfRounds(Rounds) / 2), seed);
    const std::vector<uint8_t> plain = testsupport::pseudoRandomBytes(16 * 70, seed + 1);
    const std::vector<uint8_t> iv = testsupport::pseudoRandomBytes(16, seed + 2);
    forEveryVariant<Rounds>(hexText(key.data(), key.size()), seed,
                            {plain, referenceAes(true, key, kEcb, plain), iv, referenceAes(true, key, iv.data(), plain)});
}

} // namespace

// The reference agrees with the published vectors, so that the random-key test
// below rests on a checked reference for these key sizes too.
TEST(KeySizes, ReferenceGivesThePublishedAnswers) {
    using testsupport::hexBytes;
    for (const vectors::KeySizeVectors& p : vectors::kKeySizeVectors) {
        SCOPED_TRACE(p.source);
        EXPECT_EQ(referenceAes(true, hexBytes(p.fipsKey), kEcb, hexBytes(kC1Plain)), hexBytes(p.fipsCipher));
        EXPECT_EQ(referenceAes(true, hexBytes(p.modeKey), hexBytes(vectors::kCbcIv).data(), hexBytes(vectors::kCbcPlain)),
                  hexBytes(p.cbcCipher));
    }
}

// ECB both ways, CBC both ways, under every coding kind, in both formats.
TEST(KeySizes, TablesGiveThePublishedAnswers) {
    for (const vectors::KeySizeVectors& p : vectors::kKeySizeVectors) {
        SCOPED_TRACE(p.source);
        switch (roundsOfKeyBits(p.keyBits)) {
        case kAes128Rounds: expectPublishedAnswers<kAes128Rounds>(p); break;
        case kAes192Rounds: expectPublishedAnswers<kAes192Rounds>(p); break;
        default: expectPublishedAnswers<kAes256Rounds>(p); break;
        }
    }
}

// 70 blocks: a whole SIMD batch of 64 and a tail.
TEST(KeySizes, RandomKeysAgreeWithOpenSsl) {
    expectOpenSslAnswers<kAes192Rounds>(920);
    expectOpenSslAnswers<kAes256Rounds>(940);
}

// Round-limited ciphering counts the tables' rounds: R - 1 table rounds then
// the last step is the full cipher, and inverse rounds run from R down.
TEST(KeySizes, RoundLimitsFollowTheTablesRoundCount) {
    TableSetOf<kAes256Rounds> set;
    ASSERT_EQ(testsupport::makeTableSet(TableKind::Classic, vectors::kC3Key, stateFor(950), Codings::None, set),
              STATUS_OK);
    WhiteBoxAesCipher cipher;
    cipher.SetTables(set.tables.get());
    const std::vector<uint8_t> plain = testsupport::hexBytes(kC1Plain);
    const std::vector<uint8_t> full = testsupport::hexBytes(vectors::kC3Cipher);
    uint8_t out[16];
    ASSERT_EQ(cipher.EncryptRounds(plain.data(), out, 14), STATUS_OK);
    EXPECT_EQ(std::vector<uint8_t>(out, out + 16), full);
    ASSERT_EQ(cipher.DecryptRounds(full.data(), out, 1), STATUS_OK);
    EXPECT_EQ(std::vector<uint8_t>(out, out + 16), plain);
    // Ten rounds of AES-256 tables are table rounds, not the cipher; above R a copy.
    ASSERT_EQ(cipher.EncryptRounds(plain.data(), out, 10), STATUS_OK);
    EXPECT_NE(std::vector<uint8_t>(out, out + 16), full);
    ASSERT_EQ(cipher.DecryptRounds(full.data(), out, 15), STATUS_OK);
    EXPECT_EQ(std::vector<uint8_t>(out, out + 16), full);
    cipher.SetTables(nullptr);
    EXPECT_EQ(cipher.RoundCount(), 0);
    EXPECT_EQ(cipher.EncryptBlock(plain.data(), out), STATUS_NO_TABLES);
}
