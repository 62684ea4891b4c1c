/* The coding side's library: loading and checking coding files, and coding
 * buffers in the order of each mode (see tabrix_codings.h). */
#include "tabrix_codings.h"

#include <stdio.h>
#include <string.h>

#define SET_SIZE 8192

/* Reads exactly sets * 8192 bytes of path into the given sets. */
static int read_file(const char *path, unsigned char (*sets[])[512], unsigned count)
{
    FILE *file = fopen(path, "rb");
    int status = TABRIX_CODINGS_OK;
    unsigned n;

    if (file == NULL)
        return TABRIX_CODINGS_ERR_OPEN;
    for (n = 0; n < count && status == TABRIX_CODINGS_OK; ++n)
        if (fread(sets[n], 1, SET_SIZE, file) != SET_SIZE)
            status = TABRIX_CODINGS_ERR_SHORT_READ;
    if (status == TABRIX_CODINGS_OK && fgetc(file) != EOF)
        status = TABRIX_CODINGS_ERR_INVALID_CODING;
    fclose(file);
    return status;
}

/* Every record a permutation whose second half undoes its first. */
static int valid_set(const unsigned char *set)
{
    unsigned r, x;
    for (r = 0; r < 16; ++r) {
        unsigned char seen[256];
        memset(seen, 0, sizeof seen);
        for (x = 0; x < 256; ++x) {
            const unsigned image = set[512 * r + x];
            if (seen[image] || set[512 * r + 256 + image] != x)
                return 0;
            seen[image] = 1;
        }
    }
    return 1;
}

/* The three sets of a direction are L(x) ^ a, L(x) ^ b and L(x) ^ a ^ b for an
 * invertible linear L: input(x) ^ data(x) = output(0), input(x) ^ output(x) =
 * data(0), and input(x) ^ input(0) linear. */
static int related(const tabrix_codings *c)
{
    unsigned r, x;
    for (r = 0; r < 16; ++r) {
        const unsigned char *in = c->input[r], *out = c->output[r], *data = c->data[r];
        for (x = 0; x < 256; ++x) {
            const unsigned low = x & (0u - x);
            if ((in[x] ^ data[x]) != out[0] || (in[x] ^ out[x]) != data[0])
                return 0;
            if (low != x && (in[x] ^ in[0]) != (in[low] ^ in[0] ^ in[x - low] ^ in[0]))
                return 0;
        }
    }
    return 1;
}

int tabrix_codings_load_ioc(const char *ioc_path, tabrix_codings *codings)
{
    unsigned char (*sets[2])[512];
    int status;
    sets[0] = codings->input;
    sets[1] = codings->output;
    codings->has_data = 0;
    status = read_file(ioc_path, sets, 2);
    if (status == TABRIX_CODINGS_OK && !(valid_set(&codings->input[0][0]) && valid_set(&codings->output[0][0])))
        status = TABRIX_CODINGS_ERR_INVALID_CODING;
    return status;
}

int tabrix_codings_load_cbc(const char *ioc_path, const char *data_path, tabrix_codings *codings)
{
    unsigned char (*sets[1])[512];
    int status = tabrix_codings_load_ioc(ioc_path, codings);
    if (status != TABRIX_CODINGS_OK)
        return status;
    sets[0] = codings->data;
    status = read_file(data_path, sets, 1);
    if (status == TABRIX_CODINGS_OK && !(valid_set(&codings->data[0][0]) && related(codings)))
        status = TABRIX_CODINGS_ERR_INVALID_CODING;
    if (status == TABRIX_CODINGS_OK)
        codings->has_data = 1;
    return status;
}

static void encode(const unsigned char set[16][512], unsigned char *buffer, size_t length)
{
    size_t i;
    for (i = 0; i < length; ++i)
        buffer[i] = set[4 * (i % 4) + (i / 4) % 4][buffer[i]];
}

static void decode(const unsigned char set[16][512], unsigned char *buffer, size_t length)
{
    size_t i;
    for (i = 0; i < length; ++i)
        buffer[i] = set[4 * (i % 4) + (i / 4) % 4][256 + buffer[i]];
}

void tabrix_codings_encode_blocks(const tabrix_codings *codings, unsigned char *buffer, size_t length)
{
    encode(codings->input, buffer, length);
}

void tabrix_codings_decode_blocks(const tabrix_codings *codings, unsigned char *buffer, size_t length)
{
    decode(codings->output, buffer, length);
}

static int cbc_ready(const tabrix_codings *codings, size_t length)
{
    return codings->has_data && length % 16 == 0;
}

/* Codes the vector with iv_set and the buffer with buffer_set. */
static int encode_cbc(const tabrix_codings *codings, const unsigned char iv_set[16][512],
                      const unsigned char buffer_set[16][512], unsigned char *buffer, size_t length,
                      const unsigned char iv[16], unsigned char coded_iv[16])
{
    if (!cbc_ready(codings, length))
        return TABRIX_CODINGS_ERR_LENGTH;
    memmove(coded_iv, iv, 16);
    encode(iv_set, coded_iv, 16);
    encode(buffer_set, buffer, length);
    return TABRIX_CODINGS_OK;
}

static int decode_cbc(const tabrix_codings *codings, const unsigned char set[16][512], unsigned char *buffer,
                      size_t length)
{
    if (!cbc_ready(codings, length))
        return TABRIX_CODINGS_ERR_LENGTH;
    decode(set, buffer, length);
    return TABRIX_CODINGS_OK;
}

int tabrix_codings_encode_cbc_encrypt(const tabrix_codings *codings, unsigned char *buffer, size_t length,
                                      const unsigned char iv[16], unsigned char coded_iv[16])
{
    return encode_cbc(codings, codings->output, codings->data, buffer, length, iv, coded_iv);
}

int tabrix_codings_decode_cbc_encrypt(const tabrix_codings *codings, unsigned char *buffer, size_t length)
{
    return decode_cbc(codings, codings->output, buffer, length);
}

int tabrix_codings_encode_cbc_decrypt(const tabrix_codings *codings, unsigned char *buffer, size_t length,
                                      const unsigned char iv[16], unsigned char coded_iv[16])
{
    return encode_cbc(codings, codings->input, codings->input, buffer, length, iv, coded_iv);
}

int tabrix_codings_decode_cbc_decrypt(const tabrix_codings *codings, unsigned char *buffer, size_t length)
{
    return decode_cbc(codings, codings->data, buffer, length);
}
