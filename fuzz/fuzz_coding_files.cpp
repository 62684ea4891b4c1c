// Fuzzes the coding files. The input is written as a file and read both as an
// IOC file (input set, output set) and as a CBC IOC data file (one set); each
// set read is then judged by isValidCodingSet, the check "/g:" applies.
//
// Checked: the read status follows from the file size alone (any bytes are
// accepted, a short file gives 31) and the sets hold the file's bytes; the
// validity verdict is exact, compared with an independent oracle: decoding
// the encoding of every byte value in every record position gives it back.
// For a valid set the other direction (encode after decode) must hold too.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "coding/cbc_codings.h"
#include "coding/codings.h"
#include "coding/ecb_codings.h"
#include "scratch_file.h"

namespace {

void check(bool holds) {
    if (!holds) std::abort();
}

// Every byte value at every block position (4,096 bytes, 256 blocks).
struct AllValues {
    uint8_t bytes[16 * 256];
    AllValues() {
        for (uint32_t i = 0; i < sizeof bytes; ++i) bytes[i] = static_cast<uint8_t>(i / 16);
    }
};

using Coder = decltype(&encodeData);

// Whether undo brings every value back after apply.
bool undoes(Coder undo, Coder apply, const CodingSet& set) {
    static const AllValues all;
    uint8_t work[sizeof all.bytes];
    std::memcpy(work, all.bytes, sizeof work);
    apply(work, sizeof work, set);
    undo(work, sizeof work, set);
    return std::memcmp(work, all.bytes, sizeof work) == 0;
}

void judge(const CodingSet& set) {
    const bool valid = isValidCodingSet(set);
    check(valid == undoes(decodeData, encodeData, set));
    if (valid) check(undoes(encodeData, decodeData, set));
}

// The set holds the file's bytes from offset on, as far as the file reaches.
bool holdsFileBytes(const CodingSet& set, const uint8_t* data, size_t size, size_t offset) {
    if (size <= offset) return true;
    const size_t n = size - offset < sizeof(CodingSet) ? size - offset : sizeof(CodingSet);
    return std::memcmp(&set, data + offset, n) == 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const ScratchFile codingFile("coding.dat");
    codingFile.write(data, size);

    CodingSet input;
    CodingSet output;
    std::memset(&input, 0, sizeof input);
    std::memset(&output, 0, sizeof output);
    const int32_t iocStatus = readIocFile(codingFile.path(), input, output);
    check(iocStatus == (size >= kIocFileSize ? 0 : 31));
    check(holdsFileBytes(input, data, size, 0));
    if (size >= sizeof(CodingSet)) check(holdsFileBytes(output, data, size, sizeof(CodingSet)));
    if (iocStatus == 0) {
        judge(input);
        judge(output);
    }

    CodingSet dataSet;
    std::memset(&dataSet, 0, sizeof dataSet);
    const int32_t cbcStatus = readCbcDataFile(codingFile.path(), dataSet);
    check(cbcStatus == (size >= kCbcDataFileSize ? 0 : 31));
    check(holdsFileBytes(dataSet, data, size, 0));
    if (cbcStatus == 0) judge(dataSet);
    return 0;
}
