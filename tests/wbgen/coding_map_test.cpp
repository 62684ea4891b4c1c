// Coding assignment: the numbering of both table networks, checked as a wiring
// diagram (every number has one producer and one later consumer) and against the
// worked numbering example.
#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "wbgen/coding_map.h"

namespace {

struct Walk {
    Direction direction;
    bool inputSet;
    bool outputSet;
};

const Walk kWalks[] = {
    {Direction::Encryption, false, false}, {Direction::Encryption, true, false},
    {Direction::Encryption, false, true},  {Direction::Encryption, true, true},
    {Direction::Decryption, false, false}, {Direction::Decryption, true, false},
    {Direction::Decryption, false, true},  {Direction::Decryption, true, true},
};

template <int Rounds = kAes128Rounds>
std::unique_ptr<CodingMapOf<Rounds>> assigned(const Walk& walk, uint32_t* count) {
    auto map = std::make_unique<CodingMapOf<Rounds>>();
    EXPECT_EQ(assignCodings(*map, walk.direction, walk.inputSet, walk.outputSet, count), 0);
    return map;
}

std::string describe(const Walk& walk) {
    return std::string(walk.direction == Direction::Encryption ? "encryption" : "decryption") +
           (walk.inputSet ? " +in" : "") + (walk.outputSet ? " +out" : "");
}

} // namespace

// Found by argument-dependent lookup from inside GoogleTest (CodingRef is global).
static bool operator==(const CodingRef& a, const CodingRef& b) {
    return a.kind == b.kind && a.hi == b.hi && a.lo == b.lo;
}

[[maybe_unused]] static void PrintTo(const CodingRef& ref, std::ostream* os) {
    *os << "{kind " << int{ref.kind} << ", hi " << ref.hi << ", lo " << ref.lo << "}";
}

TEST(SetIfUnset, OverwritesKindButFillsOnlyUnsetNumbers) {
    CodingRef slot;
    setIfUnset(slot, CodingRef{CODING_NONE, 5, -1});
    EXPECT_EQ(slot, (CodingRef{CODING_NONE, 5, -1}));
    setIfUnset(slot, CodingRef{CODING_EXTERNAL, 7, 8});
    EXPECT_EQ(slot, (CodingRef{CODING_EXTERNAL, 5, 8}));
    setIfUnset(slot, CodingRef{CODING_NIBBLES, 9, 9});
    EXPECT_EQ(slot, (CodingRef{CODING_NIBBLES, 5, 8}));
}

TEST(AssignCodings, HandsOut2016NumbersWhateverTheFlags) {
    for (const Walk& walk : kWalks) {
        uint32_t count = 0;
        assigned(walk, &count);
        EXPECT_EQ(count, 2016u) << describe(walk);
    }
}

TEST(AssignCodings, FollowsTheEncryptionNumberingExample) {
    uint32_t count = 0;
    auto map = assigned({Direction::Encryption, false, false}, &count);
    for (int b = 0; b < 4; ++b) {
        // Row 0 column 0, then row 0 column 1: eight numbers each, lo before hi.
        EXPECT_EQ(map->round[0][0][0][b].output, (CodingRef{CODING_NIBBLES, 2 * b + 2, 2 * b + 1}));
        EXPECT_EQ(map->round[0][1][0][b].output, (CodingRef{CODING_NIBBLES, 2 * b + 10, 2 * b + 9}));
        // Row 1 column 1 feeds output column 0, the fifth table of the stage.
        EXPECT_EQ(map->round[0][1][1][b].output, (CodingRef{CODING_NIBBLES, 2 * b + 34, 2 * b + 33}));
    }
    // Chain for output row 0, column 0: 129..134.
    const int32_t lanes[6] = {129, 130, 131, 132, 133, 134};
    for (int n = 0; n < 6; ++n) {
        EXPECT_EQ(map->xorSlots[0][0][n].output, (CodingRef{CODING_NIBBLES, -1, lanes[n]})) << n;
    }
    // Stage 0 of that chain adds row 1's contribution (table at row 1, column 1)
    // to row 0's (row 0, column 0); stage 1 adds row 2's to lane results 129/130.
    EXPECT_EQ(map->xorSlots[0][0][0].input, (CodingRef{CODING_NIBBLES, 33, 1}));
    EXPECT_EQ(map->xorSlots[0][0][1].input, (CodingRef{CODING_NIBBLES, 34, 2}));
    EXPECT_EQ(map->xorSlots[0][0][2].input, (CodingRef{CODING_NIBBLES, 65, 129}));
    EXPECT_EQ(map->xorSlots[0][0][3].input, (CodingRef{CODING_NIBBLES, 66, 130}));
    // The state byte at row 0, column 0 travels under (hi 134, lo 133).
    for (int b = 0; b < 4; ++b) {
        EXPECT_EQ(map->round[1][0][0][b].input, (CodingRef{CODING_NIBBLES, 134, 133}));
    }
    EXPECT_EQ(map->round[1][0][0][0].output.lo, 225);
}

TEST(AssignCodings, DecryptionNumbersFollowTheSameSequence) {
    uint32_t count = 0;
    auto enc = assigned({Direction::Encryption, true, true}, &count);
    auto dec = assigned({Direction::Decryption, true, true}, &count);
    for (int stage = 0; stage < 9; ++stage) {
        const int es = tableRoundSlot(Direction::Encryption, stage);
        const int ds = tableRoundSlot(Direction::Decryption, stage);
        for (int k = 0; k < 4; ++k) {
            for (int c = 0; c < 4; ++c) {
                const int ej = sourceColumn(Direction::Encryption, k, c);
                const int dj = sourceColumn(Direction::Decryption, k, c);
                for (int b = 0; b < 4; ++b) {
                    EXPECT_EQ(enc->round[es][ej][k][b].output, dec->round[ds][dj][k][b].output);
                }
            }
            for (int n = 0; n < 24; ++n) {
                EXPECT_EQ(enc->xorSlots[es][k][n].output, dec->xorSlots[ds][k][n].output);
            }
        }
    }
}

