// The table cipher's block paths, in the tool (Block_*, Ecb*, Cbc*) and in the C
// runtime compiled at -O2 as applications get it (Runtime_*), in ns per block
// beside OpenSSL's AES-128 doing the same job on the same buffer, timed in the
// same iterations: single blocks, ECB, CBC encryption, CBC decryption and (in
// the runtime) counter mode, on 1, 4, 64 and 4,096 blocks. Every case runs the
// classic format and the mixed one (the tool's MixedWhiteBoxAesCipher, and the
// runtime compiled around mixed headers under the prefix tabrixmixed) in the
// same iterations.
//
//   build/bench/bench_block_paths_bench [--benchmark_repetitions=5]
//
// Each case reports ns_per_block (classic), openssl_ns_per_block (the same
// operation) and x_openssl, their ratio, and mixed_ns_per_block with
// mixed_x_classic; with repetitions, the medians are the figures to quote.
// At the end a summary prints every case also as a ratio to OpenSSL's CBC
// decryption of as many blocks, its fastest table mode, measured in the same run.
// bench/block_paths.sh runs it several times and prints the medians.
//
// OpenSSL is held to its portable table-based AES: the program re-executes itself
// with OPENSSL_ia32cap="~0x200020200000000" (AES-NI, SSSE3 and AVX masked), since
// libcrypto reads that variable when it is loaded, before main. An
// OPENSSL_ia32cap already in the environment is kept; TABRIX_BENCH_AESNI=1 keeps
// OpenSSL's default (AES-NI) code instead. TABRIX_PORTABLE=1 makes the table
// cipher's own operations take the portable path (the "portable" and "vbmi"
// cases name their path and are not affected).
#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tabrix_runtime.h"
#include "tabrixmixed.h"
#include "wbcipher/block_paths.h"
#include "wbcipher/mixed_white_box_aes_cipher.h"
#include "wbcipher/white_box_aes_cipher.h"
#include "table_cipher_setup.h"

namespace {

const uint8_t kIv[16] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};

using Clock = std::chrono::steady_clock;

using benchsetup::kKey;

// One table format as the cases use it: the tool's cipher, its encryption
// network, and the runtime compiled around tables of that format.
struct Format : benchsetup::RuntimeFunctions {
    WhiteBoxAesCipher& cipher;
    const BlockNetwork& network;
};

const Format& classic() {
    static WhiteBoxAesCipher cipher;
    static const BlockNetworksPtr prepared = prepareBlockNetworks(benchsetup::tables());
    static const Format format = [] {
        cipher.SetTables(&benchsetup::tables());
        return Format{BENCH_RUNTIME_FUNCTIONS(tabrix), cipher, prepared->enc};
    }();
    return format;
}

const Format& mixed() {
    static MixedWhiteBoxAesCipher cipher;
    static const BlockNetworksPtr prepared = prepareBlockNetworks(benchsetup::mixedTables());
    static const Format format = [] {
        cipher.SetMixedTables(&benchsetup::mixedTables());
        return Format{BENCH_RUNTIME_FUNCTIONS(tabrixmixed), cipher, prepared->enc};
    }();
    return format;
}

// The jobs that OpenSSL does beside the table cipher.
enum class Job { BlockEncrypt, EcbEncrypt, EcbDecrypt, CbcEncrypt, CbcDecrypt, Ctr };

struct OpenSsl {
    explicit OpenSsl(Job job) : job_(job), ctx_(EVP_CIPHER_CTX_new()) {
        const bool cbc = job == Job::CbcEncrypt || job == Job::CbcDecrypt;
        const bool chained = cbc || job == Job::Ctr;
        const int encrypt = job == Job::EcbDecrypt || job == Job::CbcDecrypt ? 0 : 1;
        const EVP_CIPHER* mode = job == Job::Ctr ? EVP_aes_128_ctr() : cbc ? EVP_aes_128_cbc() : EVP_aes_128_ecb();
        EVP_CipherInit_ex(ctx_, mode, nullptr, kKey, chained ? kIv : nullptr, encrypt);
        EVP_CIPHER_CTX_set_padding(ctx_, 0);
    }
    ~OpenSsl() { EVP_CIPHER_CTX_free(ctx_); }
    OpenSsl(const OpenSsl&) = delete;
    OpenSsl& operator=(const OpenSsl&) = delete;

    void run(const uint8_t* in, uint8_t* out, size_t blocks) {
        int written = 0;
        if (job_ == Job::BlockEncrypt) {
            for (size_t n = 0; n < blocks; ++n) {
                EVP_CipherUpdate(ctx_, out + 16 * n, &written, in + 16 * n, 16);
            }
            return;
        }
        if (job_ == Job::CbcEncrypt || job_ == Job::CbcDecrypt || job_ == Job::Ctr) {
            EVP_CipherInit_ex(ctx_, nullptr, nullptr, nullptr, kIv, -1); // the IV or counter again
        }
        EVP_CipherUpdate(ctx_, out, &written, in, static_cast<int>(16 * blocks));
    }

private:
    Job job_;
    EVP_CIPHER_CTX* ctx_;
};

