#include "base/md5.h"

#include <md5.h>

bool md5Digest(const void* data, size_t size, uint8_t digest[16]) {
    MD5_CTX context;
    MD5Init(&context);
    MD5Update(&context, static_cast<const uint8_t*>(data), size);
    MD5Final(digest, &context);
    return true;
}
