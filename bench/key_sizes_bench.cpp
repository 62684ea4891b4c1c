// AES-192 and AES-256 tables beside AES-128's, measured in the same iterations:
// generation of both directions (the tables only, no text) and the table cipher
// in ns per block for each direction, block by block (the plain evaluator) and
// over a buffer (the selected block path), in the classic and the mixed format.
// The Runtime* cases time the C runtime as applications get it (-O2, classic
// headers of examples/example.cfg, aes192.cfg and aes256.cfg, copies under the
// prefixes tabrix, tabrix192 and tabrix256) on its own paths: single blocks,
// ECB both ways and counter mode (the selected block path), CBC encryption
// (serial) and decryption (batched); TABRIX_PORTABLE=1 keeps the portable path.
// Counters: *_128, *_192, *_256 and the ratios 192/128 and 256/128 (expected
// near R/10: 1.2 and 1.4); the table bytes per direction of each key size.
//
//   build/bench/bench_key_sizes_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "tabrix192.h"
#include "tabrix256.h"
#include "tabrix_runtime.h"
#include "wbcipher/mixed_white_box_aes_cipher.h"
#include "wbcipher/white_box_aes_cipher.h"
#include "wbgen/mixed_table_generator.h"
#include "wbgen/table_generator.h"
#include "table_cipher_setup.h"

