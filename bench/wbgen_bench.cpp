// Table generation: one generateEncryptionTables plus one generateDecryptionTables,
// beside the MD5 work they cannot avoid, measured in the same iterations. Each
// direction draws 2017 nibble codings of 16 values, so 2 x 2017 x 16 MD5 steps of
// the random source. Counters: gen_ms (both generators), floor_ms (that many
// RandomSource::next calls), md5_ms (the same number of plain platform MD5 digests (libmd) of
// 16 bytes, chained) and the ratios gen/floor and gen/md5.
#include <benchmark/benchmark.h>
#include "base/md5.h"

#include <chrono>
#include <memory>
#include <sstream>

#include "wbgen/table_generator.h"

namespace {

constexpr uint32_t kDraws = 2 * 2017 * 16;
const char* const kKey = "2b7e151628aed2a6abf7158809cf4f3c";

using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double randomSourceFloor(RandomSource& random) {
    const auto start = Clock::now();
    uint32_t value = 0;
    for (uint32_t n = 0; n < kDraws; ++n) {
        random.next(16 - (n & 15), &value);
        benchmark::DoNotOptimize(value);
    }
    return millisecondsSince(start);
}

double plainMd5Floor(uint8_t state[16]) {
    const auto start = Clock::now();
    for (uint32_t n = 0; n < kDraws; ++n) {
        (void)md5Digest(state, 16, state);
    }
    benchmark::DoNotOptimize(state[0]);
    return millisecondsSince(start);
}

void BM_GenerateBothDirections(benchmark::State& state) {
    auto storage = std::make_unique<TableStorage>();
    std::ostringstream report;
    TableGenerator generator(RandomState{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}, report);
    RandomSource floorSource(RandomState{16, 15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1});
    uint8_t md5State[16] = {};

    double generation = 0;
    double floor = 0;
    double md5 = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        (void)generator.generateEncryptionTables(kKey, *storage, nullptr, nullptr); // well-formed key
        (void)generator.generateDecryptionTables(kKey, *storage, nullptr, nullptr);
        const double elapsed = millisecondsSince(start);
        state.SetIterationTime(elapsed / 1000.0);
        generation += elapsed;
        floor += randomSourceFloor(floorSource);
        md5 += plainMd5Floor(md5State);
        benchmark::DoNotOptimize(storage->dec.invFirstRoundTable[0][0][0]);
    }
    const double iterations = static_cast<double>(state.iterations());
    state.counters["gen_ms"] = generation / iterations;
    state.counters["floor_ms"] = floor / iterations;
    state.counters["md5_ms"] = md5 / iterations;
    state.counters["gen/floor"] = generation / floor;
    state.counters["gen/md5"] = generation / md5;
}

} // namespace

BENCHMARK(BM_GenerateBothDirections)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);

BENCHMARK_MAIN();
