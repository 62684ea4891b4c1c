// Raw coding files shared by the IOC file and the CBC IOC data file: whole
// CodingSets back to back, no header, no checksum.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/secret_file.h"
#include "coding/codings.h"

// Reads count sets of 8,192 bytes in turn from a regular file. STATUS_OPEN_FAILED when
// the file cannot be opened or is not a regular file, STATUS_SHORT_READ at the
// first set that comes up short (what arrived stays).
[[nodiscard]] int32_t readCodingSets(const std::string& path, CodingSet* const sets[], size_t count);
// Writes count sets into a pending replacement of path, to be committed by the
// caller with the other files of its group. STATUS_OPEN_FAILED when it cannot be
// opened, STATUS_WRITE_FAILED when a write or the sync fails.
[[nodiscard]] int32_t openCodingFile(PendingFile& file, const std::string& path, const CodingSet* const sets[],
                       size_t count);
// Replaces path with count sets at once. STATUS_OPEN_FAILED when it cannot be
// opened, STATUS_WRITE_FAILED when a write, the sync or the rename fails; the old
// file then stays.
[[nodiscard]] int32_t writeCodingSets(const std::string& path, const CodingSet* const sets[], size_t count);
