#include "base/system_random.h"

#include <windows.h>

#include <bcrypt.h>

#include <climits>

bool fillSystemRandom(void* out, size_t size) {
    unsigned char* bytes = static_cast<unsigned char*>(out);
    while (size > 0) {
        const ULONG chunk = size > ULONG_MAX ? ULONG_MAX : static_cast<ULONG>(size);
        if (!BCRYPT_SUCCESS(BCryptGenRandom(nullptr, bytes, chunk, BCRYPT_USE_SYSTEM_PREFERRED_RNG))) {
            return false;
        }
        bytes += chunk;
        size -= chunk;
    }
    return true;
}
