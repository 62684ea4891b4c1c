// Differential computation analysis on look-up traces (see dca_attack.h).
//
// With m_x the number of traces whose input byte is x and whose sample bit is
// set, and n_x the number of traces with input byte x, the sums a correlation
// needs are sums over x: sum(s p) = sum_x m_x p(x). For the prediction
// p(x) = u·S(x ^ k), sum_x m_x (-1)^p(x) is the Walsh-Hadamard transform at u
// of M_v = m_{S^-1(v) ^ k}, so one transform of 256 values gives all 255 masks
// of one guess.
#include "audit/dca_attack.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "aesref/aes_tables.h"
#include "audit/aes_network.h"
#include "audit/key_schedule.h"

namespace {

// splitmix64: the inputs only need to be reproducible and well spread.
class InputStream {
public:
    explicit InputStream(uint64_t seed) : state_(seed) {}
    void block(uint8_t out[16]) {
        for (int half = 0; half < 2; ++half) {
            uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
            z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
            z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
            z ^= z >> 31;
            for (int i = 0; i < 8; ++i) out[8 * half + i] = static_cast<uint8_t>(z >> (8 * i));
        }
    }

private:
    uint64_t state_;
};

void walshHadamard(std::array<int32_t, 256>& a) {
    for (size_t h = 1; h < 256; h <<= 1) {
        for (size_t i = 0; i < 256; i += 2 * h) {
            for (size_t j = i; j < i + h; ++j) {
                const int32_t x = a[j];
                const int32_t y = a[j + h];
                a[j] = x + y;
                a[j + h] = x - y;
            }
        }
    }
}

class Correlator {
public:
    Correlator(size_t samples, const uint8_t* box, const DcaOptions& options)
        : samples_(samples), options_(options), counts_(16 * 256 * samples), ones_(samples), inputs_{} {
        for (unsigned x = 0; x < 256; ++x) inverseBox_[box[x]] = static_cast<uint8_t>(x);
        for (unsigned u = 1; u < 256; ++u) {
            if (options.predictions == DcaPredictions::LinearMasks || (u & (u - 1)) == 0) {
                masks_.push_back(static_cast<uint8_t>(u));
            }
        }
    }

    // One trace: the input bytes the attacker knows and the sample bits (0/1).
    void add(const uint8_t input[16], const std::vector<uint8_t>& bits) {
        for (size_t i = 0; i < 16; ++i) {
            uint16_t* row = &counts_[(i * 256 + input[i]) * samples_];
            for (size_t s = 0; s < samples_; ++s) row[s] = static_cast<uint16_t>(row[s] + bits[s]);
            ++inputs_[i][input[i]];
        }
        for (size_t s = 0; s < samples_; ++s) ones_[s] += bits[s];
        ++traces_;
    }

    // The first-ranked guess for input byte i.
    uint8_t topGuess(size_t i) const {
        const double n = static_cast<double>(traces_);
        const std::vector<size_t> chosen = pointsOfInterest(i);
        // sum(p) for every guess and mask, from the input counts alone.
        std::vector<double> predicted(256 * 256);
        std::vector<double> predictedScale(256 * 256);
        for (unsigned k = 0; k < 256; ++k) {
            std::array<int32_t, 256> a{};
            for (unsigned v = 0; v < 256; ++v) a[v] = static_cast<int32_t>(inputs_[i][inverseBox_[v] ^ k]);
            walshHadamard(a);
            for (uint8_t u : masks_) {
                const double sp = (n - a[u]) / 2;
                predicted[k * 256 + u] = sp;
                const double var = sp * (n - sp);
                predictedScale[k * 256 + u] = var > 0 ? 1 / std::sqrt(var) : 0;
            }
        }
        std::array<double, 256> best{};
        std::array<int32_t, 256> column{};
        for (size_t s : chosen) {
            const double ones = ones_[s];
            const double sampleScale = 1 / std::sqrt(ones * (n - ones));
            for (unsigned x = 0; x < 256; ++x) column[x] = counts_[(i * 256 + x) * samples_ + s];
            for (unsigned k = 0; k < 256; ++k) {
                std::array<int32_t, 256> a;
                for (unsigned v = 0; v < 256; ++v) a[v] = column[inverseBox_[v] ^ k];
                walshHadamard(a);
                double top = 0;
                for (uint8_t u : masks_) {
                    const double ssp = (ones - a[u]) / 2;
                    top = std::max(top, std::fabs(n * ssp - ones * predicted[k * 256 + u]) *
                                            predictedScale[k * 256 + u]);
                }
                best[k] = std::max(best[k], top * sampleScale);
            }
        }
        return static_cast<uint8_t>(std::max_element(best.begin(), best.end()) - best.begin());
    }

private:
    // The samples whose mean depends most on input byte i (chi-square score),
    // constant samples left out.
    std::vector<size_t> pointsOfInterest(size_t i) const {
        std::vector<std::pair<double, size_t>> scored;
        for (size_t s = 0; s < samples_; ++s) {
            const double ones = ones_[s];
            if (ones == 0 || ones == traces_) continue;
            const double mean = ones / traces_;
            double chi = 0;
            for (unsigned x = 0; x < 256; ++x) {
                const double nx = inputs_[i][x];
                if (nx == 0) continue;
                const double d = counts_[(i * 256 + x) * samples_ + s] - nx * mean;
                chi += d * d / nx;
            }
            scored.push_back({chi / (mean * (1 - mean)), s});
        }
        const size_t keep = std::min(scored.size(), static_cast<size_t>(options_.samplesPerByte));
        std::partial_sort(scored.begin(), scored.begin() + static_cast<std::ptrdiff_t>(keep), scored.end(),
                          [](const auto& a, const auto& b) { return a.first > b.first; });
        std::vector<size_t> chosen;
        for (size_t j = 0; j < keep; ++j) chosen.push_back(scored[j].second);
        return chosen;
    }

