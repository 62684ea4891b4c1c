#include "base/md5.h"

#include <windows.h>

#include <bcrypt.h>

#include <climits>
#include <cstring>

namespace {

// One algorithm handle for the whole run: opening it costs far more than a
// 16-byte hash. Never closed; the process's end releases it.
BCRYPT_ALG_HANDLE md5Algorithm() {
    static const BCRYPT_ALG_HANDLE handle = [] {
        BCRYPT_ALG_HANDLE opened = nullptr;
        if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&opened, BCRYPT_MD5_ALGORITHM, nullptr, 0))) {
            opened = nullptr;
        }
        return opened;
    }();
    return handle;
}

} // namespace

bool md5Digest(const void* data, size_t size, uint8_t digest[16]) {
    const BCRYPT_ALG_HANDLE algorithm = md5Algorithm();
    if (algorithm != nullptr && size <= ULONG_MAX &&
        BCRYPT_SUCCESS(BCryptHash(algorithm, nullptr, 0, static_cast<PUCHAR>(const_cast<void*>(data)),
                                  static_cast<ULONG>(size), digest, 16))) {
        return true;
    }
    std::memset(digest, 0, 16);
    return false;
}
