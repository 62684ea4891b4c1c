// Shared by the table-cipher benchmarks: one table set generated for the
// SP 800-38A key in each format, and OpenSSL held to its portable table-based
// AES, and the loop that runs a buffer through a table cipher.
#pragma once
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <vector>

#include "wbcipher/white_box_aes_cipher.h"
#include "wbgen/mixed_table_generator.h"
#include "wbgen/table_generator.h"

namespace benchsetup {

inline const char* const kKeyText = "2b7e151628aed2a6abf7158809cf4f3c";
inline constexpr uint8_t kKey[16] = {0x2b, 0x7e, 0x15, 0x16, 0x28, 0xae, 0xd2, 0xa6,
                                     0xab, 0xf7, 0x15, 0x88, 0x09, 0xcf, 0x4f, 0x3c};

inline constexpr RandomState kState{3, 1, 4, 1, 5, 9, 2, 6, 5, 3, 5, 8, 9, 7, 9, 3};

// Both directions for kKeyText, without external codings, from a fixed seed.
inline const TableStorage& tables() {
    static const std::unique_ptr<TableStorage> storage = [] {
        auto generated = std::make_unique<TableStorage>();
        std::ostringstream report;
        TableGenerator generator(kState, report);
        // A well-formed key: generation cannot fail.
        (void)generator.generateEncryptionTables(kKeyText, *generated, nullptr, nullptr);
        (void)generator.generateDecryptionTables(kKeyText, *generated, nullptr, nullptr);
        return generated;
    }();
    return *storage;
}

// The same key in the mixed format, from the same seed.
inline const MixedTableStorage& mixedTables() {
    static const std::unique_ptr<MixedTableStorage> storage = [] {
        auto generated = std::make_unique<MixedTableStorage>();
        std::ostringstream report;
        RandomSource random(kState);
        (void)generateMixedEncryptionTables(random, kKeyText, *generated, nullptr, nullptr, report);
        (void)generateMixedDecryptionTables(random, kKeyText, *generated, nullptr, nullptr, report);
        return generated;
    }();
    return *storage;
}

// Block by block through the plain evaluator, or the whole buffer on the block path.
enum class Way { Blocks, Buffer };

inline void runBlocks(WhiteBoxAesCipher& cipher, std::vector<uint8_t>& data, bool encrypt, Way way) {
    // The tables are set: blocks cannot fail.
    if (way == Way::Buffer) {
        const size_t blocks = data.size() / 16;
        (void)(encrypt ? cipher.EncryptBlocks(data.data(), data.data(), blocks)
                       : cipher.DecryptBlocks(data.data(), data.data(), blocks));
    } else {
        for (size_t n = 0; n < data.size(); n += 16) {
            (void)(encrypt ? cipher.EncryptBlock(&data[n], &data[n]) : cipher.DecryptBlock(&data[n], &data[n]));
        }
    }
    benchmark::ClobberMemory();
}

// Call first in main. libcrypto reads OPENSSL_ia32cap when it is loaded, before
// main, so the program re-executes itself with "~0x200020200000000" (AES-NI,
// SSSE3 and AVX masked: OpenSSL's table-based AES). An OPENSSL_ia32cap already
// in the environment is kept; TABRIX_BENCH_AESNI=1 keeps OpenSSL's default
// (AES-NI) code. The mask in effect goes into the benchmark context.
inline void holdOpenSslToTables(char** argv) {
    if (std::getenv("OPENSSL_ia32cap") == nullptr && std::getenv("TABRIX_BENCH_AESNI") == nullptr) {
        setenv("OPENSSL_ia32cap", "~0x200020200000000", 1);
        execv("/proc/self/exe", argv);
        // Could not re-execute: go on with OpenSSL's default code (reported below).
        unsetenv("OPENSSL_ia32cap");
    }
    const char* mask = std::getenv("OPENSSL_ia32cap");
    benchmark::AddCustomContext("OPENSSL_ia32cap", mask != nullptr ? mask : "(unset: AES-NI if present)");
}

// The cipher functions of one copy of the C runtime (each copy has a prefix of
// its own), as the runtime cases call them.
struct RuntimeFunctions {
    void (*encryptBlock)(const unsigned char in[16], unsigned char out[16]);
    int (*encryptEcb)(const unsigned char* in, unsigned char* out, size_t length);
    int (*decryptEcb)(const unsigned char* in, unsigned char* out, size_t length);
    int (*encryptCbc)(unsigned char* buffer, size_t length, const unsigned char iv[16]);
    int (*decryptCbc)(unsigned char* buffer, size_t length, const unsigned char iv[16]);
    void (*cryptCtr)(unsigned char* buffer, size_t length, const unsigned char counter[16]);
};
// The RuntimeFunctions of the copy with prefix p (tabrix, tabrixmixed, ...).
#define BENCH_RUNTIME_FUNCTIONS(p)                                                                            \
    benchsetup::RuntimeFunctions {                                                                            \
        p##_encrypt_block, p##_encrypt_ecb, p##_decrypt_ecb, p##_encrypt_cbc, p##_decrypt_cbc, p##_crypt_ctr \
    }

} // namespace benchsetup
