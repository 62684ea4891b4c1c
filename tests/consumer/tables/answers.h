/* What answers.c computes and check.c checks: the plaintext, the IV, the
 * lengths, and the answer file's layout. */
#ifndef ANSWERS_H
#define ANSWERS_H

#include <stdio.h>
#include <string.h>

#define ANSWER_MAX 256
#define ANSWER_LENGTHS 7
static const size_t answer_lengths[ANSWER_LENGTHS] = {0, 1, 15, 16, 17, 100, 240};

static void answer_plain(unsigned char plain[ANSWER_MAX])
{
    size_t n;
    for (n = 0; n < ANSWER_MAX; ++n)
        plain[n] = (unsigned char)(n * 37u + 11u);
}

static void answer_iv(unsigned char iv[16])
{
    size_t n;
    for (n = 0; n < 16; ++n)
        iv[n] = (unsigned char)(0xf0u + n);
}

static size_t answer_padded(size_t length)
{
    return length + (16 - length % 16);
}

/* Offset in the answer file of the CBC ciphertext of length index k (its CTR
 * ciphertext follows it). */
static size_t answer_cbc_offset(size_t k)
{
    size_t offset = 64, n;
    for (n = 0; n < k; ++n)
        offset += answer_padded(answer_lengths[n]) + answer_lengths[n];
    return offset;
}

#endif
