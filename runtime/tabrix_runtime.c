/* Evaluation of a generated white-box AES-128 table set.
 *
 * A block fills the 4 x 4 state column by column (FIPS-197 order): state row i,
 * column c is block byte 4*c + i. Each of the nine table rounds of a direction
 *   1. looks up, for every row i and output column c, the round-table entry of
 *      the state byte in row i of source column j (encryption j = (c + i) mod 4,
 *      decryption j = (c - i) mod 4: ShiftRows and InvShiftRows are done by this
 *      routing); byte b of the entry is that byte's contribution to output row b;
 *   2. combines the four contributions y0..y3 to one output byte nibble by
 *      nibble through the 4-bit XOR tables: stage u adds y(u+1) to the running
 *      sum, low-nibble table 6b + 2u first, then high-nibble table 6b + 2u + 1,
 *      each indexed by (new nibble << 4) | running nibble.
 * A last byte table per state position finishes the cipher. Every value between
 * tables is carried under the random nibble codings the generator chose, so the
 * state is never plain inside; only the table contents know the codings.
 */
#include "tabrix_runtime.h"

#include <stdio.h>
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

#include TABRIX_ROUND_TABLES_HEADER
#include TABRIX_XOR_TABLES_HEADER
#include TABRIX_FINAL_ROUND_TABLE_HEADER
#include TABRIX_INV_ROUND_TABLES_HEADER
#include TABRIX_INV_XOR_TABLES_HEADER
#include TABRIX_INV_FIRST_ROUND_TABLE_HEADER

/* The mixed format: chosen by TABRIX_MIXED, or found by its first header. */
#ifndef TABRIX_MIX_TABLES_HEADER
#define TABRIX_MIX_TABLES_HEADER "mix_tables.h"
#endif
#if !defined(TABRIX_MIXED) && defined(__has_include)
#if __has_include(TABRIX_MIX_TABLES_HEADER)
#define TABRIX_MIXED 1
#endif
#endif
#ifdef TABRIX_MIXED
#ifndef TABRIX_MIX_XOR_TABLES_HEADER
#define TABRIX_MIX_XOR_TABLES_HEADER "mix_xor_tables.h"
#endif
#ifndef TABRIX_INV_MIX_TABLES_HEADER
#define TABRIX_INV_MIX_TABLES_HEADER "inv_mix_tables.h"
#endif
#ifndef TABRIX_INV_MIX_XOR_TABLES_HEADER
#define TABRIX_INV_MIX_XOR_TABLES_HEADER "inv_mix_xor_tables.h"
#endif
#include TABRIX_MIX_TABLES_HEADER
#include TABRIX_MIX_XOR_TABLES_HEADER
#include TABRIX_INV_MIX_TABLES_HEADER
#include TABRIX_INV_MIX_XOR_TABLES_HEADER
#endif

typedef unsigned char state_t[4][4]; /* [row][column] */

/* Source column of row i for output column c: +1 shifts left (encryption),
 * +3 = -1 mod 4 shifts right (decryption). */
#define ENCRYPT_SHIFT 1
#define DECRYPT_SHIFT 3

static unsigned source_column(unsigned c, unsigned i, unsigned shift)
{
    return (c + i * shift) & 3u;
}

static void load_state(state_t s, const unsigned char block[16])
{
    unsigned i, c;
    for (c = 0; c < 4; ++c)
        for (i = 0; i < 4; ++i)
            s[i][c] = block[4 * c + i];
}

static void store_state(unsigned char block[16], state_t s)
{
    unsigned i, c;
    for (c = 0; c < 4; ++c)
        for (i = 0; i < 4; ++i)
            block[4 * c + i] = s[i][c];
}

/* Sums the four contributions t[0..3][c] to every output byte (b, c) through
 * xor_table, [column c][24][256]. Only the low four bits of an entry count. */
static void xor_sum(state_t s, const unsigned char *t[4][4], const unsigned char xor_table[4][24][256])
{
    unsigned c, b, u;

    for (c = 0; c < 4; ++c) {
        for (b = 0; b < 4; ++b) {
            unsigned lo = t[0][c][b] & 0x0Fu;
            unsigned hi = (unsigned)t[0][c][b] >> 4;
            for (u = 0; u < 3; ++u) {
                unsigned y = t[u + 1][c][b];
                lo = xor_table[c][6 * b + 2 * u][((y & 0x0Fu) << 4) | lo] & 0x0Fu;
                hi = xor_table[c][6 * b + 2 * u + 1][(y & 0xF0u) | hi] & 0x0Fu;
            }
            s[b][c] = (unsigned char)((hi << 4) | lo);
        }
    }
}

