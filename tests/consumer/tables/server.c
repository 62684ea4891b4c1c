/* The side that holds the codings, linked with tabrix::codings alone (no
 * tables): codes what goes to the application's tables (app.c) and decodes what
 * comes back, and holds the result to the answers of answers.c.
 *
 *   server load <coding folder>                       prints the load status
 *   server encode <coding folder> <answers> <mode> <data out> <iv out>
 *   server decode <coding folder> <answers> <mode> <data in>
 *
 * Modes: blocks (the four plaintext blocks, encryption), cbc-encrypt (the
 * 100-byte plaintext, padded), cbc-decrypt (its ciphertext). decode exits 0
 * only when the decoded result is the answer. */
#include "tabrix_codings.h"
#include "answers.h"

#include <stdio.h>
#include <string.h>

#define LENGTH_INDEX 5 /* answer_lengths[5] = 100 */

static tabrix_codings encrypt_codings, decrypt_codings;

static int load(const char *folder)
{
    char ioc[4096], data[4096];
    int status;
    snprintf(ioc, sizeof ioc, "%s/ioc_encrypt.dat", folder);
    snprintf(data, sizeof data, "%s/cbc_ioc_data_encrypt.dat", folder);
    status = tabrix_codings_load_cbc(ioc, data, &encrypt_codings);
    if (status != TABRIX_CODINGS_OK)
        return status;
    snprintf(ioc, sizeof ioc, "%s/ioc_decrypt.dat", folder);
    snprintf(data, sizeof data, "%s/cbc_ioc_data_decrypt.dat", folder);
    return tabrix_codings_load_cbc(ioc, data, &decrypt_codings);
}

static size_t read_all(const char *path, unsigned char *buffer, size_t capacity)
{
    FILE *file = fopen(path, "rb");
    size_t size = 0;
    if (file != NULL) {
        size = fread(buffer, 1, capacity, file);
        fclose(file);
    }
    return size;
}

static int write_all(const char *path, const unsigned char *buffer, size_t length)
{
    FILE *file = fopen(path, "wb");
    int ok = file != NULL && fwrite(buffer, 1, length, file) == length;
    return file != NULL && fclose(file) == 0 && ok;
}

int main(int argc, char **argv)
{
    static unsigned char answers[64 + ANSWER_LENGTHS * (2 * ANSWER_MAX + 16)];
    unsigned char plain[ANSWER_MAX], buffer[ANSWER_MAX + 16], iv[16], coded_iv[16];
    const size_t length = answer_lengths[LENGTH_INDEX], padded = answer_padded(length);
    const unsigned char *cbc;
    int status;

    if (argc == 3 && strcmp(argv[1], "load") == 0) {
        printf("load status %d\n", load(argv[2]));
        return 0;
    }
    if (argc < 6 || (status = load(argv[2])) != TABRIX_CODINGS_OK) {
        fprintf(stderr, "server: bad arguments or coding files\n");
        return 2;
    }
    read_all(argv[3], answers, sizeof answers);
    cbc = answers + answer_cbc_offset(LENGTH_INDEX);
    answer_plain(plain);
    answer_iv(iv);
    memcpy(plain + length, "\x0c\x0c\x0c\x0c\x0c\x0c\x0c\x0c\x0c\x0c\x0c\x0c", padded - length);

    if (strcmp(argv[1], "encode") == 0 && argc == 7) {
        size_t size = 64;
        if (strcmp(argv[4], "blocks") == 0) {
            memcpy(buffer, plain, 64);
            tabrix_codings_encode_blocks(&encrypt_codings, buffer, 64);
            memset(coded_iv, 0, 16);
        } else if (strcmp(argv[4], "cbc-encrypt") == 0) {
            memcpy(buffer, plain, padded);
            size = padded;
            status = tabrix_codings_encode_cbc_encrypt(&encrypt_codings, buffer, size, iv, coded_iv);
        } else {
            memcpy(buffer, cbc, padded);
            size = padded;
            status = tabrix_codings_encode_cbc_decrypt(&decrypt_codings, buffer, size, iv, coded_iv);
        }
        return status == TABRIX_CODINGS_OK && write_all(argv[5], buffer, size) && write_all(argv[6], coded_iv, 16) ? 0 : 1;
    }
    if (strcmp(argv[1], "decode") == 0) {
        const size_t size = read_all(argv[5], buffer, sizeof buffer);
        if (strcmp(argv[4], "blocks") == 0) {
            tabrix_codings_decode_blocks(&encrypt_codings, buffer, size);
            return size == 64 && memcmp(buffer, answers, 64) == 0 ? 0 : 1;
        }
        if (strcmp(argv[4], "cbc-encrypt") == 0)
            return size == padded && tabrix_codings_decode_cbc_encrypt(&encrypt_codings, buffer, size) == TABRIX_CODINGS_OK &&
                           memcmp(buffer, cbc, padded) == 0
                       ? 0
                       : 1;
        return size == padded && tabrix_codings_decode_cbc_decrypt(&decrypt_codings, buffer, size) == TABRIX_CODINGS_OK &&
                       memcmp(buffer, plain, padded) == 0
                   ? 0
                   : 1;
    }
    return 2;
}
