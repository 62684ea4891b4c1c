// Reference AES-128 block ciphering (blockEncrypt / blockDecrypt on a prepared
// key record) beside OpenSSL's AES-128-ECB through EVP, one 16-byte block per
// call, in the same run. For information only: the reference is byte-oriented
// and multiplies through log tables by design, so a large ratio is expected.
#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "aesref/rijndael.h"
#include "ratio_reporter.h"

namespace {

// FIPS-197 Appendix C.1 key and plaintext.
constexpr const char* kKeyText = "000102030405060708090a0b0c0d0e0f";
constexpr uint8_t kKey[16] = {0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07,
                              0x08, 0x09, 0x0a, 0x0b, 0x0c, 0x0d, 0x0e, 0x0f};
constexpr uint8_t kPlain[16] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77,
                                0x88, 0x99, 0xaa, 0xbb, 0xcc, 0xdd, 0xee, 0xff};

void referenceBlocks(benchmark::State& st, uint8_t direction) {
    keyInstance key;
    std::memset(&key, 0, sizeof key);
    key.blockLen = 128;
    cipherInstance cipher;
    std::memset(&cipher, 0, sizeof cipher);
    cipher.blockLen = 128;
    if (makeKey(&key, direction, 128, kKeyText) != TRUE ||
        cipherInit(&cipher, MODE_ECB, nullptr) != TRUE) {
        st.SkipWithError("reference set-up failed");
        return;
    }
    uint8_t block[16];
    std::memcpy(block, kPlain, sizeof block);
    for (auto _ : st) {
        // Feed each output back in, so no call can be skipped.
        const int32_t bits = direction == DIR_ENCRYPT
                                 ? blockEncrypt(&cipher, &key, block, 128, block)
                                 : blockDecrypt(&cipher, &key, block, 128, block);
        benchmark::DoNotOptimize(bits);
        benchmark::DoNotOptimize(block);
    }
    st.SetBytesProcessed(static_cast<int64_t>(st.iterations()) * 16);
}

void opensslBlocks(benchmark::State& st, int encrypt) {
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    if (ctx == nullptr ||
        EVP_CipherInit_ex(ctx, EVP_aes_128_ecb(), nullptr, kKey, nullptr, encrypt) != 1) {
        st.SkipWithError("OpenSSL set-up failed");
        EVP_CIPHER_CTX_free(ctx);
        return;
    }
    EVP_CIPHER_CTX_set_padding(ctx, 0);
    uint8_t block[16];
    std::memcpy(block, kPlain, sizeof block);
    int written = 0;
    for (auto _ : st) {
        EVP_CipherUpdate(ctx, block, &written, block, 16);
        benchmark::DoNotOptimize(written);
        benchmark::DoNotOptimize(block);
    }
    st.SetBytesProcessed(static_cast<int64_t>(st.iterations()) * 16);
    EVP_CIPHER_CTX_free(ctx);
}

void BM_ReferenceBlockEncrypt(benchmark::State& st) { referenceBlocks(st, DIR_ENCRYPT); }
void BM_ReferenceBlockDecrypt(benchmark::State& st) { referenceBlocks(st, DIR_DECRYPT); }
void BM_OpenSslEcbEncrypt(benchmark::State& st) { opensslBlocks(st, 1); }
void BM_OpenSslEcbDecrypt(benchmark::State& st) { opensslBlocks(st, 0); }
BENCHMARK(BM_ReferenceBlockEncrypt);
BENCHMARK(BM_OpenSslEcbEncrypt);
BENCHMARK(BM_ReferenceBlockDecrypt);
BENCHMARK(BM_OpenSslEcbDecrypt);

} // namespace

int main(int argc, char** argv) {
    RatioReporter reporter(/*cpuTime=*/true);
    if (!runBenchmarks(argc, argv, reporter)) return 1;
    std::printf("\nReference against OpenSSL AES-128-ECB in this run:\n");
    reporter.printRatio("BM_ReferenceBlockEncrypt", "BM_OpenSslEcbEncrypt");
    reporter.printRatio("BM_ReferenceBlockDecrypt", "BM_OpenSslEcbDecrypt");
    return 0;
}
