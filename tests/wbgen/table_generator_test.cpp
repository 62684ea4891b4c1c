// Table generation: known answers and OpenSSL agreement through an evaluator of
// the table network written here from the layout alone, plus the structural
// properties of the generated tables and the handling of malformed keys.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "aesref/rijndael.h"
#include "coding/ecb_codings.h"
#include "support/known_answers.h"
#include "support/reference_crypto.h"
#include "support/support.h"
#include "support/twin_source.h"
#include "wbgen/table_generator.h"

namespace {

using Block = std::array<uint8_t, 16>;

const RandomState kStateA = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77,
                             0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF};
const RandomState kStateB = {0x5A, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07,
                             0x08, 0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F};

using testsupport::advancedState;
using testsupport::hexText;
using vectors::kC1Key;
using vectors::kC1Plain;
using vectors::kC1Cipher;

// The 16 bytes of bytes at offset.
Block toBlock(const std::vector<uint8_t>& bytes, size_t offset = 0) {
    Block block{};
    std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(offset), 16, block.begin());
    return block;
}

// The evaluation of a table set, straight from the layout: t[j][k] is the
// round-table entry of the byte at row k, column j; output column c sums the
// contributions of rows 0..3 taken from columns (q + c) or (c - q) mod 4.
// A key of R rounds has R - 1 table rounds: slots 0.. R - 2 forwards, R - 1 .. 1
// backwards.
template <int Rounds>
Block evaluate(const TableStorageOf<Rounds>& tables, const Block& in, bool encrypt) {
    uint8_t s[4][4];
    for (int j = 0; j < 4; ++j) {
        for (int k = 0; k < 4; ++k) {
            s[k][j] = in[static_cast<size_t>(4 * j + k)];
        }
    }
    for (int step = 0; step < Rounds - 1; ++step) {
        const int r = encrypt ? step : Rounds - 1 - step;
        const auto& T = encrypt ? tables.enc.roundTables[r] : tables.dec.invRoundTables[r];
        const auto& X = encrypt ? tables.enc.xorTables[r] : tables.dec.invXorTables[r];
        uint8_t t[4][4][4];
        for (int j = 0; j < 4; ++j) {
            for (int k = 0; k < 4; ++k) {
                std::memcpy(t[j][k], T[j][k][s[k][j]], 4);
            }
        }
        uint8_t next[4][4];
        for (int c = 0; c < 4; ++c) {
            for (int b = 0; b < 4; ++b) {
                uint8_t a[4];
                for (int q = 0; q < 4; ++q) {
                    a[q] = t[encrypt ? (q + c) & 3 : (c - q) & 3][q][b];
                }
                int acc = a[0];
                for (int q = 0; q < 3; ++q) {
                    const int lo = X[c][6 * b + 2 * q][((a[q + 1] & 0x0F) << 4) | (acc & 0x0F)];
                    const int hi = X[c][6 * b + 2 * q + 1][(a[q + 1] & 0xF0) | (acc >> 4)];
                    acc = (hi << 4) | lo;
                }
                next[b][c] = static_cast<uint8_t>(acc);
            }
        }
        std::memcpy(s, next, sizeof s);
    }
    const auto& F = encrypt ? tables.enc.finalRoundTable : tables.dec.invFirstRoundTable;
    Block out{};
    for (int k = 0; k < 4; ++k) {
        for (int c = 0; c < 4; ++c) {
            const int j = encrypt ? (k + c) & 3 : (c - k) & 3;
            out[static_cast<size_t>(4 * c + k)] = F[j][k][s[k][j]];
        }
    }
    return out;
}

template <class Storage = TableStorage>
std::unique_ptr<Storage> newStorage(uint8_t fill = 0) {
    auto storage = std::make_unique<Storage>();
    std::memset(storage.get(), fill, sizeof(Storage));
    return storage;
}

// Both directions from one generator, as the commands do.
template <class Storage = TableStorage>
std::unique_ptr<Storage> generateBoth(const RandomState& state, const char* keyText,
                                      const CodingSet* encIn = nullptr, const CodingSet* encOut = nullptr,
                                      const CodingSet* decIn = nullptr, const CodingSet* decOut = nullptr) {
    auto storage = newStorage<Storage>();
    std::ostringstream report;
    TableGenerator generator(state, report);
    EXPECT_EQ(generator.generateEncryptionTables(keyText, *storage, encIn, encOut), 0);
    EXPECT_EQ(generator.generateDecryptionTables(keyText, *storage, decIn, decOut), 0);
    EXPECT_EQ(report.str(), "");
    return storage;
}

