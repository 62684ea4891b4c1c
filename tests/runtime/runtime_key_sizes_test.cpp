// AES-192 and AES-256 through the C runtime, classic and mixed: the runtime is
// compiled at -O2 around headers written from table sets of 12 and 14 rounds
// and must give FIPS-197 C.2/C.3 and the SP 800-38A CBC (F.2.3 to F.2.6) and
// CTR (F.5.3 to F.5.6) answers without codings, and agree with OpenSSL on
// random keys with ECB codings and with CBC triples (blocks, ECB buffers, coded
// CBC in one call, coded counter mode). Every case runs on the path this CPU
// selects and on the portable one.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "coding/codings.h"
#include "driver_run.h"
#include "storage_headers.h"
#include "support/known_answers.h"
#include "support/reference_crypto.h"
#include "support/support.h"
#include "support/table_sets.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
using testsupport::Codings;
using testsupport::hexBytes;
using testsupport::TableKind;

std::string hex(const Bytes& bytes) { return bytes.empty() ? "-" : testsupport::hexText(bytes.data(), bytes.size()); }

Bytes reference(bool encrypt, const std::string& key, const uint8_t* iv, const Bytes& data) {
    return testsupport::referenceAes(encrypt, hexBytes(key), iv, data);
}

Bytes coded(Bytes data, const CodingSet& set) {
    (void)encodeData(data.data(), static_cast<uint32_t>(data.size()), set);
    return data;
}

Bytes decoded(const std::string& text, const CodingSet& set) {
    Bytes data = hexBytes(text);
    (void)decodeData(data.data(), static_cast<uint32_t>(data.size()), set);
    return data;
}

// The driver's hex result after its status, which must be 0.
std::string afterStatus(const std::string& line) {
    EXPECT_EQ(line.substr(0, 2), "0 ") << line.substr(0, 40);
    return line.size() > 2 ? line.substr(2) : "";
}

void writeSets(const fs::path& path, std::initializer_list<const CodingSet*> sets) {
    std::ofstream file(path, std::ios::binary);
    for (const CodingSet* set : sets) file.write(reinterpret_cast<const char*>(set), sizeof(CodingSet));
}

struct KeySize {
    int rounds;
    TableKind kind;
};

void PrintTo(const KeySize& size, std::ostream* out) {
    *out << "R = " << size.rounds << (size.kind == TableKind::Mixed ? ", mixed" : ", classic");
}

std::string nameOf(const ::testing::TestParamInfo<KeySize>& info) {
    return "Aes" + std::to_string(32 * (info.param.rounds - 6)) +
           (info.param.kind == TableKind::Mixed ? "Mixed" : "Classic");
}

// The runtime compiled around the tables of one key in a temporary folder, with
// the coding files of the set beside them: ioc_en.dat, ioc_de.dat and, for CBC
// triples, data_en.dat and data_de.dat.
class KeySizeRuntime {
public:
    // Generates the set (rounds 12 or 14) and compiles the driver; a failure is
    // reported as a fatal one.
    void build(const KeySize& size, const std::string& key, Codings codings, uint32_t seed) {
        ASSERT_FALSE(dir_.empty()) << "no temporary folder";
        key_ = key;
        if (size.rounds == 12) {
            ASSERT_NO_FATAL_FAILURE(generate<12>(size.kind, codings, seed));
        } else {
            ASSERT_NO_FATAL_FAILURE(generate<14>(size.kind, codings, seed));
        }
        ASSERT_EQ(storageheaders::compileDriver(dir_, "-O2"), "");
    }

    const std::string& key() const { return key_; }
    const fs::path& dir() const { return dir_; }
    // enc input, enc output, dec input, dec output, enc data, dec data.
    const CodingSet& set(size_t n) const { return (*sets_)[n]; }

    // The commands on the selected path and on the portable one: both must give
    // expected, line by line.
    void expectOnBothPaths(const std::vector<std::string>& commands, const std::vector<std::string>& expected) const {
        ASSERT_EQ(commands.size(), expected.size());
        for (const char* prefix : {"env -u TABRIX_PORTABLE ", "TABRIX_PORTABLE=1 "}) {
            SCOPED_TRACE(prefix);
            const std::vector<std::string> results = runtimedriver::run(dir_, commands, prefix);
            for (size_t n = 0; n < commands.size(); ++n) {
                EXPECT_EQ(results[n], expected[n]) << commands[n].substr(0, 40);
            }
        }
    }

