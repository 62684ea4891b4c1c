// Key extraction from one direction's emitted tables, and the recovery of the
// external input and output codings that were merged into them.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "audit/table_headers.h"

// Forward tables of the 16 byte codings of a coding set: forward[record][plain]
// is the coded byte, record 4·row + column of the state byte it codes.
using CodingForward = std::array<std::array<uint8_t, 256>, 16>;

struct DirectionAudit {
    bool keyRecovered = false;      // the key below was recovered and checked
    std::array<uint8_t, 16> key{};
    bool partitionRecovered = false; // the plain-input partition attack found a key
    std::array<uint8_t, 16> partitionKey{};
    bool structuralRecovered = false; // the inner-round attack found a key
    std::array<uint8_t, 16> structuralKey{};
    std::vector<int> structuralRounds; // round keys it found, all inverting to structuralKey
    // The first step of the structural attack that failed, in processing order
    // ("" when every table round passed its shortcut); mixing bijections make
    // the block-diagonal step fail.
    std::string structuralFailure;
    bool bgeTried = false;     // the collision and BGE attacks ran on mixed-format tables
    bool bgeRecovered = false; // ... and gave bgeKey (round keys 2 to 8 agree)
    std::array<uint8_t, 16> bgeKey{};
    std::string bgeFailure;    // ... or the step where it failed
    bool collisionRecovered = false; // the first-round collision attack (mixed format) gave
    std::array<uint8_t, 16> collisionKey{}; // this key, checked on the whole network without codings
    std::string collisionFailure;    // ... or why not
    bool codingsRecovered = false;     // inputCoding and outputCoding are known
    bool inputCoded = false;           // a non-identity input coding was merged
    bool outputCoded = false;          // a non-identity output coding was merged
    CodingForward inputCoding{};
    CodingForward outputCoding{};
    std::string reason; // why no key, when keyRecovered is false
};

// Runs both attacks on the tables of one direction. A key is reported only
// when the tables, evaluated with the recovered external codings (identity when
// none were merged), compute AES-128 under it on test blocks; otherwise
// keyRecovered is false and reason says which step failed.
DirectionAudit auditDirection(const DirectionTables& tables, Direction direction);

// Lower-case hex text of n bytes (keys and coding records in the report).
std::string hexText(const uint8_t* bytes, size_t n);

// The plain-input partition attack alone on the first round (encryption) or
// the first inverse round (decryption); false unless every key byte has exactly
// one candidate.
bool partitionAttack(const DirectionTables& tables, Direction direction, std::array<uint8_t, 16>& key);
