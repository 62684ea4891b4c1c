#include "base/system_random.h"

#include <cerrno>

#if defined(__linux__)
#include <sys/random.h>
#else
#include <unistd.h>
#endif

bool fillSystemRandom(void* out, size_t size) {
    unsigned char* bytes = static_cast<unsigned char*>(out);
    size_t filled = 0;
    while (filled < size) {
#if defined(__linux__)
        const ssize_t got = getrandom(bytes + filled, size - filled, 0);
        if (got < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        filled += static_cast<size_t>(got);
#else
        const size_t chunk = size - filled < 256 ? size - filled : 256; // getentropy's limit
        if (getentropy(bytes + filled, chunk) != 0) return false;
        filled += chunk;
#endif
    }
    return true;
}
