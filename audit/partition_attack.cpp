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

} // namespace

bool partitionAttack(const DirectionTables& tables, Direction direction, std::array<uint8_t, 16>& key) {
    const int slot = stageSlot(direction, 0);
    const uint8_t* box = direction == Direction::Encrypt ? aesSbox : aesInvSbox;
    RoundKey firstKey{};
    for (int j = 0; j < 4; ++j) {
        for (int k = 0; k < 4; ++k) {
            uint8_t coded[8][256];
            for (unsigned x = 0; x < 256; ++x) {
                for (int b = 0; b < 4; ++b) {
                    const uint8_t entry = roundEntry(tables, slot, j, k, x, b);
                    coded[2 * b][x] = entry & 15;
                    coded[2 * b + 1][x] = static_cast<uint8_t>(entry >> 4);
                }
            }
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
                    firstKey[static_cast<size_t>(k)][static_cast<size_t>(j)] = static_cast<uint8_t>(guess);
                }
            }
            if (candidates != 1) return false;
        }
    }
    key = cipherKeyFromRoundKey(firstKey, direction == Direction::Encrypt ? 0 : 10);
    return true;
}
