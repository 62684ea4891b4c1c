// The C runtime's block paths (unrolled single block, portable batch, AVX-512
// VBMI) against the tool's plain single-block evaluator of the same format on
// the same tables: random tables and generated ones, classic and mixed (ten
// headers), with and without external codings, ECB over
// 0, 1, 63, 64, 65 and 1,000 blocks on unaligned and in-place buffers, single
// blocks, CBC and counter mode; generated tables also against OpenSSL. The runtime is built
// at -O2 around headers written here from each TableStorage, and run once on
// the path this CPU selects and once with TABRIX_PORTABLE=1.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "coding/cbc_codings.h"
#include "coding/codings.h"
#include "coding/ecb_codings.h"
#include "driver_run.h"
#include "storage_headers.h"
#include "support/table_sets.h"
#include "support/reference_crypto.h"
#include "support/support.h"
#include "wbcipher/mixed_white_box_aes_cipher.h"
#include "wbcipher/white_box_aes_cipher.h"
#include "wbgen/table_generator.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
using testsupport::hexBytes;
using testsupport::hexText;

const size_t kLengths[] = {0, 1, 63, 64, 65, 1000};
constexpr const char* kKey = "000102030405060708090a0b0c0d0e0f";

std::string hex(const Bytes& bytes) { return bytes.empty() ? "-" : hexText(bytes.data(), bytes.size()); }

// One table set in either format: mixed, when set, is the whole set and classic
// its classic part.
struct TableSet {
    const TableStorage* classic;
    const MixedTableStorage* mixed = nullptr;
};

// The runtime compiled around one table set, in a temporary folder.
class CompiledRuntime {
public:
    // The mixed format's four headers more let the runtime find the format.
    void build(const TableSet& set, const std::string& extraFlags = "") {
        ASSERT_FALSE(dir_.empty()) << "no temporary folder";
        storageheaders::writeTableHeaders(dir_, set.mixed != nullptr ? viewOf(*set.mixed) : viewOf(*set.classic));
        const std::string failure = storageheaders::compileDriver(dir_, "-O2 " + extraFlags);
        ASSERT_EQ(failure, "");
    }

    // The driver's result lines, with TABRIX_PORTABLE=1 when portable.
    std::vector<std::string> run(const std::vector<std::string>& commands, bool portable) const {
        return runtimedriver::run(dir_, commands, portable ? "TABRIX_PORTABLE=1 " : "env -u TABRIX_PORTABLE ");
    }

private:
    testsupport::TempDir temp_;
    fs::path dir_ = temp_.path();
};

// The tool's plain evaluator of the set's format, block by block: the reference.
class PlainReference {
public:
    explicit PlainReference(const TableSet& set) : mixed_(set.mixed != nullptr) {
        if (mixed_) {
            mixedCipher_.SetMixedTables(set.mixed);
        } else {
            classicCipher_.SetTables(set.classic);
        }
    }
    // The object's own rounds: the plain evaluator of its class.
    Bytes blocks(bool encrypt, const Bytes& data) {
        WhiteBoxAesCipher& cipher = mixed_ ? mixedCipher_ : classicCipher_;
        Bytes out(data.size());
        for (size_t n = 0; n < data.size(); n += 16) {
            const int32_t status =
                encrypt ? cipher.EncryptRounds(&data[n], &out[n], 10) : cipher.DecryptRounds(&data[n], &out[n], 1);
            EXPECT_EQ(status, 0);
        }
        return out;
    }

private:
    bool mixed_;
    WhiteBoxAesCipher classicCipher_;
    MixedWhiteBoxAesCipher mixedCipher_;
};

// CBC from the plain evaluator's blocks.
Bytes plainCbc(PlainReference& tables, bool encrypt, const Bytes& iv, const Bytes& data) {
    Bytes out = data;
    Bytes chain = iv;
    for (size_t n = 0; n < data.size(); n += 16) {
        Bytes block(data.begin() + static_cast<std::ptrdiff_t>(n), data.begin() + static_cast<std::ptrdiff_t>(n + 16));
        if (encrypt) {
            for (size_t i = 0; i < 16; ++i) block[i] = static_cast<uint8_t>(block[i] ^ chain[i]);
            chain = tables.blocks(true, block);
            std::copy(chain.begin(), chain.end(), out.begin() + static_cast<std::ptrdiff_t>(n));
        } else {
            Bytes plain = tables.blocks(false, block);
            for (size_t i = 0; i < 16; ++i) plain[i] = static_cast<uint8_t>(plain[i] ^ chain[i]);
            chain = block;
            std::copy(plain.begin(), plain.end(), out.begin() + static_cast<std::ptrdiff_t>(n));
        }
    }
    return out;
}