// Plain tables of the FIPS-197 key, generated once for the tests that only read them.
const TableStorage& fipsTables() {
    static const std::unique_ptr<TableStorage> tables = generateBoth(kStateA, kC1Key);
    return *tables;
}

bool allBytesAre(const void* area, size_t size, uint8_t value) {
    const auto* bytes = static_cast<const uint8_t*>(area);
    return std::all_of(bytes, bytes + size, [value](uint8_t b) { return b == value; });
}

bool sameBytes(const TableStorage& a, const TableStorage& b) {
    return std::memcmp(&a, &b, sizeof(TableStorage)) == 0;
}

bool isPermutation(const uint8_t* values, size_t stride) {
    std::array<bool, 256> seen{};
    for (size_t x = 0; x < 256; ++x) {
        const uint8_t v = values[x * stride];
        if (seen[v]) {
            return false;
        }
        seen[v] = true;
    }
    return true;
}

// Round-table columns (fixed round, j, k, b over x) and the last tables per
// (j, k) are byte permutations; every filled XOR table holds each nibble 16 times.
void expectBalancedTables(const TableStorage& tables) {
    for (int r = 0; r < 9; ++r) {
        const int i = r + 1;
        for (int j = 0; j < 4; ++j) {
            for (int k = 0; k < 4; ++k) {
                for (int b = 0; b < 4; ++b) {
                    EXPECT_TRUE(isPermutation(&tables.enc.roundTables[r][j][k][0][b], 4)) << r << j << k << b;
                    EXPECT_TRUE(isPermutation(&tables.dec.invRoundTables[i][j][k][0][b], 4)) << i << j << k << b;
                }
            }
        }
        for (int c = 0; c < 4; ++c) {
            for (int n = 0; n < 24; ++n) {
                for (const uint8_t* table : {tables.enc.xorTables[r][c][n], tables.dec.invXorTables[i][c][n]}) {
                    int counts[256] = {};
                    for (int x = 0; x < 256; ++x) {
                        ++counts[table[x]];
                    }
                    for (int v = 0; v < 256; ++v) {
                        ASSERT_EQ(counts[v], v < 16 ? 16 : 0) << "round " << r << " column " << c << " table " << n;
                    }
                }
            }
        }
    }
    for (int j = 0; j < 4; ++j) {
        for (int k = 0; k < 4; ++k) {
            EXPECT_TRUE(isPermutation(tables.enc.finalRoundTable[j][k], 1));
            EXPECT_TRUE(isPermutation(tables.dec.invFirstRoundTable[j][k], 1));
        }
    }
}

CodingSet identitySet() {
    CodingSet set{};
    for (auto& record : set.records) {
        for (int x = 0; x < 256; ++x) {
            record.forward[x] = static_cast<uint8_t>(x);
            record.inverse[x] = static_cast<uint8_t>(x);
        }
    }
    return set;
}

} // namespace

TEST(TableGeneration, PlainTablesReproduceFips197C1) {
    const TableStorage& tables = fipsTables();
    const Block plain = toBlock(testsupport::hexBytes(kC1Plain));
    const Block cipher = toBlock(testsupport::hexBytes(kC1Cipher));
    EXPECT_EQ(evaluate(tables, plain, true), cipher);
    EXPECT_EQ(evaluate(tables, cipher, false), plain);
}

TEST(TableGeneration, PlainTablesAgreeWithOpenSsl) {
    const std::vector<uint8_t> keyBytes = testsupport::pseudoRandomBytes(16, 41);
    const std::string key = hexText(keyBytes.data(), 16);
    auto tables = generateBoth(kStateB, key.c_str());
    const std::vector<uint8_t> data = testsupport::pseudoRandomBytes(16 * 200, 42);
    const std::vector<uint8_t> sealed = testsupport::referenceAes(true, keyBytes, testsupport::kEcb, data);
    const std::vector<uint8_t> opened = testsupport::referenceAes(false, keyBytes, testsupport::kEcb, data);
    for (size_t n = 0; n < data.size(); n += 16) {
        const Block block = toBlock(data, n);
        ASSERT_EQ(evaluate(*tables, block, true), toBlock(sealed, n)) << n;
        ASSERT_EQ(evaluate(*tables, block, false), toBlock(opened, n)) << n;
    }
}

