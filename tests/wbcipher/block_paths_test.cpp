// The block paths (portable batch, unrolled single block, AVX-512 VBMI) and the
// buffer operations built on them, held to the plain single-block evaluator of
// each table format on random and generated tables, classic and mixed, of 10,
// 12 and 14 rounds, with and without external codings, over the lengths where
// batches begin and end and on unaligned buffers; and to OpenSSL.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <iostream>
#include <memory>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

#include "base/status.h"
#include "wb_fixture.h"
#include "wbcipher/block_paths.h"
#include "wbcipher/mixed_white_box_aes_cipher.h"
#include "wbcipher/white_box_aes_cipher.h"

using namespace wbfixture;

namespace {

const size_t kLengths[] = {0, 1, 63, 64, 65, 1000};

// Every byte drawn at random, XOR-table upper bits included: no structure for a
// fast path to lean on. One table set per format and round count
// (TableStorageOf or MixedTableStorageOf, mix tables included).
template <class Storage>
const Storage& randomTables() {
    static const std::unique_ptr<Storage> tables = [] {
        auto storage = std::make_unique<Storage>();
        const std::vector<uint8_t> bytes = testsupport::pseudoRandomBytes(sizeof(Storage), 400);
        std::memcpy(storage.get(), bytes.data(), bytes.size());
        return storage;
    }();
    return *tables;
}

// Generated mixed tables, one set per coding kind.
const MixedTableStorage& generatedMixedTables(Codings codings) {
    using testsupport::TableKind;
    static const std::unique_ptr<KeyTables> made[] = {
        builtSet(TableKind::Mixed, randomKeyText(410), 410, Codings::None),
        builtSet(TableKind::Mixed, randomKeyText(411), 411, Codings::Ecb),
        builtSet(TableKind::Mixed, randomKeyText(412), 412, Codings::Cbc)};
    return *made[static_cast<int>(codings)]->mixed;
}

// Generated tables of a longer key: of R rounds, in the format of kind, under codings.
template <int Rounds>
const testsupport::TableSetOf<Rounds>& generatedLongKeyTables(testsupport::TableKind kind, Codings codings) {
    static std::unique_ptr<testsupport::TableSetOf<Rounds>> made[2][3];
    auto& slot = made[kind == testsupport::TableKind::Mixed ? 1 : 0][static_cast<int>(codings)];
    if (!slot) {
        const auto seed = static_cast<uint32_t>(430 + Rounds + 3 * static_cast<int>(codings));
        const std::vector<uint8_t> key =
            testsupport::pseudoRandomBytes(static_cast<size_t>(keyHexDigitsOfRounds(Rounds) / 2), seed);
        slot = std::make_unique<testsupport::TableSetOf<Rounds>>();
        EXPECT_EQ(testsupport::makeTableSet(kind, hexText(key.data(), key.size()), stateFor(seed), codings, *slot),
                  STATUS_OK);
    }
    return *slot;
}

// A table set of any format and round count.
using AnyTables = std::variant<const TableStorage*, const TableStorage192*, const TableStorage256*,
                               const MixedTableStorage*, const MixedTableStorage192*, const MixedTableStorage256*>;

template <class Storage>
constexpr bool kMixedStorage = std::is_same_v<Storage, MixedTableStorageOf<Storage::kRounds>>;

struct NamedTables {
    const char* name;
    AnyTables tables;
    bool mixed() const {
        return std::visit([](auto* t) { return kMixedStorage<std::remove_const_t<std::remove_pointer_t<decltype(t)>>>; },
                          tables);
    }
    int rounds() const {
        return std::visit([](auto* t) { return std::remove_pointer_t<decltype(t)>::kRounds; }, tables);
    }
};

template <int Rounds>
std::vector<NamedTables> longKeySets(const char* random, const char* ecb, const char* mixedRandom,
                                     const char* mixedCbc) {
    using testsupport::TableKind;
    return {{random, &randomTables<TableStorageOf<Rounds>>()},
            {ecb, generatedLongKeyTables<Rounds>(TableKind::Classic, Codings::Ecb).tables.get()},
            {mixedRandom, &randomTables<MixedTableStorageOf<Rounds>>()},
            {mixedCbc, generatedLongKeyTables<Rounds>(TableKind::Mixed, Codings::Cbc).mixed.get()}};
}

std::vector<NamedTables> allTables() {
    std::vector<NamedTables> sets = {{"random", &randomTables<TableStorage>()},
                                     {"plain", plainTables(1).tables.get()},
                                     {"ECB-coded", ecbCodedTables().tables.get()},
                                     {"CBC-coded", cbcCodedTables().tables.get()},
                                     {"mixed random", &randomTables<MixedTableStorage>()},
                                     {"mixed plain", &generatedMixedTables(Codings::None)},
                                     {"mixed ECB-coded", &generatedMixedTables(Codings::Ecb)},
                                     {"mixed CBC-coded", &generatedMixedTables(Codings::Cbc)}};
    for (const auto& more : {longKeySets<kAes192Rounds>("R=12 random", "R=12 ECB-coded", "R=12 mixed random",
                                                        "R=12 mixed CBC-coded"),
                             longKeySets<kAes256Rounds>("R=14 random", "R=14 ECB-coded", "R=14 mixed random",
                                                        "R=14 mixed CBC-coded")}) {
        sets.insert(sets.end(), more.begin(), more.end());
    }
    return sets;
}

// Gives cipher the set's tables in its format (a MixedWhiteBoxAesCipher for mixed ones).
void setTables(WhiteBoxAesCipher& cipher, const NamedTables& set) {
    std::visit(
        [&cipher](auto* t) {
            if constexpr (!kMixedStorage<std::remove_const_t<std::remove_pointer_t<decltype(t)>>>) {
                cipher.SetTables(t);
            } else {
                ADD_FAILURE() << "mixed tables for a classic cipher";
            }
        },
        set.tables);
}
void setTables(MixedWhiteBoxAesCipher& cipher, const NamedTables& set) {
    std::visit(
        [&cipher](auto* t) {
            if constexpr (kMixedStorage<std::remove_const_t<std::remove_pointer_t<decltype(t)>>>) {
                cipher.SetMixedTables(t);
            } else {
                ADD_FAILURE() << "classic tables for a mixed cipher";
            }
        },
        set.tables);
}

BlockNetworksPtr networksFor(const NamedTables& set) {
    return std::visit([](auto* t) { return prepareBlockNetworks(*t); }, set.tables);
}

// The paths this build and CPU can run: the portable one, and AVX-512 VBMI where it can.
std::vector<BlockPath> supportedPaths() {
    std::vector<BlockPath> paths = {BlockPath::Portable};
    if (blockPathSupported(BlockPath::Avx512Vbmi)) paths.push_back(BlockPath::Avx512Vbmi);
    return paths;
}

// The reference: the plain evaluator of the set's format, block by block.
std::vector<uint8_t> plainBlocks(const NamedTables& set, Direction direction, const std::vector<uint8_t>& data) {
    WhiteBoxAesCipher classic;
    MixedWhiteBoxAesCipher mixed;
    WhiteBoxAesCipher& cipher = set.mixed() ? mixed : classic;
    if (set.mixed()) {
        setTables(mixed, set);
    } else {
        setTables(classic, set);
    }
    EXPECT_EQ(cipher.RoundCount(), set.rounds());
    std::vector<uint8_t> out(data.size());
    for (size_t n = 0; n < data.size(); n += 16) {
        // The object's own rounds: the plain evaluator of its class.
        const int32_t status = direction == Direction::Encryption
                                   ? cipher.EncryptRounds(&data[n], &out[n], set.rounds())
                                   : cipher.DecryptRounds(&data[n], &out[n], 1);
        EXPECT_EQ(status, STATUS_OK);
    }
    return out;
}

// One path on `blocks` blocks of a direction, from input to output.
using PathRun = std::function<void(Direction, const uint8_t*, uint8_t*, size_t)>;

// A path over the set's prepared networks: path(direction, network of that
// direction, input, output, blocks).
template <typename Path>
PathRun onPrepared(const NamedTables& set, Path path) {
    BlockNetworksPtr prepared = networksFor(set);
    EXPECT_NE(prepared, nullptr);
    return [prepared, path](Direction d, const uint8_t* in, uint8_t* out, size_t blocks) {
        path(d, prepared->of(d), in, out, blocks);
    };
}

// Runs a path from an input at offset inShift to an output at offset outShift
// of their own buffers (in place when inPlace), returns the output bytes.
std::vector<uint8_t> runShifted(const PathRun& run, Direction direction, const std::vector<uint8_t>& data,
                                size_t inShift, size_t outShift, bool inPlace) {
    std::vector<uint8_t> in(data.size() + inShift + 1, 0xA5);
    for (size_t n = 0; n < data.size(); ++n) {
        in[inShift + n] = data[n];
    }
    std::vector<uint8_t> out(data.size() + outShift + 1, 0x5A);
    uint8_t* target = inPlace ? &in[inShift] : &out[outShift];
    run(direction, &in[inShift], target, data.size() / 16);
    // The bytes around the output stay as they were.
    const std::vector<uint8_t>& holder = inPlace ? in : out;
    const size_t shift = inPlace ? inShift : outShift;
    EXPECT_EQ(holder.back(), inPlace ? 0xA5 : 0x5A);
    std::vector<uint8_t> result(data.size());
    for (size_t n = 0; n < result.size(); ++n) {
        result[n] = holder[shift + n];
    }
    return result;
}

// Holds run to the plain evaluator on every table set, direction and length,
// aligned, unaligned and in place.
void expectSameAsPlain(const std::function<PathRun(const NamedTables&)>& makeRun) {
    for (const NamedTables& set : allTables()) {
        const PathRun run = makeRun(set);
        for (Direction direction : {Direction::Encryption, Direction::Decryption}) {
            for (size_t length : kLengths) {
                const std::vector<uint8_t> data =
                    testsupport::pseudoRandomBytes(16 * length, static_cast<uint32_t>(500 + length));
                const std::vector<uint8_t> expected = plainBlocks(set, direction, data);
                SCOPED_TRACE(std::string(set.name) + (direction == Direction::Encryption ? " enc " : " dec ") +
                             std::to_string(length) + " blocks");
                EXPECT_EQ(runShifted(run, direction, data, 0, 0, false), expected);
                EXPECT_EQ(runShifted(run, direction, data, 1, 7, false), expected);
                EXPECT_EQ(runShifted(run, direction, data, 3, 0, true), expected);
            }
        }
    }
}

// Returns the same bytes as Cipher's plain evaluator, through the virtual calls.
template <class Cipher>
class Forwarding : public Cipher {
public:
    int32_t EncryptRounds(const uint8_t input[16], uint8_t output[16], int32_t rounds) override {
        ++calls;
        return Cipher::EncryptRounds(input, output, rounds);
    }
    int32_t DecryptRounds(const uint8_t input[16], uint8_t output[16], int32_t rounds) override {
        ++calls;
        return Cipher::DecryptRounds(input, output, rounds);
    }
    int calls = 0;
};
using ForwardingCipher = Forwarding<WhiteBoxAesCipher>;

// CBC of Cipher (on the block paths) against Forwarding<Cipher>, which chains
// block by block through the plain evaluator, over every length.
template <class Cipher>
void expectCbcSameAsPlain(const NamedTables& set, BlockPath path) {
    const uint8_t iv[16] = {9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 1, 2, 3, 4, 5, 6};
    Cipher fast;
    Forwarding<Cipher> reference;
    setTables(fast, set);
    setTables(reference, set);
    ASSERT_TRUE(fast.UseBlockPath(path));
    std::memcpy(fast.iv, iv, 16);
    std::memcpy(reference.iv, iv, 16);
    for (size_t blocks : kLengths) {
        SCOPED_TRACE(std::string(set.name) + " " + std::to_string(blocks) + " blocks");
        const std::vector<uint8_t> data = testsupport::pseudoRandomBytes(16 * blocks + 1, 700);
        // Unaligned: the buffer starts one byte into the vector.
        std::vector<uint8_t> a = data;
        std::vector<uint8_t> b = data;
        uint32_t length = static_cast<uint32_t>(16 * blocks);
        uint32_t capacity = length;
        ASSERT_EQ(fast.MARLOAES128_EncryptCBC(a.data() + 1, &length, &capacity, 0), STATUS_OK);
        ASSERT_EQ(reference.MARLOAES128_EncryptCBC(b.data() + 1, &length, &capacity, 0), STATUS_OK);
        EXPECT_EQ(a, b);
        a = data;
        b = data;
        ASSERT_EQ(fast.MARLOAES128_DecryptCBC(a.data() + 1, &length, 0), STATUS_OK);
        ASSERT_EQ(reference.MARLOAES128_DecryptCBC(b.data() + 1, &length, 0), STATUS_OK);
        EXPECT_EQ(a, b);
    }
    EXPECT_GT(reference.calls, 0);
}

} // namespace

