// External input/output codings for ECB use, and the 16,384-byte IOC file that
// holds one pair: the input set's 8,192 bytes, then the output set's.
#pragma once
#include <cstdint>
#include <string>

#include "base/secret_file.h"
#include "coding/codings.h"

constexpr uint32_t kIocFileSize = 16384;

// Fills records 0..15 with makeByteCoding. Returns the last non-zero status, else 0.
int32_t makeCodingSet(RandomSource& random, CodingSet& set);
// makeCodingSet on the input set, then on the output set. Returns 0.
int32_t makeEcbCodings(RandomSource& random, CodingSet& inputSet, CodingSet& outputSet);

// Reads 8,192 bytes into each set in turn. STATUS_OPEN_FAILED when the file cannot be opened, STATUS_SHORT_READ
// when either read delivers fewer bytes (what did arrive stays in the set).
[[nodiscard]] int32_t readIocFile(const std::string& path, CodingSet& inputSet, CodingSet& outputSet);
// Replaces the file with both sets, privately (mode 0600) and all at once.
// STATUS_OPEN_FAILED when it cannot be opened (also a directory, FIFO or socket),
// STATUS_WRITE_FAILED when a write, the sync or the rename fails; an old file
// then stays as it was.
[[nodiscard]] int32_t writeIocFile(const std::string& path, const CodingSet& inputSet, const CodingSet& outputSet);
// Writes both sets into a pending replacement of path, committed by the caller
// together with the other files of its direction. Statuses as above.
[[nodiscard]] int32_t openIocFile(PendingFile& file, const std::string& path, const CodingSet& inputSet,
                    const CodingSet& outputSet);