TEST(TableGeneration, ExternalEcbCodingsAreUndoneAndApplied) {
    RandomSource random(kStateB);
    auto sets = std::make_unique<std::array<CodingSet, 4>>(); // enc in, enc out, dec in, dec out
    for (CodingSet& set : *sets) {
        ASSERT_EQ(makeCodingSet(random, set), 0);
    }
    const auto& [encIn, encOut, decIn, decOut] = *sets;
    auto tables = generateBoth(kStateA, kC1Key, &encIn, &encOut, &decIn, &decOut);
    expectBalancedTables(*tables);

    const std::vector<uint8_t> data = testsupport::pseudoRandomBytes(16 * 100, 7);
    const std::vector<uint8_t> key = testsupport::hexBytes(kC1Key);
    for (bool encrypt : {true, false}) {
        const std::vector<uint8_t> expected = testsupport::referenceAes(encrypt, key, testsupport::kEcb, data);
        for (size_t n = 0; n < data.size(); n += 16) {
            Block coded = toBlock(data, n);
            encodeData(coded.data(), 16, encrypt ? encIn : decIn);
            Block result = evaluate(*tables, coded, encrypt);
            decodeData(result.data(), 16, encrypt ? encOut : decOut);
            ASSERT_EQ(result, toBlock(expected, n)) << (encrypt ? "enc " : "dec ") << n;
        }
    }
}

TEST(TableGeneration, IdentityCodingSetsChangeNoByte) {
    auto identity = std::make_unique<CodingSet>(identitySet());
    auto coded = generateBoth(kStateA, kC1Key, identity.get(), identity.get(), identity.get(),
                              identity.get());
    EXPECT_TRUE(sameBytes(*coded, fipsTables()));
}

TEST(TableGeneration, SameStateGivesSameBytesAndFreshDrawsGiveOtherTablesForTheSameCipher) {
    auto again = generateBoth(kStateA, kC1Key);
    EXPECT_TRUE(sameBytes(*again, fipsTables()));

    // A second generation on the same generator draws fresh codings.
    auto storage = newStorage();
    TableGenerator generator(kStateA, std::cout);
    ASSERT_EQ(generator.generateEncryptionTables(kC1Key, *storage, nullptr, nullptr), 0);
    ASSERT_EQ(generator.generateDecryptionTables(kC1Key, *storage, nullptr, nullptr), 0);
    EXPECT_TRUE(sameBytes(*storage, fipsTables()));
    ASSERT_EQ(generator.generateEncryptionTables(kC1Key, *storage, nullptr, nullptr), 0);
    ASSERT_EQ(generator.generateDecryptionTables(kC1Key, *storage, nullptr, nullptr), 0);
    EXPECT_NE(std::memcmp(&storage->enc, &fipsTables().enc, sizeof(EncryptionTableSet)), 0);
    EXPECT_NE(std::memcmp(&storage->dec, &fipsTables().dec, sizeof(DecryptionTableSet)), 0);

    const Block plain = toBlock(testsupport::hexBytes(kC1Plain));
    const Block cipher = toBlock(testsupport::hexBytes(kC1Cipher));
    EXPECT_EQ(evaluate(*storage, plain, true), cipher);
    EXPECT_EQ(evaluate(*storage, cipher, false), plain);
}

// Each direction draws nibble codings 0..2016 of 16 draws each, coding 0
// included though no table uses it, and nothing else, with or without external
// sets. Dropping or adding a draw keeps the tables correct but changes every
// byte generated for a fixed seed.
TEST(TableGeneration, EachDirectionDrawsExactly2017NibbleCodings) {
    constexpr uint64_t kDrawsPerDirection = (2016 + 1) * 16;
    RandomSource random(kStateB);
    auto sets = std::make_unique<std::array<CodingSet, 2>>();
    ASSERT_EQ(makeCodingSet(random, (*sets)[0]), 0);
    ASSERT_EQ(makeCodingSet(random, (*sets)[1]), 0);

    for (bool external : {false, true}) {
        SCOPED_TRACE(external ? "external sets" : "plain");
        const CodingSet* in = external ? &(*sets)[0] : nullptr;
        const CodingSet* out = external ? &(*sets)[1] : nullptr;
        auto storage = newStorage();
        std::ostringstream report;
        TableGenerator generator(kStateA, report);
        ASSERT_EQ(generator.generateEncryptionTables(kC1Key, *storage, in, out), 0);
        EXPECT_EQ(generator.random().state(), advancedState(kStateA, kDrawsPerDirection));
        ASSERT_EQ(generator.generateDecryptionTables(kC1Key, *storage, out, in), 0);
        EXPECT_EQ(generator.random().state(), advancedState(kStateA, 2 * kDrawsPerDirection));
    }
}