namespace {

using benchsetup::runBlocks;
using benchsetup::Way;

using benchsetup::kState;
constexpr size_t kBlocks = 256;

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The SP 800-38A keys of each size.
template <int Rounds>
const char* keyText() {
    if constexpr (Rounds == kAes128Rounds) return benchsetup::kKeyText;
    if constexpr (Rounds == kAes192Rounds) return "8e73b0f7da0e6452c810f32b809079e562f8ead2522c6b7b";
    if constexpr (Rounds == kAes256Rounds) return "603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4";
}

// Both directions of one key size in one format, from a fixed state; the
// seconds it took.
template <int Rounds>
double generate(bool mixed) {
    static const auto classic = std::make_unique<TableStorageOf<Rounds>>();
    static const auto mixedStorage = std::make_unique<MixedTableStorageOf<Rounds>>();
    std::ostringstream report;
    const auto start = Clock::now();
    // Well-formed keys: generation cannot fail.
    if (mixed) {
        RandomSource random(kState);
        (void)generateMixedEncryptionTables(random, keyText<Rounds>(), *mixedStorage, nullptr, nullptr, report);
        (void)generateMixedDecryptionTables(random, keyText<Rounds>(), *mixedStorage, nullptr, nullptr, report);
        benchmark::DoNotOptimize(mixedStorage->dec.invMixXorTables[1][0][0][0]);
    } else {
        TableGenerator generator(kState, report);
        (void)generator.generateEncryptionTables(keyText<Rounds>(), *classic, nullptr, nullptr);
        (void)generator.generateDecryptionTables(keyText<Rounds>(), *classic, nullptr, nullptr);
        benchmark::DoNotOptimize(classic->dec.invFirstRoundTable[0][0][0]);
    }
    return secondsSince(start);
}

template <int Rounds>
double bytesPerDirection(bool mixed) {
    return static_cast<double>(directionBytesOf(Rounds) + (mixed ? mixBytesOf(Rounds) : 0));
}

// The three sizes' figures of one measure: per 128, 192, 256.
struct BySize {
    double seconds[3] = {};
};

void report(benchmark::State& state, const BySize& by, double scale, const char* unit) {
    static const char* const names[3] = {"128", "192", "256"};
    for (int n = 0; n < 3; ++n) {
        state.counters[std::string(unit) + "_" + names[n]] = by.seconds[n] * scale;
    }
    state.counters["192/128"] = by.seconds[1] / by.seconds[0];
    state.counters["256/128"] = by.seconds[2] / by.seconds[0];
}

void runGeneration(benchmark::State& state, bool mixed) {
    BySize by;
    for (auto _ : state) {
        const double first = generate<kAes128Rounds>(mixed);
        by.seconds[0] += first;
        by.seconds[1] += generate<kAes192Rounds>(mixed);
        by.seconds[2] += generate<kAes256Rounds>(mixed);
        state.SetIterationTime(first);
    }
    report(state, by, 1e3 / static_cast<double>(state.iterations()), "ms");
    state.counters["bytes_per_direction_128"] = bytesPerDirection<kAes128Rounds>(mixed);
    state.counters["bytes_per_direction_192"] = bytesPerDirection<kAes192Rounds>(mixed);
    state.counters["bytes_per_direction_256"] = bytesPerDirection<kAes256Rounds>(mixed);
}

// Tables generated once per key size and format.
template <int Rounds>
const TableStorageOf<Rounds>& classicTables() {
    static const auto storage = [] {
        auto made = std::make_unique<TableStorageOf<Rounds>>();
        std::ostringstream report;
        TableGenerator generator(kState, report);
        (void)generator.generateEncryptionTables(keyText<Rounds>(), *made, nullptr, nullptr);
        (void)generator.generateDecryptionTables(keyText<Rounds>(), *made, nullptr, nullptr);
        return made;
    }();
    return *storage;
}

template <int Rounds>
const MixedTableStorageOf<Rounds>& mixedTables() {
    static const auto storage = [] {
        auto made = std::make_unique<MixedTableStorageOf<Rounds>>();
        std::ostringstream report;
        RandomSource random(kState);
        (void)generateMixedEncryptionTables(random, keyText<Rounds>(), *made, nullptr, nullptr, report);
        (void)generateMixedDecryptionTables(random, keyText<Rounds>(), *made, nullptr, nullptr, report);
        return made;
    }();
    return *storage;
}

template <int Rounds>
std::unique_ptr<WhiteBoxAesCipher> cipherOf(bool mixed) {
    if (mixed) {
        auto cipher = std::make_unique<MixedWhiteBoxAesCipher>();
        cipher->SetMixedTables(&mixedTables<Rounds>());
        return cipher;
    }
    auto cipher = std::make_unique<WhiteBoxAesCipher>();
    cipher->SetTables(&classicTables<Rounds>());
    return cipher;
}

void runCiphers(benchmark::State& state, bool mixed, bool encrypt, Way way) {
    const std::unique_ptr<WhiteBoxAesCipher> ciphers[3] = {cipherOf<kAes128Rounds>(mixed),
                                                           cipherOf<kAes192Rounds>(mixed),
                                                           cipherOf<kAes256Rounds>(mixed)};
    std::vector<uint8_t> data(16 * kBlocks);
    for (size_t n = 0; n < data.size(); ++n) data[n] = static_cast<uint8_t>(n * 131 + 7);
    BySize by;
    for (auto _ : state) {
        for (int n = 0; n < 3; ++n) {
            const auto start = Clock::now();
            runBlocks(*ciphers[n], data, encrypt, way);
            const double elapsed = secondsSince(start);
            by.seconds[n] += elapsed;
            if (n == 0) state.SetIterationTime(elapsed);
        }
    }
    report(state, by, 1e9 / (static_cast<double>(state.iterations()) * kBlocks), "ns_per_block");
}

// The runtime of each key size: 128, 192, 256.
using Runtime = benchsetup::RuntimeFunctions;
const Runtime kRuntimes[3] = {BENCH_RUNTIME_FUNCTIONS(tabrix), BENCH_RUNTIME_FUNCTIONS(tabrix192),
                              BENCH_RUNTIME_FUNCTIONS(tabrix256)};

enum class RuntimeCase { Block, EcbEncrypt, EcbDecrypt, CbcEncrypt, CbcDecrypt, Ctr };

// Whole blocks cannot fail: the statuses are not looked at.
void runRuntime(const Runtime& runtime, RuntimeCase what, std::vector<uint8_t>& data) {
    static const unsigned char iv[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    unsigned char* bytes = data.data();
    switch (what) {
    case RuntimeCase::Block:
        for (size_t n = 0; n < data.size(); n += 16) runtime.encryptBlock(bytes + n, bytes + n);
        break;
    case RuntimeCase::EcbEncrypt: (void)runtime.encryptEcb(bytes, bytes, data.size()); break;
    case RuntimeCase::EcbDecrypt: (void)runtime.decryptEcb(bytes, bytes, data.size()); break;
    case RuntimeCase::CbcEncrypt: (void)runtime.encryptCbc(bytes, data.size(), iv); break;
    case RuntimeCase::CbcDecrypt: (void)runtime.decryptCbc(bytes, data.size(), iv); break;
    case RuntimeCase::Ctr: runtime.cryptCtr(bytes, data.size(), iv); break;
    }
    benchmark::ClobberMemory();
}

void runRuntimes(benchmark::State& state, RuntimeCase what) {
    std::vector<uint8_t> data(16 * kBlocks);
    for (size_t n = 0; n < data.size(); ++n) data[n] = static_cast<uint8_t>(n * 131 + 7);
    for (const Runtime& runtime : kRuntimes) runRuntime(runtime, what, data); // the layouts, once
    BySize by;
    for (auto _ : state) {
        for (int n = 0; n < 3; ++n) {
            const auto start = Clock::now();
            runRuntime(kRuntimes[n], what, data);
            const double elapsed = secondsSince(start);
            by.seconds[n] += elapsed;
            if (n == 0) state.SetIterationTime(elapsed);
        }
    }
    report(state, by, 1e9 / (static_cast<double>(state.iterations()) * kBlocks), "ns_per_block");
}

void BM_GenerateClassic(benchmark::State& state) { runGeneration(state, false); }
void BM_GenerateMixed(benchmark::State& state) { runGeneration(state, true); }
void BM_EncryptBlockClassic(benchmark::State& state) { runCiphers(state, false, true, Way::Blocks); }
void BM_DecryptBlockClassic(benchmark::State& state) { runCiphers(state, false, false, Way::Blocks); }
void BM_EcbEncryptClassic(benchmark::State& state) { runCiphers(state, false, true, Way::Buffer); }
void BM_EcbDecryptClassic(benchmark::State& state) { runCiphers(state, false, false, Way::Buffer); }
void BM_EncryptBlockMixed(benchmark::State& state) { runCiphers(state, true, true, Way::Blocks); }
void BM_EcbEncryptMixed(benchmark::State& state) { runCiphers(state, true, true, Way::Buffer); }

void BM_RuntimeEncryptBlock(benchmark::State& state) { runRuntimes(state, RuntimeCase::Block); }
void BM_RuntimeEcbEncrypt(benchmark::State& state) { runRuntimes(state, RuntimeCase::EcbEncrypt); }
void BM_RuntimeEcbDecrypt(benchmark::State& state) { runRuntimes(state, RuntimeCase::EcbDecrypt); }
void BM_RuntimeCbcEncrypt(benchmark::State& state) { runRuntimes(state, RuntimeCase::CbcEncrypt); }
void BM_RuntimeCbcDecrypt(benchmark::State& state) { runRuntimes(state, RuntimeCase::CbcDecrypt); }
void BM_RuntimeCtr(benchmark::State& state) { runRuntimes(state, RuntimeCase::Ctr); }

} // namespace

BENCHMARK(BM_GenerateClassic)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_GenerateMixed)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_EncryptBlockClassic)->UseManualTime()->MinTime(1.0);
BENCHMARK(BM_DecryptBlockClassic)->UseManualTime()->MinTime(1.0);
BENCHMARK(BM_EcbEncryptClassic)->UseManualTime()->MinTime(1.0);
BENCHMARK(BM_EcbDecryptClassic)->UseManualTime()->MinTime(1.0);
BENCHMARK(BM_EncryptBlockMixed)->UseManualTime()->MinTime(1.0);
BENCHMARK(BM_EcbEncryptMixed)->UseManualTime()->MinTime(1.0);
BENCHMARK(BM_RuntimeEncryptBlock)->UseManualTime()->MinTime(1.0);
BENCHMARK(BM_RuntimeEcbEncrypt)->UseManualTime()->MinTime(1.0);
BENCHMARK(BM_RuntimeEcbDecrypt)->UseManualTime()->MinTime(1.0);
BENCHMARK(BM_RuntimeCbcEncrypt)->UseManualTime()->MinTime(1.0);
BENCHMARK(BM_RuntimeCbcDecrypt)->UseManualTime()->MinTime(1.0);
BENCHMARK(BM_RuntimeCtr)->UseManualTime()->MinTime(1.0);

BENCHMARK_MAIN();
