/* Evaluation of a generated white-box AES table set: AES-128, AES-192 or
 * AES-256, as the compiled-in headers are (their round blocks have R = 10, 12
 * or 14 slots; the code below reads R from them).
 *
 * A block fills the 4 x 4 state column by column (FIPS-197 order): state row i,
 * column c is block byte 4*c + i. Each of the R - 1 table rounds of a direction
 *   1. looks up, for every row i and output column c, the round-table entry of
 *      the state byte in row i of source column j (encryption j = (c + i) mod 4,
 *      decryption j = (c - i) mod 4: ShiftRows and InvShiftRows are done by this
 *      routing); byte b of the entry is that byte's contribution to output row b;
 *   2. combines the four contributions y0..y3 to one output byte nibble by
 *      nibble through the 4-bit XOR tables: stage u adds y(u+1) to the running
 *      sum, low-nibble table 6b + 2u first, then high-nibble table 6b + 2u + 1,
 *      each indexed by (new nibble << 4) | running nibble.
 * In the mixed format a second layer of the same kind follows each table
 * round: mix table [column c][row b] takes state byte (b, c) and feeds column c
 * again, summed through the mix XOR tables as above.
 * A last byte table per state position finishes the cipher. Every value between
 * tables is carried under the random nibble codings the generator chose, so the
 * state is never plain inside; only the table contents know the codings.
 */
#include "tabrix_runtime.h"
#include "tabrix_layout.h"

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#ifndef TABRIX_ROUND_TABLES_HEADER
#define TABRIX_ROUND_TABLES_HEADER "round_tables.h"
#endif
#ifndef TABRIX_XOR_TABLES_HEADER
#define TABRIX_XOR_TABLES_HEADER "xor_tables.h"
#endif
#ifndef TABRIX_FINAL_ROUND_TABLE_HEADER
#define TABRIX_FINAL_ROUND_TABLE_HEADER "final_round_table.h"
#endif
#ifndef TABRIX_INV_ROUND_TABLES_HEADER
#define TABRIX_INV_ROUND_TABLES_HEADER "inv_round_tables.h"
#endif
#ifndef TABRIX_INV_XOR_TABLES_HEADER
#define TABRIX_INV_XOR_TABLES_HEADER "inv_xor_tables.h"
#endif
#ifndef TABRIX_INV_FIRST_ROUND_TABLE_HEADER
#define TABRIX_INV_FIRST_ROUND_TABLE_HEADER "inv_first_round_table.h"
#endif

/* Only the headers of the directions this runtime holds (tabrix_runtime.h). */
#ifdef TABRIX_HAS_ENCRYPTION
#include TABRIX_ROUND_TABLES_HEADER
#include TABRIX_XOR_TABLES_HEADER
#include TABRIX_FINAL_ROUND_TABLE_HEADER
#endif
#ifdef TABRIX_HAS_DECRYPTION
#include TABRIX_INV_ROUND_TABLES_HEADER
#include TABRIX_INV_XOR_TABLES_HEADER
#include TABRIX_INV_FIRST_ROUND_TABLE_HEADER
#endif

/* The mixed format: chosen by TABRIX_MIXED, or found by its first header. */
#ifndef TABRIX_MIX_TABLES_HEADER
#define TABRIX_MIX_TABLES_HEADER "mix_tables.h"
#endif
#ifndef TABRIX_INV_MIX_TABLES_HEADER
#define TABRIX_INV_MIX_TABLES_HEADER "inv_mix_tables.h"
#endif
#if !defined(TABRIX_MIXED) && defined(__has_include)
#if __has_include(TABRIX_MIX_TABLES_HEADER) || __has_include(TABRIX_INV_MIX_TABLES_HEADER)
#define TABRIX_MIXED 1
#endif
#endif
#ifdef TABRIX_MIXED
#ifndef TABRIX_MIX_XOR_TABLES_HEADER
#define TABRIX_MIX_XOR_TABLES_HEADER "mix_xor_tables.h"
#endif
#ifndef TABRIX_INV_MIX_XOR_TABLES_HEADER
#define TABRIX_INV_MIX_XOR_TABLES_HEADER "inv_mix_xor_tables.h"
#endif
#ifdef TABRIX_HAS_ENCRYPTION
#include TABRIX_MIX_TABLES_HEADER
#include TABRIX_MIX_XOR_TABLES_HEADER
#endif
#ifdef TABRIX_HAS_DECRYPTION
#include TABRIX_INV_MIX_TABLES_HEADER
#include TABRIX_INV_MIX_XOR_TABLES_HEADER
#endif
#endif


/* Source column of row i for output column c: +1 shifts left (encryption),
 * +3 = -1 mod 4 shifts right (decryption); the mix tables keep the column. */
#define ENCRYPT_SHIFT 1
#define DECRYPT_SHIFT 3
#define MIX_SHIFT 0

static unsigned source_column(unsigned c, unsigned i, unsigned shift)
{
    return (c + i * shift) & 3u;
}


