// White-box AES-128, -192 and -256 tables with mixing bijections (Chow, Eisen, Johnson and van
// Oorschot, "White-Box Cryptography and an AES Implementation", SAC 2002).
//
// The classic network codes every wire nibble by nibble and nothing else, so the
// linear part of each table is block-diagonal. Here every table round has two
// halves, each a byte-to-word table layer followed by a 4-bit XOR layer:
//   1. round table (j, k): undo the 8x8 mixing L of its state byte, then
//      AddRoundKey, (Inv)SubBytes and the column's (Inv)MixColumns share, as in
//      the classic format, then the 32x32 mixing MB of the output column c;
//      the XOR tables sum the four shares of c into MB(column c);
//   2. mix table (c, b): byte b of that sum, MB undone on the word holding it
//      alone, each output byte b' under the next stage's L of state byte
//      (b', c); the mix XOR tables sum the four contributions, which leaves
//      L(state byte), since both mixings are linear.
// ShiftRows and InvShiftRows stay in the routing of the round tables into the
// XOR chains. Stage 0 takes its input under the external coding (or plain), so
// IOC and CBC coding files work unchanged; the last byte table undoes L. Every
// wire between tables carries fresh random nibble codings, numbered by the walk
// below (4032 per direction for AES-128, 448 more per extra round).
//
// The matrices are drawn by rejection from the command's random source, after
// the nibble codings. NOT constant-time to generate; the tables resist no more
// than this construction is known to (it falls to the BGE attack).
#include "wbgen/mixed_table_generator.h"

#include <cstring>
#include <memory>
#include <vector>

#include "aesref/aes_tables.h"
#include "wbgen/mixed_coding_map.h"
#include "wbgen/network_plan.h"

namespace {

CodingRef freshPair(int32_t& n) {
    const CodingRef ref{CODING_NIBBLES, n + 2, n + 1};
    n += 2;
    return ref;
}

CodingRef edgeRef(bool external, int m) {
    return external ? CodingRef{CODING_EXTERNAL, kExternalCodingBase + m, kExternalCodingBase + m}
                    : CodingRef{CODING_NONE, 0, 0};
}

} // namespace

template <int Rounds>
uint32_t assignMixedCodings(MixedCodingMapOf<Rounds>& map, Direction direction, bool inputSetPresent,
                            bool outputSetPresent) {
    int32_t n = 0;
    CodingRef state[16];
    for (int m = 0; m < 16; ++m) state[m] = edgeRef(inputSetPresent, m);

    for (int stage = 0; stage < tableRoundsOf(Rounds); ++stage) {
        const int s = tableRoundSlot(direction, stage, Rounds);
        CodingRef contribution[4][4][4];
        roundTableCodings(direction, state, map.classic.round[s], n, contribution);
        CodingRef sums[16];
        chainCodings(contribution, map.classic.xorSlots[s], n, sums);

        for (int c = 0; c < 4; ++c) {
            for (int q = 0; q < 4; ++q) {
                for (int b = 0; b < 4; ++b) {
                    TableCodings& slot = map.mix[s][c][q][b];
                    slot.input = sums[4 * q + c];
                    slot.output = freshPair(n);
                    contribution[q][c][b] = slot.output;
                }
            }
        }
        chainCodings(contribution, map.mixXor[s], n, state);
    }

    for (int k = 0; k < 4; ++k) {
        for (int c = 0; c < 4; ++c) {
            const int j = sourceColumn(direction, k, c);
            map.classic.last[j][k] = {state[4 * k + j], edgeRef(outputSetPresent, 4 * k + c)};
        }
    }
    return static_cast<uint32_t>(n);
}

template uint32_t assignMixedCodings(MixedCodingMapOf<kAes128Rounds>&, Direction, bool, bool);
template uint32_t assignMixedCodings(MixedCodingMapOf<kAes192Rounds>&, Direction, bool, bool);
template uint32_t assignMixedCodings(MixedCodingMapOf<kAes256Rounds>&, Direction, bool, bool);

