// Reading and writing of the raw coding files. Reads refuse anything but a
// regular file, so a FIFO or a device never blocks or floods the tool. Writes go
// through the secret-file writer: a private temporary, checked, synced, renamed.
#include "coding/coding_file.h"

#include <cstring>

#include "base/status.h"

int32_t readCodingSets(const std::string& path, CodingSet* const sets[], size_t count) {
    std::string bytes;
    const FileResult read = readRegularFile(path, bytes, count * sizeof(CodingSet));
    if (read == FileResult::openFailed) return STATUS_OPEN_FAILED;
    for (size_t k = 0; k < count; ++k) {
        const size_t at = k * sizeof(CodingSet);
        if (read != FileResult::ok || bytes.size() < at + sizeof(CodingSet)) {
            // What did arrive stays in the set, as a short fread would leave it.
            if (read == FileResult::ok && bytes.size() > at) {
                std::memcpy(sets[k], bytes.data() + at, bytes.size() - at);
            }
            return STATUS_SHORT_READ;
        }
        std::memcpy(sets[k], bytes.data() + at, sizeof(CodingSet));
    }
    return STATUS_OK;
}

int32_t openCodingFile(PendingFile& file, const std::string& path, const CodingSet* const sets[],
                       size_t count) {
    if (file.open(path) != FileResult::ok) return STATUS_OPEN_FAILED;
    for (size_t k = 0; k < count; ++k) file.write(sets[k], sizeof(CodingSet));
    return file.finish() == FileResult::ok ? STATUS_OK : STATUS_WRITE_FAILED;
}

int32_t writeCodingSets(const std::string& path, const CodingSet* const sets[], size_t count) {
    PendingFile file;
    int32_t status = openCodingFile(file, path, sets, count);
    if (status != STATUS_OK) return status;
    PendingFile* group[] = {&file};
    return commitFiles(group, 1) == FileResult::ok ? STATUS_OK : STATUS_WRITE_FAILED;
}
