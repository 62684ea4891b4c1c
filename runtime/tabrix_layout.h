/* The prepared layout of the table evaluators and the rules that go with it,
 * for the C99 runtime (tabrix_runtime.c) and the tool's own block paths alike:
 * both include this header, so that the two cannot drift apart. C99, and valid
 * C++ too. Private to the evaluators: applications never include it.
 *
 * The XOR tables are turned round once, so that the running nibble stays in the
 * high half of a byte: entry (r << 4 | v) of prepared table n holds the low
 * nibble of entry (v << 4 | r) of XOR table n (r running, v new), shifted up by
 * four, except for the last table of a low-nibble chain (n = 6b + 4), which
 * leaves it in place. A chain step is then one OR and one load, and an output
 * byte is the OR of its two chains' last results; the upper bits of the
 * generated entries are dropped here once.
 */
#ifndef TABRIX_LAYOUT_H
#define TABRIX_LAYOUT_H

#include <stddef.h>
#include <string.h>

/* The SIMD path (AVX-512 VBMI) exists only for x86-64 builds by GCC or Clang
 * (function target attributes and __builtin_cpu_supports), and not with
 * TABRIX_PORTABLE_ONLY. */
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__)) && !defined(TABRIX_PORTABLE_ONLY)
#define TABRIX_X86_SIMD 1
#define TABRIX_VBMI __attribute__((target("avx512f,avx512bw,avx512vbmi")))
#else
#define TABRIX_X86_SIMD 0
#endif

/* The evaluators below are small and called with constant arguments from
 * unrolled code: inlined everywhere, also in unoptimised builds. */
#if defined(__GNUC__) || defined(__clang__)
#define TABRIX_LAYOUT_INLINE static inline __attribute__((always_inline))
#else
#define TABRIX_LAYOUT_INLINE static inline
#endif

/* XOR tables of one output column: 4 rows x 3 chain stages x 2 nibbles. */
#define TABRIX_XOR_TABLES_PER_COLUMN 24
/* Blocks that the portable batch takes through one layer together. */
#define TABRIX_PORTABLE_BATCH_BLOCKS 64
/* Blocks that the SIMD path evaluates at once: one byte lane each. */
#define TABRIX_SIMD_BATCH_BLOCKS 64
/* Below this many blocks a SIMD batch, mostly padding, costs more than the
 * portable path. */
#define TABRIX_SIMD_MIN_BLOCKS 8

/* The environment variable that keeps the portable path. Split so that a
 * renamed copy of the runtime (every "tabrix_" and "TABRIX_" given another
 * prefix) still reads the one documented name. */
#define TABRIX_PORTABLE_VARIABLE "TABRIX" "_PORTABLE"

/* Whether a value of that variable (NULL when it is not set) keeps the portable
 * path: any value but "0". */
static inline int tabrix_portable_requested(const char *setting)
{
    return setting != NULL && strcmp(setting, "0") != 0;
}

#if TABRIX_X86_SIMD
/* Whether this CPU has what the SIMD path needs: AVX-512 F, BW and VBMI. */
static inline int tabrix_cpu_has_vbmi(void)
{
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
           __builtin_cpu_supports("avx512vbmi");
}
#endif

/* XOR table n of a column turned round into prepared (256 bytes each). */
static inline void tabrix_prepare_xor_table(const unsigned char table[256], unsigned n, unsigned char prepared[256])
{
    /* Table 6b + 4 ends a low-nibble chain: its result stays in place. */
    const unsigned shift = n % 6 == 4 ? 0u : 4u;
    unsigned running, added;
    for (running = 0; running < 16; ++running)
        for (added = 0; added < 16; ++added)
            prepared[running << 4 | added] = (unsigned char)((table[added << 4 | running] & 0x0Fu) << shift);
}

/* Row b of output column c of a layer from state (block byte order: byte 4j + k
 * is row k of column j): the row-k word table of column j = (c + step * k) mod 4
 * (step 1 ShiftRows, 3 InvShiftRows, 0 a mix layer) gives contribution yk, and
 * y0..y3 are summed nibble by nibble through the prepared XOR tables of column
 * c, tables 6b..6b + 5; the running nibbles travel in the high half of a byte.
 * words is [column j][row k][x][byte b], xors [column c][table n][r << 4 | v]. */
TABRIX_LAYOUT_INLINE unsigned char tabrix_output_byte(const unsigned char *state,
                                                      const unsigned char (*words)[4][256][4],
                                                      const unsigned char (*xors)[TABRIX_XOR_TABLES_PER_COLUMN][256],
                                                      unsigned step, unsigned c, unsigned b)
{
    const unsigned j0 = c & 3u, j1 = (c + step) & 3u, j2 = (c + 2u * step) & 3u, j3 = (c + 3u * step) & 3u;
    const unsigned y0 = words[j0][0][state[4u * j0 + 0u]][b];
    const unsigned y1 = words[j1][1][state[4u * j1 + 1u]][b];
    const unsigned y2 = words[j2][2][state[4u * j2 + 2u]][b];
    const unsigned y3 = words[j3][3][state[4u * j3 + 3u]][b];
    const unsigned char (*x)[256] = xors[c] + 6u * b;
    unsigned lo = (y0 << 4) & 0xF0u, hi = y0 & 0xF0u;
    lo = x[0][(y1 & 0x0Fu) | lo];
    hi = x[1][(y1 >> 4) | hi];
    lo = x[2][(y2 & 0x0Fu) | lo];
    hi = x[3][(y2 >> 4) | hi];
    lo = x[4][(y3 & 0x0Fu) | lo]; /* the low nibble, in place */
    hi = x[5][(y3 >> 4) | hi];    /* the high nibble, in place */
    return (unsigned char)(hi | lo);
}

#endif /* TABRIX_LAYOUT_H */
