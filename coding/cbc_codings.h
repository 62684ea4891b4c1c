// CBC-compliant coding triples: per record three affine byte codings sharing one
// linear part L (L^x^b, L^x^a, L^x^a^b), so that the chaining XOR of CBC commutes
// with the codings: first(u) ^ second(v) = third(u ^ v). The third set of a
// direction is kept in the 8,192-byte CBC IOC data file.
#pragma once
#include <cstdint>
#include <string>

#include "base/secret_file.h"
#include "coding/codings.h"

constexpr uint32_t kCbcDataFileSize = 8192;

// One related triple, up to 20 attempts. 0, or 28 with the records untouched.
int32_t makeCbcCodingRecord(RandomSource& random, ByteCoding& first, ByteCoding& second,
                            ByteCoding& third);
// Records 0..15, all attempted. 0, or 28 if any record failed.
int32_t makeCbcCodings(RandomSource& random, CodingSet& first, CodingSet& second, CodingSet& third);

// Reads one set. 16 when the file cannot be opened, 31 on a short read.
int32_t readCbcDataFile(const std::string& path, CodingSet& set);
// Replaces the file with one set, as writeIocFile does. 16 when it cannot be
// opened, 17 when a write, the sync or the rename fails.
int32_t writeCbcDataFile(const std::string& path, const CodingSet& set);
// Writes the set into a pending replacement of path, committed by the caller.
int32_t openCbcDataFile(PendingFile& file, const std::string& path, const CodingSet& set);