/* Evaluation of the compiled-in tables: a layout prepared once from them, an
 * unrolled single block, a portable batch that goes layer by layer over up to
 * 64 blocks, and on x86-64 CPUs with AVX-512 VBMI a path that evaluates 64
 * blocks at once with byte permutes. A layer is one word-table look-up with its
 * XOR tables: the round tables of a stage, and in the mixed format the mix
 * tables behind them. Every path gives the same bytes as the tool's plain
 * evaluator; the tests hold them to it.
 *
 * The prepared XOR tables are turned round by the rule of tabrix_layout.h
 * (shared with the tool's own block paths), so that a chain step is one OR and
 * one load. For the SIMD path the round words are also split into byte tables,
 * one 256-byte table per output row.
 * Tables are kept in processing order (stage 0 first) for both directions. */

#if TABRIX_X86_SIMD
#include <immintrin.h>
#define TABRIX_ALIGNED __attribute__((aligned(64)))
#else
#define TABRIX_ALIGNED
#endif

/* The table rounds of a direction: R - 1 for a key of R rounds (10, 12 or 14
 * for AES-128, -192 or -256), read from the compiled-in headers, whose round
 * and XOR blocks have R slots each (one of them never written). */
#define SLOTS_OF(block) (sizeof(block) / sizeof(block)[0])
#ifdef TABRIX_HAS_ENCRYPTION
#define ROUND_SLOTS SLOTS_OF(roundTables)
#else
#define ROUND_SLOTS SLOTS_OF(invRoundTables)
#endif
#define TABLE_ROUNDS ((unsigned)ROUND_SLOTS - 1u)
/* Every block of the set has the same slots, and R is one of the three. */
#define SLOTS_AGREE(name, words, xors) \
    typedef char name[SLOTS_OF(words) == ROUND_SLOTS && SLOTS_OF(xors) == ROUND_SLOTS ? 1 : -1]
#ifdef TABRIX_MIXED
#define MIX_SLOTS_AGREE(name, words, xors) SLOTS_AGREE(name, words, xors)
#else
#define MIX_SLOTS_AGREE(name, words, xors) typedef char name[1]
#endif
#ifdef TABRIX_HAS_ENCRYPTION
SLOTS_AGREE(tabrix_encryption_slots_agree, roundTables, xorTables);
MIX_SLOTS_AGREE(tabrix_mix_slots_agree, mixTables, mixXorTables);
#endif
#ifdef TABRIX_HAS_DECRYPTION
SLOTS_AGREE(tabrix_decryption_slots_agree, invRoundTables, invXorTables);
MIX_SLOTS_AGREE(tabrix_inv_mix_slots_agree, invMixTables, invMixXorTables);
#endif
typedef char tabrix_round_count_is_10_12_or_14[ROUND_SLOTS == 10 || ROUND_SLOTS == 12 || ROUND_SLOTS == 14 ? 1 : -1];
/* Blocks that CBC decryption and counter mode take through the block paths at
 * a time (4 KB of stack). */
#define CHUNK_BLOCKS 256
#define ENCRYPTION 0
#define DECRYPTION 1
/* The prepared layout holds the directions this runtime has: slot
 * SLOT(direction) of DIRECTIONS. */
#if defined(TABRIX_HAS_ENCRYPTION) && defined(TABRIX_HAS_DECRYPTION)
#define FIRST_DIRECTION ENCRYPTION
#define LAST_DIRECTION DECRYPTION
#elif defined(TABRIX_HAS_ENCRYPTION)
#define FIRST_DIRECTION ENCRYPTION
#define LAST_DIRECTION ENCRYPTION
#else
#define FIRST_DIRECTION DECRYPTION
#define LAST_DIRECTION DECRYPTION
#endif
#define DIRECTIONS (LAST_DIRECTION - FIRST_DIRECTION + 1)
#define SLOT(direction) ((direction) - FIRST_DIRECTION)

/* [direction][stage][output column c][table n][r << 4 | v] */
static unsigned char prepared_xor[DIRECTIONS][TABLE_ROUNDS][4][24][256] TABRIX_ALIGNED;
#if TABRIX_X86_SIMD
/* [direction][stage][column j][row k][output row b][x] */
static unsigned char prepared_round[DIRECTIONS][TABLE_ROUNDS][4][4][4][256] TABRIX_ALIGNED;
/* [direction][column j][row k][x]: the last tables, aligned for the loads. */
static unsigned char prepared_last[DIRECTIONS][4][4][256] TABRIX_ALIGNED;
static unsigned char butterfly[8][64] TABRIX_ALIGNED;
#endif
#ifdef TABRIX_MIXED
/* The mix layers, prepared as the round layers above. */
static unsigned char prepared_mix_xor[DIRECTIONS][TABLE_ROUNDS][4][24][256] TABRIX_ALIGNED;
#if TABRIX_X86_SIMD
static unsigned char prepared_mix_round[DIRECTIONS][TABLE_ROUNDS][4][4][4][256] TABRIX_ALIGNED;
#endif
#endif
static int use_vbmi;

/* A prepared layer's XOR tables as the evaluators read them (C does not
 * convert a pointer to an array into a pointer to a const array by itself). */
