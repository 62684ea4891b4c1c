// The table cipher's EncryptBlock and DecryptBlock in ns per block, beside
// OpenSSL's AES-128-ECB (EVP) on the same 4 KB buffer, timed in the same
// iterations. Counters: ns_per_block, openssl_ns_per_block and their ratio.
//
// OpenSSL is held to its portable table-based AES: the program re-executes itself
// with OPENSSL_ia32cap="~0x200020200000000" (AES-NI, SSSE3 and AVX masked), since
// libcrypto reads that variable when it is loaded, before main. An
// OPENSSL_ia32cap already in the environment is kept; TABRIX_BENCH_AESNI=1 keeps
// OpenSSL's default (AES-NI) code instead.
#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <vector>

#include "wbcipher/white_box_aes_cipher.h"
#include "table_cipher_setup.h"

namespace {

constexpr size_t kBlocks = 256;

using Clock = std::chrono::steady_clock;

using benchsetup::kKey;
using benchsetup::tables;

std::vector<uint8_t> benchData() {
    std::vector<uint8_t> data(16 * kBlocks);
    for (size_t n = 0; n < data.size(); ++n) {
        data[n] = static_cast<uint8_t>(n * 131 + 7);
    }
    return data;
}

void runTableCipher(benchmark::State& state, bool encrypt) {
    WhiteBoxAesCipher cipher;
    cipher.SetTables(&tables());
    std::vector<uint8_t> data = benchData();
    std::vector<uint8_t> reference(data.size());

    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    EVP_CipherInit_ex(ctx, EVP_aes_128_ecb(), nullptr, kKey, nullptr, encrypt ? 1 : 0);
    EVP_CIPHER_CTX_set_padding(ctx, 0);

    double tableSeconds = 0;
    double opensslSeconds = 0;
    for (auto _ : state) {
        auto start = Clock::now();
        for (size_t n = 0; n < data.size(); n += 16) {
            // The tables are set: blocks cannot fail.
            if (encrypt) {
                (void)cipher.EncryptBlock(&data[n], &data[n]);
            } else {
                (void)cipher.DecryptBlock(&data[n], &data[n]);
            }
        }
        benchmark::ClobberMemory();
        const double table = std::chrono::duration<double>(Clock::now() - start).count();
        state.SetIterationTime(table);
        tableSeconds += table;

        start = Clock::now();
        int written = 0;
        EVP_CipherUpdate(ctx, reference.data(), &written, data.data(), static_cast<int>(data.size()));
        benchmark::ClobberMemory();
        opensslSeconds += std::chrono::duration<double>(Clock::now() - start).count();
    }
    EVP_CIPHER_CTX_free(ctx);

    const double blocks = static_cast<double>(state.iterations()) * kBlocks;
    state.SetItemsProcessed(static_cast<int64_t>(blocks));
    state.counters["ns_per_block"] = tableSeconds * 1e9 / blocks;
    state.counters["openssl_ns_per_block"] = opensslSeconds * 1e9 / blocks;
    state.counters["x_openssl"] = tableSeconds / opensslSeconds;
}

void BM_EncryptBlock(benchmark::State& state) { runTableCipher(state, true); }
void BM_DecryptBlock(benchmark::State& state) { runTableCipher(state, false); }

} // namespace

BENCHMARK(BM_EncryptBlock)->UseManualTime()->MinTime(1.0);
BENCHMARK(BM_DecryptBlock)->UseManualTime()->MinTime(1.0);

int main(int argc, char** argv) {
    benchsetup::holdOpenSslToTables(argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
