// The tests' independent AES reference: OpenSSL's libcrypto.
#pragma once
#include <cstdint>
#include <vector>

namespace testsupport {

// Pass as iv for ECB.
inline constexpr const uint8_t* kEcb = nullptr;

// AES over whole blocks without padding: ECB when iv is kEcb, else CBC from the
// 16-byte iv. The key length (16, 24 or 32 bytes) picks AES-128, -192 or -256.
// Every OpenSSL call is checked; a failure, or data that is not whole blocks,
// fails the calling test and returns data.size() zero bytes.
std::vector<uint8_t> opensslAes(bool encrypt, const std::vector<uint8_t>& key, const uint8_t* iv,
                                const std::vector<uint8_t>& data);

} // namespace testsupport
