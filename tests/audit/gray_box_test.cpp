// The gray-box attacks, DCA on look-up traces and DFA with one-byte faults, in
// both views on tables of both formats made by the real tool; what they claim
// on random and tampered tables; and the claim check they all pass.
#include <gtest/gtest.h>

#include <memory>
#include <span>

#include "audit/aes_network.h"
#include "audit/dca_attack.h"
#include "audit/dfa_attack.h"
#include "audit/gray_box_view.h"
#include "audit_fixture.h"

namespace {

using audittest::randomKey;
using audittest::TableRun;

const char* const kSeed = "5EED5EED5EED5EED5EED5EED5EED5EED";

std::string keyHex(std::span<const uint8_t> key) { return hexText(key.data(), key.size()); }

// One "/g:" run, parsed, with the coding files of both directions when it has them.
struct LoadedRun {
    LoadedRun(uint32_t keySeed, const std::string& coding, bool isMixed)
        : run(randomKey(keySeed), randomKey(keySeed + 1), coding, kSeed, {}, isMixed), mixed(isMixed),
          encryptKey(randomKey(keySeed)), decryptKey(randomKey(keySeed + 1)) {
        ok = run.ok() && audittest::loadRun(run, mixed, set);
        hasCodings = !coding.empty();
        std::string error;
        for (int d = 0; d < 2 && hasCodings && ok; ++d) {
            ok = readExternalCodings(run.file(d == 0 ? "ioc_encrypt.dat" : "ioc_decrypt.dat"), codings[d], error) == 0;
        }
    }
    NetworkTables tables(Direction d) const { return audittest::networkOf(set, d, mixed); }
    // The plaintext-known view: the run's coding files, or none.
    const ExternalCodings* known(Direction d) const {
        return hasCodings ? &codings[d == Direction::Encrypt ? 0 : 1] : nullptr;
    }
    const std::string& key(Direction d) const { return d == Direction::Encrypt ? encryptKey : decryptKey; }