TEST(TableGeneration, LeavesTheUnusedSlotsZero) {
    const TableStorage& tables = fipsTables();
    EXPECT_TRUE(allBytesAre(tables.enc.roundTables[9], sizeof tables.enc.roundTables[9], 0));
    EXPECT_TRUE(allBytesAre(tables.enc.xorTables[9], sizeof tables.enc.xorTables[9], 0));
    EXPECT_TRUE(allBytesAre(tables.dec.invRoundTables[0], sizeof tables.dec.invRoundTables[0], 0));
    EXPECT_TRUE(allBytesAre(tables.dec.invXorTables[0], sizeof tables.dec.invXorTables[0], 0));
}

TEST(TableGeneration, PlainTablesAreBalanced) {
    expectBalancedTables(fipsTables());
}

TEST(TableGeneration, EncryptionClearsTheWholeAreaDecryptionOnlyWritesItsHalf) {
    auto storage = newStorage(0xA5);
    TableGenerator generator(kStateA, std::cout);
    ASSERT_EQ(generator.generateDecryptionTables(kC1Key, *storage, nullptr, nullptr), 0);
    EXPECT_TRUE(allBytesAre(&storage->enc, sizeof storage->enc, 0xA5));
    // Index 0 is not written; it relies on the clearing by the encryption generation.
    EXPECT_TRUE(allBytesAre(storage->dec.invRoundTables[0], sizeof storage->dec.invRoundTables[0], 0xA5));

    std::memset(storage.get(), 0xA5, sizeof(TableStorage));
    ASSERT_EQ(generator.generateEncryptionTables(kC1Key, *storage, nullptr, nullptr), 0);
    EXPECT_TRUE(allBytesAre(&storage->dec, sizeof storage->dec, 0));
    EXPECT_TRUE(allBytesAre(storage->enc.xorTables[9], sizeof storage->enc.xorTables[9], 0));
}

// A key text whose first 32 characters are not all hex digits used to yield
// tables for the all-zero schedule of the cleared key record.
TEST(TableGeneration, MalformedKeyTextWritesNothingAndDrawsNothing) {
    const char* const badKeys[] = {
        "",
        "000102030405060708090a0b0c0d0e0",  // 31 digits
        "g00102030405060708090a0b0c0d0e0f",
        "000102030405060708090a0b0c0d0e0G",
        "00010203040506 708090a0b0c0d0e0f",
        "0x0102030405060708090a0b0c0d0e0f",
        nullptr,
    };
    auto storage = newStorage(0x3C);
    TableGenerator generator(kStateA, std::cout);
    for (const char* key : badKeys) {
        SCOPED_TRACE(key == nullptr ? "(null)" : key);
        EXPECT_EQ(generator.generateEncryptionTables(key, *storage, nullptr, nullptr), BAD_KEY_MAT);
        EXPECT_EQ(generator.generateDecryptionTables(key, *storage, nullptr, nullptr), BAD_KEY_MAT);
        EXPECT_TRUE(allBytesAre(storage.get(), sizeof(TableStorage), 0x3C));
        EXPECT_EQ(generator.random().state(), kStateA);
    }
}

TEST(TableGeneration, IgnoresCharactersAfterThe32nd) {
    const std::string longKey = std::string(kC1Key) + "zz not a key";
    auto tables = generateBoth(kStateA, longKey.c_str());
    EXPECT_TRUE(sameBytes(*tables, fipsTables()));
    // Upper-case digits are the same key.
    auto upper = generateBoth(kStateA, "000102030405060708090A0B0C0D0E0F");
    EXPECT_TRUE(sameBytes(*upper, fipsTables()));
}

