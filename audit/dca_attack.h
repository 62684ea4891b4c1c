// Differential computation analysis (Bos, Hubain, Michiels and Teuwen,
// "Differential Computation Analysis: Hiding your White-Box Designs is Not
// Enough", CHES 2016) on software traces of the table network: the index of
// every table look-up of the first table round, each index bit one sample.
//
// For every key byte of the first round (round key 0; for decryption round
// key 10, the key added before the first inverse S-box) and every guess k, the
// attacker predicts u·S(x ^ k) from the input byte x it knows, for each of the
// 255 nonzero linear masks u of the S-box output (or only its eight bits), and
// correlates each prediction with each sample (Pearson, first order). The
// guess with the highest absolute correlation ranks first. A key is claimed
// only when the 16 first-ranked guesses give a key that passes the view's
// claim check (claimGrayBoxKey). For AES-192 and AES-256 the first round key
// alone is not the key: at each check point the same traces are run again and
// the look-ups of the second table round are correlated in the same way with
// the state entering it, which the first round key and the input give
// (aes_network.h: stateForBlock); the two round keys give the cipher key.
//
// Only the statistics the correlation needs are kept: per input byte value,
// how often each sample bit was set, so the traces themselves are never
// stored. The samples a key byte is correlated with are the ones whose mean
// depends most on its input byte (a chi-square score over the 256 input
// values), as an attacker picks the points of interest.
#pragma once
#include <array>
#include <optional>
#include <cstdint>
#include <string>

#include "audit/gray_box_view.h"
#include "audit/key_claim.h"

enum class DcaPredictions { SboxBits, LinearMasks };

struct DcaOptions {
    int traces = 2000;   // at most this many traces (1..65535)
    int firstCheck = 32; // the first point of the doubling schedule
    DcaPredictions predictions = DcaPredictions::LinearMasks;
    int samplesPerByte = 48; // points of interest per key byte
    uint64_t seed = 1;       // of the random inputs
};

struct DcaResult {
    std::optional<ClaimedKey> key; // only a key that passed the claim check
    bool recovered() const { return key.has_value(); }
    // The claimed key, or 16 zero bytes.
    std::vector<uint8_t> keyBytes() const { return key ? key->bytes() : std::vector<uint8_t>(16); }
    int traces = 0;             // traces at the first success, or all traced
    std::string failure;        // why not, when not recovered
};

// Runs the schedule firstCheck, 2·firstCheck, ... up to options.traces (the
// last point is traces itself). Inputs are random plain blocks, coded through
// the view (codings null: handed to the tables as they are).
DcaResult dcaAttack(const NetworkTables& tables, Direction direction, const ExternalCodings* codings,
                    const DcaOptions& options);