    TableRun run;
    bool mixed;
    std::string encryptKey;
    std::string decryptKey;
    audittest::MixedSet set;
    bool hasCodings = false;
    ExternalCodings codings[2];
    bool ok = false;
};

const Direction kDirections[2] = {Direction::Encrypt, Direction::Decrypt};

TEST(GrayBoxDca, RecoversTheKeyWithThePlaintextKnown) {
    // Classic encryption tables through single S-box output bits (rows 2 and
    // 3 of MixColumns pass them on unscaled); the decryption tables, whose
    // InvMixColumns scales every share, and mixed tables, whose mixing
    // bijections blur single bits, through the linear masks. The mixed
    // tables' inputs are coded through the coding file, as an application does.
    struct Case {
        bool mixed;
        const char* coding;
        DcaPredictions predictions;
        bool decryption;
    };
    for (const Case& c : {Case{false, "", DcaPredictions::SboxBits, false},
                          Case{false, "", DcaPredictions::LinearMasks, true},
                          Case{true, "/ecbioc:", DcaPredictions::LinearMasks, true}}) {
        SCOPED_TRACE(c.mixed ? "mixed" : c.predictions == DcaPredictions::SboxBits ? "classic, bits" : "classic, masks");
        const auto loaded = std::make_unique<LoadedRun>(71, c.coding, c.mixed);
        ASSERT_TRUE(loaded->ok) << loaded->run.output();
        for (Direction d : kDirections) {
            if (d == Direction::Decrypt && !c.decryption) continue;
            DcaOptions options;
            options.predictions = c.predictions;
            options.traces = 1000;
            const DcaResult result = dcaAttack(loaded->tables(d), d, loaded->known(d), options);
            ASSERT_TRUE(result.recovered()) << result.failure;
            EXPECT_EQ(keyHex(result.keyBytes()), loaded->key(d));
            // The first success on the doubling schedule 32, 64, ...
            EXPECT_TRUE(result.traces == 32 || result.traces == 64 || result.traces == 128 || result.traces == 256 ||
                        result.traces == 512 || result.traces == 1000)
                << result.traces;
        }
    }
}

TEST(GrayBoxDfa, RecoversBothFormatsKeysFromPlainOutputs) {
    struct Case {
        bool mixed;
        const char* coding;
    };
    for (const Case& c : {Case{false, ""}, Case{true, ""}, Case{false, "/cbcioc:"}, Case{true, "/ecbioc:"}}) {
        SCOPED_TRACE(std::string(c.mixed ? "mixed " : "classic ") + c.coding);
        const auto loaded = std::make_unique<LoadedRun>(81, c.coding, c.mixed);
        ASSERT_TRUE(loaded->ok) << loaded->run.output();
        for (Direction d : kDirections) {
            for (uint64_t seed : {1u, 2u, 3u}) {
                DfaOptions options;
                options.seed = seed;
                const DfaResult result = dfaAttack(loaded->tables(d), d, loaded->known(d), options);
                ASSERT_TRUE(result.recovered()) << result.failure;
                EXPECT_EQ(keyHex(result.keyBytes()), loaded->key(d));
                // Two faults per column at least, within the default limit.
                EXPECT_GE(result.faults, 8);
                EXPECT_LE(result.faults, 64);
            }
            DfaOptions few;
            few.faults = 3; // cannot reach all four columns twice
            const DfaResult cut = dfaAttack(loaded->tables(d), d, loaded->known(d), few);
            EXPECT_FALSE(cut.recovered());
            EXPECT_EQ(cut.faults, 3);
            EXPECT_NE(cut.failure.find("columns still open after 3 faulty runs"), std::string::npos) << cut.failure;
        }
    }
}

TEST(GrayBoxViews, CodedOnlyViewClaimsNothing) {
    for (bool mixed : {false, true}) {
        const char* coding = mixed ? "/cbcioc:" : "/ecbioc:";
        SCOPED_TRACE(std::string(mixed ? "mixed " : "classic ") + coding);
        const auto loaded = std::make_unique<LoadedRun>(91, coding, mixed);
        ASSERT_TRUE(loaded->ok) << loaded->run.output();
        for (Direction d : kDirections) {
            DcaOptions options;
            options.traces = 256;
            const DcaResult dca = dcaAttack(loaded->tables(d), d, nullptr, options);
            EXPECT_FALSE(dca.recovered()) << keyHex(dca.keyBytes());
            EXPECT_EQ(dca.traces, 256);
            EXPECT_EQ(dca.failure, "the first-ranked guesses failed the check at every point up to 256 traces");
            const DfaResult dfa = dfaAttack(loaded->tables(d), d, nullptr, DfaOptions{});
            EXPECT_FALSE(dfa.recovered()) << keyHex(dfa.keyBytes());
            EXPECT_NE(dfa.failure.find("no last round key fits the faulty outputs of column"), std::string::npos)
                << dfa.failure;
        }
    }
}

TEST(GrayBoxHonesty, RandomTablesClaimNothing) {
    for (bool mixed : {false, true}) {
        SCOPED_TRACE(mixed ? "mixed" : "classic");
        DirectionTables random{testsupport::pseudoRandomBytes(kRoundTableBytes, 1),
                               testsupport::pseudoRandomBytes(kXorTableBytes, 2),
                               testsupport::pseudoRandomBytes(kLastTableBytes, 3)};
        for (uint8_t& v : random.xors) v &= 15;
        const std::vector<uint8_t> mix = testsupport::pseudoRandomBytes(kRoundTableBytes, 4);
        std::vector<uint8_t> mixXor = testsupport::pseudoRandomBytes(kXorTableBytes, 5);
        NetworkTables tables{&random};
        if (mixed) {
            tables.mix = &mix;
            tables.mixXor = &mixXor;
        }
        for (Direction d : kDirections) {
            DcaOptions options;
            options.traces = 128;
            EXPECT_FALSE(dcaAttack(tables, d, nullptr, options).recovered());
            const DfaResult dfa = dfaAttack(tables, d, nullptr, DfaOptions{});
            EXPECT_FALSE(dfa.recovered());
            EXPECT_FALSE(dfa.failure.empty());
        }
    }
}

// One table entry changed after generation: whatever an attack still finds, no
// key other than the generation's own is ever claimed.
TEST(GrayBoxHonesty, ATamperedNetworkNeverGivesAWrongKey) {
    enum Table { FirstRound, LastRoundXor, LastTable, LastRoundMix };
    struct Case {
        bool mixed;
        Table table;
        const char* name;
    };
    const Case cases[] = {{false, FirstRound, "first round table"}, {false, LastRoundXor, "last table round's XOR"},
                          {false, LastTable, "last byte table"},    {true, FirstRound, "mixed first round table"},
                          {true, LastRoundMix, "mixed last round's mix table"}};
    const auto classic = std::make_unique<LoadedRun>(101, "", false);
    const auto mixed = std::make_unique<LoadedRun>(101, "", true);
    ASSERT_TRUE(classic->ok && mixed->ok);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const LoadedRun& loaded = c.mixed ? *mixed : *classic;
        for (Direction d : kDirections) {
            const NetworkTables original = loaded.tables(d);
            DirectionTables t = *original.classic; // a copy to tamper with
            std::vector<uint8_t> mix = c.mixed ? *original.mix : std::vector<uint8_t>();
            NetworkTables tampered{&t};
            if (c.mixed) {
                tampered.mix = &mix;
                tampered.mixXor = original.mixXor;
            }
            const size_t last = static_cast<size_t>(stageSlot(d, 8, 10));
            const size_t first = static_cast<size_t>(stageSlot(d, 0, 10));
            switch (c.table) {
            case FirstRound: t.round[first * 16384 + 5 * 1024 + 77 * 4 + 1] ^= 0x10; break;
            case LastRoundXor: t.xors[last * 24576 + 2 * 6144 + 7 * 256 + 0x3C] ^= 0x05; break;
            case LastTable: t.last[9 * 256 + 200] ^= 0x81; break;
            case LastRoundMix: mix[last * 16384 + 3 * 4096 + 1 * 1024 + 10 * 4 + 2] ^= 0x40; break;
            }
            DcaOptions options;
            options.traces = 128;
            const DcaResult dca = dcaAttack(tampered, d, nullptr, options);
            EXPECT_TRUE(!dca.recovered() || keyHex(dca.keyBytes()) == loaded.key(d)) << keyHex(dca.keyBytes());
            for (uint64_t seed : {1u, 2u}) {
                DfaOptions faults;
                faults.seed = seed;
                const DfaResult dfa = dfaAttack(tampered, d, nullptr, faults);
                EXPECT_TRUE(!dfa.recovered() || keyHex(dfa.keyBytes()) == loaded.key(d)) << keyHex(dfa.keyBytes());
            }
        }
    }
}

TEST(GrayBoxViews, TheClaimCheckTakesOnlyTheKeyTheTablesComputeThroughTheView) {
    const auto loaded = std::make_unique<LoadedRun>(111, "/ecbioc:", false);
    ASSERT_TRUE(loaded->ok) << loaded->run.output();
    for (Direction d : kDirections) {
        std::array<uint8_t, 16> key{};
        const std::vector<uint8_t> bytes = testsupport::hexBytes(loaded->key(d));
        std::copy(bytes.begin(), bytes.end(), key.begin());
        EXPECT_TRUE(claimGrayBoxKey(loaded->tables(d), d, loaded->known(d), key));
        EXPECT_FALSE(claimGrayBoxKey(loaded->tables(d), d, nullptr, key)); // the codings are part of the view
        EXPECT_FALSE(claimGrayBoxKey(loaded->tables(d), d, loaded->known(kDirections[d == Direction::Encrypt]), key));
        key[15] ^= 1;
        EXPECT_FALSE(claimGrayBoxKey(loaded->tables(d), d, loaded->known(d), key));
    }
}

} // namespace
