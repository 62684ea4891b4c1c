// Key extraction from one direction's emitted tables, and the recovery of the
// external input and output codings that were merged into them.
#pragma once
#include <array>
#include <optional>
#include <cstdint>
#include <string>
#include <vector>

#include "audit/key_claim.h"
#include "audit/key_schedule.h"
#include "audit/table_headers.h"
#include "base/hex_text.h"

// Forward tables of the 16 byte codings of a coding set: forward[record][plain]
// is the coded byte, record 4·row + column of the state byte it codes.
using CodingForward = std::array<std::array<uint8_t, 256>, 16>;

// Every key below is a ClaimedKey: it passed the check of key_claim.h, the one
// way a key is printed or counted. A key an attack found that failed the
// check is named only in that attack's failure text.
struct DirectionAudit {
    int rounds = 10;                     // of the tables: 10, 12 or 14
    std::optional<ClaimedKey> key;       // the direction's key
    std::optional<ClaimedKey> partitionKey; // from the plain-input partition attack
    std::string partitionFailure;        // ... or why not ("" when it found no key)
    std::optional<ClaimedKey> structuralKey; // from the inner-round attack
    std::vector<int> structuralRounds; // round keys it found, all inverting to structuralKey
    // Why the structural attack gave no key: the first step of it that failed,
    // in processing order (mixing bijections make the block-diagonal step
    // fail), "round keys disagree", or the key that failed the check.
    std::string structuralFailure;
    bool bgeTried = false;             // the collision and BGE attacks ran on mixed-format tables
    std::optional<ClaimedKey> bgeKey;  // ... and BGE gave this key (round keys 2 to 8 agree)
    std::string bgeFailure;            // ... or the step where it failed
    std::optional<ClaimedKey> collisionKey; // the first-round collision attack (mixed format)
    std::string collisionFailure;      // ... or why not
    bool codingsRecovered = false;     // inputCoding and outputCoding are known
    bool inputCoded = false;           // a non-identity input coding was merged
    bool outputCoded = false;          // a non-identity output coding was merged
    CodingForward inputCoding{};
    CodingForward outputCoding{};
    std::string reason; // why no key, when key is empty
};

// Runs both attacks on the tables of one direction. Each attack's key is
// claimed only when the tables, evaluated with the external codings recovered
// under it (identity when none were merged), compute AES under it on the
// test blocks (claimKey); otherwise key is empty and reason says which step
// failed.
DirectionAudit auditDirection(const DirectionTables& tables, Direction direction);

// The plain-input partition attack alone on the first round (encryption) or
// the first inverse round (decryption), and for a longer key on the second
// one too; false unless every key byte has exactly one candidate.
bool partitionAttack(const DirectionTables& tables, Direction direction, CipherKey& key);
