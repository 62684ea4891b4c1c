// Bytes from the operating system's cryptographic random source: getrandom on
// Linux (getentropy elsewhere), BCryptGenRandom on Windows.
#pragma once
#include <cstddef>

// Fills size bytes at out. false when the source failed; out is then unusable.
[[nodiscard]] bool fillSystemRandom(void* out, size_t size);
