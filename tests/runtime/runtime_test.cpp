// End to end: the real tool generates headers from the shipped templates, the
// system C compiler builds the C99 runtime of runtime/ around them
// (with tests/runtime/runtime_driver.c), and the compiled tables must agree with
// OpenSSL's AES-128 on random blocks and CBC buffers, plain and with external
// codings. The test codes data with the coding sets itself, and separately
// checks the runtime's own coding-file helpers, one-call coded CBC, PKCS#7
// padding and counter mode.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "driver_run.h"
#include "support/known_answers.h"
#include "support/reference_crypto.h"
#include "support/support.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

// Distinct keys per direction, so that a swapped key cannot pass.
constexpr const char* kEncryptKey = vectors::kCbcKey;  // SP 800-38A
constexpr const char* kDecryptKey = "7c2e91a04f3b58d6e10a9c47b3f28d15";

constexpr size_t kRandomBlocks = 300;

// SP 800-38A F.5 (CTR-AES128) under its key, which is kEncryptKey.
using vectors::kCtrCounter;
constexpr const char* kCtrPlaintext = vectors::kCtrPlain;
constexpr const char* kCtrCiphertext = vectors::kCtrCipher;

// A coding set as it lies in a coding file: record k at 512*k, forward table
// then inverse table.
using CodingSetBytes = std::array<uint8_t, 8192>;

std::string hex(const Bytes& bytes) {
    if (bytes.empty()) return "-";
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (uint8_t b : bytes) {
        text += digits[b >> 4];
        text += digits[b & 15];
    }
    return text;
}

Bytes slice(const Bytes& bytes, size_t offset, size_t length) {
    return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(offset),
                 bytes.begin() + static_cast<std::ptrdiff_t>(offset + length));
}

// The OpenSSL reference with the key given as text.
Bytes ecb(bool encrypt, const std::string& key, const Bytes& data) {
    return testsupport::referenceAes(encrypt, testsupport::hexBytes(key), testsupport::kEcb, data);
}

Bytes cbc(bool encrypt, const std::string& key, const Bytes& iv, const Bytes& data) {
    return testsupport::referenceAes(encrypt, testsupport::hexBytes(key), iv.data(), data);
}

// Byte i uses record 4*(i mod 4) + (i div 4) mod 4: AES state row i mod 4,
// column (i div 4) mod 4. Written here independently of the runtime's helpers.
size_t recordOf(size_t i) { return 4 * (i % 4) + (i / 4) % 4; }

Bytes encode(Bytes data, const CodingSetBytes& set) {
    for (size_t i = 0; i < data.size(); ++i) data[i] = set[512 * recordOf(i) + data[i]];
    return data;
}

Bytes decode(Bytes data, const CodingSetBytes& set) {
    for (size_t i = 0; i < data.size(); ++i) data[i] = set[512 * recordOf(i) + 256 + data[i]];
    return data;
}

void setRecord(CodingSetBytes& set, size_t k, const std::array<uint8_t, 256>& forward) {
    for (size_t x = 0; x < 256; ++x) {
        set[512 * k + x] = forward[x];
        set[512 * k + 256 + forward[x]] = static_cast<uint8_t>(x);
    }
}

// 16 independent random byte permutations (an ECB coding set).
CodingSetBytes randomCodingSet(std::mt19937& rng) {
    CodingSetBytes set{};
    for (size_t k = 0; k < 16; ++k) {
        std::array<uint8_t, 256> forward{};
        for (size_t x = 0; x < 256; ++x) forward[x] = static_cast<uint8_t>(x);
        std::shuffle(forward.begin(), forward.end(), rng);
        setRecord(set, k, forward);
    }
    return set;
}

// A CBC-compatible triple: per record an invertible GF(2)-linear L and constants
// a, b; first = L ^ b, second = L ^ a, third = L ^ a ^ b, so that
// first(u ^ v) = third(u) ^ second(v).
struct CodingTriple {
    CodingSetBytes first{}, second{}, third{};
};

