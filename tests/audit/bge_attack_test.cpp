// BGE step 1 on synthetic encoded round columns: random byte bijections around
// AddRoundKey, SubBytes and MixColumns, built here from FIPS-197 facts.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "aesref/aes_tables.h"
#include "audit/aes_network.h"
#include "audit/bge_attack.h"
#include "audit/table_headers.h"
#include "audit_fixture.h"
#include "support/support.h"

namespace {

ByteTable randomBijection(std::mt19937& rng) {
    ByteTable table{};
    for (unsigned v = 0; v < 256; ++v) table[v] = static_cast<uint8_t>(v);
    std::shuffle(table.begin(), table.end(), rng);
    return table;
}

ByteTable inverseOf(const ByteTable& table) {
    ByteTable inverse{};
    for (unsigned v = 0; v < 256; ++v) inverse[table[v]] = static_cast<uint8_t>(v);
    return inverse;
}

// The MixColumns matrix of FIPS-197 5.1.3: rows (2 3 1 1) rotated.
uint8_t mixCoefficient(int row, int column) {
    static const uint8_t row0[4] = {2, 3, 1, 1};
    return row0[(column - row) & 3];
}

// a(x) ^ a(0) is linear: every sum of two values maps to the sum of their images.
bool isAffine(const ByteTable& a) {
    for (unsigned u = 0; u < 256; ++u) {
        for (unsigned v = 0; v < 256; ++v) {
            if ((a[u ^ v] ^ a[0]) != (a[u] ^ a[v])) return false;
        }
    }
    return true;
}

// After step 2, as input byte q varies, corrected output byte b moves by
// rho = mix(b, q) / mix(0, q) times what byte 0 moves: one field multiplication
// per column is all that is left of the linear parts.
::testing::AssertionResult linearPartsRemoved(const ColumnRound& round, Direction direction,
                                              const std::array<ByteTable, 4>& decoders) {
    for (int q = 0; q < 4; ++q) {
        uint8_t base[4] = {9, 8, 7, 6};
        uint8_t out0[4];
        round(base, out0);
        for (unsigned x = 0; x < 256; ++x) {
            uint8_t in[4] = {9, 8, 7, 6};
            in[q] = static_cast<uint8_t>(x);
            uint8_t out[4];
            round(in, out);
            const uint8_t d0 = static_cast<uint8_t>(decoders[0][out[0]] ^ decoders[0][out0[0]]);
            for (int b = 1; b < 4; ++b) {
                const uint8_t rho = gfMultiply(mixCoefficient(direction, b, q), gfInverse(mixCoefficient(direction, 0, q)));
                const uint8_t db = static_cast<uint8_t>(decoders[static_cast<size_t>(b)][out[b]] ^
                                                        decoders[static_cast<size_t>(b)][out0[b]]);
                if (db != gfMultiply(rho, d0)) {
                    return ::testing::AssertionFailure() << "input " << q << " output " << b << " x " << x;
                }
            }
        }
    }
    return ::testing::AssertionSuccess();
}

} // namespace

TEST(BgeAttack, RecoversTheOutputEncodingsUpToAnAffineMap) {
    std::mt19937 rng(5);
    for (int trial = 0; trial < 3; ++trial) {
        std::array<ByteTable, 4> inputDecoding{};
        std::array<ByteTable, 4> outputEncoding{};
        uint8_t key[4];
        for (int i = 0; i < 4; ++i) {
            inputDecoding[i] = inverseOf(randomBijection(rng));
            outputEncoding[i] = randomBijection(rng);
            key[i] = static_cast<uint8_t>(rng());
        }
        const ColumnRound round = [&](const uint8_t in[4], uint8_t out[4]) {
            uint8_t v[4];
            for (int i = 0; i < 4; ++i) v[i] = aesSbox[inputDecoding[i][in[i]] ^ key[i]];
            for (int j = 0; j < 4; ++j) {
                uint8_t u = 0;
                for (int i = 0; i < 4; ++i) u = static_cast<uint8_t>(u ^ gfMultiply(mixCoefficient(j, i), v[i]));
                out[j] = outputEncoding[j][u];
            }
        };
        for (const BgeForm form : {BgeForm::Plain, BgeForm::Improved}) {
            std::array<ByteTable, 4> decoders{};
            ASSERT_TRUE(recoverNonlinearParts(round, decoders, form)) << trial;
            for (int j = 0; j < 4; ++j) {
                ByteTable composed{};
                for (unsigned u = 0; u < 256; ++u) composed[u] = decoders[j][outputEncoding[j][u]];
                EXPECT_TRUE(isAffine(composed)) << trial << " " << j << " form " << static_cast<int>(form);
                EXPECT_FALSE(isAffine(outputEncoding[j])) << "a random encoding is not affine already";
            }
        }
    }
}

