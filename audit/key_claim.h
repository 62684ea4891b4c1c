// The one check that every key the audit reports has passed: the tables,
// evaluated with what the attack recovered (external codings, the encodings
// between rounds), compute AES under the key (AES-128, AES-192 or AES-256 by
// its length) on fixed test blocks. An
// attack hands its candidate key and an evaluator to claimKey and reports the
// ClaimedKey it gets back, or says why it got none. Nothing else makes a
// ClaimedKey, so a key that is printed or counted as recovered has passed.
#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "audit/table_headers.h"

// Whether the network, as the attack evaluates it, takes block to expected.
using BlockMatch = std::function<bool(const uint8_t block[16], const uint8_t expected[16])>;

// A key that passed the check against the tables it came from.
class ClaimedKey {
public:
    // 16, 24 or 32 bytes, block byte order.
    const std::vector<uint8_t>& bytes() const { return key_; }
    bool operator==(const ClaimedKey&) const = default;

private:
    explicit ClaimedKey(std::span<const uint8_t> key) : key_(key.begin(), key.end()) {}
    friend class KeyCheck;
    std::vector<uint8_t> key_;
};

// The whole cipher: block is one of four fixed pseudo-random blocks, expected
// its AES image under key (the inverse cipher's for decryption) from the
// reference cipher. The key when matches holds for all four, else nothing
// (nothing too for a key that is not 16, 24 or 32 bytes long).
std::optional<ClaimedKey> claimKey(Direction direction, std::span<const uint8_t> key,
                                   const BlockMatch& matches);

// The same check on the inner rounds only, for an attack that reads them and
// not the external codings: block is the state a test block reaches after
// `first` rounds and expected the state after `last` (0 < first < last < R,
// R the round count of the key's length). Round 0 is the first AddRoundKey;
// each later round ends with its AddRoundKey (encryption) or its
// InvMixColumns (the inverse cipher, whose round r adds round key R - r).
// Those states are the S-box inputs of table stages first and last, in block
// byte order.
std::optional<ClaimedKey> claimKeyOnRounds(Direction direction, std::span<const uint8_t> key, int first,
                                           int last, const BlockMatch& matches);