TEST(BlockPaths, PortableBatchMatchesThePlainEvaluator) {
    expectSameAsPlain([](const NamedTables& set) { return onPrepared(set, cipherBlocksPortable); });
}

TEST(BlockPaths, PortableSingleBlockMatchesThePlainEvaluator) {
    expectSameAsPlain([](const NamedTables& set) {
        return onPrepared(set, [](Direction d, const BlockNetwork& network, const uint8_t* in, uint8_t* out,
                                  size_t blocks) {
            for (size_t n = 0; n < blocks; ++n) {
                cipherBlockPortable(d, network, in + 16 * n, out + 16 * n);
            }
        });
    });
}

TEST(BlockPaths, Avx512VbmiMatchesThePlainEvaluator) {
    if (!blockPathSupported(BlockPath::Avx512Vbmi)) {
        GTEST_SKIP() << "AVX-512 VBMI path not run: this CPU lacks AVX-512 F/BW/VBMI, or the build is "
                        "portable only";
    }
    expectSameAsPlain([](const NamedTables& set) { return onPrepared(set, cipherBlocksAvx512Vbmi); });
}

TEST(BlockPaths, BufferOperationsMatchThePlainEvaluator) {
    // Through the dispatch, on every path this machine can run.
    std::cout << "selected block path: " << blockPathName(selectedBlockPath()) << "\n";
    for (const BlockPath path : supportedPaths()) {
        SCOPED_TRACE(blockPathName(path));
        expectSameAsPlain([path](const NamedTables& set) -> PathRun {
            std::shared_ptr<WhiteBoxAesCipher> cipher;
            if (set.mixed()) {
                auto mixed = std::make_shared<MixedWhiteBoxAesCipher>();
                setTables(*mixed, set);
                cipher = mixed;
            } else {
                cipher = std::make_shared<WhiteBoxAesCipher>();
                setTables(*cipher, set);
            }
            EXPECT_TRUE(cipher->UseBlockPath(path));
            // Not the plain evaluator block by block, which would match trivially.
            EXPECT_TRUE(cipher->usesBlockPaths()) << set.name;
            return [cipher](Direction d, const uint8_t* in, uint8_t* out, size_t blocks) {
                EXPECT_EQ(d == Direction::Encryption ? cipher->EncryptBlocks(in, out, blocks)
                                                     : cipher->DecryptBlocks(in, out, blocks),
                          STATUS_OK);
            };
        });
    }
}