static const unsigned char (*read_only(unsigned char x[4][24][256]))[24][256]
{
    return (const unsigned char (*)[24][256])x;
}

/* A direction's table block of stage (0 runs first): encryption round r is
 * slot r, decryption runs from slot R - 1 down to 1. */
#if DIRECTIONS == 2
#define AT_STAGE(direction, stage, encryption, decryption) \
    ((direction) == ENCRYPTION ? (encryption)[stage] : (decryption)[TABLE_ROUNDS - (stage)])
#define BY_DIRECTION(direction, encryption, decryption) ((direction) == ENCRYPTION ? (encryption) : (decryption))
#elif FIRST_DIRECTION == ENCRYPTION
#define AT_STAGE(direction, stage, encryption, decryption) ((void)(direction), (encryption)[stage])
#define BY_DIRECTION(direction, encryption, decryption) ((void)(direction), (encryption))
#else
#define AT_STAGE(direction, stage, encryption, decryption) ((void)(direction), (decryption)[TABLE_ROUNDS - (stage)])
#define BY_DIRECTION(direction, encryption, decryption) ((void)(direction), (decryption))
#endif

/* A layer's three accessors at a direction's stage: its prepared XOR tables,
 * its byte tables and its XOR tables. */
#define LAYER_ACCESSORS(prepared_of, tables_of, xors_of, prepared, tables, inv_tables, xors, inv_xors) \
    static const unsigned char (*prepared_of(int direction, unsigned stage))[24][256]             \
    {                                                                                              \
        return read_only(prepared[SLOT(direction)][stage]);                                        \
    }                                                                                              \
    static const unsigned char (*tables_of(int direction, unsigned stage))[4][256][4]              \
    {                                                                                              \
        return AT_STAGE(direction, stage, tables, inv_tables);                                     \
    }                                                                                              \
    static const unsigned char (*xors_of(int direction, unsigned stage))[24][256]                  \
    {                                                                                              \
        return AT_STAGE(direction, stage, xors, inv_xors);                                         \
    }

LAYER_ACCESSORS(xor_prepared, round_tables, xor_tables, prepared_xor, roundTables, invRoundTables, xorTables,
                invXorTables)
#ifdef TABRIX_MIXED
LAYER_ACCESSORS(mix_xor_prepared, mix_tables, mix_xor_tables, prepared_mix_xor, mixTables, invMixTables,
                mixXorTables, invMixXorTables)
#endif

static int vbmi_wanted(void)
{
#if TABRIX_X86_SIMD
    return !tabrix_portable_requested(getenv(TABRIX_PORTABLE_VARIABLE)) && tabrix_cpu_has_vbmi();
#else
    return 0;
#endif
}

/* One layer's XOR tables turned round, [column c][table n][r << 4 | v]. */
static void prepare_xor(const unsigned char (*x)[24][256], unsigned char out[4][24][256])
{
    unsigned c, n;
    for (c = 0; c < 4; ++c)
        for (n = 0; n < TABRIX_XOR_TABLES_PER_COLUMN; ++n)
            tabrix_prepare_xor_table(x[c][n], n, out[c][n]);
}

#if TABRIX_X86_SIMD
/* One layer's word tables split into byte tables, [column j][row k][byte b][x]. */
static void prepare_round(const unsigned char (*t)[4][256][4], unsigned char out[4][4][4][256])
{
    unsigned j, k, b, x;
    for (j = 0; j < 4; ++j)
        for (k = 0; k < 4; ++k)
            for (x = 0; x < 256; ++x)
                for (b = 0; b < 4; ++b)
                    out[j][k][b][x] = t[j][k][x][b];
}
#endif

static void build_prepared(void)
{
    int d;
    unsigned stage;

    for (d = FIRST_DIRECTION; d <= LAST_DIRECTION; ++d) {
        for (stage = 0; stage < TABLE_ROUNDS; ++stage) {
            prepare_xor(xor_tables(d, stage), prepared_xor[SLOT(d)][stage]);
#ifdef TABRIX_MIXED
            prepare_xor(mix_xor_tables(d, stage), prepared_mix_xor[SLOT(d)][stage]);
#endif
        }
    }
    use_vbmi = vbmi_wanted();
#if TABRIX_X86_SIMD
    /* Only a CPU that runs the SIMD path touches its tables (untouched static
     * memory costs no pages). */
    if (!use_vbmi)
        return;
    for (d = FIRST_DIRECTION; d <= LAST_DIRECTION; ++d) {
        for (stage = 0; stage < TABLE_ROUNDS; ++stage) {
            prepare_round(round_tables(d, stage), prepared_round[SLOT(d)][stage]);
#ifdef TABRIX_MIXED
            prepare_round(mix_tables(d, stage), prepared_mix_round[SLOT(d)][stage]);
#endif
        }
    }
#ifdef TABRIX_HAS_ENCRYPTION
    memcpy(prepared_last[SLOT(ENCRYPTION)], finalRoundTable, sizeof prepared_last[0]);
#endif
#ifdef TABRIX_HAS_DECRYPTION
    memcpy(prepared_last[SLOT(DECRYPTION)], invFirstRoundTable, sizeof prepared_last[0]);
#endif
    /* VPERMT2B indexes of butterfly stage k, for the lower and the upper register
     * of a pair; 64 and above pick from the second source. */
    {
        unsigned k, r;
        for (k = 0; k < 4; ++k) {
            for (r = 0; r < 64; ++r) {
                const unsigned second = (r >> k & 1u) != 0 ? 64u : 0u;
                butterfly[2 * k][r] = (unsigned char)(second + (r & ~(1u << k)));
                butterfly[2 * k + 1][r] = (unsigned char)(second + (r | 1u << k));
            }
        }
    }
#endif
}

