/* Holds the table set "t" to the known answers of answers.c: single blocks,
 * PKCS#7 CBC and CTR, in the directions the set holds, with its codings
 * (CHECK_CODINGS 0 none, 1 ECB, 2 CBC) read from the coding folder.
 *
 *   check <answer file> [<coding folder>]
 *
 * Prints one line per failure and a summary; exit status 0 only when all agree. */
#include "t.h"
#include "answers.h"
#include "../checks.h"

#include <stdio.h>
#include <string.h>

#if !defined(T_DECRYPT_ONLY)
#define HAS_ENCRYPT 1
#endif
#if !defined(T_ENCRYPT_ONLY)
#define HAS_DECRYPT 1
#endif

static unsigned char answers[64 + ANSWER_LENGTHS * (2 * ANSWER_MAX + 16)];
#if CHECK_CODINGS
static t_cbc_codings codings[2]; /* [0] encryption, [1] decryption; data only with CBC */

static int load(const char *folder, int direction)
{
    char ioc[4096], data[4096];
    const char *name = direction == 0 ? "encrypt" : "decrypt";
    snprintf(ioc, sizeof ioc, "%s/ioc_%s.dat", folder, name);
    snprintf(data, sizeof data, "%s/cbc_ioc_data_%s.dat", folder, name);
    if (CHECK_CODINGS == 2)
        return t_load_cbc_codings(ioc, data, &codings[direction]) == T_OK;
    return t_load_ioc_file(ioc, &codings[direction].input, &codings[direction].output) == T_OK;
}
#endif

/* One block through block (direction 0 encryption, 1 decryption), coded with
 * that direction's codings where the set has them. */
static void check_block(void (*block)(const unsigned char[16], unsigned char[16]), int direction,
                        const unsigned char *in, const unsigned char *expected, const char *what)
{
    unsigned char buffer[16];
    memcpy(buffer, in, 16);
#if CHECK_CODINGS
    t_encode_data(buffer, 16, &codings[direction].input);
#endif
    block(buffer, buffer);
#if CHECK_CODINGS
    t_decode_data(buffer, 16, &codings[direction].output);
#else
    (void)direction;
#endif
    check(memcmp(buffer, expected, 16) == 0, what, 16);
}

int main(int argc, char **argv)
{
    unsigned char plain[ANSWER_MAX], iv[16], buffer[ANSWER_MAX + 16];
    const unsigned char *ecb = answers, *at = answers + 64;
    size_t k, n, size;
    FILE *file;

    if (argc < 2 || (file = fopen(argv[1], "rb")) == NULL) {
        fprintf(stderr, "usage: check <answer file> [<coding folder>]\n");
        return 2;
    }
    size = fread(answers, 1, sizeof answers, file);
    fclose(file);
    (void)size;
#if CHECK_CODINGS
#ifdef HAS_ENCRYPT
    if (argc < 3 || !load(argv[2], 0)) {
        fprintf(stderr, "check: cannot load the encryption coding files\n");
        return 2;
    }
#endif
#ifdef HAS_DECRYPT
    if (argc < 3 || !load(argv[2], 1)) {
        fprintf(stderr, "check: cannot load the decryption coding files\n");
        return 2;
    }
#endif
#endif
    answer_plain(plain);
    answer_iv(iv);

    /* Single blocks. */
    for (n = 0; n < 4; ++n) {
#ifdef HAS_ENCRYPT
        check_block(t_encrypt_block, 0, plain + 16 * n, ecb + 16 * n, "block encryption");
#endif
#ifdef HAS_DECRYPT
        check_block(t_decrypt_block, 1, ecb + 16 * n, plain + 16 * n, "block decryption");
#endif
    }

    for (k = 0; k < ANSWER_LENGTHS; ++k) {
        const size_t length = answer_lengths[k], padded = answer_padded(length);
        const unsigned char *cbc = at, *ctr = at + padded;
        size_t done = 0;
        at += padded + length;
        (void)cbc;
        (void)ctr;
        (void)done;
        /* PKCS#7 CBC: plain or CBC coded (ECB codings do not survive the chaining). */
#if CHECK_CODINGS != 1
#ifdef HAS_ENCRYPT
        memcpy(buffer, plain, length);
        check(t_pad(buffer, length, sizeof buffer, &done) == T_OK && done == padded, "padding", length);
#if CHECK_CODINGS == 2
        check(t_encrypt_cbc_coded(buffer, padded, iv, &codings[0]) == T_OK, "coded CBC encryption", length);
#else
        check(t_encrypt_cbc(buffer, padded, iv) == T_OK, "CBC encryption", length);
#endif
        check(memcmp(buffer, cbc, padded) == 0, "CBC ciphertext", length);
#endif
#ifdef HAS_DECRYPT
        memcpy(buffer, cbc, padded);
#if CHECK_CODINGS == 2
        check(t_decrypt_cbc_coded(buffer, padded, iv, &codings[1]) == T_OK, "coded CBC decryption", length);
#else
        check(t_decrypt_cbc(buffer, padded, iv) == T_OK, "CBC decryption", length);
#endif
        check(t_unpad(buffer, padded, &done) == T_OK && done == length && memcmp(buffer, plain, length) == 0,
              "CBC plaintext", length);
#endif
#endif
        /* CTR: encryption tables only. */
#ifdef HAS_ENCRYPT
        memcpy(buffer, plain, length);
#if CHECK_CODINGS
        t_crypt_ctr_coded(buffer, length, iv, &codings[0].input, &codings[0].output);
#else
        t_crypt_ctr(buffer, length, iv);
#endif
        check(memcmp(buffer, ctr, length) == 0, "CTR", length);
#endif
    }
    printf("check: %d checks, %d failed\n", checks, failures);
    return failures == 0 && checks > 0 ? 0 : 1;
}