TEST(CodingHelpers, DecodeInputAndEncodeOutputByKind) {
    // Nibble codings 0..2: coding n maps v to (v + n + 1) mod 16 (forward); the
    // inverse tables undo it.
    uint8_t forwards[48];
    uint8_t inverses[48];
    for (int n = 0; n < 3; ++n) {
        for (int v = 0; v < 16; ++v) {
            forwards[16 * n + v] = static_cast<uint8_t>((v + n + 1) & 15);
            inverses[16 * n + ((v + n + 1) & 15)] = static_cast<uint8_t>(v);
        }
    }
    auto set = std::make_unique<CodingSet>(identitySet());
    set->records[5].forward[0x42] = 0x99;
    set->records[5].inverse[0x42] = 0x77;

    const CodingRef plain{CODING_NONE, 0, 0};
    const CodingRef nibbles{CODING_NIBBLES, 2, 1}; // hi under coding 2, lo under coding 1
    const CodingRef external{CODING_EXTERNAL, kExternalCodingBase + 5, kExternalCodingBase + 5};

    EXPECT_EQ(decodeInput(0x42, plain, forwards, nullptr), 0x42);
    EXPECT_EQ(encodeOutput(0x42, plain, inverses, nullptr), 0x42);
    EXPECT_EQ(decodeInput(0x42, nibbles, forwards, nullptr), 0x74); // 4+3, 2+2
    EXPECT_EQ(encodeOutput(0x74, nibbles, inverses, nullptr), 0x42);
    EXPECT_EQ(decodeInput(0x42, external, forwards, set.get()), 0x77);
    EXPECT_EQ(encodeOutput(0x42, external, inverses, set.get()), 0x99);
}

namespace {

// AES-192 and AES-256 through the same network of R - 1 table rounds.
struct KeySize {
    const char* name;
    const char* fipsKey; // FIPS-197 C.2 or C.3
    const char* fipsCipher;
};
constexpr KeySize kAes192 = {"AES-192", vectors::kC2Key, vectors::kC2Cipher};
constexpr KeySize kAes256 = {"AES-256", vectors::kC3Key, vectors::kC3Cipher};

template <int Rounds>
void expectKeySizeTables(const KeySize& size) {
    SCOPED_TRACE(size.name);
    using Storage = TableStorageOf<Rounds>;
    const Block plain = toBlock(testsupport::hexBytes(kC1Plain));
    const Block cipher = toBlock(testsupport::hexBytes(size.fipsCipher));

    // Known answer, and a fixed state reproduces every byte.
    auto fips = generateBoth<Storage>(kStateA, size.fipsKey);
    EXPECT_EQ(evaluate(*fips, plain, true), cipher);
    EXPECT_EQ(evaluate(*fips, cipher, false), plain);
    auto again = generateBoth<Storage>(kStateA, size.fipsKey);
    EXPECT_EQ(std::memcmp(fips.get(), again.get(), sizeof(Storage)), 0);
    constexpr int unused = unusedEncryptionSlotOf(Rounds);
    EXPECT_TRUE(allBytesAre(fips->enc.roundTables[unused], sizeof(RoundTableSlot), 0));
    EXPECT_TRUE(allBytesAre(fips->enc.xorTables[unused], sizeof(XorTableSlot), 0));
    EXPECT_TRUE(allBytesAre(fips->dec.invRoundTables[kUnusedDecryptionSlot], sizeof(RoundTableSlot), 0));
    EXPECT_TRUE(allBytesAre(fips->dec.invXorTables[kUnusedDecryptionSlot], sizeof(XorTableSlot), 0));

    // A random key under ECB codings, against OpenSSL; each direction draws the
    // nibble codings 0..N of its network and nothing else.
    const std::vector<uint8_t> key = testsupport::pseudoRandomBytes(static_cast<size_t>(keyBitsOfRounds(Rounds) / 8), 77);
    const std::string keyText = hexText(key.data(), key.size());
    RandomSource random(kStateB);
    auto sets = std::make_unique<std::array<CodingSet, 4>>();
    ASSERT_EQ(makeEcbCodings(random, (*sets)[0], (*sets)[1]), 0);
    ASSERT_EQ(makeEcbCodings(random, (*sets)[2], (*sets)[3]), 0);
    auto storage = newStorage<Storage>();
    TableGenerator generator(kStateA, std::cout);
    const uint64_t draws = (codingCountOf(Rounds) + 1) * 16ull;
    ASSERT_EQ(generator.generateEncryptionTables(keyText.c_str(), *storage, &(*sets)[0], &(*sets)[1]), 0);
    EXPECT_EQ(generator.random().state(), advancedState(kStateA, draws));
    ASSERT_EQ(generator.generateDecryptionTables(keyText.c_str(), *storage, &(*sets)[2], &(*sets)[3]), 0);
    EXPECT_EQ(generator.random().state(), advancedState(kStateA, 2 * draws));
    const std::vector<uint8_t> data = testsupport::pseudoRandomBytes(16 * 8, 78);
    const std::vector<uint8_t> forward = testsupport::referenceAes(true, key, testsupport::kEcb, data);
    // The block at `at` of source, coded with inSet, through one direction's
    // tables, decoded with outSet.
    const auto through = [&](const std::vector<uint8_t>& source, size_t at, const CodingSet& inSet,
                             bool encrypt, const CodingSet& outSet) {
        std::vector<uint8_t> in(source.begin() + static_cast<std::ptrdiff_t>(at),
                                source.begin() + static_cast<std::ptrdiff_t>(at + 16));
        (void)encodeData(in.data(), 16, inSet);
        Block out = evaluate(*storage, toBlock(in), encrypt);
        (void)decodeData(out.data(), 16, outSet);
        return out;
    };
    for (size_t at = 0; at < data.size(); at += 16) {
        EXPECT_EQ(through(data, at, (*sets)[0], true, (*sets)[1]), toBlock(forward, at));
        EXPECT_EQ(through(forward, at, (*sets)[2], false, (*sets)[3]), toBlock(data, at));
    }
}

} // namespace

