// Coding assignment: numbers every nibble coding of one direction's table network.
//
// Each stage (round) of the network is sixteen round tables feeding sixteen XOR
// chains of three stages each. Every round-table output byte gets two fresh
// numbers (lo, then hi); every XOR lane output gets one. The consumer of a value
// is told the numbers of its producer, so each number protects exactly one
// wire (1..2016 for AES-128). The walk is deterministic; only the codings
// behind the numbers are random.
#include "wbgen/coding_map.h"

namespace {

CodingRef externalRef(int record) {
    return CodingRef{CODING_EXTERNAL, kExternalCodingBase + record, kExternalCodingBase + record};
}

} // namespace

void setIfUnset(CodingRef& slot, const CodingRef& value) {
    slot.kind = value.kind;
    if (slot.hi == -1) {
        slot.hi = value.hi;
    }
    if (slot.lo == -1) {
        slot.lo = value.lo;
    }
}

void roundTableCodings(Direction direction, const CodingRef (&state)[16], TableCodings (&slots)[4][4][4],
                       int32_t& n, CodingRef (&contribution)[4][4][4]) {
    for (int k = 0; k < 4; ++k) {
        for (int c = 0; c < 4; ++c) {
            const int j = sourceColumn(direction, k, c);
            for (int b = 0; b < 4; ++b) {
                TableCodings& slot = slots[j][k][b];
                setIfUnset(slot.input, state[4 * k + j]);
                setIfUnset(slot.output, CodingRef{CODING_NIBBLES, n + 2, n + 1});
                n += 2;
                contribution[k][c][b] = slot.output;
            }
        }
    }
}

void chainCodings(const CodingRef (&contribution)[4][4][4], TableCodings (&slots)[4][kXorTablesPerColumn],
                  int32_t& n, CodingRef (&sums)[16]) {
    for (int b = 0; b < 4; ++b) {
        for (int c = 0; c < 4; ++c) {
            int32_t accLo = contribution[0][c][b].lo;
            int32_t accHi = contribution[0][c][b].hi;
            for (int q = 0; q < 3; ++q) {
                const CodingRef& next = contribution[q + 1][c][b];
                TableCodings& low = slots[c][6 * b + 2 * q];
                setIfUnset(low.input, CodingRef{CODING_NIBBLES, next.lo, accLo});
                setIfUnset(low.output, CodingRef{CODING_NIBBLES, -1, n + 1});
                accLo = n + 1;
                TableCodings& high = slots[c][6 * b + 2 * q + 1];
                setIfUnset(high.input, CodingRef{CODING_NIBBLES, next.hi, accHi});
                setIfUnset(high.output, CodingRef{CODING_NIBBLES, -1, n + 2});
                accHi = n + 2;
                n += 2;
            }
            sums[4 * b + c] = CodingRef{CODING_NIBBLES, accHi, accLo};
        }
    }
}

template <int Rounds>
int32_t assignCodings(CodingMapOf<Rounds>& map, Direction direction, bool inputSetPresent,
                      bool outputSetPresent, uint32_t* codingCount) {
    int32_t n = 0;

    CodingRef stateRefs[16];
    for (int m = 0; m < 16; ++m) {
        stateRefs[m] = inputSetPresent ? externalRef(m) : CodingRef{CODING_NONE, 0, 0};
    }

    for (int stage = 0; stage < tableRoundsOf(Rounds); ++stage) {
        const int s = tableRoundSlot(direction, stage, Rounds);

        // Round-table outputs, filed by the output column their result belongs to.
        CodingRef contribution[4][4][4];
        roundTableCodings(direction, stateRefs, map.round[s], n, contribution);
        // XOR chains: row 0's contribution first, then rows 1, 2, 3.
        chainCodings(contribution, map.xorSlots[s], n, stateRefs);
    }

    for (int k = 0; k < 4; ++k) {
        for (int c = 0; c < 4; ++c) {
            const int j = sourceColumn(direction, k, c);
            TableCodings& slot = map.last[j][k];
            setIfUnset(slot.input, stateRefs[4 * k + j]);
            setIfUnset(slot.output, outputSetPresent ? externalRef(4 * k + c)
                                                     : CodingRef{CODING_NONE, 0, 0});
        }
    }

    if (codingCount != nullptr) {
        *codingCount = static_cast<uint32_t>(n);
    }
    return 0;
}

template int32_t assignCodings(CodingMapOf<kAes128Rounds>&, Direction, bool, bool, uint32_t*);
template int32_t assignCodings(CodingMapOf<kAes192Rounds>&, Direction, bool, bool, uint32_t*);
template int32_t assignCodings(CodingMapOf<kAes256Rounds>&, Direction, bool, bool, uint32_t*);