    // The driver's result lines on the selected path, then on the portable one.
    std::array<std::vector<std::string>, 2> runOnBothPaths(const std::vector<std::string>& commands) const {
        return {runtimedriver::run(dir_, commands, "env -u TABRIX_PORTABLE "),
                runtimedriver::run(dir_, commands, "TABRIX_PORTABLE=1 ")};
    }

private:
    template <int Rounds>
    void generate(TableKind kind, Codings codings, uint32_t seed) {
        RandomState state{};
        const Bytes bytes = testsupport::pseudoRandomBytes(state.size(), seed);
        std::copy(bytes.begin(), bytes.end(), state.begin());
        testsupport::TableSetOf<Rounds> set;
        std::string report;
        ASSERT_EQ(testsupport::makeTableSet(kind, key_, state, codings, set, &report), 0) << report;
        storageheaders::writeTableHeaders(dir_, set.mixed ? viewOf(*set.mixed) : viewOf(*set.tables));
        *sets_ = *set.sets;
        writeSets(dir_ / "ioc_en.dat", {&set.encIn(), &set.encOut()});
        writeSets(dir_ / "ioc_de.dat", {&set.decIn(), &set.decOut()});
        writeSets(dir_ / "data_en.dat", {&set.encData()});
        writeSets(dir_ / "data_de.dat", {&set.decData()});
    }

    std::string key_;
    std::unique_ptr<std::array<CodingSet, 6>> sets_ = std::make_unique<std::array<CodingSet, 6>>();
    testsupport::TempDir temp_;
    fs::path dir_ = temp_.path();
};

// The published vectors of the size.
const vectors::KeySizeVectors& vectorsOf(const KeySize& size) {
    for (const auto& v : vectors::kKeySizeVectors) {
        if (v.keyBits == 32 * (size.rounds - 6)) return v;
    }
    ADD_FAILURE() << "no vectors for " << size.rounds << " rounds";
    return vectors::kKeySizeVectors[0];
}

// A random key of the size's length.
std::string randomKey(const KeySize& size, uint32_t seed) {
    return hex(testsupport::pseudoRandomBytes(static_cast<size_t>(4 * (size.rounds - 6)), seed));
}

class RuntimeKeySizes : public ::testing::TestWithParam<KeySize> {};

TEST_P(RuntimeKeySizes, Fips197KnownAnswerAndRandomBlocksWithoutCodings) {
    const vectors::KeySizeVectors& v = vectorsOf(GetParam());
    SCOPED_TRACE(v.source);
    KeySizeRuntime runtime;
    ASSERT_NO_FATAL_FAILURE(runtime.build(GetParam(), v.fipsKey, Codings::None, 1));
    const std::string cipher = v.fipsCipher;
    // 70 blocks: a whole SIMD batch and a tail.
    const Bytes blocks = testsupport::pseudoRandomBytes(16 * 70, 2);
    runtime.expectOnBothPaths(
        {"E " + std::string(vectors::kC1Plain), "D " + cipher, "XE 0 0 " + std::string(vectors::kC1Plain),
         "XD 3 = " + cipher, "XE 1 7 " + hex(blocks), "XD 0 0 " + hex(blocks), "E " + hex(blocks),
         "D " + hex(blocks)},
        {cipher, vectors::kC1Plain, "0 " + cipher, "0 " + std::string(vectors::kC1Plain),
         "0 " + hex(reference(true, runtime.key(), testsupport::kEcb, blocks)),
         "0 " + hex(reference(false, runtime.key(), testsupport::kEcb, blocks)),
         hex(reference(true, runtime.key(), testsupport::kEcb, blocks)),
         hex(reference(false, runtime.key(), testsupport::kEcb, blocks))});
}

TEST_P(RuntimeKeySizes, Sp80038aCbcAndCtrKnownAnswersWithoutCodings) {
    const vectors::KeySizeVectors& v = vectorsOf(GetParam());
    SCOPED_TRACE(v.source);
    KeySizeRuntime runtime;
    ASSERT_NO_FATAL_FAILURE(runtime.build(GetParam(), v.modeKey, Codings::None, 3));
    const std::string cbc = v.cbcCipher;
    const std::string ctr = v.ctrCipher;
    const std::string iv = vectors::kCbcIv;
    const std::string counter = vectors::kCtrCounter;
    const std::string plain = vectors::kCbcPlain;
    // CBC decryption of 800 bytes goes through the batched paths; counter mode
    // over a ragged length carries through the counter's low bytes.
    const Bytes data = testsupport::pseudoRandomBytes(800, 4);
    const Bytes wrap(16, 0xFF);
    const Bytes ragged(data.begin(), data.end() - 5);
    runtime.expectOnBothPaths(
        {"CE " + iv + " " + plain, "CD " + iv + " " + cbc, "CTR " + counter + " " + plain,
         "CTR " + counter + " " + ctr, "CE " + iv + " " + hex(data), "CD " + iv + " " + hex(data),
         "CTR " + hex(wrap) + " " + hex(ragged)},
        {"0 " + cbc, "0 " + plain, ctr, plain,
         "0 " + hex(reference(true, runtime.key(), hexBytes(iv).data(), data)),
         "0 " + hex(reference(false, runtime.key(), hexBytes(iv).data(), data)),
         hex(testsupport::referenceCtr(hexBytes(runtime.key()), wrap, ragged))});
}