TEST(BgeAttack, StepTwoLeavesOneFieldMultiplicationPerColumn) {
    std::mt19937 rng(8);
    for (const Direction direction : {Direction::Encrypt, Direction::Decrypt}) {
        std::array<ByteTable, 4> inputDecoding{};
        std::array<ByteTable, 4> outputEncoding{};
        for (size_t i = 0; i < 4; ++i) {
            inputDecoding[i] = inverseOf(randomBijection(rng));
            outputEncoding[i] = randomBijection(rng);
        }
        const uint8_t* box = direction == Direction::Encrypt ? aesSbox : aesInvSbox;
        const ColumnRound round = [&](const uint8_t in[4], uint8_t out[4]) {
            uint8_t v[4];
            for (size_t i = 0; i < 4; ++i) v[i] = box[inputDecoding[i][in[i]] ^ 0x5c];
            for (int j = 0; j < 4; ++j) {
                uint8_t u = 0;
                for (int i = 0; i < 4; ++i) {
                    u = static_cast<uint8_t>(u ^ gfMultiply(mixCoefficient(direction, j, i), v[static_cast<size_t>(i)]));
                }
                out[j] = outputEncoding[static_cast<size_t>(j)][u];
            }
        };
        for (const BgeForm form : {BgeForm::Plain, BgeForm::Improved}) {
            std::array<ByteTable, 4> decoders{};
            ASSERT_TRUE(recoverLinearParts(round, direction, decoders, form));
            EXPECT_TRUE(linearPartsRemoved(round, direction, decoders)) << static_cast<int>(form);
        }
    }
}

TEST(BgeAttack, RefusesColumnsOfAnotherForm) {
    std::mt19937 rng(6);
    const ByteTable encoding = randomBijection(rng);
    // Modular addition makes a cyclic group, not GF(2)^8; a constant output is
    // no bijection.
    const ColumnRound modular = [&](const uint8_t in[4], uint8_t out[4]) {
        for (int j = 0; j < 4; ++j) out[j] = encoding[static_cast<uint8_t>(in[0] + in[1] + in[2] + j)];
    };
    const ColumnRound constant = [](const uint8_t in[4], uint8_t out[4]) {
        for (int j = 0; j < 4; ++j) out[j] = in[1];
    };
    for (const BgeForm form : {BgeForm::Plain, BgeForm::Improved}) {
        std::array<ByteTable, 4> decoders{};
        EXPECT_FALSE(recoverNonlinearParts(modular, decoders, form));
        EXPECT_FALSE(recoverNonlinearParts(constant, decoders, form));
    }
}

// On real mixed tables from the tool: steps 1 and 2 on a column of table round 1 (round tables,
// XOR tables, mix tables, mix XOR tables composed as an attacker would) yields
// decoders under which any two output bytes of the column are affine images of
// each other as the first input byte varies, as they are of the plain values;
// the raw coded bytes are not.
TEST(BgeAttack, StepOneOnMixedTablesFromTheTool) {
    const audittest::TableRun run(audittest::randomKey(41), audittest::randomKey(42), "",
                                  "000102030405060708090A0B0C0D0E0F", {}, true);
    ASSERT_TRUE(run.ok()) << run.output();
    HeaderSet set;
    std::string error;
    ASSERT_EQ(loadHeaderSet(run.headers(), set, error), 0) << error;
    std::vector<uint8_t> mix;
    std::vector<uint8_t> mixXor;
    ASSERT_EQ(parseTableText(testsupport::readFile(run.file("out/mixTables.h")), "mixTables", kRoundTableBytes,
                             mix, error), 0) << error;
    ASSERT_EQ(parseTableText(testsupport::readFile(run.file("out/mixXorTables.h")), "mixXorTables",
                             kXorTableBytes, mixXor, error), 0) << error;
    const DirectionTables& e = set.encrypt;
    const size_t slot = 1;
    const size_t c = 2;
    // Byte b of the words t[0..3], summed by the XOR tables of column c.
    auto sum = [&](const std::vector<uint8_t>& xors, const uint8_t t[4][4], int b) {
        auto x = [&](size_t n, unsigned index) { return xors[((slot * 4 + c) * 24 + n) * 256 + index] & 15u; };
        unsigned lo = t[0][b] & 15u;
        unsigned hi = t[0][b] >> 4u;
        for (size_t u = 0; u < 3; ++u) {
            const unsigned y = t[u + 1][b];
            lo = x(6 * static_cast<size_t>(b) + 2 * u, ((y & 15u) << 4) | lo);
            hi = x(6 * static_cast<size_t>(b) + 2 * u + 1, (y & 0xF0u) | hi);
        }
        return static_cast<uint8_t>(hi << 4 | lo);
    };
    const ColumnRound round = [&](const uint8_t in[4], uint8_t out[4]) {
        uint8_t t[4][4];
        for (size_t q = 0; q < 4; ++q) {
            const size_t j = (c + q) & 3; // ShiftRows: row q of column c comes from column c + q
            for (size_t b = 0; b < 4; ++b) t[q][b] = e.round[(((slot * 4 + j) * 4 + q) * 256 + in[q]) * 4 + b];
        }
        uint8_t s[4];
        for (int b = 0; b < 4; ++b) s[b] = sum(e.xors, t, b);
        for (size_t q = 0; q < 4; ++q) {
            for (size_t b = 0; b < 4; ++b) t[q][b] = mix[(((slot * 4 + c) * 4 + q) * 256 + s[q]) * 4 + b];
        }
        for (int b = 0; b < 4; ++b) out[b] = sum(mixXor, t, b);
    };
    std::array<ByteTable, 4> decoders{};
    ASSERT_TRUE(recoverNonlinearParts(round, decoders));
    std::array<ByteTable, 4> refined{};
    ASSERT_TRUE(recoverLinearParts(round, Direction::Encrypt, refined));
    EXPECT_TRUE(linearPartsRemoved(round, Direction::Encrypt, refined));
    EXPECT_FALSE(linearPartsRemoved(round, Direction::Encrypt, decoders)) << "step 1 alone leaves them";

    // relation[y_0(x)] = y_1(x) as x runs over the first input byte.
    auto relation = [&](bool decoded) {
        ByteTable map{};
        for (unsigned x = 0; x < 256; ++x) {
            const uint8_t in[4] = {static_cast<uint8_t>(x), 7, 11, 13};
            uint8_t out[4];
            round(in, out);
            map[decoded ? decoders[0][out[0]] : out[0]] = decoded ? decoders[1][out[1]] : out[1];
        }
        return map;
    };
    EXPECT_TRUE(isAffine(relation(true)));
    EXPECT_FALSE(isAffine(relation(false)));
}