    size_t samples_;
    DcaOptions options_;
    std::vector<uint16_t> counts_; // [input byte i][value x][sample]
    std::vector<uint32_t> ones_;
    std::array<std::array<uint32_t, 256>, 16> inputs_;
    std::array<uint8_t, 256> inverseBox_{};
    std::vector<uint8_t> masks_;
    int traces_ = 0;
};

// The next random input block (plain), run through the tables with its
// look-ups of table round `stage` (0 or 1) as sample bits, eight per look-up.
void traceBlock(const NetworkTables& tables, Direction direction, const ExternalCodings* codings, InputStream& inputs,
                int stage, LookupTrace& trace, uint8_t plain[16], std::vector<uint8_t>& bits) {
    uint8_t coded[16];
    uint8_t out[16];
    inputs.block(plain);
    codeInput(codings, plain, coded);
    evaluateTraced(tables, direction, coded, out, &trace);
    const size_t perStage = lookupsPerStage(tables);
    for (size_t s = 0; s < perStage; ++s) {
        const uint8_t index = trace.index[static_cast<size_t>(stage) * perStage + s];
        for (size_t b = 0; b < 8; ++b) bits[8 * s + b] = static_cast<uint8_t>((index >> b) & 1u);
    }
}

// The stage-1 samples of traces 1..traces again, correlated with the state v
// entering the second table round (aes_network.h: stateForBlock under the
// first round key): the guesses of K', then the cipher key of the first two
// round keys. Nothing when those belong to no key.
std::optional<CipherKey> secondRoundByDca(const NetworkTables& tables, Direction direction,
                                          const ExternalCodings* codings, const DcaOptions& options,
                                          const RoundKey& first, int traces) {
    LookupTrace trace;
    trace.stages = 2;
    const size_t perStage = lookupsPerStage(tables);
    const size_t samples = 8 * perStage;
    Correlator correlator(samples, direction == Direction::Encrypt ? aesSbox : aesInvSbox, options);
    std::vector<uint8_t> bits(samples);
    InputStream inputs(options.seed);
    for (int t = 1; t <= traces; ++t) {
        uint8_t plain[16];
        uint8_t state[16];
        traceBlock(tables, direction, codings, inputs, 1, trace, plain, bits);
        stateForBlock(direction, first, plain, state);
        correlator.add(state, bits);
    }
    RoundKey offset{};
    for (size_t i = 0; i < 16; ++i) offset[i % 4][i / 4] = correlator.topGuess(i);
    return keyOfFirstRounds(direction, first, secondRoundKey(direction, offset), tables.classic->rounds);
}

} // namespace

DcaResult dcaAttack(const NetworkTables& tables, Direction direction, const ExternalCodings* codings,
                    const DcaOptions& options) {
    DcaResult result;
    const int total = std::clamp(options.traces, 1, 65535);
    LookupTrace trace;
    trace.stages = 1;
    const size_t samples = 8 * traceLength(tables, 1);
    const uint8_t* box = direction == Direction::Encrypt ? aesSbox : aesInvSbox;
    Correlator correlator(samples, box, options);
    std::vector<uint8_t> bits(samples);
    InputStream inputs(options.seed);
    const int rounds = tables.classic->rounds;
    int check = std::clamp(options.firstCheck, 1, total);
    for (int t = 1; t <= total; ++t) {
        uint8_t plain[16];
        traceBlock(tables, direction, codings, inputs, 0, trace, plain, bits);
        correlator.add(plain, bits);
        if (t != check) continue;
        check = t >= total ? total + 1 : std::min(2 * t, total);
        RoundKey roundKey{};
        for (size_t i = 0; i < 16; ++i) roundKey[i % 4][i / 4] = correlator.topGuess(i);
        result.traces = t;
        if (rounds == 10) {
            const std::array<uint8_t, 16> candidate =
                cipherKeyFromRoundKey(roundKey, direction == Direction::Encrypt ? 0 : 10);
            result.key = claimGrayBoxKey(tables, direction, codings, candidate);
        } else {
            // A longer key: the second table round's look-ups, with K0 known.
            const std::optional<CipherKey> candidate =
                secondRoundByDca(tables, direction, codings, options, roundKey, t);
            if (candidate) result.key = claimGrayBoxKey(tables, direction, codings, *candidate);
        }
        if (result.key) return result;
    }
    result.failure = "the first-ranked guesses failed the check at every point up to " + std::to_string(total) +
                     " traces";
    return result;
}
