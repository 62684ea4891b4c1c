// AES-128 helpers: key text, state loading, padding, one-block and CBC
// ciphering, against published vectors and OpenSSL.
#include "aesref/aes128.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "support/known_answers.h"
#include "support/reference_crypto.h"
#include "support/support.h"

using testsupport::hexBytes;
using testsupport::referenceAes;
using testsupport::pseudoRandomBytes;
using Bytes = std::vector<uint8_t>;

namespace {

using namespace vectors;

// FIPS-197 Appendix C.1: the state after round 3.
constexpr const char* kC1Round3 = "fa636a2825b339c940668a3157244d17"; // round[4].start

// The tool's padding, written independently: p bytes of value p, or a whole
// block of zeros on a multiple of 16.
Bytes padded(Bytes data) {
    const size_t pad = 16 - data.size() % 16;
    data.insert(data.end(), pad, static_cast<uint8_t>(pad == 16 ? 0 : pad));
    return data;
}

// Runs AES128_EncryptCBC on a buffer with exactly the room the padding needs.
Bytes encryptCbc(const Bytes& plain, const Bytes& key, const Bytes& iv) {
    Bytes buffer = plain;
    buffer.resize(plain.size() + 16);
    uint32_t length = static_cast<uint32_t>(plain.size());
    uint32_t capacity = static_cast<uint32_t>(buffer.size());
    EXPECT_EQ(AES128_EncryptCBC(buffer.data(), &length, &capacity, key.data(), iv.data()),
              STATUS_OK);
    EXPECT_EQ(length % 16, 0u);
    buffer.resize(length);
    return buffer;
}

TEST(Aes128Block, Fips197AppendixC1InBothDirections) {
    const Bytes plain = hexBytes(kC1Plain);
    const Bytes cipherText = hexBytes(kC1Cipher);
    for (const char* keyText : {kC1Key, "000102030405060708090A0B0C0D0E0F"}) {
        uint8_t out[16] = {};
        EXPECT_EQ(AES128_EncryptBlockHex(keyText, plain.data(), out, 10), STATUS_OK);
        EXPECT_EQ(Bytes(out, out + 16), cipherText) << keyText;
        EXPECT_EQ(AES128_DecryptBlockHex(keyText, cipherText.data(), out, 0), STATUS_OK);
        EXPECT_EQ(Bytes(out, out + 16), plain) << keyText;

        // Limit 3 counts from either end to the same state.
        EXPECT_EQ(AES128_EncryptBlockHex(keyText, plain.data(), out, 3), STATUS_OK);
        EXPECT_EQ(Bytes(out, out + 16), hexBytes(kC1Round3));
        EXPECT_EQ(AES128_DecryptBlockHex(keyText, cipherText.data(), out, 3), STATUS_OK);
        EXPECT_EQ(Bytes(out, out + 16), hexBytes(kC1Round3));
    }

    Bytes block = plain;
    const Bytes key = hexBytes(kC1Key);
    EXPECT_EQ(AES128_EncryptBlockRounds(block.data(), key.data(), 10), STATUS_OK);
    EXPECT_EQ(block, cipherText);
    block = plain;
    EXPECT_EQ(AES128_EncryptBlockRounds(block.data(), key.data(), 0), STATUS_OK);
    for (size_t n = 0; n < 16; ++n) {
        EXPECT_EQ(block[n], plain[n] ^ key[n]) << n;
    }
}

TEST(Aes128Block, MalformedKeyTextLeavesInputInOutput) {
    const Bytes plain = hexBytes(kC1Plain);
    uint8_t out[16] = {};
    EXPECT_EQ(AES128_EncryptBlockHex("000102030405060708090a0b0c0d0e0", plain.data(), out, 10),
              STATUS_BAD_KEY_TEXT);
    EXPECT_EQ(Bytes(out, out + 16), plain);
    std::memset(out, 0, sizeof out);
    EXPECT_EQ(AES128_DecryptBlockHex("x00102030405060708090a0b0c0d0e0f", plain.data(), out, 0),
              STATUS_BAD_KEY_TEXT);
    EXPECT_EQ(Bytes(out, out + 16), plain);
}

TEST(Aes128Block, AgreesWithOpenSslOnRandomKeysAndBlocks) {
    for (uint32_t i = 0; i < 2000; ++i) {
        const Bytes key = pseudoRandomBytes(16, 2 * i + 1);
        const Bytes plain = pseudoRandomBytes(16, 2 * i + 2);
        const Bytes zeroIv(16, 0);
        Bytes block = plain;
        ASSERT_EQ(AES128_EncryptBlockRounds(block.data(), key.data(), 10), STATUS_OK);
        ASSERT_EQ(block, referenceAes(true, key, zeroIv.data(), plain)) << i;
    }
}

TEST(Aes128Cbc, Sp80038aF21AndF22) {
    const Bytes key = hexBytes(kCbcKey);
    const Bytes iv = hexBytes(kCbcIv);
    const Bytes plain = hexBytes(kCbcPlain);
    const Bytes cipherText = hexBytes(kCbcCipher);

    // F.2.1: 64 bytes encrypt to the published 64, then the zero padding block.
    const Bytes sealed = encryptCbc(plain, key, iv);
    ASSERT_EQ(sealed.size(), 80u);
    EXPECT_EQ(Bytes(sealed.begin(), sealed.begin() + 64), cipherText);
    const Bytes padBlock(cipherText.end() - 16, cipherText.end()); // zeros XOR last block
    EXPECT_EQ(Bytes(sealed.begin() + 64, sealed.end()),
              referenceAes(true, key, Bytes(16, 0).data(), padBlock));

    // F.2.2: the published ciphertext (followed by that padding block) decrypts
    // to the published plaintext.
    Bytes buffer = sealed;
    uint32_t length = static_cast<uint32_t>(buffer.size());
    EXPECT_EQ(AES128_DecryptCBC(buffer.data(), &length, key.data(), iv.data()), STATUS_OK);
    EXPECT_EQ(length, 64u);
    EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 64), plain);
}

