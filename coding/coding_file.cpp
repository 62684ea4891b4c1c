// Reading and writing of the raw coding files. Writes are checked twice: a short
// fwrite, and fclose, since buffered data may only meet a full device when it is
// flushed on close.
#include "coding/coding_file.h"

#include <cstdio>

#include "aesref/status.h"

int32_t readCodingSets(const std::string& path, CodingSet* const sets[], size_t count) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return STATUS_OPEN_FAILED;
    }
    int32_t status = STATUS_OK;
    for (size_t k = 0; k < count; ++k) {
        if (std::fread(sets[k], 1, sizeof(CodingSet), file) != sizeof(CodingSet)) {
            status = STATUS_SHORT_READ;
            break;
        }
    }
    std::fclose(file);
    return status;
}

int32_t writeCodingSets(const std::string& path, const CodingSet* const sets[], size_t count) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return STATUS_OPEN_FAILED;
    }
    int32_t status = STATUS_OK;
    for (size_t k = 0; k < count; ++k) {
        if (std::fwrite(sets[k], 1, sizeof(CodingSet), file) != sizeof(CodingSet)) {
            status = STATUS_WRITE_FAILED;
            break;
        }
    }
    if (std::fclose(file) != 0) {
        status = STATUS_WRITE_FAILED;
    }
    return status;
}