TEST(TableGeneration, LongerKeysGiveTablesOfTheirRoundCount) {
    expectKeySizeTables<kAes192Rounds>(kAes192);
    expectKeySizeTables<kAes256Rounds>(kAes256);
}

// The storage picks the key size: fewer digits than it needs are malformed key
// text; digits beyond them are not read.
TEST(TableGeneration, LongerKeysNeedAllTheirDigits) {
    const std::string c3 = vectors::kC3Key;
    auto s192 = newStorage<TableStorage192>(0x3C);
    auto s256 = newStorage<TableStorage256>(0x3C);
    TableGenerator generator(kStateA, std::cout);
    for (const std::string& key : {std::string(kC1Key), c3.substr(0, 47), c3.substr(0, 40) + "z" + c3.substr(41, 7)}) {
        SCOPED_TRACE(key);
        EXPECT_EQ(generator.generateEncryptionTables(key.c_str(), *s192, nullptr, nullptr), BAD_KEY_MAT);
        EXPECT_EQ(generator.generateDecryptionTables(key.c_str(), *s192, nullptr, nullptr), BAD_KEY_MAT);
    }
    for (const std::string& key : {std::string(vectors::kC2Key), c3.substr(0, 63), c3.substr(0, 63) + "g"}) {
        SCOPED_TRACE(key);
        EXPECT_EQ(generator.generateEncryptionTables(key.c_str(), *s256, nullptr, nullptr), BAD_KEY_MAT);
        EXPECT_EQ(generator.generateDecryptionTables(key.c_str(), *s256, nullptr, nullptr), BAD_KEY_MAT);
    }
    EXPECT_EQ(generator.generateEncryptionTables(static_cast<const char*>(nullptr), *s256, nullptr, nullptr),
              BAD_KEY_MAT);
    EXPECT_TRUE(allBytesAre(s192.get(), sizeof(TableStorage192), 0x3C));
    EXPECT_TRUE(allBytesAre(s256.get(), sizeof(TableStorage256), 0x3C));
    EXPECT_EQ(generator.random().state(), kStateA);

    // The first 48 digits of the C.3 key are an AES-192 key.
    auto cut = generateBoth<TableStorage192>(kStateA, c3.c_str());
    auto exact = generateBoth<TableStorage192>(kStateA, c3.substr(0, 48).c_str());
    EXPECT_EQ(std::memcmp(cut.get(), exact.get(), sizeof(TableStorage192)), 0);
}
