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

// One related triple, up to 20 attempts. STATUS_OK, or STATUS_CBC_CODING_FAILED
// with the records untouched.
[[nodiscard]] int32_t makeCbcCodingRecord(RandomSource& random, ByteCoding& first, ByteCoding& second,
                            ByteCoding& third);
// Records 0..15, all attempted. STATUS_OK, or STATUS_CBC_CODING_FAILED if any
// record failed.
[[nodiscard]] int32_t makeCbcCodings(RandomSource& random, CodingSet& first, CodingSet& second, CodingSet& third);

// The three coding sets of one direction's CBC triple, by role.
struct CbcTriple {
    CodingSet input;  // codes the blocks the tables take (IOC file, first half)
    CodingSet output; // codes the blocks the tables give (IOC file, second half)
    CodingSet data;   // codes the plain data around the chaining (CBC IOC data file)
};

enum class CipherDirection { encryption, decryption };

// Makes one direction's triple: makeCbcCodings with each role in its place.
// STATUS_OK, or STATUS_CBC_CODING_FAILED (the caller must not save the triple).
[[nodiscard]] int32_t makeCbcTriple(RandomSource& random, CipherDirection direction, CbcTriple& triple);

// Reads one set. STATUS_OPEN_FAILED when the file cannot be opened,
// STATUS_SHORT_READ on a short read.
[[nodiscard]] int32_t readCbcDataFile(const std::string& path, CodingSet& set);
// Replaces the file with one set, as writeIocFile does. STATUS_OPEN_FAILED or
// STATUS_WRITE_FAILED (a write, the sync or the rename failed).
[[nodiscard]] int32_t writeCbcDataFile(const std::string& path, const CodingSet& set);
// Writes the set into a pending replacement of path, committed by the caller.
[[nodiscard]] int32_t openCbcDataFile(PendingFile& file, const std::string& path, const CodingSet& set);