// Steps 1 to 3, in both forms, give both keys of mixed tables from the tool:
// without codings, under ECB codings and under a CBC triple (the external
// codings sit outside the rounds used).
TEST(BgeAttack, RecoversBothKeysOfMixedTables) {
    const struct {
        BgeForm form;
        const char* coding;
    } cases[] = {{BgeForm::Plain, ""},           {BgeForm::Plain, "/ecbioc:"},    {BgeForm::Improved, ""},
                 {BgeForm::Improved, "/ecbioc:"}, {BgeForm::Improved, "/cbcioc:"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.form == BgeForm::Plain ? "plain " : "improved ") +
                     (*c.coding == '\0' ? "no codings" : c.coding));
        const std::string encryptKey = audittest::randomKey(43);
        const std::string decryptKey = audittest::randomKey(44);
        const audittest::TableRun run(encryptKey, decryptKey, c.coding, "000102030405060708090A0B0C0D0E0F", {}, true);
        ASSERT_TRUE(run.ok()) << run.output();
        audittest::MixedSet mixed;
        ASSERT_TRUE(audittest::loadMixed(run, mixed));
        for (const Direction direction : {Direction::Encrypt, Direction::Decrypt}) {
            std::string failure;
            const std::optional<ClaimedKey> key = bgeRecoverKey(mixed.tables(direction), direction, c.form, &failure);
            ASSERT_TRUE(key) << failure;
            EXPECT_EQ(hexText(key->bytes().data(), 16), direction == Direction::Encrypt ? encryptKey : decryptKey);
        }
    }
}

// A damaged mix table (two entries of one byte's table swapped, so that round
// is no AES round under any encoding) or random mix tables: both forms give
// no key and name the step and the table round where they stopped.
TEST(BgeAttack, DamagedMixTablesGiveNoKeyAndSayWhere) {
    const audittest::TableRun run(audittest::randomKey(45), audittest::randomKey(46), "",
                                  "000102030405060708090A0B0C0D0E0F", {}, true);
    ASSERT_TRUE(run.ok()) << run.output();
    audittest::MixedSet mixed;
    ASSERT_TRUE(audittest::loadMixed(run, mixed));
    const audittest::MixHeaders& headers = mixed.encrypt;
    audittest::MixHeaders swapped = headers;
    // Table round 4, column 1, row 2: entries 17 and 200 (four bytes each).
    const size_t table = ((4 * 4 + 1) * 4 + 2) * 256 * 4;
    std::swap_ranges(swapped.mix.begin() + static_cast<std::ptrdiff_t>(table + 17 * 4),
                     swapped.mix.begin() + static_cast<std::ptrdiff_t>(table + 18 * 4),
                     swapped.mix.begin() + static_cast<std::ptrdiff_t>(table + 200 * 4));
    audittest::MixHeaders random = headers;
    random.mix = testsupport::pseudoRandomBytes(headers.mix.size(), 7);
    const struct {
        const char* name;
        const audittest::MixHeaders& headers;
        const char* failure;
    } cases[] = {{"swapped", swapped, "no affine decoding of the outputs at table round 4, column 1"},
                 {"random", random, "no affine decoding of the outputs at table round 0, column 0"}};
    for (const auto& c : cases) {
        for (const BgeForm form : {BgeForm::Plain, BgeForm::Improved}) {
            SCOPED_TRACE(std::string(c.name) + (form == BgeForm::Plain ? " plain" : " improved"));
            std::string failure;
            EXPECT_FALSE(bgeRecoverKey({mixed.set.encrypt, c.headers.mix, c.headers.mixXor}, Direction::Encrypt, form,
                                       &failure));
            EXPECT_EQ(failure, c.failure);
        }
    }
}
