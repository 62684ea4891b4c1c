// The mixed table format beside the classic one, measured in the same
// iterations: generation of both directions (the tables only, no text), and the
// table cipher in ns per block for each direction, block by block (the plain
// evaluator) and over a buffer (the selected block path). Counters: classic_*,
// mixed_* and mixed/classic; the table size per direction as bytes. "/g:" as a
// whole command is timed by bench/formats.sh; every block path, tool and
// runtime, by bench_block_paths_bench.
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <sstream>
#include <vector>

#include "wbcipher/mixed_white_box_aes_cipher.h"
#include "wbcipher/white_box_aes_cipher.h"
#include "wbgen/mixed_table_generator.h"
#include "wbgen/table_generator.h"
#include "table_cipher_setup.h"

namespace {

using benchsetup::runBlocks;
using benchsetup::Way;

using benchsetup::kState;
const char* const kKey = benchsetup::kKeyText;
constexpr size_t kBlocks = 256;

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void BM_GenerateClassicAndMixed(benchmark::State& state) {
    auto classic = std::make_unique<TableStorage>();
    auto mixed = std::make_unique<MixedTableStorage>();
    std::ostringstream report;
    TableGenerator generator(kState, report);
    RandomSource random(kState);
    double classicSeconds = 0;
    double mixedSeconds = 0;
    for (auto _ : state) {
        auto start = Clock::now();
        (void)generator.generateEncryptionTables(kKey, *classic, nullptr, nullptr); // well-formed key
        (void)generator.generateDecryptionTables(kKey, *classic, nullptr, nullptr);
        classicSeconds += secondsSince(start);
        start = Clock::now();
        (void)generateMixedEncryptionTables(random, kKey, *mixed, nullptr, nullptr, report);
        (void)generateMixedDecryptionTables(random, kKey, *mixed, nullptr, nullptr, report);
        const double elapsed = secondsSince(start);
        mixedSeconds += elapsed;
        state.SetIterationTime(elapsed);
        benchmark::DoNotOptimize(classic->dec.invFirstRoundTable[0][0][0]);
        benchmark::DoNotOptimize(mixed->dec.invMixXorTables[1][0][0][0]);
    }
    const double iterations = static_cast<double>(state.iterations());
    state.counters["classic_ms"] = classicSeconds * 1e3 / iterations;
    state.counters["mixed_ms"] = mixedSeconds * 1e3 / iterations;
    state.counters["mixed/classic"] = mixedSeconds / classicSeconds;
    state.counters["classic_bytes_per_direction"] = static_cast<double>(sizeof(EncryptionTableSet));
    state.counters["mixed_bytes_per_direction"] =
        static_cast<double>(sizeof(EncryptionTableSet) + sizeof(MixedEncryptionTables));
}

void runCiphers(benchmark::State& state, bool encrypt, Way way) {
    WhiteBoxAesCipher classicCipher;
    classicCipher.SetTables(&benchsetup::tables());
    MixedWhiteBoxAesCipher mixedCipher;
    mixedCipher.SetMixedTables(&benchsetup::mixedTables());
    std::vector<uint8_t> data(16 * kBlocks);
    for (size_t n = 0; n < data.size(); ++n) data[n] = static_cast<uint8_t>(n * 131 + 7);

    double classicSeconds = 0;
    double mixedSeconds = 0;
    for (auto _ : state) {
        auto start = Clock::now();
        runBlocks(classicCipher, data, encrypt, way);
        classicSeconds += secondsSince(start);
        start = Clock::now();
        runBlocks(mixedCipher, data, encrypt, way);
        const double elapsed = secondsSince(start);
        mixedSeconds += elapsed;
        state.SetIterationTime(elapsed);
    }
    const double blocks = static_cast<double>(state.iterations()) * kBlocks;
    state.counters["classic_ns_per_block"] = classicSeconds * 1e9 / blocks;
    state.counters["mixed_ns_per_block"] = mixedSeconds * 1e9 / blocks;
    state.counters["mixed/classic"] = mixedSeconds / classicSeconds;
}

void BM_EncryptClassicAndMixed(benchmark::State& state) { runCiphers(state, true, Way::Blocks); }
void BM_DecryptClassicAndMixed(benchmark::State& state) { runCiphers(state, false, Way::Blocks); }
void BM_EcbEncryptClassicAndMixed(benchmark::State& state) { runCiphers(state, true, Way::Buffer); }
void BM_EcbDecryptClassicAndMixed(benchmark::State& state) { runCiphers(state, false, Way::Buffer); }

} // namespace

BENCHMARK(BM_GenerateClassicAndMixed)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_EncryptClassicAndMixed)->UseManualTime()->MinTime(1.0);
BENCHMARK(BM_DecryptClassicAndMixed)->UseManualTime()->MinTime(1.0);
BENCHMARK(BM_EcbEncryptClassicAndMixed)->UseManualTime()->MinTime(1.0);
BENCHMARK(BM_EcbDecryptClassicAndMixed)->UseManualTime()->MinTime(1.0);

BENCHMARK_MAIN();