// Counter mode from the plain evaluator: byte n XORed with byte n mod 16 of the
// encryption of counter + n div 16 (128-bit big-endian, wrapping).
Bytes plainCtr(PlainReference& tables, Bytes counter, const Bytes& data) {
    Bytes out = data;
    for (size_t n = 0; n < data.size(); n += 16) {
        const Bytes stream = tables.blocks(true, counter);
        for (size_t i = 0; i < 16 && n + i < data.size(); ++i) {
            out[n + i] = static_cast<uint8_t>(out[n + i] ^ stream[i]);
        }
        for (size_t i = 16; i-- > 0;) {
            if (++counter[i] != 0) break;
        }
    }
    return out;
}

// Every path operation of the driver on tables, on the path chosen by
// portable, against the plain evaluator.
void expectRuntimeMatchesPlain(const CompiledRuntime& runtime, const TableSet& set, const char* name,
                               bool portable, const std::string& expectedPath) {
    SCOPED_TRACE(name);
    PlainReference tables(set);
    std::vector<std::string> commands = {"PATH"};
    std::vector<std::string> expected = {expectedPath};
    const char* layouts[] = {"0 0", "1 7", "3 ="};
    for (bool encrypt : {true, false}) {
        for (size_t blocks : kLengths) {
            const Bytes data = testsupport::pseudoRandomBytes(16 * blocks, static_cast<uint32_t>(900 + blocks));
            const std::string want = "0 " + hex(tables.blocks(encrypt, data));
            for (const char* layout : layouts) {
                commands.push_back(std::string(encrypt ? "XE " : "XD ") + layout + " " + hex(data));
                expected.push_back(want);
            }
            // Single blocks, one call each.
            commands.push_back(std::string(encrypt ? "E " : "D ") + hex(data));
            expected.push_back(hex(tables.blocks(encrypt, data)));
            const Bytes iv = testsupport::pseudoRandomBytes(16, 77);
            commands.push_back(std::string(encrypt ? "CE " : "CD ") + hex(iv) + " " + hex(data));
            expected.push_back("0 " + hex(plainCbc(tables, encrypt, iv, data)));
            if (encrypt) {
                // Counter mode over a ragged length, the counter carrying through
                // its low bytes and wrapping around.
                Bytes counter(16, 0xFF);
                counter[14] = 0xFE;
                const Bytes ragged(data.begin(), data.end() - (blocks > 1 ? 5 : 0));
                commands.push_back("CTR " + hex(counter) + " " + hex(ragged));
                expected.push_back(hex(plainCtr(tables, counter, ragged)));
            }
        }
    }
    // Not whole blocks: refused, the buffer untouched.
    commands.push_back("XE 0 = " + hex(Bytes(17, 1)));
    expected.push_back("11 " + hex(Bytes(17, 1)));
    const std::vector<std::string> results = runtime.run(commands, portable);
    for (size_t n = 0; n < commands.size(); ++n) {
        ASSERT_EQ(results[n], expected[n]) << commands[n].substr(0, 40);
    }
}

struct NamedTables {
    const char* name;
    std::unique_ptr<TableStorage> tables;        // classic sets
    std::unique_ptr<CompiledRuntime> runtime;    // built on first use
    std::unique_ptr<MixedTableStorage> mixed{};  // mixed sets
    TableSet set() const { return mixed ? TableSet{&mixed->tables, mixed.get()} : TableSet{tables.get()}; }
};

RandomState stateFor(uint32_t seed) {
    RandomState state{};
    const Bytes bytes = testsupport::pseudoRandomBytes(16, seed);
    std::copy(bytes.begin(), bytes.end(), state.begin());
    return state;
}

// Random bytes, then generated tables plain, with ECB and with CBC codings.
std::vector<NamedTables>& allTables() {
    static std::vector<NamedTables> sets = [] {
        std::vector<NamedTables> made;
        auto random = std::make_unique<TableStorage>();
        const Bytes bytes = testsupport::pseudoRandomBytes(sizeof(TableStorage), 31);
        std::memcpy(random.get(), bytes.data(), bytes.size());
        made.push_back({"random", std::move(random), nullptr});
        const char* names[] = {"plain", "ECB-coded", "CBC-coded"};
        const testsupport::Codings kinds[] = {testsupport::Codings::None, testsupport::Codings::Ecb,
                                              testsupport::Codings::Cbc};
        for (int kind = 0; kind < 3; ++kind) {
            testsupport::TableSet generated;
            const int32_t status = testsupport::makeTableSet(testsupport::TableKind::Classic, kKey,
                                                             stateFor(static_cast<uint32_t>(40 + kind)), kinds[kind],
                                                             generated);
            EXPECT_EQ(status, 0) << names[kind];
            made.push_back({names[kind], std::move(generated.tables), nullptr});
        }
        // Mixed: random bytes in all ten tables, and generated tables with CBC
        // triples merged in.
        auto mixedRandom = std::make_unique<MixedTableStorage>();
        const Bytes mixedBytes = testsupport::pseudoRandomBytes(sizeof(MixedTableStorage), 32);
        std::memcpy(mixedRandom.get(), mixedBytes.data(), mixedBytes.size());
        made.push_back({"mixed random", nullptr, nullptr, std::move(mixedRandom)});
        testsupport::TableSet generated;
        EXPECT_EQ(testsupport::makeTableSet(testsupport::TableKind::Mixed, kKey, stateFor(43),
                                            testsupport::Codings::Cbc, generated),
                  0);
        made.push_back({"mixed CBC-coded", nullptr, nullptr, std::move(generated.mixed)});
        return made;
    }();
    return sets;
}