namespace {

template <int Rounds>
void drawBijections(RandomSource& random, MixingBijectionsOf<Rounds>& mixing) {
    for (int stage = 1; stage <= tableRoundsOf(Rounds); ++stage) {
        for (int m = 0; m < 16; ++m) {
            drawInvertibleMatrix(random, mixing.byteMixing[stage][m], mixing.byteUnmixing[stage][m]);
        }
    }
    // Stage 0's input is the block under the external coding: no mixing.
    for (int m = 0; m < 16; ++m) {
        for (int i = 0; i < 8; ++i) {
            mixing.byteMixing[0][m].rows[i] = static_cast<uint8_t>(1u << i);
        }
        mixing.byteUnmixing[0][m] = mixing.byteMixing[0][m];
    }
    for (int stage = 0; stage < tableRoundsOf(Rounds); ++stage) {
        for (int c = 0; c < 4; ++c) {
            drawInvertibleMatrix(random, mixing.wordMixing[stage][c], mixing.wordUnmixing[stage][c]);
        }
    }
}

void byteMatrixTable(const ByteMatrix& m, uint8_t table[256]) {
    for (int x = 0; x < 256; ++x) table[x] = applyMatrix(m, static_cast<uint8_t>(x));
}

// table[b][v] = M(v in byte b of an otherwise zero word), so that M(w) is the
// XOR of table[b][byte b of w] over b.
void wordMatrixTables(const WordMatrix& m, uint32_t table[4][256]) {
    for (int b = 0; b < 4; ++b) {
        for (uint32_t v = 0; v < 256; ++v) table[b][v] = applyMatrix(m, v << (8 * b));
    }
}

struct Coding {
    const uint8_t* forwards;
    const uint8_t* inverses;
    const CodingSet* inputSet;
    const CodingSet* outputSet;
};

template <int Rounds>
void fillRoundTables(const NetworkPlan& plan, const MixedCodingMapOf<Rounds>& map, const Schedule& K,
                     const MixingBijectionsOf<Rounds>& mixing, const Coding& coding) {
    uint8_t product[4][256][4];
    makeColumnProducts(plan.mixRow0, product);
    for (int stage = 0; stage < tableRoundsOf(Rounds); ++stage) {
        const int s = tableRoundSlot(plan.direction, stage, Rounds);
        for (int c = 0; c < 4; ++c) {
            uint32_t mix[4][256];
            wordMatrixTables(mixing.wordMixing[stage][c], mix);
            for (int k = 0; k < 4; ++k) {
                const int j = sourceColumn(plan.direction, k, c);
                const TableKeys keys = roundTableKeys(plan.direction, Rounds, K, s, j, k);
                uint8_t in[256];
                uint8_t unmix[256];
                makeDecodeTable(map.classic.round[s][j][k][0].input, coding.forwards, coding.inputSet, in);
                byteMatrixTable(mixing.byteUnmixing[stage][4 * k + j], unmix);
                uint8_t out[4][256];
                for (int b = 0; b < 4; ++b) {
                    makeEncodeTable(map.classic.round[s][j][k][b].output, coding.inverses, nullptr, out[b]);
                }
                uint8_t (*entries)[4] = plan.roundTables[s][j][k];
                for (int x = 0; x < 256; ++x) {
                    const uint8_t v = static_cast<uint8_t>(plan.box[unmix[in[x]] ^ keys.pre] ^ keys.post);
                    const uint32_t word = mix[0][product[k][v][0]] ^ mix[1][product[k][v][1]] ^
                                          mix[2][product[k][v][2]] ^ mix[3][product[k][v][3]];
                    for (int b = 0; b < 4; ++b) {
                        entries[x][b] = out[b][(word >> (8 * b)) & 0xFF];
                    }
                }
            }
        }
    }
}

template <int Rounds>
void fillMixTables(Direction direction, const MixedCodingMapOf<Rounds>& map,
                   const MixingBijectionsOf<Rounds>& mixing, const Coding& coding,
                   RoundTableBlockOf<Rounds>& mixTables) {
    for (int stage = 0; stage < tableRoundsOf(Rounds); ++stage) {
        const int s = tableRoundSlot(direction, stage, Rounds);
        for (int c = 0; c < 4; ++c) {
            uint32_t unmix[4][256];
            wordMatrixTables(mixing.wordUnmixing[stage][c], unmix);
            uint8_t remix[4][256];
            for (int b = 0; b < 4; ++b) byteMatrixTable(mixing.byteMixing[stage + 1][4 * b + c], remix[b]);
            for (int q = 0; q < 4; ++q) {
                uint8_t in[256];
                makeDecodeTable(map.mix[s][c][q][0].input, coding.forwards, nullptr, in);
                uint8_t out[4][256];
                for (int b = 0; b < 4; ++b) {
                    makeEncodeTable(map.mix[s][c][q][b].output, coding.inverses, nullptr, out[b]);
                }
                uint8_t (*entries)[4] = mixTables[s][c][q];
                for (int x = 0; x < 256; ++x) {
                    const uint32_t word = unmix[q][in[x]];
                    for (int b = 0; b < 4; ++b) {
                        entries[x][b] = out[b][remix[b][(word >> (8 * b)) & 0xFF]];
                    }
                }
            }
        }
    }
}

template <int Rounds>
void fillXorLayer(Direction direction,
                  const TableCodings (&slots)[roundSlotsOf(Rounds)][4][kXorTablesPerColumn],
                  const Coding& coding, XorTableSlot* tables) {
    for (int stage = 0; stage < tableRoundsOf(Rounds); ++stage) {
        const int s = tableRoundSlot(direction, stage, Rounds);
        for (int c = 0; c < 4; ++c) {
            for (int n = 0; n < kXorTablesPerColumn; ++n) {
                fillXorTable(slots[s][c][n], coding.forwards, coding.inverses, tables[s][c][n]);
            }
        }
    }
}

template <int Rounds>
void fillLastTable(const NetworkPlan& plan, const MixedCodingMapOf<Rounds>& map, const Schedule& K,
                   const MixingBijectionsOf<Rounds>& mixing, const Coding& coding) {
    for (int j = 0; j < 4; ++j) {
        for (int k = 0; k < 4; ++k) {
            const TableKeys keys = lastTableKeys(plan.direction, Rounds, K, j, k);
            uint8_t in[256];
            uint8_t unmix[256];
            uint8_t out[256];
            makeDecodeTable(map.classic.last[j][k].input, coding.forwards, nullptr, in);
            byteMatrixTable(mixing.byteUnmixing[tableRoundsOf(Rounds)][4 * k + j], unmix);
            makeEncodeTable(map.classic.last[j][k].output, coding.inverses, coding.outputSet, out);
            uint8_t* entries = (*plan.lastTable)[j][k];
            for (int x = 0; x < 256; ++x) {
                entries[x] = out[plan.box[unmix[in[x]] ^ keys.pre] ^ keys.post];
            }
        }
    }
}

template <int Rounds>
int32_t generateMixed(const NetworkPlan& plan, RandomSource& random, const char* keyText,
                      MixedTableStorageOf<Rounds>& storage, RoundTableBlockOf<Rounds>& mixTables,
                      XorTableBlockOf<Rounds>& mixXorTables, const CodingSet* inputSet,
                      const CodingSet* outputSet, std::ostream& report, MixingBijectionsOf<Rounds>* used) {
    keyInstance key;
    const int32_t keyStatus = setUpKey(plan, keyText, key);
    if (keyStatus != TRUE) {
        return keyStatus;
    }

    auto map = std::make_unique<MixedCodingMapOf<Rounds>>();
    const uint32_t count = assignMixedCodings(*map, plan.direction, inputSet != nullptr,
                                              outputSet != nullptr);
    std::vector<uint8_t> forwards((count + 1) * 16u);
    std::vector<uint8_t> inverses((count + 1) * 16u);
    makeNibbleCodings(random, forwards.data(), inverses.data(), count, report);
    auto mixing = std::make_unique<MixingBijectionsOf<Rounds>>();
    drawBijections(random, *mixing);

    if (plan.clearStorage) {
        std::memset(&storage, 0, sizeof storage);
    }
    const Coding coding{forwards.data(), inverses.data(), inputSet, outputSet};
    fillRoundTables(plan, *map, key.keySched, *mixing, coding);
    fillXorLayer<Rounds>(plan.direction, map->classic.xorSlots, coding, plan.xorTables);
    fillMixTables(plan.direction, *map, *mixing, coding, mixTables);
    fillXorLayer<Rounds>(plan.direction, map->mixXor, coding, mixXorTables);
    fillLastTable(plan, *map, key.keySched, *mixing, coding);
    if (used != nullptr) *used = *mixing;
    return 0;
}

} // namespace