using TableRun = std::function<void(const Format& format, uint8_t* buffer, size_t blocks)>;

double secondsOf(const TableRun& table, const Format& format, uint8_t* buffer, size_t blocks) {
    const auto start = Clock::now();
    table(format, buffer, blocks);
    benchmark::ClobberMemory();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// table on the classic format (the iteration time), on the mixed one, and the
// OpenSSL job, one after the other in every iteration.
void compare(benchmark::State& state, Job job, const TableRun& table) {
    const size_t blocks = static_cast<size_t>(state.range(0));
    std::vector<uint8_t> data(16 * blocks);
    for (size_t n = 0; n < data.size(); ++n) {
        data[n] = static_cast<uint8_t>(n * 131 + 7);
    }
    std::vector<uint8_t> reference(data.size());
    OpenSsl openssl(job);
    const Format& classicFormat = classic();
    const Format& mixedFormat = mixed();
    double tableSeconds = 0;
    double mixedSeconds = 0;
    double opensslSeconds = 0;
    for (auto _ : state) {
        const double seconds = secondsOf(table, classicFormat, data.data(), blocks);
        state.SetIterationTime(seconds);
        tableSeconds += seconds;
        mixedSeconds += secondsOf(table, mixedFormat, data.data(), blocks);

        const auto start = Clock::now();
        openssl.run(data.data(), reference.data(), blocks);
        benchmark::ClobberMemory();
        opensslSeconds += std::chrono::duration<double>(Clock::now() - start).count();
    }
    const double total = static_cast<double>(state.iterations()) * static_cast<double>(blocks);
    state.counters["ns_per_block"] = tableSeconds * 1e9 / total;
    state.counters["openssl_ns_per_block"] = opensslSeconds * 1e9 / total;
    state.counters["x_openssl"] = tableSeconds / opensslSeconds;
    state.counters["mixed_ns_per_block"] = mixedSeconds * 1e9 / total;
    state.counters["mixed_x_classic"] = mixedSeconds / tableSeconds;
}

// The table cipher's operations never fail with tables set: statuses ignored.
void BM_Block_plain(benchmark::State& state) {
    compare(state, Job::BlockEncrypt, [](const Format& f, uint8_t* buffer, size_t blocks) {
        for (size_t n = 0; n < blocks; ++n) {
            (void)f.cipher.EncryptBlock(buffer + 16 * n, buffer + 16 * n);
        }
    });
}
void BM_Block_unrolled(benchmark::State& state) {
    compare(state, Job::BlockEncrypt, [](const Format& f, uint8_t* buffer, size_t blocks) {
        for (size_t n = 0; n < blocks; ++n) {
            cipherBlockPortable(Direction::Encryption, f.network, buffer + 16 * n, buffer + 16 * n);
        }
    });
}
void BM_EcbEncrypt(benchmark::State& state) {
    compare(state, Job::EcbEncrypt, [](const Format& f, uint8_t* buffer, size_t blocks) {
        (void)f.cipher.EncryptBlocks(buffer, buffer, blocks);
    });
}
void BM_EcbDecrypt(benchmark::State& state) {
    compare(state, Job::EcbDecrypt, [](const Format& f, uint8_t* buffer, size_t blocks) {
        (void)f.cipher.DecryptBlocks(buffer, buffer, blocks);
    });
}
void BM_EcbEncrypt_portable(benchmark::State& state) {
    compare(state, Job::EcbEncrypt, [](const Format& f, uint8_t* buffer, size_t blocks) {
        cipherBlocksPortable(Direction::Encryption, f.network, buffer, buffer, blocks);
    });
}
void BM_EcbEncrypt_vbmi(benchmark::State& state) {
    if (!blockPathSupported(BlockPath::Avx512Vbmi)) {
        state.SkipWithError("this CPU lacks AVX-512 VBMI");
        return;
    }
    compare(state, Job::EcbEncrypt, [](const Format& f, uint8_t* buffer, size_t blocks) {
        cipherBlocksAvx512Vbmi(Direction::Encryption, f.network, buffer, buffer, blocks);
    });
}
void BM_CbcEncrypt(benchmark::State& state) {
    compare(state, Job::CbcEncrypt, [](const Format& f, uint8_t* buffer, size_t blocks) {
        uint32_t length = static_cast<uint32_t>(16 * blocks);
        uint32_t capacity = length;
        (void)f.cipher.MARLOAES128_EncryptCBC(buffer, &length, &capacity, 0);
    });
}
void BM_CbcDecrypt(benchmark::State& state) {
    compare(state, Job::CbcDecrypt, [](const Format& f, uint8_t* buffer, size_t blocks) {
        uint32_t length = static_cast<uint32_t>(16 * blocks);
        (void)f.cipher.MARLOAES128_DecryptCBC(buffer, &length, 0);
    });
}

void BM_Runtime_Block(benchmark::State& state) {
    compare(state, Job::BlockEncrypt, [](const Format& f, uint8_t* buffer, size_t blocks) {
        for (size_t n = 0; n < blocks; ++n) {
            f.encryptBlock(buffer + 16 * n, buffer + 16 * n);
        }
    });
}
void BM_Runtime_EcbEncrypt(benchmark::State& state) {
    compare(state, Job::EcbEncrypt, [](const Format& f, uint8_t* buffer, size_t blocks) {
        (void)f.encryptEcb(buffer, buffer, 16 * blocks);
    });
}
void BM_Runtime_EcbDecrypt(benchmark::State& state) {
    compare(state, Job::EcbDecrypt, [](const Format& f, uint8_t* buffer, size_t blocks) {
        (void)f.decryptEcb(buffer, buffer, 16 * blocks);
    });
}
void BM_Runtime_CbcEncrypt(benchmark::State& state) {
    compare(state, Job::CbcEncrypt, [](const Format& f, uint8_t* buffer, size_t blocks) {
        (void)f.encryptCbc(buffer, 16 * blocks, kIv);
    });
}
void BM_Runtime_CbcDecrypt(benchmark::State& state) {
    compare(state, Job::CbcDecrypt, [](const Format& f, uint8_t* buffer, size_t blocks) {
        (void)f.decryptCbc(buffer, 16 * blocks, kIv);
    });
}

void BM_Runtime_Ctr(benchmark::State& state) {
    compare(state, Job::Ctr,
            [](const Format& f, uint8_t* buffer, size_t blocks) { f.cryptCtr(buffer, 16 * blocks, kIv); });
}

void sizes(benchmark::internal::Benchmark* b) {
    b->Arg(1)->Arg(4)->Arg(64)->Arg(4096)->UseManualTime()->MinTime(0.05);
}

BENCHMARK(BM_Block_plain)->Apply(sizes);
BENCHMARK(BM_Block_unrolled)->Apply(sizes);
BENCHMARK(BM_EcbEncrypt)->Apply(sizes);
BENCHMARK(BM_EcbDecrypt)->Apply(sizes);
BENCHMARK(BM_EcbEncrypt_portable)->Apply(sizes);
BENCHMARK(BM_EcbEncrypt_vbmi)->Apply(sizes);
BENCHMARK(BM_CbcEncrypt)->Apply(sizes);
BENCHMARK(BM_CbcDecrypt)->Apply(sizes);
BENCHMARK(BM_Runtime_Block)->Apply(sizes);
BENCHMARK(BM_Runtime_EcbEncrypt)->Apply(sizes);
BENCHMARK(BM_Runtime_EcbDecrypt)->Apply(sizes);
BENCHMARK(BM_Runtime_CbcEncrypt)->Apply(sizes);
BENCHMARK(BM_Runtime_CbcDecrypt)->Apply(sizes);
BENCHMARK(BM_Runtime_Ctr)->Apply(sizes);

// Console output as usual; keeps each case's median (or only) counters for the
// summary.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if ((single || median) && !run.error_occurred) {
                // "BM_CbcDecrypt/4096/min_time:0.050/manual_time" -> "CbcDecrypt/4096"
                std::string name = run.run_name.function_name + "/" + run.run_name.args;
                name.erase(0, 3);
                figures_[name] = {run.counters.at("ns_per_block"), run.counters.at("openssl_ns_per_block"),
                                  run.counters.at("mixed_ns_per_block")};
            }
        }
    }

    // One line per case: "summary NAME/BLOCKS ns x_same x_cbc mixed_ns
    // mixed_x_classic", x_cbc against OpenSSL's CBC decryption of as many
    // blocks, its fastest table mode; ns and the ratios of the classic format.
    void printSummary() const {
        std::printf("\n%-8s %-28s %10s %16s %18s %16s %15s\n", "", "case/blocks", "ns/block", "x OpenSSL same",
                    "x OpenSSL CBC-dec", "mixed ns/block", "mixed/classic");
        for (const auto& [name, figure] : figures_) {
            const auto cbc = figures_.find("CbcDecrypt" + name.substr(name.find('/')));
            const double opensslCbc = cbc != figures_.end() ? cbc->second.openssl : 0.0;
            std::printf("%-8s %-28s %10.1f %16.2f %18.2f %16.1f %15.2f\n", "summary", name.c_str(), figure.table,
                        figure.table / figure.openssl, opensslCbc > 0 ? figure.table / opensslCbc : 0.0,
                        figure.mixed, figure.mixed / figure.table);
        }
    }

private:
    struct Figure {
        double table;   // classic, ns per block
        double openssl; // the same operation, ns per block
        double mixed;   // mixed, ns per block
    };
    std::map<std::string, Figure> figures_;
};

} // namespace

int main(int argc, char** argv) {
    benchsetup::holdOpenSslToTables(argv);
    benchmark::AddCustomContext("table cipher block path", blockPathName(selectedBlockPath()));
    benchmark::AddCustomContext("runtime block path", tabrix_block_path());
    benchmark::AddCustomContext("mixed runtime block path", tabrixmixed_block_path());
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printSummary();
    benchmark::Shutdown();
    return 0;
}