/* One table round. round_table is [column j][row i][256][4], xor_table is
 * [column c][24][256]. */
static void table_round(state_t s, const unsigned char round_table[4][4][256][4],
                        const unsigned char xor_table[4][24][256], unsigned shift)
{
    const unsigned char *t[4][4]; /* [row][output column] -> 4 contribution bytes */
    unsigned i, c;

    for (i = 0; i < 4; ++i) {
        for (c = 0; c < 4; ++c) {
            unsigned j = source_column(c, i, shift);
            t[i][c] = round_table[j][i][s[i][j]];
        }
    }
    xor_sum(s, t, xor_table);
}

#ifdef TABRIX_MIXED
/* The mixed format's second half of a table round: mix table (c, b), [column
 * c][row b][256][4], takes byte (b, c) and feeds column c again. */
static void mix_round(state_t s, const unsigned char mix_table[4][4][256][4],
                      const unsigned char mix_xor_table[4][24][256])
{
    const unsigned char *t[4][4];
    unsigned b, c;

    for (b = 0; b < 4; ++b)
        for (c = 0; c < 4; ++c)
            t[b][c] = mix_table[c][b][s[b][c]];
    xor_sum(s, t, mix_xor_table);
}
#define MIX_ROUND(s, mix, mix_xor, r) mix_round(s, mix[r], mix_xor[r])
#else
#define MIX_ROUND(s, mix, mix_xor, r) ((void)0)
#endif

/* The last step: one byte table per state position, [column j][row i][256]. */
static void last_step(state_t s, const unsigned char table[4][4][256], unsigned shift)
{
    state_t copy;
    unsigned i, c;

    memcpy(copy, s, sizeof copy);
    for (c = 0; c < 4; ++c) {
        for (i = 0; i < 4; ++i) {
            unsigned j = source_column(c, i, shift);
            s[i][c] = table[j][i][copy[i][j]];
        }
    }
}

void tabrix_encrypt_block(const unsigned char in[16], unsigned char out[16])
{
    state_t s;
    unsigned r;

    load_state(s, in);
    for (r = 0; r < 9; ++r) {
        table_round(s, roundTables[r], xorTables[r], ENCRYPT_SHIFT);
        MIX_ROUND(s, mixTables, mixXorTables, r);
    }
    last_step(s, finalRoundTable, ENCRYPT_SHIFT);
    store_state(out, s);
}

void tabrix_decrypt_block(const unsigned char in[16], unsigned char out[16])
{
    state_t s;
    unsigned r;

    load_state(s, in);
    /* Rounds 10 down to 2 of the inverse cipher live at indexes 9 down to 1. */
    for (r = 9; r >= 1; --r) {
        table_round(s, invRoundTables[r], invXorTables[r], DECRYPT_SHIFT);
        MIX_ROUND(s, invMixTables, invMixXorTables, r);
    }
    last_step(s, invFirstRoundTable, DECRYPT_SHIFT);
    store_state(out, s);
}

static void xor_block(unsigned char *block, const unsigned char *with)
{
    unsigned n;
    for (n = 0; n < TABRIX_BLOCK_SIZE; ++n)
        block[n] = (unsigned char)(block[n] ^ with[n]);
}

int tabrix_encrypt_cbc(unsigned char *buffer, size_t length, const unsigned char iv[16])
{
    size_t offset;

    if (length % TABRIX_BLOCK_SIZE != 0)
        return TABRIX_ERR_LENGTH;
    for (offset = 0; offset < length; offset += TABRIX_BLOCK_SIZE) {
        unsigned char *block = buffer + offset;
        xor_block(block, offset == 0 ? iv : block - TABRIX_BLOCK_SIZE);
        tabrix_encrypt_block(block, block);
    }
    return TABRIX_OK;
}

int tabrix_decrypt_cbc(unsigned char *buffer, size_t length, const unsigned char iv[16])
{
    size_t offset;

    if (length % TABRIX_BLOCK_SIZE != 0)
        return TABRIX_ERR_LENGTH;
    /* Backwards, so that the previous block still holds ciphertext. */
    for (offset = length; offset > 0; offset -= TABRIX_BLOCK_SIZE) {
        unsigned char *block = buffer + offset - TABRIX_BLOCK_SIZE;
        tabrix_decrypt_block(block, block);
        xor_block(block, offset == TABRIX_BLOCK_SIZE ? iv : block - TABRIX_BLOCK_SIZE);
    }
    return TABRIX_OK;
}

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