namespace {

// Every number 1..N leaves exactly one table lane and enters exactly one table
// that is evaluated later; no table sees coding 0 or an unset number. N is 2016
// for AES-128 and 224 more per extra round.
template <int Rounds>
void expectWiring() {
    for (const Walk& walk : kWalks) {
        SCOPED_TRACE(describe(walk) + " R=" + std::to_string(Rounds));
        uint32_t count = 0;
        auto map = assigned<Rounds>(walk, &count);
        EXPECT_EQ(count, codingCountOf(Rounds));
        std::vector<int> producer(count + 1, -1);
        std::vector<int> consumer(count + 1, -1);
        std::vector<int> produced(count + 1, 0);
        std::vector<int> consumed(count + 1, 0);
        auto produce = [&](int32_t number, int when) {
            ASSERT_GE(number, 1);
            ASSERT_LE(number, static_cast<int32_t>(count));
            ++produced[static_cast<size_t>(number)];
            producer[static_cast<size_t>(number)] = when;
        };
        auto consume = [&](const CodingRef& ref, int when) {
            if (ref.kind != CODING_NIBBLES) {
                return;
            }
            for (int32_t number : {ref.hi, ref.lo}) {
                ASSERT_GE(number, 1);
                ASSERT_LE(number, static_cast<int32_t>(count));
                ++consumed[static_cast<size_t>(number)];
                consumer[static_cast<size_t>(number)] = when;
            }
        };

        // Evaluation time: stage s's round tables at 4s, its XOR stage q at 4s + 1 + q.
        for (int stage = 0; stage < tableRoundsOf(Rounds); ++stage) {
            const int s = tableRoundSlot(walk.direction, stage, Rounds);
            for (int j = 0; j < 4; ++j) {
                for (int k = 0; k < 4; ++k) {
                    consume(map->round[s][j][k][0].input, 4 * stage);
                    for (int b = 0; b < 4; ++b) {
                        EXPECT_EQ(map->round[s][j][k][b].input, map->round[s][j][k][0].input);
                        ASSERT_EQ(map->round[s][j][k][b].output.kind, CODING_NIBBLES);
                        produce(map->round[s][j][k][b].output.hi, 4 * stage);
                        produce(map->round[s][j][k][b].output.lo, 4 * stage);
                    }
                }
            }
            for (int c = 0; c < 4; ++c) {
                for (int n = 0; n < 24; ++n) {
                    const int when = 4 * stage + 1 + (n % 6) / 2;
                    ASSERT_EQ(map->xorSlots[s][c][n].input.kind, CODING_NIBBLES);
                    consume(map->xorSlots[s][c][n].input, when);
                    produce(map->xorSlots[s][c][n].output.lo, when);
                }
            }
        }
        for (int j = 0; j < 4; ++j) {
            for (int k = 0; k < 4; ++k) {
                consume(map->last[j][k].input, 4 * tableRoundsOf(Rounds));
            }
        }
        for (uint32_t number = 1; number <= count; ++number) {
            ASSERT_EQ(produced[number], 1) << number;
            ASSERT_EQ(consumed[number], 1) << number;
            ASSERT_LT(producer[number], consumer[number]) << number;
        }
    }
}

} // namespace

TEST(AssignCodings, WiresEveryNumberFromOneProducerToOneLaterConsumer) {
    expectWiring<kAes128Rounds>();
    expectWiring<kAes192Rounds>();
    expectWiring<kAes256Rounds>();
}

TEST(AssignCodings, PlacesExternalCodingsOnlyAtTheNetworkEdges) {
    for (const Walk& walk : kWalks) {
        SCOPED_TRACE(describe(walk));
        uint32_t count = 0;
        auto map = assigned(walk, &count);
        const int firstSlot = tableRoundSlot(walk.direction, 0);
        for (int s = 0; s < 10; ++s) {
            for (int j = 0; j < 4; ++j) {
                for (int k = 0; k < 4; ++k) {
                    const CodingRef& in = map->round[s][j][k][0].input;
                    if (s == firstSlot) {
                        // Record 4*row + column of the input set: the byte at (k, j).
                        const int32_t m = kExternalCodingBase + 4 * k + j;
                        EXPECT_EQ(in, (walk.inputSet ? CodingRef{CODING_EXTERNAL, m, m}
                                                     : CodingRef{CODING_NONE, 0, 0}));
                    } else if (s == 9 - firstSlot) {
                        EXPECT_EQ(in, CodingRef{}); // the slot generation never writes
                    } else {
                        EXPECT_EQ(in.kind, CODING_NIBBLES);
                    }
                }
            }
        }
        for (int k = 0; k < 4; ++k) {
            for (int c = 0; c < 4; ++c) {
                // The last table at (j, k) delivers output position (k, c).
                const TableCodings& last = map->last[sourceColumn(walk.direction, k, c)][k];
                const int32_t m = kExternalCodingBase + 4 * k + c;
                EXPECT_EQ(last.output, (walk.outputSet ? CodingRef{CODING_EXTERNAL, m, m}
                                                       : CodingRef{CODING_NONE, 0, 0}));
                EXPECT_EQ(last.input.kind, CODING_NIBBLES);
            }
        }
    }
}