TEST_P(RuntimeKeySizes, EcbCodedTablesAgreeWithOpenSslOnARandomKey) {
    KeySizeRuntime runtime;
    ASSERT_NO_FATAL_FAILURE(runtime.build(GetParam(), randomKey(GetParam(), 5), Codings::Ecb, 6));
    const Bytes blocks = testsupport::pseudoRandomBytes(16 * 70, 7);
    const std::string iocEn = (runtime.dir() / "ioc_en.dat").string();
    const std::string counter = vectors::kCtrCounter;
    const std::vector<std::string> commands = {
        "E " + hex(coded(blocks, runtime.set(0))), "D " + hex(coded(blocks, runtime.set(2))),
        "XE 0 0 " + hex(coded(blocks, runtime.set(0))), "XD 5 = " + hex(coded(blocks, runtime.set(2))),
        // The runtime's own loading and coding: plain data in and out.
        "IE " + iocEn + " " + hex(blocks), "ID " + (runtime.dir() / "ioc_de.dat").string() + " " + hex(blocks),
        "ICTR " + iocEn + " " + counter + " " + hex(blocks)};
    const Bytes encrypted = reference(true, runtime.key(), testsupport::kEcb, blocks);
    const Bytes decrypted = reference(false, runtime.key(), testsupport::kEcb, blocks);
    const Bytes ctr = testsupport::referenceCtr(hexBytes(runtime.key()), hexBytes(counter), blocks);
    for (const auto& results : runtime.runOnBothPaths(commands)) {
        ASSERT_EQ(results.size(), commands.size());
        EXPECT_NE(hexBytes(results[0]), encrypted) << "no output coding";
        EXPECT_EQ(decoded(results[0], runtime.set(1)), encrypted);
        EXPECT_EQ(decoded(results[1], runtime.set(3)), decrypted);
        EXPECT_EQ(decoded(afterStatus(results[2]), runtime.set(1)), encrypted);
        EXPECT_EQ(decoded(afterStatus(results[3]), runtime.set(3)), decrypted);
        EXPECT_EQ(results[4], "0 " + hex(encrypted));
        EXPECT_EQ(results[5], "0 " + hex(decrypted));
        EXPECT_EQ(results[6], hex(ctr));
    }
}

TEST_P(RuntimeKeySizes, CbcCodedTablesAgreeWithOpenSslOnARandomKey) {
    KeySizeRuntime runtime;
    ASSERT_NO_FATAL_FAILURE(runtime.build(GetParam(), randomKey(GetParam(), 8), Codings::Cbc, 9));
    const Bytes data = testsupport::pseudoRandomBytes(800, 10);
    const Bytes iv = testsupport::pseudoRandomBytes(16, 11);
    const std::string dir = runtime.dir().string();
    const std::vector<std::string> commands = {
        // The one-call coded CBC from the coding files, plain in and out.
        "ICE " + dir + "/ioc_en.dat " + dir + "/data_en.dat " + hex(iv) + " " + hex(data),
        "ICD " + dir + "/ioc_de.dat " + dir + "/data_de.dat " + hex(iv) + " " + hex(data),
        // By hand: encryption codes the data with the data set and the IV with
        // the output set; decryption both with the input set.
        "CE " + hex(coded(iv, runtime.set(1))) + " " + hex(coded(data, runtime.set(4))),
        "CD " + hex(coded(iv, runtime.set(2))) + " " + hex(coded(data, runtime.set(2)))};
    const Bytes encrypted = reference(true, runtime.key(), iv.data(), data);
    const Bytes decrypted = reference(false, runtime.key(), iv.data(), data);
    for (const auto& results : runtime.runOnBothPaths(commands)) {
        ASSERT_EQ(results.size(), commands.size());
        EXPECT_EQ(results[0], "0 " + hex(encrypted));
        EXPECT_EQ(results[1], "0 " + hex(decrypted));
        EXPECT_EQ(decoded(afterStatus(results[2]), runtime.set(1)), encrypted);
        EXPECT_EQ(decoded(afterStatus(results[3]), runtime.set(5)), decrypted);
    }
}

INSTANTIATE_TEST_SUITE_P(Rounds, RuntimeKeySizes,
                         ::testing::Values(KeySize{12, TableKind::Classic}, KeySize{12, TableKind::Mixed},
                                           KeySize{14, TableKind::Classic}, KeySize{14, TableKind::Mixed}),
                         nameOf);

} // namespace
