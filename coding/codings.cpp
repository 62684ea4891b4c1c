// Random bijective codings. A permutation of 0..N-1 is drawn by taking the values
// 0..N-1 from an ordered pool in random order (N draws, ranges N down to 1), which
// is a Fisher-Yates shuffle over the random source; the inverse table is filled
// alongside. A coding set applies one byte coding per AES state byte, block byte i
// being state byte (row i mod 4, column i div 4).
#include "coding/codings.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <vector>

#include "coding/value_pool.h"

namespace {

constexpr uint32_t kNibbleCodingSize = 16;

// Shared by the nibble and byte builders; n is 16 or 256.
int32_t makePermutation(RandomSource& random, uint8_t* forward, uint8_t* inverse, uint32_t n) {
    ValuePool pool;
    for (uint32_t v = 0; v < n; ++v) {
        pool.append(v);
    }
    for (uint32_t i = 0; i < n; ++i) {
        uint32_t value = 0;
        const int32_t status = pool.draw(random, &value, true);
        if (status != 0) {
            return status;
        }
        forward[i] = static_cast<uint8_t>(value);
        inverse[value] = static_cast<uint8_t>(i);
    }
    return 0;
}

// Record that codes block byte i (block bytes fill the state column by column).
inline uint32_t recordForByte(uint32_t i) {
    return 4 * (i % 4) + (i / 4) % 4;
}

} // namespace

int32_t makeNibbleCoding(RandomSource& random, uint8_t forward[16], uint8_t inverse[16]) {
    return makePermutation(random, forward, inverse, 16);
}

int32_t makeByteCoding(RandomSource& random, uint8_t forward[256], uint8_t inverse[256]) {
    return makePermutation(random, forward, inverse, 256);
}

int32_t makeNibbleCodings(RandomSource& random, uint8_t* forwards, uint8_t* inverses,
                          uint32_t maxIndex, std::ostream& out) {
    int32_t status = 0;
    for (uint64_t k = 0; k <= maxIndex; ++k) {
        status = makeNibbleCoding(random, forwards + kNibbleCodingSize * k,
                                  inverses + kNibbleCodingSize * k);
        if (status != 0) {
            break;
        }
    }
    reportSameCodings(forwards, maxIndex, out);
    return status;
}

void reportSameCodings(const uint8_t* forwards, uint32_t maxIndex, std::ostream& out) {
    // Sorting the indexes by forward table (ties by index) puts every group of
    // identical codings in one run, its members ascending. Walking i upwards and
    // printing the other members of i's run in order yields exactly the lines,
    // and the order, of the plain loop over all ordered pairs.
    const size_t count = static_cast<size_t>(maxIndex) + 1;
    auto table = [forwards](uint32_t k) { return forwards + kNibbleCodingSize * k; };
    std::vector<uint32_t> sorted(count);
    for (size_t k = 0; k < count; ++k) {
        sorted[k] = static_cast<uint32_t>(k);
    }
    std::sort(sorted.begin(), sorted.end(), [&](uint32_t a, uint32_t b) {
        const int order = std::memcmp(table(a), table(b), kNibbleCodingSize);
        return order != 0 ? order < 0 : a < b;
    });

    // runStart[i] and runEnd[i]: the run of sorted that holds coding i.
    std::vector<uint32_t> runStart(count);
    std::vector<uint32_t> runEnd(count);
    bool anyDuplicate = false;
    size_t begin = 0;
    while (begin < count) {
        size_t end = begin + 1;
        while (end < count &&
               std::memcmp(table(sorted[begin]), table(sorted[end]), kNibbleCodingSize) == 0) {
            ++end;
        }
        anyDuplicate = anyDuplicate || end - begin > 1;
        for (size_t p = begin; p < end; ++p) {
            runStart[sorted[p]] = static_cast<uint32_t>(begin);
            runEnd[sorted[p]] = static_cast<uint32_t>(end);
        }
        begin = end;
    }
    if (!anyDuplicate) {
        return;
    }
    for (size_t i = 0; i < count; ++i) {
        for (uint32_t p = runStart[i]; p < runEnd[i]; ++p) {
            if (sorted[p] != i) {
                out << "Same coding at [" << i << "," << sorted[p] << "]\n";
            }
        }
    }
}

int32_t encodeData(uint8_t* data, uint32_t length, const CodingSet& set) {
    for (uint32_t i = 0; i < length; ++i) {
        data[i] = set.records[recordForByte(i)].forward[data[i]];
    }
    return 0;
}

int32_t decodeData(uint8_t* data, uint32_t length, const CodingSet& set) {
    for (uint32_t i = 0; i < length; ++i) {
        data[i] = set.records[recordForByte(i)].inverse[data[i]];
    }
    return 0;
}

bool isValidCodingSet(const CodingSet& set) {
    for (const ByteCoding& record : set.records) {
        bool seen[256] = {};
        for (uint32_t x = 0; x < 256; ++x) {
            const uint8_t y = record.forward[x];
            if (seen[y] || record.inverse[y] != x) {
                return false;
            }
            seen[y] = true;
        }
    }
    return true;
}