// The runtime compiled around set's tables, once per test program.
const CompiledRuntime* runtimeFor(NamedTables& set) {
    if (!set.runtime) {
        auto runtime = std::make_unique<CompiledRuntime>();
        runtime->build(set.set());
        if (::testing::Test::HasFatalFailure()) return nullptr;
        set.runtime = std::move(runtime);
    }
    return set.runtime.get();
}

} // namespace

TEST(RuntimePaths, PortablePathMatchesThePlainEvaluator) {
    for (NamedTables& set : allTables()) {
        const CompiledRuntime* runtime = runtimeFor(set);
        ASSERT_NE(runtime, nullptr);
        expectRuntimeMatchesPlain(*runtime, set.set(), set.name, true, "portable");
    }
}

TEST(RuntimePaths, SelectedPathMatchesThePlainEvaluator) {
    // What the runtime selects on this CPU: AVX-512 VBMI where it has it.
    const CompiledRuntime* probe = runtimeFor(allTables()[0]);
    ASSERT_NE(probe, nullptr);
    const std::string path = probe->run({"PATH"}, false)[0];
    if (path != "avx512vbmi") {
        GTEST_SKIP() << "runtime AVX-512 VBMI path not run: the runtime selected '" << path
                     << "' (this CPU lacks AVX-512 F/BW/VBMI)";
    }
    for (NamedTables& set : allTables()) {
        const CompiledRuntime* runtime = runtimeFor(set);
        ASSERT_NE(runtime, nullptr);
        expectRuntimeMatchesPlain(*runtime, set.set(), set.name, false, "avx512vbmi");
    }
}

TEST(RuntimePaths, PortableOnlyBuildNeverTakesSimd) {
    CompiledRuntime runtime;
    ASSERT_NO_FATAL_FAILURE(runtime.build(allTables()[1].set(), "-DTABRIX_PORTABLE_ONLY"));
    const Bytes data = testsupport::pseudoRandomBytes(16 * 100, 5);
    const std::vector<std::string> results = runtime.run({"PATH", "XE 0 0 " + hex(data)}, false);
    EXPECT_EQ(results[0], "portable");
    EXPECT_EQ(results[1], "0 " + hex(testsupport::referenceAes(true, hexBytes(kKey), testsupport::kEcb, data)));
}

TEST(RuntimePaths, BufferFunctionsAgreeWithOpenSsl) {
    // Generated tables with ECB codings: coded in, coded out, through the
    // selected path on 1,000 blocks.
    std::ostringstream report;
    TableGenerator generator(stateFor(60), report);
    auto sets = std::make_unique<std::array<CodingSet, 4>>();
    auto& s = *sets;
    (void)makeEcbCodings(generator.random(), s[0], s[1]);
    (void)makeEcbCodings(generator.random(), s[2], s[3]);
    auto tables = std::make_unique<TableStorage>();
    ASSERT_EQ(generator.generateEncryptionTables(kKey, *tables, &s[0], &s[1]), 0);
    ASSERT_EQ(generator.generateDecryptionTables(kKey, *tables, &s[2], &s[3]), 0);
    CompiledRuntime runtime;
    ASSERT_NO_FATAL_FAILURE(runtime.build(TableSet{tables.get()}));

    const Bytes data = testsupport::pseudoRandomBytes(16 * 1000, 61);
    Bytes encIn = data;
    (void)encodeData(encIn.data(), static_cast<uint32_t>(encIn.size()), s[0]);
    Bytes decIn = data;
    (void)encodeData(decIn.data(), static_cast<uint32_t>(decIn.size()), s[2]);
    for (bool portable : {false, true}) {
        const std::vector<std::string> results = runtime.run({"XE 5 9 " + hex(encIn), "XD 2 = " + hex(decIn)},
                                                             portable);
        ASSERT_EQ(results[0].substr(0, 2), "0 ");
        ASSERT_EQ(results[1].substr(0, 2), "0 ");
        Bytes encrypted = hexBytes(results[0].substr(2));
        Bytes decrypted = hexBytes(results[1].substr(2));
        (void)decodeData(encrypted.data(), static_cast<uint32_t>(encrypted.size()), s[1]);
        (void)decodeData(decrypted.data(), static_cast<uint32_t>(decrypted.size()), s[3]);
        EXPECT_EQ(encrypted, testsupport::referenceAes(true, hexBytes(kKey), testsupport::kEcb, data));
        EXPECT_EQ(decrypted, testsupport::referenceAes(false, hexBytes(kKey), testsupport::kEcb, data));
    }
}
