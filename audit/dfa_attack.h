// Differential fault analysis after Piret and Quisquater ("A Differential Fault
// Attack Technique against SPN Structures, with Application to the AES and
// KHAZAD", CHES 2003), on the table network with one-byte faults at the input
// of the last table round: the input of round 9 for encryption, of the inverse
// round 1 for decryption.
//
// A fault there changes one byte before the last MixColumns (InvMixColumns),
// which spreads its S-box output difference f to the four bytes of one column
// as (c_0 f, c_1 f, c_2 f, c_3 f), c the faulted row's column of the matrix.
// For the four output bytes C_b, C'_b of that column and the last round key
// bytes k_b: S^-1(C_b ^ k_b) ^ S^-1(C'_b ^ k_b) = c_b f (decryption: S in
// place of S^-1). One faulty run leaves about 2^10 of the 2^32 candidates of a
// column (every f, and every row since the attacker does not know which row it
// hit); a second one in the same column almost always leaves one. The four
// columns give the last round key (round key 10, or round key 0 for
// decryption), the key schedule runs back to the cipher key, and the key is
// claimed only when it passes the view's claim check (claimGrayBoxKey). For
// AES-192 and AES-256 the last round is then peeled off with its key and the
// faults go one table round earlier: the same equations on the peeled outputs
// give the round key before the last (aes_network.h: peelLastRound), and the
// two give the cipher key. Both searches share the budget of faulty runs.
#pragma once
#include <array>
#include <optional>
#include <cstdint>
#include <string>

#include "audit/gray_box_view.h"
#include "audit/key_claim.h"

struct DfaOptions {
    int faults = 64;   // at most this many faulty runs
    uint64_t seed = 1; // of the inputs, fault positions and fault values
};

struct DfaResult {
    std::optional<ClaimedKey> key; // only a key that passed the claim check
    bool recovered() const { return key.has_value(); }
    // The claimed key, or 16 zero bytes.
    std::vector<uint8_t> keyBytes() const { return key ? key->bytes() : std::vector<uint8_t>(16); }
    int faults = 0;         // faulty runs used
    std::string failure;    // why not, when not recovered
};

// Each faulty run takes a fresh random input, runs it once without and once
// with a fault (random byte, random nonzero flip) and compares the outputs,
// decoded through the view (codings null: as the tables give them).
DfaResult dfaAttack(const NetworkTables& tables, Direction direction, const ExternalCodings* codings,
                    const DfaOptions& options);