// The choice itself: the environment's word, then the CPU. A cipher takes the
// choice when it is given tables, and runs a path it is told to where it can.
TEST(BlockPaths, SelectionFollowsTheEnvironmentAndTheCpu) {
    const struct {
        const char* setting;
        bool avx512;
        BlockPath chosen;
    } cases[] = {
        {nullptr, true, BlockPath::Avx512Vbmi}, {"0", true, BlockPath::Avx512Vbmi}, {"1", true, BlockPath::Portable},
        {"", true, BlockPath::Portable},        {"yes", true, BlockPath::Portable}, {nullptr, false, BlockPath::Portable},
        {"0", false, BlockPath::Portable},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(chooseBlockPath(c.setting, c.avx512), c.chosen)
            << (c.setting != nullptr ? c.setting : "unset") << (c.avx512 ? " with" : " without") << " AVX-512";
    }
    const bool avx512 = blockPathSupported(BlockPath::Avx512Vbmi);
    EXPECT_EQ(selectedBlockPath(), chooseBlockPath(std::getenv("TABRIX_PORTABLE"), avx512));
    EXPECT_TRUE(blockPathSupported(BlockPath::Portable));

    WhiteBoxAesCipher cipher;
    cipher.SetTables(plainTables(0).tables.get());
    EXPECT_EQ(cipher.blockPath(), selectedBlockPath());
    EXPECT_TRUE(cipher.UseBlockPath(BlockPath::Portable));
    EXPECT_EQ(cipher.blockPath(), BlockPath::Portable);
    EXPECT_EQ(cipher.UseBlockPath(BlockPath::Avx512Vbmi), avx512);
    EXPECT_EQ(cipher.blockPath(), avx512 ? BlockPath::Avx512Vbmi : BlockPath::Portable);
}

