/* Encrypts and decrypts buffers of several lengths with two generated table
 * sets (appkeys: CBC codings, plainkeys: none) in CBC with PKCS#7 padding and in
 * counter mode, and compares every result with OpenSSL under the same keys.
 *
 *   consumer <app key file> <plain key file>
 *
 * Prints one line per failure and a summary; exit status 0 only when all agree.
 */
#include "appkeys.h"
#include "plainkeys.h"
#include "../checks.h"

#include <openssl/evp.h>

#include <stdio.h>
#include <string.h>

#define MAX_LENGTH 256

/* OpenSSL's answer: CBC with PKCS#7 padding (its default) or CTR. */
static int reference(const EVP_CIPHER *cipher, const unsigned char key[16], const unsigned char iv[16],
                     const unsigned char *in, size_t length, unsigned char *out)
{
    EVP_CIPHER_CTX *ctx = EVP_CIPHER_CTX_new();
    int written = 0, last = 0;
    if (ctx == NULL || EVP_EncryptInit_ex(ctx, cipher, NULL, key, iv) != 1 ||
        EVP_EncryptUpdate(ctx, out, &written, in, (int)length) != 1 ||
        EVP_EncryptFinal_ex(ctx, out + written, &last) != 1)
        written = -1 - last;
    EVP_CIPHER_CTX_free(ctx);
    return written + last;
}

int main(int argc, char **argv)
{
    static const size_t lengths[] = {0, 1, 15, 16, 17, 100, 240};
    static appkeys_cbc_codings encrypt_codings, decrypt_codings;
    unsigned char app_key[16], plain_key[16], iv[16];
    unsigned char plain[MAX_LENGTH], buffer[MAX_LENGTH + 16], expected[MAX_LENGTH + 16];
    size_t k, n, padded, unpadded;

    if (argc != 3 || read_key(argv[1], app_key, sizeof app_key) != 16 ||
        read_key(argv[2], plain_key, sizeof plain_key) != 16) {
        fprintf(stderr, "usage: consumer <app key file> <plain key file>\n");
        return 2;
    }
    if (appkeys_load_cbc_codings(APP_IOC_ENCRYPT, APP_CBC_DATA_ENCRYPT, &encrypt_codings) != APPKEYS_OK ||
        appkeys_load_cbc_codings(APP_IOC_DECRYPT, APP_CBC_DATA_DECRYPT, &decrypt_codings) != APPKEYS_OK) {
        fprintf(stderr, "consumer: cannot load the coding files\n");
        return 2;
    }
    for (n = 0; n < MAX_LENGTH; ++n)
        plain[n] = (unsigned char)(n * 37u + 11u);
    for (n = 0; n < 16; ++n)
        iv[n] = (unsigned char)(0xf0u + n);

    for (k = 0; k < sizeof lengths / sizeof lengths[0]; ++k) {
        size_t length = lengths[k];
        int expected_length;

        /* appkeys: PKCS#7 and coded CBC. */
        expected_length = reference(EVP_aes_128_cbc(), app_key, iv, plain, length, expected);
        memcpy(buffer, plain, length);
        check(appkeys_pad(buffer, length, sizeof buffer, &padded) == APPKEYS_OK &&
                  padded == appkeys_padded_length(length) && (int)padded == expected_length,
              "appkeys padding", length);
        check(appkeys_encrypt_cbc_coded(buffer, padded, iv, &encrypt_codings) == APPKEYS_OK &&
                  memcmp(buffer, expected, padded) == 0,
              "appkeys coded CBC encryption", length);
        check(appkeys_decrypt_cbc_coded(buffer, padded, iv, &decrypt_codings) == APPKEYS_OK &&
                  appkeys_unpad(buffer, padded, &unpadded) == APPKEYS_OK && unpadded == length &&
                  memcmp(buffer, plain, length) == 0,
              "appkeys coded CBC decryption", length);

        /* appkeys: counter mode through the encryption IOC sets. */
        reference(EVP_aes_128_ctr(), app_key, iv, plain, length, expected);
        memcpy(buffer, plain, length);
        appkeys_crypt_ctr_coded(buffer, length, iv, &encrypt_codings.input, &encrypt_codings.output);
        check(memcmp(buffer, expected, length) == 0, "appkeys coded CTR", length);

        /* plainkeys: PKCS#7 and plain CBC, then counter mode. */
        expected_length = reference(EVP_aes_128_cbc(), plain_key, iv, plain, length, expected);
        memcpy(buffer, plain, length);
        check(plainkeys_pad(buffer, length, sizeof buffer, &padded) == PLAINKEYS_OK &&
                  (int)padded == expected_length && plainkeys_encrypt_cbc(buffer, padded, iv) == PLAINKEYS_OK &&
                  memcmp(buffer, expected, padded) == 0,
              "plainkeys CBC encryption", length);
        check(plainkeys_decrypt_cbc(buffer, padded, iv) == PLAINKEYS_OK &&
                  plainkeys_unpad(buffer, padded, &unpadded) == PLAINKEYS_OK && unpadded == length &&
                  memcmp(buffer, plain, length) == 0,
              "plainkeys CBC decryption", length);
        reference(EVP_aes_128_ctr(), plain_key, iv, plain, length, expected);
        memcpy(buffer, plain, length);
        plainkeys_crypt_ctr(buffer, length, iv);
        check(memcmp(buffer, expected, length) == 0, "plainkeys CTR", length);
    }

    /* The two sets hold different keys: one set's ciphertext is not the other's. */
    memcpy(buffer, plain, 16);
    appkeys_encrypt_cbc_coded(buffer, 16, iv, &encrypt_codings);
    memcpy(expected, plain, 16);
    plainkeys_encrypt_cbc(expected, 16, iv);
    check(memcmp(buffer, expected, 16) != 0, "distinct table sets", 16);

    printf("consumer: %d checks, %d failed\n", checks, failures);
    return failures == 0 ? 0 : 1;
}
