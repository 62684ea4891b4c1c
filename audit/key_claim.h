// The one check that every key the audit reports has passed: the tables,
// evaluated with what the attack recovered (external codings, the encodings
// between rounds), compute AES-128 under the key on fixed test blocks. An
// attack hands its candidate key and an evaluator to claimKey and reports the
// ClaimedKey it gets back, or says why it got none. Nothing else makes a
// ClaimedKey, so a key that is printed or counted as recovered has passed.
#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "audit/table_headers.h"

// Whether the network, as the attack evaluates it, takes block to expected.
using BlockMatch = std::function<bool(const uint8_t block[16], const uint8_t expected[16])>;

// A key that passed the check against the tables it came from.
class ClaimedKey {
public:
    const std::array<uint8_t, 16>& bytes() const { return key_; }
    bool operator==(const ClaimedKey&) const = default;

private:
    explicit ClaimedKey(const std::array<uint8_t, 16>& key) : key_(key) {}
    friend class KeyCheck;
    std::array<uint8_t, 16> key_;
};

// The whole cipher: block is one of four fixed pseudo-random blocks, expected
// its AES-128 image under key (the inverse cipher's for decryption) from the
// reference cipher. The key when matches holds for all four, else nothing.
std::optional<ClaimedKey> claimKey(Direction direction, const std::array<uint8_t, 16>& key,
                                   const BlockMatch& matches);

// The same check on the inner rounds only, for an attack that reads them and
// not the external codings: block is the state a test block reaches after
// `first` rounds and expected the state after `last` (0 < first < last < 10).
// Round 0 is the first AddRoundKey; each later round ends with its AddRoundKey
// (encryption) or its InvMixColumns (the inverse cipher, whose round r adds
// round key 10 - r). Those states are the S-box inputs of table stages first
// and last, in block byte order.
std::optional<ClaimedKey> claimKeyOnRounds(Direction direction, const std::array<uint8_t, 16>& key, int first,
                                           int last, const BlockMatch& matches);