namespace {
void expectBufferOperationsAgreeWithOpenSsl(BlockPath path);
} // namespace

TEST(BlockPaths, BufferOperationsAgreeWithOpenSsl) {
    for (const BlockPath path : supportedPaths()) {
        SCOPED_TRACE(blockPathName(path));
        expectBufferOperationsAgreeWithOpenSsl(path);
    }
}

namespace {

void expectBufferOperationsAgreeWithOpenSsl(BlockPath path) {
    const std::vector<uint8_t> data = testsupport::pseudoRandomBytes(16 * 1000, 600);
    const KeyTables& plain = plainTables(2);
    WhiteBoxAesCipher cipher;
    cipher.SetTables(plain.tables.get());
    ASSERT_TRUE(cipher.UseBlockPath(path));
    std::vector<uint8_t> out(data.size());
    ASSERT_EQ(cipher.EncryptBlocks(data.data(), out.data(), 1000), STATUS_OK);
    EXPECT_EQ(out, referenceAes(true, plain.keyBytes(), kEcb, data));
    ASSERT_EQ(cipher.DecryptBlocks(data.data(), out.data(), 1000), STATUS_OK);
    EXPECT_EQ(out, referenceAes(false, plain.keyBytes(), kEcb, data));

    // Coded tables: coded in, coded out.
    const KeyTables& coded = ecbCodedTables();
    cipher.SetTables(coded.tables.get());
    ASSERT_TRUE(cipher.UseBlockPath(path));
    std::vector<uint8_t> work = data;
    (void)encodeData(work.data(), static_cast<uint32_t>(work.size()), coded.encIn());
    ASSERT_EQ(cipher.EncryptBlocks(work.data(), work.data(), 1000), STATUS_OK);
    (void)decodeData(work.data(), static_cast<uint32_t>(work.size()), coded.encOut());
    EXPECT_EQ(work, referenceAes(true, coded.keyBytes(), kEcb, data));
    work = data;
    (void)encodeData(work.data(), static_cast<uint32_t>(work.size()), coded.decIn());
    ASSERT_EQ(cipher.DecryptBlocks(work.data(), work.data(), 1000), STATUS_OK);
    (void)decodeData(work.data(), static_cast<uint32_t>(work.size()), coded.decOut());
    EXPECT_EQ(work, referenceAes(false, coded.keyBytes(), kEcb, data));
}

} // namespace

