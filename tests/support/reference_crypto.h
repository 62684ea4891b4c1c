// The tests' independent cryptographic reference: OpenSSL's libcrypto on POSIX
// systems (reference_crypto_posix.cpp), Windows' own CNG in the Windows build
// (reference_crypto_windows.cpp). The tool's AES shares nothing with either.
// Its MD5 is CNG's on Windows too, so the platform test also holds MD5 to the
// known answers of RFC 1321.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

// Pass as iv for ECB.
inline constexpr const uint8_t* kEcb = nullptr;

// AES over whole blocks without padding: ECB when iv is kEcb, else CBC from the
// 16-byte iv. The key length (16, 24 or 32 bytes) picks AES-128, -192 or -256.
// Every library call is checked; a failure, or data that is not whole blocks,
// fails the calling test and returns data.size() zero bytes.
std::vector<uint8_t> referenceAes(bool encrypt, const std::vector<uint8_t>& key, const uint8_t* iv,
                                  const std::vector<uint8_t>& data);

// Counter mode over data (any length) as SP 800-38A defines it: byte n XORed
// with byte n mod 16 of the encryption of counter + n div 16 (a 128-bit
// big-endian number that wraps), the blocks from referenceAes.
inline std::vector<uint8_t> referenceCtr(const std::vector<uint8_t>& key, std::vector<uint8_t> counter,
                                         std::vector<uint8_t> data) {
    for (size_t n = 0; n < data.size(); n += 16) {
        const std::vector<uint8_t> stream = referenceAes(true, key, kEcb, counter);
        for (size_t i = 0; i < 16 && n + i < data.size(); ++i) {
            data[n + i] = static_cast<uint8_t>(data[n + i] ^ stream[i]);
        }
        for (size_t i = 16; i-- > 0;) {
            if (++counter[i] != 0) break;
        }
    }
    return data;
}

enum class Digest { md5, sha256 };
// The digest of size bytes; a failing library call fails the calling test.
std::vector<uint8_t> referenceDigest(Digest kind, const void* data, size_t size);

} // namespace testsupport
