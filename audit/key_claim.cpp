// The test-block check of every claimed key. The whole cipher is compared
// with the reference cipher (AES-128, AES-192 or AES-256 by the key's length);
// states between rounds come from a plain round function here, over the same
// S-box and key schedule.
#include "audit/key_claim.h"

#include "aesref/aes128.h"
#include "aesref/rijndael.h"
#include "aesref/aes_tables.h"
#include "audit/aes_network.h"
#include "audit/key_extraction.h"
#include "audit/key_schedule.h"

class KeyCheck {
public:
    static std::optional<ClaimedKey> passed(std::span<const uint8_t> key) { return ClaimedKey(key); }
};

namespace {

// The four test blocks, the same for every claim.
std::array<std::array<uint8_t, 16>, 4> testBlocks() {
    std::array<std::array<uint8_t, 16>, 4> blocks{};
    uint32_t state = 0x9E3779B9u;
    for (auto& block : blocks) {
        for (uint8_t& byte : block) {
            state = state * 1664525u + 1013904223u;
            byte = static_cast<uint8_t>(state >> 24);
        }
    }
    return blocks;
}

// The state (block byte order) of block after `rounds` rounds, as
// claimKeyOnRounds counts them; rounds < R, so every round mixes.
std::array<uint8_t, 16> stateAfter(Direction d, const RoundKeys& keys, const std::array<uint8_t, 16>& block,
                                   int rounds) {
    const bool encrypt = d == Direction::Encrypt;
    const size_t last = keys.size() - 1; // R
    uint8_t s[4][4]; // [row][column]
    for (int n = 0; n < 16; ++n) {
        s[n % 4][n / 4] = static_cast<uint8_t>(block[static_cast<size_t>(n)] ^
                                               keys[encrypt ? 0 : last][static_cast<size_t>(n % 4)][static_cast<size_t>(n / 4)]);
    }
    for (int r = 1; r <= rounds; ++r) {
        const size_t roundKey = encrypt ? static_cast<size_t>(r) : last - static_cast<size_t>(r);
        uint8_t shifted[4][4];
        for (int row = 0; row < 4; ++row) {
            for (int c = 0; c < 4; ++c) {
                // ShiftRows takes column c + row to c; InvShiftRows the other way.
                const int from = encrypt ? (c + row) & 3 : (c - row) & 3;
                const uint8_t x = s[row][from];
                shifted[row][c] = encrypt ? aesSbox[x] : static_cast<uint8_t>(aesInvSbox[x] ^ keys[roundKey][static_cast<size_t>(row)][static_cast<size_t>(c)]);
            }
        }
        for (int c = 0; c < 4; ++c) {
            for (int b = 0; b < 4; ++b) {
                uint8_t mixed = 0;
                for (int k = 0; k < 4; ++k) mixed ^= gfMultiply(mixCoefficient(d, b, k), shifted[k][c]);
                s[b][c] = encrypt ? static_cast<uint8_t>(mixed ^ keys[roundKey][static_cast<size_t>(b)][static_cast<size_t>(c)])
                                  : mixed;
            }
        }
    }
    std::array<uint8_t, 16> out{};
    for (int n = 0; n < 16; ++n) out[static_cast<size_t>(n)] = s[n % 4][n / 4];
    return out;
}

} // namespace

std::optional<ClaimedKey> claimKey(Direction direction, std::span<const uint8_t> key,
                                   const BlockMatch& matches) {
    const int rounds = roundsOfKeyBytes(key.size());
    if (rounds == 0) return std::nullopt;
    const std::string keyText = hexText(key.data(), key.size());
    keyInstance keyRecord{};
    cipherInstance cipher{};
    cipher.blockLen = 128;
    keyRecord.blockLen = 128;
    const uint8_t keyDirection = direction == Direction::Encrypt ? DIR_ENCRYPT : DIR_DECRYPT;
    if (makeKey(&keyRecord, keyDirection, static_cast<int32_t>(8 * key.size()), keyText.c_str()) != TRUE ||
        cipherInit(&cipher, MODE_ECB, nullptr) != TRUE) {
        return std::nullopt;
    }
    for (const auto& block : testBlocks()) {
        uint8_t expected[16];
        const int32_t bits = direction == Direction::Encrypt ? blockEncrypt(&cipher, &keyRecord, block.data(), 128, expected)
                                                             : blockDecrypt(&cipher, &keyRecord, block.data(), 128, expected);
        if (bits != 128 || !matches(block.data(), expected)) return std::nullopt;
    }
    return KeyCheck::passed(key);
}

std::optional<ClaimedKey> claimKeyOnRounds(Direction direction, std::span<const uint8_t> key, int first,
                                           int last, const BlockMatch& matches) {
    const int rounds = roundsOfKeyBytes(key.size());
    if (rounds == 0 || first <= 0 || first >= last || last >= rounds) return std::nullopt;
    const RoundKeys keys = expandKey(key);
    for (const auto& block : testBlocks()) {
        const std::array<uint8_t, 16> in = stateAfter(direction, keys, block, first);
        const std::array<uint8_t, 16> expected = stateAfter(direction, keys, block, last);
        if (!matches(in.data(), expected.data())) return std::nullopt;
    }
    return KeyCheck::passed(key);
}
