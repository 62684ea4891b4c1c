/* Demonstration of the table runtime on the tables that example.cfg generates:
 * both directions built from the key of FIPS-197 Appendix C.1 and without
 * external codings (useEncryptIOC = useDecryptIOC = 0), so the results can be
 * checked against published and precomputed answers.
 *
 * Prints a block round trip (FIPS-197 C.1) and a CBC round trip; the exit
 * status is 0 only when every result matches.
 */
#include "tabrix_runtime.h"

#include <stdio.h>
#include <string.h>

/* FIPS-197 Appendix C.1. */
static const unsigned char kPlaintext[16] = {
    0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77,
    0x88, 0x99, 0xaa, 0xbb, 0xcc, 0xdd, 0xee, 0xff};
static const unsigned char kCiphertext[16] = {
    0x69, 0xc4, 0xe0, 0xd8, 0x6a, 0x7b, 0x04, 0x30,
    0xd8, 0xcd, 0xb7, 0x80, 0x70, 0xb4, 0xc5, 0x5a};

/* AES-128-CBC without padding, key 000102...0f, of the 64 bytes 00 01 ... 3f
 * under this IV; computed with OpenSSL. */
static const unsigned char kCbcIv[16] = {
    0xf0, 0xe0, 0xd0, 0xc0, 0xb0, 0xa0, 0x90, 0x80,
    0x70, 0x60, 0x50, 0x40, 0x30, 0x20, 0x10, 0x00};
static const unsigned char kCbcCiphertext[64] = {
    0x55, 0x80, 0xea, 0xf4, 0x8c, 0x48, 0x63, 0x70,
    0xed, 0x54, 0x81, 0xc9, 0xd9, 0xb7, 0xaf, 0xab,
    0xa5, 0x7f, 0xe0, 0xbe, 0x55, 0xca, 0xd6, 0xc5,
    0x3b, 0x85, 0xb2, 0x49, 0x8c, 0x7a, 0x72, 0xe1,
    0x0b, 0x10, 0x85, 0x65, 0x6b, 0x4e, 0x0d, 0x7b,
    0x6d, 0x29, 0x09, 0xe9, 0x81, 0x77, 0x87, 0x12,
    0x8c, 0x43, 0x08, 0x16, 0xab, 0x19, 0x77, 0xfb,
    0xd0, 0xb6, 0x58, 0x38, 0x52, 0x3d, 0x53, 0xd9};

static int failures = 0;

/* Rows of 16 bytes behind a label, without a final line end. */
static void print_hex(const char *label, const unsigned char *bytes, size_t length)
{
    size_t i;
    printf("%-12s", label);
    for (i = 0; i < length; ++i) {
        if (i > 0 && i % 16 == 0)
            printf("\n%-12s", "");
        printf("%02x", bytes[i]);
    }
}

static void check(const char *label, const unsigned char *got, const unsigned char *expected,
                  size_t length)
{
    print_hex(label, got, length);
    if (memcmp(got, expected, length) == 0) {
        printf("  OK\n");
    } else {
        printf("  MISMATCH\n");
        print_hex("expected", expected, length);
        printf("\n");
        ++failures;
    }
}

int main(void)
{
    unsigned char block[16];
    unsigned char data[64];
    unsigned char plain[64];
    size_t i;
    int status;

    printf("Block round trip (FIPS-197 C.1, key 000102030405060708090a0b0c0d0e0f)\n");
    print_hex("plaintext", kPlaintext, sizeof kPlaintext);
    printf("\n");
    tabrix_encrypt_block(kPlaintext, block);
    check("encrypted", block, kCiphertext, sizeof block);
    tabrix_decrypt_block(block, block);
    check("decrypted", block, kPlaintext, sizeof block);

    printf("\nCBC round trip (64 bytes, no padding)\n");
    for (i = 0; i < sizeof plain; ++i)
        plain[i] = (unsigned char)i;
    memcpy(data, plain, sizeof data);
    print_hex("iv", kCbcIv, sizeof kCbcIv);
    printf("\n");
    print_hex("plaintext", plain, sizeof plain);
    printf("\n");
    status = tabrix_encrypt_cbc(data, sizeof data, kCbcIv);
    if (status != TABRIX_OK) {
        printf("tabrix_encrypt_cbc() == %d\n", status);
        ++failures;
    }
    check("encrypted", data, kCbcCiphertext, sizeof data);
    status = tabrix_decrypt_cbc(data, sizeof data, kCbcIv);
    if (status != TABRIX_OK) {
        printf("tabrix_decrypt_cbc() == %d\n", status);
        ++failures;
    }
    check("decrypted", data, plain, sizeof data);

    if (failures != 0) {
        printf("\n%d check(s) failed. Were the tables generated from example.cfg"
               " (C.1 key, no IOC)?\n", failures);
        return 1;
    }
    printf("\nAll checks passed.\n");
    return 0;
}