#if defined(__GNUC__) || defined(__clang__)
static int prepared_state; /* 0 not built, 1 being built, 2 ready */

void tabrix_prepare(void)
{
    int expected = 0;
    if (__atomic_load_n(&prepared_state, __ATOMIC_ACQUIRE) == 2)
        return;
    if (__atomic_compare_exchange_n(&prepared_state, &expected, 1, 0, __ATOMIC_ACQ_REL, __ATOMIC_ACQUIRE)) {
        build_prepared();
        __atomic_store_n(&prepared_state, 2, __ATOMIC_RELEASE);
        return;
    }
    while (__atomic_load_n(&prepared_state, __ATOMIC_ACQUIRE) != 2) {
    }
}
#else
static int prepared_ready;

void tabrix_prepare(void)
{
    if (!prepared_ready) {
        build_prepared();
        prepared_ready = 1;
    }
}
#endif

/* Row b of output column c of a layer routed by sh (ENCRYPT_SHIFT,
 * DECRYPT_SHIFT or MIX_SHIFT), from state s into t (block byte order), over
 * word tables T and prepared XOR tables X. */
#define OUTPUT_BYTE(sh, c, b) (t[4 * (c) + (b)] = tabrix_output_byte(s, T, X, sh, c, b))
#define OUTPUT_COLUMN(sh, c)                                                       \
    do {                                                                           \
        OUTPUT_BYTE(sh, c, 0);                                                     \
        OUTPUT_BYTE(sh, c, 1);                                                     \
        OUTPUT_BYTE(sh, c, 2);                                                     \
        OUTPUT_BYTE(sh, c, 3);                                                     \
    } while (0)
/* Every output column of a layer (a round or a mix layer). */
#define OUTPUT_STATE(sh)                                                           \
    do {                                                                           \
        OUTPUT_COLUMN(sh, 0);                                                      \
        OUTPUT_COLUMN(sh, 1);                                                      \
        OUTPUT_COLUMN(sh, 2);                                                      \
        OUTPUT_COLUMN(sh, 3);                                                      \
    } while (0)

#ifdef TABRIX_HAS_ENCRYPTION
static void fast_round_encrypt(const unsigned char *s, unsigned char *t, const unsigned char T[4][4][256][4],
                               const unsigned char X[4][24][256])
{
    OUTPUT_STATE(ENCRYPT_SHIFT);
}

#endif

#ifdef TABRIX_HAS_DECRYPTION
static void fast_round_decrypt(const unsigned char *s, unsigned char *t, const unsigned char T[4][4][256][4],
                               const unsigned char X[4][24][256])
{
    OUTPUT_STATE(DECRYPT_SHIFT);
}

#endif

static void fast_round(int direction, unsigned stage, const unsigned char *s, unsigned char *t)
{
#if DIRECTIONS == 2
    if (direction == ENCRYPTION)
        fast_round_encrypt(s, t, round_tables(ENCRYPTION, stage), xor_prepared(ENCRYPTION, stage));
    else
        fast_round_decrypt(s, t, round_tables(DECRYPTION, stage), xor_prepared(DECRYPTION, stage));
#elif FIRST_DIRECTION == ENCRYPTION
    (void)direction;
    fast_round_encrypt(s, t, round_tables(ENCRYPTION, stage), xor_prepared(ENCRYPTION, stage));
#else
    (void)direction;
    fast_round_decrypt(s, t, round_tables(DECRYPTION, stage), xor_prepared(DECRYPTION, stage));
#endif
}

#ifdef TABRIX_MIXED
/* The mix layer of a stage: every column feeds itself. */
static void fast_mix(int direction, unsigned stage, const unsigned char *s, unsigned char *t)
{
    const unsigned char (*T)[4][256][4] = mix_tables(direction, stage);
    const unsigned char (*X)[24][256] = mix_xor_prepared(direction, stage);
    OUTPUT_STATE(MIX_SHIFT);
}
#endif

/* The last byte table from s into out (distinct buffers), block byte order. */
static void fast_last(int direction, const unsigned char *s, unsigned char *out)
{
    const unsigned char (*f)[4][256] = BY_DIRECTION(direction, finalRoundTable, invFirstRoundTable);
    const unsigned shift = direction == ENCRYPTION ? ENCRYPT_SHIFT : DECRYPT_SHIFT;
    unsigned c, i;
    for (c = 0; c < 4; ++c) {
        for (i = 0; i < 4; ++i) {
            const unsigned j = source_column(c, i, shift);
            out[4 * c + i] = f[j][i][s[4 * j + i]];
        }
    }
}