CodingTriple cbcCodingTriple(std::mt19937& rng) {
    CodingTriple triple;
    std::uniform_int_distribution<int> byte(0, 255);
    for (size_t k = 0; k < 16; ++k) {
        std::array<uint8_t, 256> linear{};
        bool bijective = false;
        while (!bijective) {
            std::array<uint8_t, 8> basis{};
            for (auto& image : basis) image = static_cast<uint8_t>(byte(rng));
            std::array<bool, 256> seen{};
            bijective = true;
            for (size_t x = 0; x < 256; ++x) {
                uint8_t y = 0;
                for (size_t bit = 0; bit < 8; ++bit) {
                    if ((x >> bit) & 1) y = static_cast<uint8_t>(y ^ basis[bit]);
                }
                linear[x] = y;
                if (seen[y]) bijective = false;
                seen[y] = true;
            }
        }
        const auto a = static_cast<uint8_t>(byte(rng));
        const auto b = static_cast<uint8_t>(byte(rng));
        std::array<uint8_t, 256> first{}, second{}, third{};
        for (size_t x = 0; x < 256; ++x) {
            first[x] = static_cast<uint8_t>(linear[x] ^ b);
            second[x] = static_cast<uint8_t>(linear[x] ^ a);
            third[x] = static_cast<uint8_t>(linear[x] ^ a ^ b);
        }
        setRecord(triple.first, k, first);
        setRecord(triple.second, k, second);
        setRecord(triple.third, k, third);
    }
    return triple;
}

void writeFile(const fs::path& path, const std::string& text) {
    std::ofstream file(path, std::ios::binary);
    file << text;
}

void writeSets(const fs::path& path, const std::vector<const CodingSetBytes*>& sets) {
    std::ofstream file(path, std::ios::binary);
    for (const CodingSetBytes* set : sets) {
        file.write(reinterpret_cast<const char*>(set->data()), static_cast<std::streamsize>(set->size()));
    }
}

