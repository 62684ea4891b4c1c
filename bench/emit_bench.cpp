// Table text rendering in MB/s of text, each formatter on a realistic block, beside
// a plain memcpy of the same number of bytes measured in the same run. The
// throughput of each pair and their ratio are printed after the table.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

#include "emit/table_text.h"
#include "ratio_reporter.h"

namespace {

// Deterministic filler; the values only have to look like table bytes.
std::vector<uint8_t> randomBytes(size_t n, uint32_t seed) {
    std::mt19937 engine(seed);
    std::vector<uint8_t> bytes(n);
    for (auto& b : bytes) b = static_cast<uint8_t>(engine() >> 24);
    return bytes;
}

// Blocks as generation leaves them: random bytes in the round and single-round
// tables, nibble values in the XOR tables, and the never-written tenth slot zero.
struct Blocks {
    std::unique_ptr<EncryptionTableSet> tables = std::make_unique<EncryptionTableSet>();
    Blocks() {
        const std::vector<uint8_t> round = randomBytes(sizeof tables->roundTables, 1);
        std::vector<uint8_t> xorRows = randomBytes(sizeof tables->xorTables, 2);
        const std::vector<uint8_t> single = randomBytes(sizeof tables->finalRoundTable, 3);
        for (auto& b : xorRows) b &= 0x0F;
        std::memcpy(&tables->roundTables, round.data(), round.size());
        std::memcpy(&tables->xorTables, xorRows.data(), xorRows.size());
        std::memcpy(&tables->finalRoundTable, single.data(), single.size());
        std::memset(&tables->roundTables[kUnusedEncryptionSlot], 0, sizeof(RoundTableSlot));
        std::memset(&tables->xorTables[kUnusedEncryptionSlot], 0, sizeof(XorTableSlot));
    }
};

const EncryptionTableSet& blocks() {
    static const Blocks b;
    return *b.tables;
}

// Discards the progress marks.
class NullBuffer : public std::streambuf {
protected:
    int overflow(int c) override { return c; }
};

enum Shape { kRound, kXor, kSingle };
const char* const kShapeNames[] = {"round tables", "XOR tables", "single-round table"};

std::string render(Shape shape, std::ostream& progress) {
    std::string text;
    switch (shape) {
    case kRound: formatRoundTables(blocks().roundTables, text, progress); break;
    case kXor: formatXorTables(blocks().xorTables, text, progress); break;
    case kSingle: formatSingleRoundTable(blocks().finalRoundTable, text); break;
    }
    return text;
}

size_t textBytes(Shape shape) {
    NullBuffer buffer;
    std::ostream sink(&buffer);
    return render(shape, sink).size();
}

void BM_Format(benchmark::State& st, Shape shape) {
    NullBuffer buffer;
    std::ostream sink(&buffer);
    size_t bytes = 0;
    for (auto _ : st) {
        std::string text = render(shape, sink);
        bytes = text.size();
        benchmark::DoNotOptimize(text.data());
    }
    st.SetBytesProcessed(static_cast<int64_t>(bytes) * st.iterations());
}

// A plain memcpy of as many bytes as the formatter's text, between two buffers
// allocated once.
void BM_Copy(benchmark::State& st, Shape shape) {
    const std::string source(textBytes(shape), 'x');
    std::string copy(source.size(), '\0');
    for (auto _ : st) {
        std::memcpy(copy.data(), source.data(), source.size());
        benchmark::DoNotOptimize(copy.data());
        benchmark::ClobberMemory();
    }
    st.SetBytesProcessed(static_cast<int64_t>(source.size()) * st.iterations());
}

BENCHMARK_CAPTURE(BM_Format, round, kRound)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Copy, round, kRound)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Format, xor, kXor)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Copy, xor, kXor)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Format, single, kSingle)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Copy, single, kSingle)->Unit(benchmark::kMicrosecond);

// Rendering speed of one shape beside a plain copy of the same number of bytes.
void printPair(const RatioReporter& reporter, const char* suffix, Shape shape) {
    const double format = reporter.nanoseconds(std::string("BM_Format/") + suffix);
    const double copy = reporter.nanoseconds(std::string("BM_Copy/") + suffix);
    if (format <= 0 || copy <= 0) return;
    const double bytes = static_cast<double>(textBytes(shape));
    // bytes per nanosecond times 1000 is MB/s (10^6 bytes per second).
    const double formatMBs = bytes / format * 1e3;
    const double copyMBs = bytes / copy * 1e3;
    std::printf("%-20s %9.0f bytes: format %7.0f MB/s, memcpy %7.0f MB/s, format/memcpy = %.3f\n",
                kShapeNames[shape], bytes, formatMBs, copyMBs, formatMBs / copyMBs);
}

} // namespace

int main(int argc, char** argv) {
    RatioReporter reporter;
    if (!runBenchmarks(argc, argv, reporter)) return 1;
    std::printf("\nText rendering against a plain copy of the same bytes in this run:\n");
    printPair(reporter, "round", kRound);
    printPair(reporter, "xor", kXor);
    printPair(reporter, "single", kSingle);
    return 0;
}