static void fast_block(int direction, const unsigned char in[16], unsigned char out[16])
{
    unsigned char a[16], b[16];
    unsigned char *s = a, *t = b;
    unsigned stage;

    memcpy(a, in, 16);
    for (stage = 0; stage < TABLE_ROUNDS; ++stage) {
        fast_round(direction, stage, s, t);
#ifdef TABRIX_MIXED
        fast_mix(direction, stage, t, s);
#else
        unsigned char *done = s;
        s = t;
        t = done;
#endif
    }
    fast_last(direction, s, out);
}

static void portable_blocks(int direction, const unsigned char *in, unsigned char *out, size_t blocks)
{
    unsigned char a[TABRIX_PORTABLE_BATCH_BLOCKS][16], b[TABRIX_PORTABLE_BATCH_BLOCKS][16];
    size_t start, count, n;
    unsigned stage;

    for (start = 0; start < blocks; start += count) {
        unsigned char (*s)[16] = a, (*t)[16] = b;
        count = blocks - start < TABRIX_PORTABLE_BATCH_BLOCKS ? blocks - start : TABRIX_PORTABLE_BATCH_BLOCKS;
        memcpy(a, in + 16 * start, 16 * count);
        /* Layer by layer over the batch: one layer's tables stay in the cache. */
        for (stage = 0; stage < TABLE_ROUNDS; ++stage) {
            for (n = 0; n < count; ++n)
                fast_round(direction, stage, s[n], t[n]);
#ifdef TABRIX_MIXED
            for (n = 0; n < count; ++n)
                fast_mix(direction, stage, t[n], s[n]);
#else
            unsigned char (*done)[16] = s;
            s = t;
            t = done;
#endif
        }
        for (n = 0; n < count; ++n)
            fast_last(direction, s[n], out + 16 * (start + n));
    }
}

#if TABRIX_X86_SIMD
/* 64 blocks at once: one 512-bit register per state byte position, holding that
 * byte of every block. A 256-entry table is four registers; VPERMT2B looks up the
 * low seven index bits in two of them, bit 7 chooses between the two results.
 * Blocks come in and go out through four butterfly stages of VPERMT2B that swap
 * register bit k with byte bit k (k = 0..3); the lanes then hold the blocks in a
 * shuffled order that the network does not mind and the same stages undo. */

TABRIX_VBMI static __m512i look_up(const unsigned char *table, __m512i index)
{
    const __m512i low = _mm512_permutex2var_epi8(_mm512_load_si512((const void *)table), index,
                                                 _mm512_load_si512((const void *)(table + 64)));
    const __m512i high = _mm512_permutex2var_epi8(_mm512_load_si512((const void *)(table + 128)), index,
                                                  _mm512_load_si512((const void *)(table + 192)));
    return _mm512_mask_blend_epi8(_mm512_movepi8_mask(index), low, high);
}

TABRIX_VBMI static void transpose(__m512i r[16])
{
    unsigned k, a;
    for (k = 0; k < 4; ++k) {
        const __m512i lower = _mm512_load_si512((const void *)butterfly[2 * k]);
        const __m512i upper = _mm512_load_si512((const void *)butterfly[2 * k + 1]);
        for (a = 0; a < 16; ++a) {
            if ((a >> k & 1u) == 0) {
                const unsigned b = a | 1u << k;
                const __m512i low = _mm512_permutex2var_epi8(r[a], lower, r[b]);
                r[b] = _mm512_permutex2var_epi8(r[a], upper, r[b]);
                r[a] = low;
            }
        }
    }
}

/* (a AND b) OR c, bitwise: the truth table of a, b, c given as 0xF0, 0xCC, 0xAA. */
#define AND_OR(a, b, c) _mm512_ternarylogic_epi32((a), (b), (c), 0xEA)

TABRIX_VBMI static void vbmi_round(const __m512i *s, __m512i *t, const unsigned char round[4][4][4][256],
                                   const unsigned char x[4][24][256], unsigned shift)
{
    const __m512i low_nibbles = _mm512_set1_epi8(0x0F);
    const __m512i high_nibbles = _mm512_set1_epi8((char)0xF0);
    unsigned c, b;
    for (c = 0; c < 4; ++c) {
        const unsigned j0 = source_column(c, 0, shift), j1 = source_column(c, 1, shift);
        const unsigned j2 = source_column(c, 2, shift), j3 = source_column(c, 3, shift);
        for (b = 0; b < 4; ++b) {
            /* 16-bit shifts move nibbles between neighbouring bytes; the masks
             * keep each byte's own. */
            const __m512i y0 = look_up(round[j0][0][b], s[4 * j0 + 0]);
            const __m512i y1 = look_up(round[j1][1][b], s[4 * j1 + 1]);
            const __m512i y2 = look_up(round[j2][2][b], s[4 * j2 + 2]);
            const __m512i y3 = look_up(round[j3][3][b], s[4 * j3 + 3]);
            __m512i lo = _mm512_and_si512(_mm512_slli_epi16(y0, 4), high_nibbles);
            __m512i hi = _mm512_and_si512(y0, high_nibbles);
            lo = look_up(x[c][6 * b + 0], AND_OR(y1, low_nibbles, lo));
            hi = look_up(x[c][6 * b + 1], AND_OR(_mm512_srli_epi16(y1, 4), low_nibbles, hi));
            lo = look_up(x[c][6 * b + 2], AND_OR(y2, low_nibbles, lo));
            hi = look_up(x[c][6 * b + 3], AND_OR(_mm512_srli_epi16(y2, 4), low_nibbles, hi));
            lo = look_up(x[c][6 * b + 4], AND_OR(y3, low_nibbles, lo));
            hi = look_up(x[c][6 * b + 5], AND_OR(_mm512_srli_epi16(y3, 4), low_nibbles, hi));
            t[4 * c + b] = _mm512_or_si512(hi, lo);
        }
    }
}