std::string readFile(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

std::string quoted(const fs::path& path) {
    std::string text(1, '\'');
    text += path.string();
    text += '\'';
    return text;
}

// A temporary folder with tables generated by the real tool and the runtime
// driver compiled against them.
class GeneratedRuntime {
public:
    // mixed: tables of the mixed format, four headers more; compileFlags go to
    // the C compiler (for instance -DTABRIX_MIXED).
    explicit GeneratedRuntime(bool useEncryptIOC = false, bool useDecryptIOC = false, bool mixed = false,
                              std::string compileFlags = "")
        : useEncryptIOC_(useEncryptIOC), useDecryptIOC_(useDecryptIOC), mixed_(mixed),
          compileFlags_(std::move(compileFlags)) {}

    const fs::path& dir() const { return dir_; }

    // Keys of another size (48 or 64 digits for keyBits 192 or 256), from the
    // shipped templates of that size; before build().
    void useKeys(int keyBits, std::string encryptKey, std::string decryptKey) {
        keyBits_ = keyBits;
        encryptKey_ = std::move(encryptKey);
        decryptKey_ = std::move(decryptKey);
    }

    // Runs "/g:" and compiles the driver; a failure is reported with the logs.
    void build() {
        ASSERT_FALSE(dir_.empty()) << "no temporary folder";
        const std::string folder = keyBits_ == 128 ? "TPL" : "TPL" + std::to_string(keyBits_);
        const fs::path templates = fs::path(TABRIX_SOURCE_DIR) / "examples" / "Tables" / folder;
        std::ostringstream cfg;
        cfg << "[KEY_VALUE]\n"
            << "encryptKey = " << encryptKey_ << "\n"
            << "decryptKey = " << decryptKey_ << "\n"
            << "[HEADER_FILES]\n";
        // Script key, header name (the runtime includes these), shipped template.
        struct Table {
            const char* key;
            const char* file;
            const char* tpl;
        };
        std::vector<Table> tables = {{
            {"roundTable", "round_tables", "AESRoundTables_auth.tpl"},
            {"xorTable", "xor_tables", "AESXorTables_auth.tpl"},
            {"finalRoundTable", "final_round_table", "AESFinalTable_auth.tpl"},
            {"invRoundTable", "inv_round_tables", "AESInvRoundTables_auth.tpl"},
            {"invXorTable", "inv_xor_tables", "AESInvXorTables_auth.tpl"},
            {"invFirstRoundTable", "inv_first_round_table", "AESInvFirstTable_auth.tpl"},
        }};
        if (mixed_) {
            tables.insert(tables.end(), {{"mixTable", "mix_tables", "AESMixTables_auth.tpl"},
                                         {"mixXorTable", "mix_xor_tables", "AESMixXorTables_auth.tpl"},
                                         {"invMixTable", "inv_mix_tables", "AESInvMixTables_auth.tpl"},
                                         {"invMixXorTable", "inv_mix_xor_tables", "AESInvMixXorTables_auth.tpl"}});
        }
        for (const auto& [key, file, tpl] : tables) {
            cfg << key << "Tpl = " << (templates / tpl).string() << "\n"
                << key << " = " << file << ".h\n";
        }
        cfg << "[IOC_FILES]\n"
            << "useEncryptIOC = " << (useEncryptIOC_ ? 1 : 0) << "\n"
            << "useDecryptIOC = " << (useDecryptIOC_ ? 1 : 0) << "\n"
            << "encryptIOC = ioc_en.dat\n"
            << "decryptIOC = ioc_de.dat\n";
        if (mixed_ || keyBits_ != 128) cfg << "[TABLES]\n";
        if (mixed_) cfg << "format = mixed\n";
        if (keyBits_ != 128) cfg << "keyBits = " << keyBits_ << "\n";
        writeFile(dir_ / "tables.cfg", cfg.str());

        const std::string generate = "cd " + quoted(dir_) + " && " + quoted(TABRIX_EXE) +
                                     " /g:tables.cfg > tool.log 2>&1";
        ASSERT_EQ(std::system(generate.c_str()), 0) << readFile(dir_ / "tool.log");
        for (const auto& [key, file, tpl] : tables) {
            ASSERT_TRUE(fs::exists(dir_ / (std::string(file) + ".h"))) << key;
        }

        const fs::path runtime = fs::path(TABRIX_SOURCE_DIR) / "runtime";
        const fs::path driver = fs::path(TABRIX_SOURCE_DIR) / "tests" / "runtime" / "runtime_driver.c";
        const std::string compile =
            quoted(TABRIX_C_COMPILER) +
            " -std=c99 -O1 -Wall -Wextra -Wpedantic -Wconversion -Wshadow -Werror " + compileFlags_ + " -I " +
            quoted(dir_) + " -I " + quoted(runtime) + " " + quoted(runtime / "tabrix_runtime.c") +
            " " + quoted(driver) + " -o " + quoted(dir_ / "driver") + " > " +
            quoted(dir_ / "compile.log") + " 2>&1";
        ASSERT_EQ(std::system(compile.c_str()), 0) << readFile(dir_ / "compile.log");
    }

    // Feeds the commands to the driver, one per line; returns its result lines.
    // prefix: shell words before the driver (environment settings).
    std::vector<std::string> run(const std::vector<std::string>& commands, const std::string& prefix = "") const {
        return runtimedriver::run(dir_, commands, prefix);
    }

private:
    bool useEncryptIOC_;
    bool useDecryptIOC_;
    bool mixed_;
    std::string compileFlags_;
    int keyBits_ = 128;
    std::string encryptKey_ = kEncryptKey;
    std::string decryptKey_ = kDecryptKey;
    testsupport::TempDir temp_;
    fs::path dir_ = temp_.path();
};

Bytes randomBytes(size_t n, uint32_t seed) { return testsupport::pseudoRandomBytes(n, seed); }

TEST(RuntimeTest, PlainTablesAgreeWithOpenSslOnBlocksAndCbc) {
    GeneratedRuntime runtime;
    ASSERT_NO_FATAL_FAILURE(runtime.build());

    const Bytes blocks = randomBytes(16 * kRandomBlocks, 1);
    const Bytes iv = randomBytes(16, 2);
    const Bytes cbcData = randomBytes(800, 3);
    std::vector<std::string> commands;
    for (size_t n = 0; n < kRandomBlocks; ++n) commands.push_back("E " + hex(slice(blocks, 16 * n, 16)));
    for (size_t n = 0; n < kRandomBlocks; ++n) commands.push_back("D " + hex(slice(blocks, 16 * n, 16)));
    // CBC over 0, 1 and 50 blocks; 17 bytes is refused untouched.
    const std::array<size_t, 3> lengths = {0, 16, 800};
    for (size_t length : lengths) {
        commands.push_back("CE " + hex(iv) + " " + hex(slice(cbcData, 0, length)));
        commands.push_back("CD " + hex(iv) + " " + hex(slice(cbcData, 0, length)));
    }
    commands.push_back("CE " + hex(iv) + " " + hex(slice(cbcData, 0, 17)));
    commands.push_back("CD " + hex(iv) + " " + hex(slice(cbcData, 0, 17)));
    const auto results = runtime.run(commands);

    size_t line = 0;
    for (size_t n = 0; n < kRandomBlocks; ++n, ++line) {
        ASSERT_EQ(results[line], hex(ecb(true, kEncryptKey, slice(blocks, 16 * n, 16)))) << "block " << n;
    }
    for (size_t n = 0; n < kRandomBlocks; ++n, ++line) {
        ASSERT_EQ(results[line], hex(ecb(false, kDecryptKey, slice(blocks, 16 * n, 16)))) << "block " << n;
    }
    for (size_t length : lengths) {
        const Bytes data = slice(cbcData, 0, length);
        EXPECT_EQ(results[line++], "0 " + hex(cbc(true, kEncryptKey, iv, data))) << length;
        EXPECT_EQ(results[line++], "0 " + hex(cbc(false, kDecryptKey, iv, data))) << length;
    }
    EXPECT_EQ(results[line++], "11 " + hex(slice(cbcData, 0, 17)));
    EXPECT_EQ(results[line++], "11 " + hex(slice(cbcData, 0, 17)));
}

TEST(RuntimeTest, GeneratedHeadersAlsoCompileAsCpp) {
    GeneratedRuntime runtime;
    ASSERT_NO_FATAL_FAILURE(runtime.build());
    writeFile(runtime.dir() / "tables.cpp",
              "#include \"round_tables.h\"\n#include \"xor_tables.h\"\n"
              "#include \"final_round_table.h\"\n#include \"inv_round_tables.h\"\n"
              "#include \"inv_xor_tables.h\"\n#include \"inv_first_round_table.h\"\n"
              "#include \"round_tables.h\"\n"  // the include guards must hold
              "int sum() { return roundTables[0][0][0][0][0] + xorTables[0][0][0][0] +\n"
              "  finalRoundTable[0][0][0] + invRoundTables[1][0][0][0][0] +\n"
              "  invXorTables[1][0][0][0] + invFirstRoundTable[0][0][0]; }\n");
    const std::string compile = quoted(TABRIX_C_COMPILER) +
                                " -x c++ -std=c++20 -fsyntax-only -Wall -Wextra -Wpedantic -Werror " +
                                quoted(runtime.dir() / "tables.cpp") + " > " +
                                quoted(runtime.dir() / "cpp.log") + " 2>&1";
    EXPECT_EQ(std::system(compile.c_str()), 0) << readFile(runtime.dir() / "cpp.log");
}

TEST(RuntimeTest, EcbCodedTablesAgreeWithOpenSslAfterDecoding) {
    std::mt19937 rng(7);
    const CodingSetBytes encIn = randomCodingSet(rng), encOut = randomCodingSet(rng);
    const CodingSetBytes decIn = randomCodingSet(rng), decOut = randomCodingSet(rng);
    GeneratedRuntime runtime(true, true);
    writeSets(runtime.dir() / "ioc_en.dat", {&encIn, &encOut});
    writeSets(runtime.dir() / "ioc_de.dat", {&decIn, &decOut});
    writeFile(runtime.dir() / "short.dat", std::string(16383, '\0'));
    ASSERT_NO_FATAL_FAILURE(runtime.build());

    const Bytes blocks = randomBytes(16 * kRandomBlocks, 11);
    const Bytes buffer = randomBytes(64, 12);
    std::vector<std::string> commands;
    for (size_t n = 0; n < kRandomBlocks; ++n) {
        commands.push_back("E " + hex(encode(slice(blocks, 16 * n, 16), encIn)));
    }
    for (size_t n = 0; n < kRandomBlocks; ++n) {
        commands.push_back("D " + hex(encode(slice(blocks, 16 * n, 16), decIn)));
    }
    // The runtime's own file loading and coding helpers, over four blocks.
    const std::string iocEn = (runtime.dir() / "ioc_en.dat").string();
    const std::string iocDe = (runtime.dir() / "ioc_de.dat").string();
    commands.push_back("IE " + iocEn + " " + hex(buffer));
    commands.push_back("ID " + iocDe + " " + hex(buffer));
    commands.push_back("IE " + (runtime.dir() / "missing.dat").string() + " " + hex(buffer));
    commands.push_back("IE " + (runtime.dir() / "short.dat").string() + " " + hex(buffer));
    // Counter mode through the coding sets gives the plain tables' answer.
    commands.push_back("ICTR " + iocEn + " " + kCtrCounter + " " + kCtrPlaintext);
    commands.push_back("ICTR " + (runtime.dir() / "short.dat").string() + " " + kCtrCounter + " " +
                       kCtrPlaintext);
    const auto results = runtime.run(commands);

    size_t line = 0;
    for (size_t n = 0; n < kRandomBlocks; ++n, ++line) {
        const Bytes plain = slice(blocks, 16 * n, 16);
        const Bytes coded = testsupport::hexBytes(results[line]);
        ASSERT_NE(coded, ecb(true, kEncryptKey, plain)) << "output coding missing, block " << n;
        ASSERT_EQ(hex(decode(coded, encOut)), hex(ecb(true, kEncryptKey, plain))) << "block " << n;
    }
    for (size_t n = 0; n < kRandomBlocks; ++n, ++line) {
        const Bytes coded = testsupport::hexBytes(results[line]);
        ASSERT_EQ(hex(decode(coded, decOut)), hex(ecb(false, kDecryptKey, slice(blocks, 16 * n, 16))))
            << "block " << n;
    }
    EXPECT_EQ(results[line++], "0 " + hex(ecb(true, kEncryptKey, buffer)));
    EXPECT_EQ(results[line++], "0 " + hex(ecb(false, kDecryptKey, buffer)));
    EXPECT_EQ(results[line++], "16");
    EXPECT_EQ(results[line++], "31");
    EXPECT_EQ(results[line++], kCtrCiphertext);
    EXPECT_EQ(results[line++], "31");
}

TEST(RuntimeTest, CbcCodedTablesAgreeWithOpenSslAfterDecoding) {
    // Roles of a triple: encryption input = first, output = second, data = third;
    // decryption input = third, output = second, data = first.
    std::mt19937 rng(9);
    const CodingTriple enc = cbcCodingTriple(rng);
    const CodingTriple dec = cbcCodingTriple(rng);
    const CodingSetBytes& encOut = enc.second;
    const CodingSetBytes& encData = enc.third;
    const CodingSetBytes& decIn = dec.third;
    const CodingSetBytes& decData = dec.first;
    GeneratedRuntime runtime(true, true);
    writeSets(runtime.dir() / "ioc_en.dat", {&enc.first, &enc.second});
    writeSets(runtime.dir() / "data_en.dat", {&encData});
    writeSets(runtime.dir() / "ioc_de.dat", {&dec.third, &dec.second});
    writeSets(runtime.dir() / "data_de.dat", {&decData});
    ASSERT_NO_FATAL_FAILURE(runtime.build());

    const std::array<uint32_t, 4> seeds = {21, 22, 23, 24};
    std::vector<std::string> commands;
    std::vector<std::pair<Bytes, Bytes>> cases;  // IV, data of 800 bytes
    for (uint32_t seed : seeds) {
        const Bytes iv = randomBytes(16, seed);
        const Bytes data = randomBytes(800, seed + 100);
        cases.emplace_back(iv, data);
        commands.push_back("CE " + hex(encode(iv, encOut)) + " " + hex(encode(data, encData)));
        commands.push_back("CD " + hex(encode(iv, decIn)) + " " + hex(encode(data, decIn)));
    }
    const auto& [iv0, data0] = cases.front();
    const std::string dir = runtime.dir().string();
    commands.push_back("ICE " + dir + "/ioc_en.dat " + dir + "/data_en.dat " + hex(iv0) + " " + hex(data0));
    commands.push_back("ICD " + dir + "/ioc_de.dat " + dir + "/data_de.dat " + hex(iv0) + " " + hex(data0));
    commands.push_back("ICE " + dir + "/ioc_en.dat " + dir + "/missing.dat " + hex(iv0) + " " + hex(data0));
    commands.push_back("ICD " + dir + "/missing.dat " + dir + "/data_de.dat " + hex(iv0) + " " + hex(data0));
    commands.push_back("ICE " + dir + "/ioc_en.dat " + dir + "/data_en.dat " + hex(iv0) + " " +
                       hex(slice(data0, 0, 17)));
    commands.push_back("ICD " + dir + "/ioc_de.dat " + dir + "/data_de.dat " + hex(iv0) + " -");
    const auto results = runtime.run(commands);

    size_t line = 0;
    for (const auto& [iv, data] : cases) {
        const std::string encrypted = results[line++];
        ASSERT_EQ(encrypted.substr(0, 2), "0 ");
        EXPECT_EQ(hex(decode(testsupport::hexBytes(encrypted.substr(2)), encOut)),
                  hex(cbc(true, kEncryptKey, iv, data)));
        const std::string decrypted = results[line++];
        ASSERT_EQ(decrypted.substr(0, 2), "0 ");
        EXPECT_EQ(hex(decode(testsupport::hexBytes(decrypted.substr(2)), decData)),
                  hex(cbc(false, kDecryptKey, iv, data)));
    }
    EXPECT_EQ(results[line++], "0 " + hex(cbc(true, kEncryptKey, iv0, data0)));
    EXPECT_EQ(results[line++], "0 " + hex(cbc(false, kDecryptKey, iv0, data0)));
    EXPECT_EQ(results[line++], "16");
    EXPECT_EQ(results[line++], "16");
    EXPECT_EQ(results[line++], "11 " + hex(slice(data0, 0, 17)));  // refused untouched
    EXPECT_EQ(results[line++], "0 -");
}

TEST(RuntimeTest, Pkcs7PaddingKnownAnswersAndBadPads) {
    GeneratedRuntime runtime;
    ASSERT_NO_FATAL_FAILURE(runtime.build());
    const std::string block15 = "000102030405060708090a0b0c0d0e";
    const std::string block16 = block15 + "0f";
    const std::string fullPad = "10101010101010101010101010101010";
    struct Case {
        std::string command;
        std::string result;
    };
    const Case cases[] = {
        // Padding: 1..16 bytes of the pad length, a whole block after a whole block.
        // The padded length, up to the largest a size_t holds; 0 beyond it.
        {"PL 0", "16"},
        {"PL 15", "16"},
        {"PL 16", "32"},
        {"PL " + std::to_string(SIZE_MAX - 16), std::to_string(SIZE_MAX - 15)},
        {"PL " + std::to_string(SIZE_MAX - 15), "0"},
        {"PL " + std::to_string(SIZE_MAX), "0"},
        {"P 16 -", "0 " + fullPad},
        {"P 16 " + block15, "0 " + block15 + "01"},
        {"P 32 " + block16, "0 " + block16 + fullPad},
        {"P 16 0a0b", "0 0a0b0e0e0e0e0e0e0e0e0e0e0e0e0e0e"},
        // No room: refused, nothing written.
        {"P 15 -", "3 -"},
        {"P 31 " + block16, "3 " + block16},
        {"P 3 " + block16, "3 " + block16},
        // Unpadding the answers above.
        {"U " + fullPad, "0 -"},
        {"U " + block15 + "01", "0 " + block15},
        {"U " + block16 + fullPad, "0 " + block16},
        {"U 0a0b0e0e0e0e0e0e0e0e0e0e0e0e0e0e", "0 0a0b"},
        // Bad pads: zero, above 16, one differing byte at either end of the pad,
        // no data; lengths that are not whole blocks.
        {"U " + block15 + "00", "10 " + block15 + "00"},
        {"U " + block15 + "11", "10 " + block15 + "11"},
        {"U 0a0b0e0e0e0e0e0e0e0e0e0e0e0e0e0f", "10 0a0b0e0e0e0e0e0e0e0e0e0e0e0e0e0f"},
        {"U 0a0b0d0e0e0e0e0e0e0e0e0e0e0e0e0e", "10 0a0b0d0e0e0e0e0e0e0e0e0e0e0e0e0e"},
        {"U 0a0b0e0e0e0e0e0e0e0e0e0e0e0e0e", "11 0a0b0e0e0e0e0e0e0e0e0e0e0e0e0e"},
        {"U " + block16 + "01", "11 " + block16 + "01"},
        {"U -", "10 -"},
    };
    std::vector<std::string> commands;
    for (const Case& c : cases) commands.push_back(c.command);
    const auto results = runtime.run(commands);
    for (size_t n = 0; n < std::size(cases); ++n) EXPECT_EQ(results[n], cases[n].result) << cases[n].command;
}

TEST(RuntimeTest, CounterModeKnownAnswersAndCounterCarry) {
    GeneratedRuntime runtime;
    ASSERT_NO_FATAL_FAILURE(runtime.build());
    const Bytes data = randomBytes(64, 31);
    const auto ctr = [&](const std::string& counter, size_t length) {
        return hex(testsupport::referenceCtr(testsupport::hexBytes(kEncryptKey), testsupport::hexBytes(counter),
                                             slice(data, 0, length)));
    };
    // The carry runs through all 16 bytes and wraps; partial last blocks.
    const std::string wrap = "ffffffffffffffffffffffffffffffff";
    const std::string carry = "00000000000000feffffffffffffffff";
    std::vector<std::string> commands = {
        "CTR " + std::string(kCtrCounter) + " " + kCtrPlaintext,
        "CTR " + std::string(kCtrCounter) + " " + kCtrCiphertext,
        "CTR " + wrap + " " + hex(slice(data, 0, 37)),
        "CTR " + carry + " " + hex(slice(data, 0, 64)),
        "CTR " + carry + " " + hex(slice(data, 0, 1)),
        "CTR " + carry + " -",
    };
    const auto results = runtime.run(commands);
    EXPECT_EQ(results[0], kCtrCiphertext);
    EXPECT_EQ(results[1], kCtrPlaintext);
    EXPECT_EQ(results[2], ctr(wrap, 37));
    EXPECT_EQ(results[3], ctr(carry, 64));
    EXPECT_EQ(results[4], ctr(carry, 1));
    EXPECT_EQ(results[5], "-");
}

// Mixed-format headers: the runtime finds mix_tables.h by itself, or is told
// with -DTABRIX_MIXED. Single blocks and ECB buffers both ways and CBC, plain,
// with ECB codings and with CBC triples, on the path the CPU selects and on the
// portable one; 70 blocks, a whole SIMD batch and a tail.
TEST(RuntimeTest, MixedTablesAgreeWithOpenSsl) {
    enum class Coding { None, Ecb, Cbc };
    struct Case {
        const char* name;
        Coding coding;
        const char* flags;
    };
    const Case cases[] = {{"plain, found by header", Coding::None, ""},
                          {"ecb, by macro", Coding::Ecb, "-DTABRIX_MIXED"},
                          {"cbc, found by header", Coding::Cbc, ""}};
    std::mt19937 rng(13);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const bool coded = c.coding != Coding::None;
        // Encryption input, output, data; decryption input, output, data. ECB
        // sets are independent; CBC triples take the roles of the test above.
        CodingSetBytes sets[6]{};
        if (c.coding == Coding::Ecb) {
            for (auto& set : sets) set = randomCodingSet(rng);
        } else if (c.coding == Coding::Cbc) {
            const CodingTriple enc = cbcCodingTriple(rng);
            const CodingTriple dec = cbcCodingTriple(rng);
            sets[0] = enc.first, sets[1] = enc.second, sets[2] = enc.third;
            sets[3] = dec.third, sets[4] = dec.second, sets[5] = dec.first;
        }
        GeneratedRuntime runtime(coded, coded, true, c.flags);
        writeSets(runtime.dir() / "ioc_en.dat", {&sets[0], &sets[1]});
        writeSets(runtime.dir() / "ioc_de.dat", {&sets[3], &sets[4]});
        ASSERT_NO_FATAL_FAILURE(runtime.build());
        ASSERT_TRUE(fs::exists(runtime.dir() / "mix_tables.h"));

        auto in = [&](const Bytes& data, int set) { return coded ? encode(data, sets[set]) : data; };
        auto out = [&](const std::string& data, int set) {
            const Bytes bytes = testsupport::hexBytes(data);
            return hex(coded ? decode(bytes, sets[set]) : bytes);
        };
        const Bytes blocks = randomBytes(16 * 70, 31);
        const Bytes iv = randomBytes(16, 32);
        std::vector<std::string> commands;
        if (c.coding != Coding::Cbc) {
            commands.push_back("E " + hex(in(blocks, 0)));
            commands.push_back("D " + hex(in(blocks, 3)));
            commands.push_back("XE 0 0 " + hex(in(blocks, 0)));
            commands.push_back("XD 1 = " + hex(in(blocks, 3)));
        }
        if (c.coding != Coding::Ecb) {
            commands.push_back("CE " + hex(in(iv, 1)) + " " + hex(in(blocks, 2)));
            commands.push_back("CD " + hex(in(iv, 3)) + " " + hex(in(blocks, 3)));
        }
        for (const char* prefix : {"env -u TABRIX_PORTABLE ", "TABRIX_PORTABLE=1 "}) {
            SCOPED_TRACE(prefix);
            const auto results = runtime.run(commands, prefix);
            size_t line = 0;
            if (c.coding != Coding::Cbc) {
                EXPECT_EQ(out(results[line++], 1), hex(ecb(true, kEncryptKey, blocks)));
                EXPECT_EQ(out(results[line++], 4), hex(ecb(false, kDecryptKey, blocks)));
                ASSERT_EQ(results[line].substr(0, 2), "0 ");
                EXPECT_EQ(out(results[line++].substr(2), 1), hex(ecb(true, kEncryptKey, blocks)));
                ASSERT_EQ(results[line].substr(0, 2), "0 ");
                EXPECT_EQ(out(results[line++].substr(2), 4), hex(ecb(false, kDecryptKey, blocks)));
            }
            if (c.coding != Coding::Ecb) {
                ASSERT_EQ(results[line].substr(0, 2), "0 ");
                EXPECT_EQ(out(results[line++].substr(2), 1), hex(cbc(true, kEncryptKey, iv, blocks)));
                ASSERT_EQ(results[line].substr(0, 2), "0 ");
                EXPECT_EQ(out(results[line++].substr(2), 5), hex(cbc(false, kDecryptKey, iv, blocks)));
            }
        }
    }
}