TEST(Aes128Cbc, AgreesWithOpenSslAndRoundTripsOnEveryPadLength) {
    std::vector<uint32_t> lengths;
    for (uint32_t n = 0; n <= 64; ++n) {
        lengths.push_back(n);
    }
    lengths.push_back(800);
    lengths.push_back(1001);
    for (uint32_t n : lengths) {
        const Bytes key = pseudoRandomBytes(16, 1000 + n);
        const Bytes iv = pseudoRandomBytes(16, 2000 + n);
        const Bytes plain = pseudoRandomBytes(n, 3000 + n);
        const Bytes sealed = encryptCbc(plain, key, iv);
        ASSERT_EQ(sealed, referenceAes(true, key, iv.data(), padded(plain))) << "length " << n;

        Bytes buffer = sealed;
        uint32_t length = static_cast<uint32_t>(buffer.size());
        ASSERT_EQ(AES128_DecryptCBC(buffer.data(), &length, key.data(), iv.data()), STATUS_OK);
        ASSERT_EQ(length, n);
        ASSERT_EQ(Bytes(buffer.begin(), buffer.begin() + n), plain) << "length " << n;
    }
}

TEST(Aes128Cbc, OneBlockMessageIsPaddedBlockXorIvEncrypted) {
    const Bytes key = hexBytes(kCbcKey);
    const Bytes iv = hexBytes(kCbcIv);
    const Bytes ivCopy = iv;
    const Bytes plain = {0xde, 0xad, 0xbe, 0xef, 0x01};
    Bytes block = padded(plain);
    for (size_t n = 0; n < 16; ++n) {
        block[n] ^= iv[n];
    }
    EXPECT_EQ(encryptCbc(plain, key, iv), referenceAes(true, key, Bytes(16, 0).data(), block));
    EXPECT_EQ(iv, ivCopy);
}

TEST(Aes128Cbc, EncryptSizeQueryAndShortCapacity) {
    const Bytes key = hexBytes(kCbcKey);
    const Bytes iv = hexBytes(kCbcIv);

    uint32_t length = 800;
    uint32_t capacity = 0;
    EXPECT_EQ(AES128_EncryptCBC(nullptr, &length, &capacity, key.data(), iv.data()), STATUS_OK);
    EXPECT_EQ(capacity, 816u);
    EXPECT_EQ(length, 800u);

    // One byte short: 3 before any cipher work, the capacity names the room needed.
    const Bytes plain = pseudoRandomBytes(20, 7);
    Bytes buffer = plain;
    buffer.resize(31);
    length = 20;
    capacity = 31;
    EXPECT_EQ(AES128_EncryptCBC(buffer.data(), &length, &capacity, key.data(), iv.data()),
              STATUS_BUFFER_TOO_SMALL);
    EXPECT_EQ(capacity, 32u);
    EXPECT_EQ(length, 20u);
    EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 20), plain);
}