/* 64 blocks from in to out (which may be the same). */
TABRIX_VBMI static void vbmi_64(int direction, const unsigned char *in, unsigned char *out)
{
    const unsigned shift = direction == ENCRYPTION ? ENCRYPT_SHIFT : DECRYPT_SHIFT;
    __m512i a[16], b[16];
    __m512i *s = a, *t = b;
    unsigned n, stage, c, i;

    for (n = 0; n < 16; ++n)
        a[n] = _mm512_loadu_si512((const void *)(in + 64 * n));
    transpose(a);
    for (stage = 0; stage < TABLE_ROUNDS; ++stage) {
        vbmi_round(s, t, (const unsigned char (*)[4][4][256])prepared_round[SLOT(direction)][stage],
                   xor_prepared(direction, stage), shift);
#ifdef TABRIX_MIXED
        vbmi_round(t, s, (const unsigned char (*)[4][4][256])prepared_mix_round[SLOT(direction)][stage],
                   mix_xor_prepared(direction, stage), MIX_SHIFT);
#else
        __m512i *done = s;
        s = t;
        t = done;
#endif
    }
    /* The last step reads across columns: from s into t. */
    for (c = 0; c < 4; ++c) {
        for (i = 0; i < 4; ++i) {
            const unsigned j = source_column(c, i, shift);
            t[4 * c + i] = look_up(prepared_last[SLOT(direction)][j][i], s[4 * j + i]);
        }
    }
    transpose(t);
    for (n = 0; n < 16; ++n)
        _mm512_storeu_si512((void *)(out + 64 * n), t[n]);
}

TABRIX_VBMI static void vbmi_blocks(int direction, const unsigned char *in, unsigned char *out, size_t blocks)
{
    size_t start = 0;
    for (; blocks - start >= TABRIX_SIMD_BATCH_BLOCKS; start += TABRIX_SIMD_BATCH_BLOCKS)
        vbmi_64(direction, in + 16 * start, out + 16 * start);
    if (start < blocks) {
        /* The tail goes through a zero-padded batch. */
        unsigned char batch[16 * TABRIX_SIMD_BATCH_BLOCKS];
        const size_t bytes = 16 * (blocks - start);
        memset(batch, 0, sizeof batch);
        memcpy(batch, in + 16 * start, bytes);
        vbmi_64(direction, batch, batch);
        memcpy(out + 16 * start, batch, bytes);
    }
}
#endif

/* The one dispatch: independent blocks from in to out (the same buffer, or two
 * that do not overlap). */
static void cipher_blocks(int direction, const unsigned char *in, unsigned char *out, size_t blocks)
{
    tabrix_prepare();
#if TABRIX_X86_SIMD
    if (use_vbmi && blocks >= TABRIX_SIMD_MIN_BLOCKS) {
        vbmi_blocks(direction, in, out, blocks);
        return;
    }
#endif
    if (blocks == 1)
        fast_block(direction, in, out);
    else
        portable_blocks(direction, in, out, blocks);
}

#ifdef TABRIX_HAS_ENCRYPTION
void tabrix_encrypt_block(const unsigned char in[16], unsigned char out[16])
{
    tabrix_prepare();
    fast_block(ENCRYPTION, in, out);
}

#endif

#ifdef TABRIX_HAS_DECRYPTION
void tabrix_decrypt_block(const unsigned char in[16], unsigned char out[16])
{
    tabrix_prepare();
    fast_block(DECRYPTION, in, out);
}

#endif

static int ecb(int direction, const unsigned char *in, unsigned char *out, size_t length)
{
    if (length % TABRIX_BLOCK_SIZE != 0)
        return TABRIX_ERR_LENGTH;
    cipher_blocks(direction, in, out, length / TABRIX_BLOCK_SIZE);
    return TABRIX_OK;
}

#ifdef TABRIX_HAS_ENCRYPTION
int tabrix_encrypt_ecb(const unsigned char *in, unsigned char *out, size_t length)
{
    return ecb(ENCRYPTION, in, out, length);
}

#endif

#ifdef TABRIX_HAS_DECRYPTION
int tabrix_decrypt_ecb(const unsigned char *in, unsigned char *out, size_t length)
{
    return ecb(DECRYPTION, in, out, length);
}

#endif

