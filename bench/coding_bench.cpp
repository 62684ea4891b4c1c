// Cost of the random source and of the coding generators, each beside a plain
// platform MD5 reference (libmd) measured in the same run (the source does one MD5 per draw,
// so MD5 is the floor). Ratios are printed after the table.
#include <benchmark/benchmark.h>

#include "base/md5.h"

#include <cstdio>
#include <map>
#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

#include "coding/cbc_codings.h"
#include "coding/codings.h"
#include "ratio_reporter.h"

namespace {

const RandomState kState = {0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07,
                            0x08, 0x09, 0x0a, 0x0b, 0x0c, 0x0d, 0x0e, 0x0f};

constexpr uint32_t kTableSetCodings = 2017;

void chainMd5(uint8_t state[16]) {
    (void)md5Digest(state, 16, state);
}

void BM_PlainMd5Of16Bytes(benchmark::State& st) {
    uint8_t state[16] = {};
    for (auto _ : st) {
        chainMd5(state);
        benchmark::DoNotOptimize(state);
    }
}
BENCHMARK(BM_PlainMd5Of16Bytes);

void BM_RandomSourceNext(benchmark::State& st) {
    RandomSource random(kState);
    uint32_t value = 0;
    uint32_t range = 256;
    for (auto _ : st) {
        random.next(range, &value);
        benchmark::DoNotOptimize(value);
        range = range == 1 ? 256 : range - 1;
    }
}
BENCHMARK(BM_RandomSourceNext);

void BM_MakeCbcCodings(benchmark::State& st) {
    RandomSource random(kState);
    std::vector<CodingSet> sets(3);
    for (auto _ : st) {
        benchmark::DoNotOptimize(makeCbcCodings(random, sets[0], sets[1], sets[2]));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_MakeCbcCodings)->Unit(benchmark::kMillisecond);

// Discards what is written, so the report costs its comparisons, not a terminal.
class NullBuffer : public std::streambuf {
protected:
    int overflow(int c) override { return c; }
};

void BM_MakeNibbleCodings2016(benchmark::State& st) {
    RandomSource random(kState);
    std::vector<uint8_t> forwards(16 * kTableSetCodings);
    std::vector<uint8_t> inverses(16 * kTableSetCodings);
    NullBuffer buffer;
    std::ostream sink(&buffer);
    for (auto _ : st) {
        makeNibbleCodings(random, forwards.data(), inverses.data(), kTableSetCodings - 1, sink);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_MakeNibbleCodings2016)->Unit(benchmark::kMicrosecond);

void BM_PlainMd5Times2017x16(benchmark::State& st) {
    uint8_t state[16] = {};
    for (auto _ : st) {
        for (uint32_t i = 0; i < kTableSetCodings * 16; ++i) {
            chainMd5(state);
        }
        benchmark::DoNotOptimize(state);
    }
}
BENCHMARK(BM_PlainMd5Times2017x16)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    RatioReporter reporter;
    if (!runBenchmarks(argc, argv, reporter)) return 1;
    std::printf("\nRatios against plain MD5 in this run:\n");
    reporter.printRatio("BM_RandomSourceNext", "BM_PlainMd5Of16Bytes");
    reporter.printRatio("BM_MakeNibbleCodings2016", "BM_PlainMd5Times2017x16");
    return 0;
}
