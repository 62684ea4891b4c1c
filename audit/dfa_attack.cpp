// Piret-Quisquater differential fault analysis on the last round (see
// dfa_attack.h).
#include "audit/dfa_attack.h"

#include <algorithm>
#include <vector>

#include "aesref/aes128.h"
#include "aesref/aes_tables.h"
#include "audit/aes_network.h"
#include "audit/key_schedule.h"

namespace {

class Random {
public:
    explicit Random(uint64_t seed) : state_(seed) {}
    uint64_t next() {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }

private:
    uint64_t state_;
};

// The candidates of one column's four last-round key bytes (byte b in bits
// 8b..8b+7), once a fault has hit that column.
struct ColumnCandidates {
    bool started = false;
    std::vector<uint32_t> keys;
};

class FaultEquations {
public:
    explicit FaultEquations(Direction d) : d_(d), box_(d == Direction::Encrypt ? aesInvSbox : aesSbox) {}

    // The output byte (block order) of row b of last-round column c.
    int outputByte(int b, int c) const { return 4 * fedColumn(d_, b, c) + b; }

    // The column whose four output bytes, and only those, differ; -1 if none.
    int faultedColumn(const uint8_t good[16], const uint8_t bad[16]) const {
        for (int c = 0; c < 4; ++c) {
            bool fits = true;
            for (int i = 0; i < 16 && fits; ++i) {
                bool inColumn = false;
                for (int b = 0; b < 4; ++b) inColumn = inColumn || i == outputByte(b, c);
                fits = (good[i] != bad[i]) == inColumn;
            }
            if (fits) return c;
        }
        return -1;
    }

    // Narrows the candidates of column c by one faulty run; false when none is left.
    bool add(ColumnCandidates& column, int c, const uint8_t good[16], const uint8_t bad[16]) const {
        // difference[b][k]: the S-box input difference of row b under key byte k.
        std::array<std::array<uint8_t, 256>, 4> difference{};
        for (int b = 0; b < 4; ++b) {
            const uint8_t g = good[outputByte(b, c)];
            const uint8_t f = bad[outputByte(b, c)];
            for (unsigned k = 0; k < 256; ++k) {
                difference[static_cast<size_t>(b)][k] = static_cast<uint8_t>(box_[g ^ k] ^ box_[f ^ k]);
            }
        }
        if (!column.started) {
            column.started = true;
            column.keys = firstCandidates(difference);
        } else {
            std::vector<uint32_t> kept;
            for (uint32_t key : column.keys) {
                if (fits(difference, key)) kept.push_back(key);
            }
            column.keys.swap(kept);
        }
        return !column.keys.empty();
    }

private:
    uint8_t coefficient(int b, int row) const { return mixCoefficient(d_, b, row); }

    bool fits(const std::array<std::array<uint8_t, 256>, 4>& difference, uint32_t key) const {
        for (int row = 0; row < 4; ++row) {
            const uint8_t f = gfMultiply(difference[0][key & 0xFFu], gfInverse(coefficient(0, row)));
            bool all = f != 0;
            for (int b = 1; b < 4 && all; ++b) {
                all = difference[static_cast<size_t>(b)][(key >> (8 * b)) & 0xFFu] == gfMultiply(coefficient(b, row), f);
            }
            if (all) return true;
        }
        return false;
    }

    std::vector<uint32_t> firstCandidates(const std::array<std::array<uint8_t, 256>, 4>& difference) const {
        // bytes[b][delta]: the key bytes of row b whose S-box input difference is delta.
        std::array<std::array<std::vector<uint8_t>, 256>, 4> bytes;
        for (size_t b = 0; b < 4; ++b) {
            for (unsigned k = 0; k < 256; ++k) bytes[b][difference[b][k]].push_back(static_cast<uint8_t>(k));
        }
        std::vector<uint32_t> keys;
        for (int row = 0; row < 4; ++row) {
            for (unsigned f = 1; f < 256; ++f) {
                const auto& b0 = bytes[0][gfMultiply(coefficient(0, row), static_cast<uint8_t>(f))];
                const auto& b1 = bytes[1][gfMultiply(coefficient(1, row), static_cast<uint8_t>(f))];
                const auto& b2 = bytes[2][gfMultiply(coefficient(2, row), static_cast<uint8_t>(f))];
                const auto& b3 = bytes[3][gfMultiply(coefficient(3, row), static_cast<uint8_t>(f))];
                for (uint8_t k0 : b0) {
                    for (uint8_t k1 : b1) {
                        for (uint8_t k2 : b2) {
                            for (uint8_t k3 : b3) {
                                keys.push_back(static_cast<uint32_t>(k0) | static_cast<uint32_t>(k1) << 8 |
                                               static_cast<uint32_t>(k2) << 16 | static_cast<uint32_t>(k3) << 24);
                            }
                        }
                    }
                }
            }
        }
        std::sort(keys.begin(), keys.end());
        keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
        return keys;
    }