// AES-192 and AES-256 headers as the tool writes them from the shipped
// templates of their size, classic and mixed: FIPS-197 C.2/C.3 through the
// encryption tables, SP 800-38A F.2.4/F.2.6 (CBC decryption) through the
// decryption tables, and random blocks and counter mode against OpenSSL.
TEST(RuntimeTest, LongerKeyTablesFromTheToolGiveTheKnownAnswers) {
    struct Case {
        const vectors::KeySizeVectors* published;
        bool mixed;
    };
    std::vector<Case> cases;
    for (const vectors::KeySizeVectors& v : vectors::kKeySizeVectors) {
        if (v.keyBits != 128) cases.insert(cases.end(), {Case{&v, false}, Case{&v, true}});
    }
    for (const Case& c : cases) {
        const vectors::KeySizeVectors& v = *c.published;
        const bool mixed = c.mixed;
        SCOPED_TRACE(std::string(v.source) + (mixed ? ", mixed" : ", classic"));
        const std::string encryptKey = v.fipsKey;
        const std::string decryptKey = v.modeKey;
        GeneratedRuntime runtime(false, false, mixed);
        runtime.useKeys(v.keyBits, encryptKey, decryptKey);
        ASSERT_NO_FATAL_FAILURE(runtime.build());
        const Bytes blocks = randomBytes(16 * 70, 41);
        const Bytes counter = randomBytes(16, 42);
        const auto results = runtime.run({"E " + std::string(vectors::kC1Plain),
                                          "CD " + std::string(vectors::kCbcIv) + " " + v.cbcCipher,
                                          "XE 0 0 " + hex(blocks), "XD 0 0 " + hex(blocks),
                                          "CTR " + hex(counter) + " " + hex(blocks)});
        EXPECT_EQ(results[0], v.fipsCipher);
        EXPECT_EQ(results[1], "0 " + std::string(vectors::kCbcPlain));
        EXPECT_EQ(results[2], "0 " + hex(ecb(true, encryptKey, blocks)));
        EXPECT_EQ(results[3], "0 " + hex(ecb(false, decryptKey, blocks)));
        EXPECT_EQ(results[4], hex(testsupport::referenceCtr(testsupport::hexBytes(encryptKey), counter, blocks)));
    }
}

}  // namespace