const char *tabrix_block_path(void)
{
    tabrix_prepare();
    return use_vbmi ? "avx512vbmi" : "portable";
}

/* In words: byte by byte, each read-modify-write would wait on the wide stores
 * that the SIMD path has just made to the same bytes. */
static void xor_words(unsigned char *block, const unsigned char *with)
{
    unsigned long long a[2], b[2];
    memcpy(a, block, sizeof a);
    memcpy(b, with, sizeof b);
    a[0] ^= b[0];
    a[1] ^= b[1];
    memcpy(block, a, sizeof a);
}

#ifdef TABRIX_HAS_ENCRYPTION
int tabrix_encrypt_cbc(unsigned char *buffer, size_t length, const unsigned char iv[16])
{
    size_t offset;

    if (length % TABRIX_BLOCK_SIZE != 0)
        return TABRIX_ERR_LENGTH;
    for (offset = 0; offset < length; offset += TABRIX_BLOCK_SIZE) {
        unsigned char *block = buffer + offset;
        xor_words(block, offset == 0 ? iv : block - TABRIX_BLOCK_SIZE);
        tabrix_encrypt_block(block, block);
    }
    return TABRIX_OK;
}

#endif

#ifdef TABRIX_HAS_DECRYPTION
int tabrix_decrypt_cbc(unsigned char *buffer, size_t length, const unsigned char iv[16])
{
    /* The blocks are independent before the chaining XOR: a chunk at a time
     * through the block paths into scratch, from the end, so that the
     * ciphertext before each block is still in place when it is XORed in. */
    unsigned char plain[CHUNK_BLOCKS * TABRIX_BLOCK_SIZE];
    size_t end, start, n;

    if (length % TABRIX_BLOCK_SIZE != 0)
        return TABRIX_ERR_LENGTH;
    for (end = length / TABRIX_BLOCK_SIZE; end > 0; end = start) {
        unsigned char *chunk;
        start = end > CHUNK_BLOCKS ? end - CHUNK_BLOCKS : 0;
        chunk = buffer + TABRIX_BLOCK_SIZE * start;
        cipher_blocks(DECRYPTION, chunk, plain, end - start);
        for (n = 0; n < end - start; ++n)
            xor_words(plain + TABRIX_BLOCK_SIZE * n, start + n > 0 ? chunk + TABRIX_BLOCK_SIZE * n - TABRIX_BLOCK_SIZE : iv);
        memcpy(chunk, plain, TABRIX_BLOCK_SIZE * (end - start));
    }
    return TABRIX_OK;
}

#endif

static int read_sets(const char *path, tabrix_coding_set *sets[], unsigned count)
{
    FILE *file = fopen(path, "rb");
    int status = TABRIX_OK;
    unsigned n;

    if (file == NULL)
        return TABRIX_ERR_OPEN;
    for (n = 0; n < count; ++n) {
        if (fread(sets[n]->records, 1, TABRIX_CODING_SET_SIZE, file) != TABRIX_CODING_SET_SIZE) {
            status = TABRIX_ERR_SHORT_READ;
            break;
        }
    }
    fclose(file);
    return status;
}

int tabrix_load_ioc_file(const char *path, tabrix_coding_set *input, tabrix_coding_set *output)
{
    tabrix_coding_set *sets[2];
    sets[0] = input;
    sets[1] = output;
    return read_sets(path, sets, 2);
}

int tabrix_load_coding_set(const char *path, tabrix_coding_set *data)
{
    tabrix_coding_set *sets[1];
    sets[0] = data;
    return read_sets(path, sets, 1);
}

int tabrix_load_cbc_codings(const char *ioc_path, const char *data_path, tabrix_cbc_codings *codings)
{
    int status = tabrix_load_ioc_file(ioc_path, &codings->input, &codings->output);
    if (status != TABRIX_OK)
        return status;
    return tabrix_load_coding_set(data_path, &codings->data);
}

/* Coded CBC: the IV coded with iv_set, the data with in_set, chaining through
 * the tables of the direction (tabrix_encrypt_cbc or tabrix_decrypt_cbc), the
 * result decoded with out_set. */
static int cbc_coded(unsigned char *buffer, size_t length, const unsigned char iv[16],
                     const tabrix_coding_set *iv_set, const tabrix_coding_set *in_set,
                     const tabrix_coding_set *out_set,
                     int (*chain)(unsigned char *, size_t, const unsigned char[16]))
{
    unsigned char coded_iv[TABRIX_BLOCK_SIZE];
    int status;

    if (length % TABRIX_BLOCK_SIZE != 0)
        return TABRIX_ERR_LENGTH;
    memcpy(coded_iv, iv, sizeof coded_iv);
    tabrix_encode_data(coded_iv, sizeof coded_iv, iv_set);
    tabrix_encode_data(buffer, length, in_set);
    status = chain(buffer, length, coded_iv);
    tabrix_decode_data(buffer, length, out_set);
    return status;
}

#ifdef TABRIX_HAS_ENCRYPTION
int tabrix_encrypt_cbc_coded(unsigned char *buffer, size_t length, const unsigned char iv[16],
                             const tabrix_cbc_codings *codings)
{
    return cbc_coded(buffer, length, iv, &codings->output, &codings->data, &codings->output, tabrix_encrypt_cbc);
}
#endif