template <int Rounds>
int32_t generateMixedEncryptionTables(RandomSource& random, const char* keyText,
                                      MixedTableStorageOf<Rounds>& storage, const CodingSet* inputSet,
                                      const CodingSet* outputSet, std::ostream& report,
                                      MixingBijectionsOf<Rounds>* used) {
    return generateMixed(encryptionPlan(storage.tables), random, keyText, storage,
                         storage.enc.mixTables, storage.enc.mixXorTables, inputSet, outputSet,
                         report, used);
}

template <int Rounds>
int32_t generateMixedDecryptionTables(RandomSource& random, const char* keyText,
                                      MixedTableStorageOf<Rounds>& storage, const CodingSet* inputSet,
                                      const CodingSet* outputSet, std::ostream& report,
                                      MixingBijectionsOf<Rounds>* used) {
    return generateMixed(decryptionPlan(storage.tables), random, keyText, storage,
                         storage.dec.invMixTables, storage.dec.invMixXorTables, inputSet,
                         outputSet, report, used);
}

#define TABRIX_MIXED_GENERATOR_FOR(R)                                                                       \
    template int32_t generateMixedEncryptionTables(RandomSource&, const char*, MixedTableStorageOf<R>&,     \
                                                   const CodingSet*, const CodingSet*, std::ostream&,       \
                                                   MixingBijectionsOf<R>*);                                 \
    template int32_t generateMixedDecryptionTables(RandomSource&, const char*, MixedTableStorageOf<R>&,     \
                                                   const CodingSet*, const CodingSet*, std::ostream&,       \
                                                   MixingBijectionsOf<R>*);
TABRIX_MIXED_GENERATOR_FOR(kAes128Rounds)
TABRIX_MIXED_GENERATOR_FOR(kAes192Rounds)
TABRIX_MIXED_GENERATOR_FOR(kAes256Rounds)
#undef TABRIX_MIXED_GENERATOR_FOR
