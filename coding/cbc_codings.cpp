// CBC-compliant coding triples. One record draws an affine map X(v) = L(v) ^ a:
// a = X[0] and the images X[m] of the eight basis vectors m = 1, 2, ..., 128 come
// from one pool without replacement, b = Y[0] from a second pool. Closing under
// XOR extends L linearly to all of 0..255 and gives Y = L ^ b and Z = L ^ a ^ b
// alongside. The eight images are distinct and non-zero but may be linearly
// dependent (about two attempts in three), in which case L is not invertible
// and the attempt is repeated, up to 20 times. Every attempt costs exactly ten
// draws: 256 (A), 256 (B), then 255 down to 248 (A).
#include "coding/cbc_codings.h"

#include <array>
#include <cassert>
#include <cstdint>

#include "base/status.h"
#include "coding/coding_file.h"
#include "coding/value_pool.h"

static_assert(kCbcDataFileSize == sizeof(CodingSet));

namespace {

constexpr uint32_t kUnset = 0xFFFFFFFFu;
constexpr int kAttempts = 20;

using WorkTable = std::array<uint32_t, 256>;

// Set-once: an unset entry takes the value; a set one keeps its own. A conflict
// (29) cannot arise here, since every entry is one affine map evaluated at its
// index, and the generator does not act on it: the bijection check decides.
int32_t setOnce(WorkTable& table, uint32_t index, uint32_t value) {
    uint32_t& entry = table[index & 0xFFu];
    if (entry == kUnset) {
        entry = value;
        return STATUS_OK;
    }
    return entry == value ? STATUS_OK : STATUS_SET_CONFLICT;
}

// Same verdict as comparing every pair i < j for equality: after the closure all
// entries are set and below 256, so 256 distinct entries are a permutation.
bool isBijection(const WorkTable& table) {
    bool seen[256] = {};
    for (uint32_t value : table) {
        assert(value < 256);
        if (value >= 256 || seen[value]) {
            return false;
        }
        seen[value] = true;
    }
    return true;
}

void storeCoding(const WorkTable& table, ByteCoding& coding) {
    for (uint32_t i = 0; i < 256; ++i) {
        coding.forward[i] = static_cast<uint8_t>(table[i]);
        coding.inverse[table[i] & 0xFFu] = static_cast<uint8_t>(i);
    }
}

int32_t drawFrom(ValuePool& pool, RandomSource& random, uint32_t& out) {
    return pool.draw(random, &out, true);
}

} // namespace

int32_t makeCbcCodingRecord(RandomSource& random, ByteCoding& first, ByteCoding& second,
                            ByteCoding& third) {
    WorkTable x;
    WorkTable y;
    WorkTable z;
    ValuePool poolA;
    ValuePool poolB;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        x.fill(kUnset);
        y.fill(kUnset);
        z.fill(kUnset);
        poolA.clear();
        poolB.clear();
        for (uint32_t v = 0; v < 256; ++v) {
            poolA.append(v);
            poolB.append(v);
        }

        uint32_t value = 0;
        drawFrom(poolA, random, value);
        setOnce(x, 0, value);
        drawFrom(poolB, random, value);
        setOnce(y, 0, value);
        setOnce(z, 0, x[0] ^ y[0]);

        for (uint32_t m = 1; m < 256; m <<= 1) {
            drawFrom(poolA, random, value);
            setOnce(x, m, value);
            setOnce(z, m, y[0] ^ x[m]);
            setOnce(y, m, z[0] ^ x[m]);
        }

        // Whether an entry is set depends only on the index pattern, never on the
        // drawn values, and this order reaches every entry of all three tables.
        for (uint32_t i = 1; i < 256; ++i) {
            for (uint32_t j = i + 1; j < 256; ++j) {
                if (x[j] == kUnset) {
                    continue;
                }
                const uint32_t k = i ^ j;
                setOnce(z, k, x[j] ^ y[i]);
                setOnce(x, k, z[k] ^ y[0]);
                setOnce(y, k, z[k] ^ x[0]);
            }
        }

        if (!isBijection(x) || !isBijection(y) || !isBijection(z)) {
            continue;
        }
        storeCoding(y, first);
        storeCoding(x, second);
        storeCoding(z, third);
        return STATUS_OK;
    }
    return STATUS_CBC_CODING_FAILED;
}

int32_t makeCbcCodings(RandomSource& random, CodingSet& first, CodingSet& second, CodingSet& third) {
    int32_t result = STATUS_OK;
    for (uint32_t k = 0; k < 16; ++k) {
        if (makeCbcCodingRecord(random, first.records[k], second.records[k], third.records[k]) !=
            STATUS_OK) {
            result = STATUS_CBC_CODING_FAILED;
        }
    }
    return result;
}

// makeCbcCodings gives first(u) ^ second(v) = third(u ^ v); since the three
// share L and differ by the constants b, a and a ^ b, also
// third(u) ^ second(v) = first(u ^ v). The roles follow from the chaining:
// - Encryption: the tables take plaintext ^ previous ciphertext, so for a plain
//   byte p and a previous (output-coded) ciphertext byte q the XOR of the coded
//   values must be the coded input: data(p) ^ output(q) = input(p ^ q). That is
//   the second form with data = third, output = second, input = first.
// - Decryption: the tables give output(p ^ q), which XORed with the previous
//   input-coded ciphertext byte input(q) must be data(p):
//   output(p ^ q) ^ input(q) = data(p). That is the first form read as
//   second(u) ^ third(v) = first(u ^ v): output = second, input = third,
//   data = first.
// The draws go record by record across all three sets, so the roles do not
// change which bytes are drawn, only where they land.
int32_t makeCbcTriple(RandomSource& random, CipherDirection direction, CbcTriple& triple) {
    if (direction == CipherDirection::encryption) {
        return makeCbcCodings(random, triple.input, triple.output, triple.data);
    }
    return makeCbcCodings(random, triple.data, triple.output, triple.input);
}

int32_t readCbcDataFile(const std::string& path, CodingSet& set) {
    CodingSet* const sets[] = {&set};
    return readCodingSets(path, sets, 1);
}

int32_t writeCbcDataFile(const std::string& path, const CodingSet& set) {
    const CodingSet* const sets[] = {&set};
    return writeCodingSets(path, sets, 1);
}

int32_t openCbcDataFile(PendingFile& file, const std::string& path, const CodingSet& set) {
    const CodingSet* const sets[] = {&set};
    return openCodingFile(file, path, sets, 1);
}