TEST(Aes128Cbc, DecryptRejectsWhatCannotBeCiphertext) {
    const Bytes key = hexBytes(kCbcKey);
    const Bytes iv = hexBytes(kCbcIv);

    const Bytes original = pseudoRandomBytes(24, 9);
    Bytes buffer = original;
    uint32_t length = 24;
    EXPECT_EQ(AES128_DecryptCBC(buffer.data(), &length, key.data(), iv.data()), STATUS_BAD_LENGTH);
    EXPECT_EQ(length, 24u);
    EXPECT_EQ(buffer, original);

    length = 0;
    EXPECT_EQ(AES128_DecryptCBC(buffer.data(), &length, key.data(), iv.data()), STATUS_BAD_LENGTH);
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(buffer, original);
    length = 16;
    EXPECT_EQ(AES128_DecryptCBC(nullptr, &length, key.data(), iv.data()), STATUS_BAD_LENGTH);
    EXPECT_EQ(length, 16u);

    // A ciphertext whose plaintext ends in 0x20 decrypts, then fails the pad check.
    Bytes plain = pseudoRandomBytes(32, 11);
    plain[31] = 0x20;
    Bytes sealed = referenceAes(true, key, iv.data(), plain);
    length = 32;
    EXPECT_EQ(AES128_DecryptCBC(sealed.data(), &length, key.data(), iv.data()), STATUS_BAD_PADDING);
    EXPECT_EQ(length, 32u);
    EXPECT_EQ(sealed, plain);
}

TEST(Aes128HexToKey, ParsesTheFirst32Characters) {
    struct Case {
        const char* text;
        int32_t result;
        const char* key; // expected bytes, zero after a failure point
    };
    const Case cases[] = {
        {"000102030405060708090a0b0c0d0e0f", STATUS_OK, "000102030405060708090a0b0c0d0e0f"},
        {"2B7E151628aed2a6ABF7158809cf4f3C", STATUS_OK, "2b7e151628aed2a6abf7158809cf4f3c"},
        {"000102030405060708090a0b0c0d0e0fgg11223344", STATUS_OK,
         "000102030405060708090a0b0c0d0e0f"},
        {"000102030405060708090a0b0c0d0e0", STATUS_BAD_KEY_TEXT,
         "000102030405060708090a0b0c0d0e00"},
        {"0001020304g5060708090a0b0c0d0e0f", STATUS_BAD_KEY_TEXT,
         "00010203040000000000000000000000"},
        {"", STATUS_BAD_KEY_TEXT, "00000000000000000000000000000000"},
    };
    for (const Case& c : cases) {
        uint8_t key[16];
        std::memset(key, 0xee, sizeof key);
        EXPECT_EQ(AES128_HexToKey(c.text, key), c.result) << c.text;
        EXPECT_EQ(Bytes(key, key + 16), hexBytes(c.key)) << c.text;
    }
}

TEST(Aes128BytesToState, FillsColumnsOnlyForSixteenBytes) {
    const Bytes bytes = hexBytes(kC1Plain);
    uint8_t state[4][MAXBC];
    std::memset(state, 0x77, sizeof state);
    EXPECT_EQ(AES128_BytesToState(bytes.data(), 15, state), STATUS_BAD_LENGTH);
    EXPECT_EQ(AES128_BytesToState(bytes.data(), 17, state), STATUS_BAD_LENGTH);
    for (const auto& row : state) {
        for (uint8_t b : row) {
            EXPECT_EQ(b, 0x77);
        }
    }
    EXPECT_EQ(AES128_BytesToState(bytes.data(), 16, state), STATUS_OK);
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < MAXBC; ++c) {
            EXPECT_EQ(state[r][c], c < 4 ? bytes[static_cast<size_t>(4 * c + r)] : 0x77)
                << r << " " << c;
        }
    }
}

TEST(Aes128Padding, AddsPadOfTheSchemeWhenRoomAllows) {
    struct Case {
        uint32_t length;
        uint32_t padded;
        uint8_t value;
    };
    const Case cases[] = {
        {0, 16, 0x00}, {1, 16, 0x0f}, {15, 16, 0x01}, {16, 32, 0x00},
        {17, 32, 0x0f}, {31, 32, 0x01}, {32, 48, 0x00},
    };
    for (const Case& c : cases) {
        Bytes buffer(c.padded + 4, 0xcc);
        uint32_t length = c.length;
        uint32_t capacity = static_cast<uint32_t>(buffer.size());
        EXPECT_EQ(AES128_AddPadding(buffer.data(), &length, &capacity), STATUS_OK) << c.length;
        EXPECT_EQ(length, c.padded);
        EXPECT_EQ(capacity, c.padded + 4); // unchanged
        for (uint32_t n = 0; n < buffer.size(); ++n) {
            const uint8_t expected = n < c.length ? 0xcc : n < c.padded ? c.value : 0xcc;
            EXPECT_EQ(buffer[n], expected) << "length " << c.length << ", byte " << n;
        }
    }
}

