// The table cipher's block paths, in the tool (Block_*, Ecb*, Cbc*) and in the C
// runtime compiled at -O2 as applications get it (Runtime_*), in ns per block
// beside OpenSSL's AES-128 doing the same job on the same buffer, timed in the
// same iterations: single blocks, ECB, CBC encryption, CBC decryption and (in
// the runtime) counter mode, on 1, 4, 64 and 4,096 blocks.
//
//   build/bench/bench_block_paths_bench [--benchmark_repetitions=5]
//
// Each case reports ns_per_block, openssl_ns_per_block (the same operation) and
// x_openssl, their ratio; with repetitions, the medians are the figures to quote.
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
#include "wbcipher/block_paths.h"
#include "wbcipher/white_box_aes_cipher.h"
#include "table_cipher_setup.h"

namespace {

const uint8_t kIv[16] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};

using Clock = std::chrono::steady_clock;

using benchsetup::kKey;
using benchsetup::tables;

WhiteBoxAesCipher& cipher() {
    static WhiteBoxAesCipher* const object = [] {
        auto* made = new WhiteBoxAesCipher;
        made->SetTables(&tables());
        return made;
    }();
    return *object;
}

const BlockNetwork& network() {
    static const BlockNetworksPtr prepared = prepareBlockNetworks(tables());
    return prepared->enc;
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

using TableRun = std::function<void(uint8_t* buffer, size_t blocks)>;

void compare(benchmark::State& state, Job job, const TableRun& table) {
    const size_t blocks = static_cast<size_t>(state.range(0));
    std::vector<uint8_t> data(16 * blocks);
    for (size_t n = 0; n < data.size(); ++n) {
        data[n] = static_cast<uint8_t>(n * 131 + 7);
    }
    std::vector<uint8_t> reference(data.size());
    OpenSsl openssl(job);
    double tableSeconds = 0;
    double opensslSeconds = 0;
    for (auto _ : state) {
        auto start = Clock::now();
        table(data.data(), blocks);
        benchmark::ClobberMemory();
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        state.SetIterationTime(seconds);
        tableSeconds += seconds;

        start = Clock::now();
        openssl.run(data.data(), reference.data(), blocks);
        benchmark::ClobberMemory();
        opensslSeconds += std::chrono::duration<double>(Clock::now() - start).count();
    }
    const double total = static_cast<double>(state.iterations()) * static_cast<double>(blocks);
    state.counters["ns_per_block"] = tableSeconds * 1e9 / total;
    state.counters["openssl_ns_per_block"] = opensslSeconds * 1e9 / total;
    state.counters["x_openssl"] = tableSeconds / opensslSeconds;
}

// The table cipher's operations never fail with tables set: statuses ignored.
void BM_Block_plain(benchmark::State& state) {
    compare(state, Job::BlockEncrypt, [](uint8_t* buffer, size_t blocks) {
        for (size_t n = 0; n < blocks; ++n) {
            (void)cipher().EncryptBlock(buffer + 16 * n, buffer + 16 * n);
        }
    });
}
void BM_Block_unrolled(benchmark::State& state) {
    compare(state, Job::BlockEncrypt, [](uint8_t* buffer, size_t blocks) {
        for (size_t n = 0; n < blocks; ++n) {
            cipherBlockPortable(Direction::Encryption, network(), buffer + 16 * n, buffer + 16 * n);
        }
    });
}
void BM_EcbEncrypt(benchmark::State& state) {
    compare(state, Job::EcbEncrypt,
            [](uint8_t* buffer, size_t blocks) { (void)cipher().EncryptBlocks(buffer, buffer, blocks); });
}
void BM_EcbDecrypt(benchmark::State& state) {
    compare(state, Job::EcbDecrypt,
            [](uint8_t* buffer, size_t blocks) { (void)cipher().DecryptBlocks(buffer, buffer, blocks); });
}
void BM_EcbEncrypt_portable(benchmark::State& state) {
    compare(state, Job::EcbEncrypt, [](uint8_t* buffer, size_t blocks) {
        cipherBlocksPortable(Direction::Encryption, network(), buffer, buffer, blocks);
    });
}
void BM_EcbEncrypt_vbmi(benchmark::State& state) {
    if (!blockPathSupported(BlockPath::Avx512Vbmi)) {
        state.SkipWithError("this CPU lacks AVX-512 VBMI");
        return;
    }
    compare(state, Job::EcbEncrypt, [](uint8_t* buffer, size_t blocks) {
        cipherBlocksAvx512Vbmi(Direction::Encryption, network(), buffer, buffer, blocks);
    });
}
void BM_CbcEncrypt(benchmark::State& state) {
    compare(state, Job::CbcEncrypt, [](uint8_t* buffer, size_t blocks) {
        uint32_t length = static_cast<uint32_t>(16 * blocks);
        uint32_t capacity = length;
        (void)cipher().MARLOAES128_EncryptCBC(buffer, &length, &capacity, 0);
    });
}
void BM_CbcDecrypt(benchmark::State& state) {
    compare(state, Job::CbcDecrypt, [](uint8_t* buffer, size_t blocks) {
        uint32_t length = static_cast<uint32_t>(16 * blocks);
        (void)cipher().MARLOAES128_DecryptCBC(buffer, &length, 0);
    });
}

void BM_Runtime_Block(benchmark::State& state) {
    compare(state, Job::BlockEncrypt, [](uint8_t* buffer, size_t blocks) {
        for (size_t n = 0; n < blocks; ++n) {
            tabrix_encrypt_block(buffer + 16 * n, buffer + 16 * n);
        }
    });
}
void BM_Runtime_EcbEncrypt(benchmark::State& state) {
    compare(state, Job::EcbEncrypt,
            [](uint8_t* buffer, size_t blocks) { (void)tabrix_encrypt_ecb(buffer, buffer, 16 * blocks); });
}
void BM_Runtime_EcbDecrypt(benchmark::State& state) {
    compare(state, Job::EcbDecrypt,
            [](uint8_t* buffer, size_t blocks) { (void)tabrix_decrypt_ecb(buffer, buffer, 16 * blocks); });
}
void BM_Runtime_CbcEncrypt(benchmark::State& state) {
    compare(state, Job::CbcEncrypt,
            [](uint8_t* buffer, size_t blocks) { (void)tabrix_encrypt_cbc(buffer, 16 * blocks, kIv); });
}
void BM_Runtime_CbcDecrypt(benchmark::State& state) {
    compare(state, Job::CbcDecrypt,
            [](uint8_t* buffer, size_t blocks) { (void)tabrix_decrypt_cbc(buffer, 16 * blocks, kIv); });
}

void BM_Runtime_Ctr(benchmark::State& state) {
    compare(state, Job::Ctr,
            [](uint8_t* buffer, size_t blocks) { tabrix_crypt_ctr(buffer, 16 * blocks, kIv); });
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
                figures_[name] = {run.counters.at("ns_per_block"), run.counters.at("openssl_ns_per_block")};
            }
        }
    }

    // One line per case: "summary NAME/BLOCKS ns x_same x_cbc", x_cbc against
    // OpenSSL's CBC decryption of as many blocks, its fastest table mode.
    void printSummary() const {
        std::printf("\n%-8s %-28s %10s %16s %18s\n", "", "case/blocks", "ns/block", "x OpenSSL same",
                    "x OpenSSL CBC-dec");
        for (const auto& [name, figure] : figures_) {
            const auto cbc = figures_.find("CbcDecrypt" + name.substr(name.find('/')));
            const double opensslCbc = cbc != figures_.end() ? cbc->second.second : 0.0;
            std::printf("%-8s %-28s %10.1f %16.2f %18.2f\n", "summary", name.c_str(), figure.first,
                        figure.first / figure.second, opensslCbc > 0 ? figure.first / opensslCbc : 0.0);
        }
    }

private:
    std::map<std::string, std::pair<double, double>> figures_;
};

} // namespace

int main(int argc, char** argv) {
    benchsetup::holdOpenSslToTables(argv);
    benchmark::AddCustomContext("table cipher block path", blockPathName(selectedBlockPath()));
    benchmark::AddCustomContext("runtime block path", tabrix_block_path());
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