#ifdef TABRIX_HAS_DECRYPTION
int tabrix_decrypt_cbc_coded(unsigned char *buffer, size_t length, const unsigned char iv[16],
                             const tabrix_cbc_codings *codings)
{
    return cbc_coded(buffer, length, iv, &codings->input, &codings->input, &codings->data, tabrix_decrypt_cbc);
}
#endif

size_t tabrix_padded_length(size_t length)
{
    /* The padded length of the last 16 lengths is 2^N or more: no size_t holds it. */
    if (length > SIZE_MAX - TABRIX_BLOCK_SIZE)
        return 0;
    return length + (TABRIX_BLOCK_SIZE - length % TABRIX_BLOCK_SIZE);
}

int tabrix_pad(unsigned char *buffer, size_t length, size_t capacity, size_t *padded_length)
{
    size_t pad = TABRIX_BLOCK_SIZE - length % TABRIX_BLOCK_SIZE;

    /* Checked without forming length + pad, which could wrap. */
    if (capacity < length || capacity - length < pad)
        return TABRIX_ERR_BUFFER_TOO_SMALL;
    memset(buffer + length, (int)pad, pad);
    *padded_length = length + pad;
    return TABRIX_OK;
}

int tabrix_unpad(const unsigned char *buffer, size_t length, size_t *unpadded_length)
{
    unsigned pad, n, bad = 0;

    if (length % TABRIX_BLOCK_SIZE != 0)
        return TABRIX_ERR_LENGTH;
    if (length == 0)
        return TABRIX_ERR_PADDING;
    pad = buffer[length - 1];
    if (pad == 0 || pad > TABRIX_BLOCK_SIZE)
        return TABRIX_ERR_PADDING;
    /* Every padding byte is looked at, whichever differs. */
    for (n = 1; n <= pad; ++n)
        bad |= (unsigned)(buffer[length - n] ^ pad);
    if (bad != 0)
        return TABRIX_ERR_PADDING;
    *unpadded_length = length - pad;
    return TABRIX_OK;
}

#ifdef TABRIX_HAS_ENCRYPTION
static void next_counter(unsigned char counter[16])
{
    unsigned n = TABRIX_BLOCK_SIZE;
    while (n > 0) {
        --n;
        counter[n] = (unsigned char)(counter[n] + 1u);
        if (counter[n] != 0)
            break;
    }
}

static void ctr(unsigned char *buffer, size_t length, const unsigned char counter[16],
                const tabrix_coding_set *input, const tabrix_coding_set *output)
{
    /* The counter blocks are independent: the key stream is made a chunk at a
     * time through the block paths. Coding a run of blocks codes each block
     * alike, since a byte's record depends only on its place in its block. */
    unsigned char block[TABRIX_BLOCK_SIZE], stream[CHUNK_BLOCKS * TABRIX_BLOCK_SIZE];
    size_t offset, n, blocks, bytes;

    memcpy(block, counter, sizeof block);
    for (offset = 0; offset < length; offset += bytes) {
        blocks = (length - offset + TABRIX_BLOCK_SIZE - 1) / TABRIX_BLOCK_SIZE;
        if (blocks > CHUNK_BLOCKS)
            blocks = CHUNK_BLOCKS;
        for (n = 0; n < blocks; ++n) {
            memcpy(stream + TABRIX_BLOCK_SIZE * n, block, TABRIX_BLOCK_SIZE);
            next_counter(block);
        }
        bytes = TABRIX_BLOCK_SIZE * blocks;
        if (input != NULL)
            tabrix_encode_data(stream, bytes, input);
        cipher_blocks(ENCRYPTION, stream, stream, blocks);
        if (output != NULL)
            tabrix_decode_data(stream, bytes, output);
        if (bytes > length - offset)
            bytes = length - offset;
        for (n = 0; n < bytes; ++n)
            buffer[offset + n] = (unsigned char)(buffer[offset + n] ^ stream[n]);
    }
}

void tabrix_crypt_ctr(unsigned char *buffer, size_t length, const unsigned char counter[16])
{
    ctr(buffer, length, counter, NULL, NULL);
}

void tabrix_crypt_ctr_coded(unsigned char *buffer, size_t length, const unsigned char counter[16],
                            const tabrix_coding_set *input, const tabrix_coding_set *output)
{
    ctr(buffer, length, counter, input, output);
}

#endif

static const unsigned char *record_for(const tabrix_coding_set *set, size_t i)
{
    return set->records[4 * (i % 4) + (i / 4) % 4];
}

void tabrix_encode_data(unsigned char *data, size_t length, const tabrix_coding_set *set)
{
    size_t i;
    for (i = 0; i < length; ++i)
        data[i] = record_for(set, i)[data[i]];
}

void tabrix_decode_data(unsigned char *data, size_t length, const tabrix_coding_set *set)
{
    size_t i;
    for (i = 0; i < length; ++i)
        data[i] = record_for(set, i)[256 + data[i]];
}
