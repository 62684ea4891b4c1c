// Partition attack on the first round of a network whose first tables take the
// plain block. A round table's output byte b carries m_b·box[x ^ k] (box the
// S-box for encryption, the inverse S-box for decryption, m_b the MixColumns or
// InvMixColumns coefficient) under two unknown 4-bit bijections. The classes
// of inputs x that give one coded nibble are therefore exactly the classes of
// one plain nibble of m_b·box[x ^ k]: the bijection renames the classes but
// cannot merge or split them. Only the right key byte k reproduces all eight
// partitions of a table, so 256 guesses per byte find it. A constant added after
// the box (decryption's K_9) only renames the classes too, so the decryption
// tables give K_10 and, through the key schedule, the cipher key.
//
// A longer key needs the second round too. With the first round key known,
// the attacker sets the state entering the second table round through the
// block (aes_network.h: blockForState) and reads which coded byte the first
// round made of it: the second round's tables, looked up at those bytes, are
// then a first round again, whose key is round key 1 (encryption) or
// InvMixColumns of round key R - 1 (decryption).
#include "aesref/aes_tables.h"
#include "audit/aes_network.h"
#include "audit/key_extraction.h"
#include "audit/key_schedule.h"

namespace {

// Whether coded(x) = f(plain(x ^ guess)) for some bijection f of nibbles.
bool samePartition(const uint8_t plain[256], unsigned guess, const uint8_t coded[256]) {
    uint8_t forward[16];
    uint8_t backward[16];
    for (int i = 0; i < 16; ++i) forward[i] = backward[i] = 0xFF;
    for (unsigned x = 0; x < 256; ++x) {
        const uint8_t p = plain[x ^ guess];
        const uint8_t c = coded[x];
        if (forward[p] == 0xFF && backward[c] == 0xFF) {
            forward[p] = c;
            backward[c] = p;
        } else if (forward[p] != c || backward[c] != p) {
            return false;
        }
    }
    return true;
}

// coded[2b + h][v]: nibble h of output byte b of a row-k table, looked up at
// the coded byte of plain value v. The one key byte that reproduces every
// partition, or false.
bool keyByteFromPartitions(const uint8_t coded[8][256], Direction direction, int k, uint8_t& keyByte) {
    const uint8_t* box = direction == Direction::Encrypt ? aesSbox : aesInvSbox;
    // plain[2b + h][v]: nibble h of m_b·box[v]
    uint8_t plain[8][256];
    for (unsigned v = 0; v < 256; ++v) {
        for (int b = 0; b < 4; ++b) {
            const uint8_t product = gfMultiply(mixCoefficient(direction, b, k), box[v]);
            plain[2 * b][v] = product & 15;
            plain[2 * b + 1][v] = static_cast<uint8_t>(product >> 4);
        }
    }
    int candidates = 0;
    for (unsigned guess = 0; guess < 256; ++guess) {
        bool match = true;
        for (int n = 0; n < 8 && match; ++n) match = samePartition(plain[n], guess, coded[n]);
        if (match) {
            ++candidates;
            keyByte = static_cast<uint8_t>(guess);
        }
    }
    return candidates == 1;
}

// The key of one table round, each row-k table of column j looked up at
// codedByte(j, k, v) for plain value v.
template <typename CodedByte>
bool roundKeyFromPartitions(const DirectionTables& tables, Direction direction, int stage, const CodedByte& codedByte,
                            RoundKey& key) {
    const int slot = stageSlot(direction, stage, tables.rounds);
    for (int j = 0; j < 4; ++j) {
        for (int k = 0; k < 4; ++k) {
            uint8_t coded[8][256];
            for (unsigned v = 0; v < 256; ++v) {
                const uint8_t x = codedByte(j, k, v);
                for (int b = 0; b < 4; ++b) {
                    const uint8_t entry = roundEntry(tables, slot, j, k, x, b);
                    coded[2 * b][v] = entry & 15;
                    coded[2 * b + 1][v] = static_cast<uint8_t>(entry >> 4);
                }
            }
            if (!keyByteFromPartitions(coded, direction, k, key[static_cast<size_t>(k)][static_cast<size_t>(j)])) {
                return false;
            }
        }
    }
    return true;
}

} // namespace

bool partitionAttack(const DirectionTables& tables, Direction direction, CipherKey& key) {
    RoundKey firstKey{};
    const auto plainByte = [](int, int, unsigned v) { return static_cast<uint8_t>(v); };
    if (!roundKeyFromPartitions(tables, direction, 0, plainByte, firstKey)) return false;
    if (tables.rounds == 10) {
        const std::array<uint8_t, 16> bytes = cipherKeyFromRoundKey(firstKey, direction == Direction::Encrypt ? 0 : 10);
        key.assign(bytes.begin(), bytes.end());
        return true;
    }
    // The coded byte (k, j) entering stage 1 for plain value v there, the
    // other bytes of the state 0.
    const auto secondByte = [&](int j, int k, unsigned v) {
        uint8_t state[16] = {};
        state[4 * j + k] = static_cast<uint8_t>(v);
        uint8_t block[16];
        blockForState(direction, firstKey, state, block);
        uint8_t coded[16];
        networkState(tables, direction, block, coded, 1);
        return coded[4 * j + k];
    };
    RoundKey offset{};
    if (!roundKeyFromPartitions(tables, direction, 1, secondByte, offset)) return false;
    const std::optional<CipherKey> found =
        keyOfFirstRounds(direction, firstKey, secondRoundKey(direction, offset), tables.rounds);
    if (!found) return false;
    key = *found;
    return true;
}

