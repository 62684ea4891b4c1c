// The wiring of the mixed format: every coding number of a direction leaves
// exactly one table output and enters exactly one table input, so no two wires
// share a coding, with and without external codings at the edges.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "wbgen/mixed_coding_map.h"

namespace {

// For R rounds: 4032 codings for AES-128, 448 more per extra round.
template <int Rounds>
void expectOwnCodings() {
    for (const Direction direction : {Direction::Encryption, Direction::Decryption}) {
        for (const bool external : {false, true}) {
            SCOPED_TRACE(std::string(direction == Direction::Encryption ? "encryption" : "decryption") +
                         (external ? " with external codings" : "") + " R=" + std::to_string(Rounds));
            auto map = std::make_unique<MixedCodingMapOf<Rounds>>();
            const uint32_t count = assignMixedCodings(*map, direction, external, external);
            EXPECT_EQ(count, 4032u + 448u * static_cast<uint32_t>(Rounds - kAes128Rounds));
            std::vector<int> produced(count + 1, 0);
            std::vector<int> consumed(count + 1, 0);
            auto tally = [&](std::vector<int>& seen, int32_t number) {
                ASSERT_GE(number, 1);
                ASSERT_LE(number, static_cast<int32_t>(count));
                ++seen[static_cast<size_t>(number)];
            };
            // A byte wire is a pair of nibble numbers; a nibble wire (an XOR
            // table's output) is its low number.
            auto byteWire = [&](std::vector<int>& seen, const CodingRef& ref) {
                if (ref.kind != CODING_NIBBLES) return;
                tally(seen, ref.hi);
                tally(seen, ref.lo);
            };
            for (int stage = 0; stage < tableRoundsOf(Rounds); ++stage) {
                const int s = tableRoundSlot(direction, stage, Rounds);
                for (int c = 0; c < 4; ++c) {
                    for (int k = 0; k < 4; ++k) {
                        // A table's four output bytes share its input byte.
                        byteWire(consumed, map->classic.round[s][c][k][0].input);
                        byteWire(consumed, map->mix[s][c][k][0].input);
                        for (int b = 0; b < 4; ++b) {
                            byteWire(produced, map->classic.round[s][c][k][b].output);
                            byteWire(produced, map->mix[s][c][k][b].output);
                        }
                    }
                    for (int n = 0; n < kXorTablesPerColumn; ++n) {
                        for (const TableCodings* slot : {&map->classic.xorSlots[s][c][n], &map->mixXor[s][c][n]}) {
                            byteWire(consumed, slot->input);
                            tally(produced, slot->output.lo);
                        }
                    }
                }
            }
            for (int j = 0; j < 4; ++j) {
                for (int k = 0; k < 4; ++k) byteWire(consumed, map->classic.last[j][k].input);
            }
            for (uint32_t number = 1; number <= count; ++number) {
                ASSERT_EQ(produced[number], 1) << "coding " << number << " leaves " << produced[number] << " tables";
                ASSERT_EQ(consumed[number], 1) << "coding " << number << " enters " << consumed[number] << " tables";
            }
        }
    }
}

} // namespace

TEST(MixedCodingMap, EveryWireHasItsOwnCodings) {
    expectOwnCodings<kAes128Rounds>();
    expectOwnCodings<kAes192Rounds>();
    expectOwnCodings<kAes256Rounds>();
}