TEST(BlockPaths, CbcOverTheBlockPathsMatchesBlockByBlockAndOpenSsl) {
    for (const BlockPath path : supportedPaths()) {
        SCOPED_TRACE(blockPathName(path));
        for (const NamedTables& set : allTables()) {
            if (set.mixed()) {
                expectCbcSameAsPlain<MixedWhiteBoxAesCipher>(set, path);
            } else {
                expectCbcSameAsPlain<WhiteBoxAesCipher>(set, path);
            }
        }
    }

    const uint8_t iv[16] = {9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 1, 2, 3, 4, 5, 6};
    const KeyTables& plain = plainTables(3);
    WhiteBoxAesCipher cipher;
    cipher.SetTables(plain.tables.get());
    std::memcpy(cipher.iv, iv, 16);
    const std::vector<uint8_t> ivBytes(iv, iv + 16);
    const std::vector<uint8_t> data = testsupport::pseudoRandomBytes(16 * 1000, 701);
    std::vector<uint8_t> work = data;
    uint32_t length = static_cast<uint32_t>(work.size());
    ASSERT_EQ(cipher.MARLOAES128_DecryptCBC(work.data(), &length, 0), STATUS_OK);
    EXPECT_EQ(work, referenceAes(false, plain.keyBytes(), ivBytes.data(), data));
}

TEST(BlockPaths, BufferOperationsWithoutTablesOrWithOverriddenRounds) {
    const std::vector<uint8_t> data = testsupport::pseudoRandomBytes(16 * 65, 800);
    std::vector<uint8_t> out(data.size(), 0x33);
    WhiteBoxAesCipher empty;
    EXPECT_EQ(empty.EncryptBlocks(data.data(), out.data(), 65), STATUS_NO_TABLES);
    EXPECT_EQ(empty.DecryptBlocks(data.data(), out.data(), 65), STATUS_NO_TABLES);
    EXPECT_EQ(out, std::vector<uint8_t>(data.size(), 0x33));
    EXPECT_FALSE(empty.usesBlockPaths());

    // An override is called once per block, and its result is what comes out.
    ForwardingCipher forwarding;
    forwarding.SetTables(plainTables(0).tables.get());
    EXPECT_FALSE(forwarding.usesBlockPaths());
    EXPECT_EQ(forwarding.EncryptBlocks(data.data(), out.data(), 65), STATUS_OK);
    EXPECT_EQ(forwarding.calls, 65);
    EXPECT_EQ(out, plainBlocks({"plain", plainTables(0).tables.get()}, Direction::Encryption, data));
}