TEST(Aes128Padding, SizeQueryShortCapacityAndOverflow) {
    uint32_t length = 17;
    uint32_t capacity = 0;
    EXPECT_EQ(AES128_AddPadding(nullptr, &length, &capacity), STATUS_OK);
    EXPECT_EQ(capacity, 32u);
    EXPECT_EQ(length, 17u);

    Bytes buffer(31, 0xcc);
    capacity = 31;
    EXPECT_EQ(AES128_AddPadding(buffer.data(), &length, &capacity), STATUS_BUFFER_TOO_SMALL);
    EXPECT_EQ(capacity, 32u);
    EXPECT_EQ(length, 17u);
    EXPECT_EQ(buffer, Bytes(31, 0xcc));

    // The largest lengths whose padding still fits 32 bits, and the first that do not.
    length = 0xffffffefu;
    EXPECT_EQ(AES128_AddPadding(nullptr, &length, &capacity), STATUS_OK);
    EXPECT_EQ(capacity, 0xfffffff0u);
    for (uint32_t tooLong : {0xfffffff0u, 0xfffffff1u, 0xffffffffu}) {
        length = tooLong;
        capacity = 7;
        EXPECT_EQ(AES128_AddPadding(nullptr, &length, &capacity), STATUS_BUFFER_TOO_SMALL);
        EXPECT_EQ(length, tooLong);
        EXPECT_EQ(capacity, 7u);
        EXPECT_EQ(AES128_AddPadding(buffer.data(), &length, &capacity), STATUS_BUFFER_TOO_SMALL);
        EXPECT_EQ(capacity, 7u);
    }
}

TEST(Aes128Padding, RemovalChecksFromTheEnd) {
    struct Case {
        const char* name;
        Bytes data; // the buffer is exactly this long
        int32_t result;
        uint32_t length;
    };
    const Bytes zeros16(16, 0);
    Bytes endsInZeros(20, 0x41);
    endsInZeros.insert(endsInZeros.end(), 16, 0);
    Bytes fifteenZerosAfterOne(1, 0x01);
    fifteenZerosAfterOne.insert(fifteenZerosAfterOne.end(), 15, 0);
    const Case cases[] = {
        {"ends in 0x10", {0x41, 0x10}, STATUS_BAD_PADDING, 2},
        {"ends in 0xff", {0x41, 0xff}, STATUS_BAD_PADDING, 2},
        {"03 02 03", {0x41, 0x41, 0x03, 0x02, 0x03}, STATUS_BAD_PADDING, 2},
        {"03 03 03", {0x41, 0x41, 0x03, 0x03, 0x03}, STATUS_OK, 2},
        {"01", {0x41, 0x07, 0x01}, STATUS_OK, 2},
        {"16 zeros", endsInZeros, STATUS_OK, 20},
        {"exactly 16 zeros", zeros16, STATUS_OK, 0},
        {"01 then 15 zeros", fifteenZerosAfterOne, STATUS_BAD_PADDING, 0},
        {"exactly the pad", Bytes(15, 0x0f), STATUS_OK, 0},
        // Shorter than the pad the last byte announces: nothing read before
        // the buffer, length unchanged.
        {"15 zeros", Bytes(15, 0), STATUS_BAD_PADDING, 15},
        {"one zero", Bytes(1, 0), STATUS_BAD_PADDING, 1},
        {"03 03", {0x03, 0x03}, STATUS_BAD_PADDING, 2},
        {"0f", {0x0f}, STATUS_BAD_PADDING, 1},
    };
    for (const Case& c : cases) {
        // A heap copy of exactly this size, so the sanitizer build catches any
        // read in front of it.
        Bytes buffer = c.data;
        buffer.shrink_to_fit();
        uint32_t length = static_cast<uint32_t>(buffer.size());
        EXPECT_EQ(AES128_RemovePadding(buffer.data(), &length), c.result) << c.name;
        EXPECT_EQ(length, c.length) << c.name;
        EXPECT_EQ(buffer, c.data) << c.name;
    }

    uint32_t length = 0;
    const uint8_t none[1] = {0};
    EXPECT_EQ(AES128_RemovePadding(none, &length), STATUS_BAD_PADDING);
    EXPECT_EQ(length, 0u);
}

} // namespace