    Direction d_;
    const uint8_t* box_;
};

// One round key from faulty runs: faults at the input of table round `stage`,
// the outputs decoded through the view and, with peel, the last round peeled
// off under that key first. runs counts on from its value up to limit; false
// with failure set when no key fits or columns stay open. noun names the key
// in the failure text.
bool roundKeyByFaults(const NetworkTables& tables, Direction direction, const ExternalCodings* codings,
                      Random& random, int limit, int stage, const RoundKey* peel, const std::string& noun,
                      RoundKey& roundKey, int& runs, std::string& failure) {
    const FaultEquations equations(direction);
    std::array<ColumnCandidates, 4> columns;
    int unusable = 0;
    while (runs < limit) {
        ++runs;
        uint8_t in[16];
        for (int half = 0; half < 2; ++half) {
            const uint64_t bits = random.next();
            for (int i = 0; i < 8; ++i) in[8 * half + i] = static_cast<uint8_t>(bits >> (8 * i));
        }
        const uint64_t where = random.next();
        const StateFault fault{static_cast<int>(where & 3u), static_cast<int>((where >> 2) & 3u),
                               static_cast<uint8_t>(1 + (where >> 8) % 255), stage};
        uint8_t coded[16];
        uint8_t good[16];
        uint8_t bad[16];
        evaluateTraced(tables, direction, in, coded);
        decodeOutput(codings, coded, good);
        evaluateTraced(tables, direction, in, coded, nullptr, &fault);
        decodeOutput(codings, coded, bad);
        if (peel != nullptr) {
            uint8_t peeled[16];
            peelLastRound(direction, *peel, good, peeled);
            std::copy(peeled, peeled + 16, good);
            peelLastRound(direction, *peel, bad, peeled);
            std::copy(peeled, peeled + 16, bad);
        }
        const int c = equations.faultedColumn(good, bad);
        if (c < 0) {
            ++unusable; // the difference reaches no single column: nothing to solve
            continue;
        }
        if (!equations.add(columns[static_cast<size_t>(c)], c, good, bad)) {
            failure = "no " + noun + " fits the faulty outputs of column " + std::to_string(c) + " after " +
                      std::to_string(runs) + " faulty runs";
            return false;
        }
        if (std::any_of(columns.begin(), columns.end(), [](const ColumnCandidates& k) { return k.keys.size() != 1; })) {
            continue;
        }
        for (int col = 0; col < 4; ++col) {
            for (int b = 0; b < 4; ++b) {
                const int i = equations.outputByte(b, col);
                roundKey[static_cast<size_t>(i % 4)][static_cast<size_t>(i / 4)] =
                    static_cast<uint8_t>(columns[static_cast<size_t>(col)].keys[0] >> (8 * b));
            }
        }
        return true;
    }
    size_t open = 0;
    for (const ColumnCandidates& column : columns) open += column.keys.size() != 1 ? 1 : 0;
    failure = std::to_string(open) + " of 4 columns still open after " + std::to_string(limit) + " faulty runs" +
              (unusable > 0 ? " (" + std::to_string(unusable) + " reached no single column)" : "");
    return false;
}

} // namespace

DfaResult dfaAttack(const NetworkTables& tables, Direction direction, const ExternalCodings* codings,
                    const DfaOptions& options) {
    DfaResult result;
    Random random(options.seed);
    const int limit = std::max(options.faults, 1);
    const int rounds = tables.classic->rounds;
    RoundKey last{};
    if (!roundKeyByFaults(tables, direction, codings, random, limit, lastTableRound(tables), nullptr,
                          "last round key", last, result.faults, result.failure)) {
        return result;
    }
    CipherKey candidate;
    if (rounds == 10) {
        const std::array<uint8_t, 16> bytes = cipherKeyFromRoundKey(last, direction == Direction::Encrypt ? 10 : 0);
        candidate.assign(bytes.begin(), bytes.end());
    } else {
        // A longer key: the last round peeled off, faults one table round
        // earlier give the round key before it.
        RoundKey peeled{};
        if (!roundKeyByFaults(tables, direction, codings, random, limit, lastTableRound(tables) - 1, &last,
                              "round key before the last", peeled, result.faults, result.failure)) {
            return result;
        }
        const std::optional<CipherKey> found =
            keyOfLastRounds(direction, last, keyBeforeLast(direction, peeled), rounds);
        if (found) candidate = *found;
    }
    if (!candidate.empty()) result.key = claimGrayBoxKey(tables, direction, codings, candidate);
    if (!result.key) {
        result.failure = std::string(rounds == 10 ? "the last round key" : "the last two round keys") + " from " +
                         std::to_string(result.faults) + " faulty runs failed the check";
    }
    return result;
}
