// MD5 (RFC 1321) of one buffer, from the platform: libmd on POSIX systems,
// CNG (bcrypt) on Windows. The random source's only cryptographic primitive.
#pragma once
#include <cstddef>
#include <cstdint>

// Stores the 16-byte digest of size bytes at data. false only when the
// platform's MD5 is unavailable (CNG refused to open it); digest is then zero.
[[nodiscard]] bool md5Digest(const void* data, size_t size, uint8_t digest[16]);
