/* Known answers for tests/consumer/tables/check.c, computed with OpenSSL on the
 * build machine (so that a cross-built check needs no OpenSSL of its own):
 *
 *   answers <key file> <answer file>
 *
 * The answer file holds, for the plaintext bytes p[n] = 37n + 11 and the IV
 * f0 f1 ... ff: the AES encryption (AES-128, -192 or -256 as the key file's
 * length says) of the first four plaintext blocks one by one, then for each length of answers.h the PKCS#7 CBC ciphertext and the
 * CTR ciphertext (counter = IV). */
#include "answers.h"
#include "../checks.h"

#include <openssl/evp.h>

#include <stdio.h>

static int run(const EVP_CIPHER *cipher, int pad, const unsigned char *key, const unsigned char *in,
               size_t length, unsigned char *out)
{
    unsigned char iv[16];
    EVP_CIPHER_CTX *ctx = EVP_CIPHER_CTX_new();
    int written = 0, last = 0, ok;
    answer_iv(iv);
    ok = ctx != NULL && EVP_EncryptInit_ex(ctx, cipher, NULL, key, EVP_CIPHER_mode(cipher) == EVP_CIPH_ECB_MODE ? NULL : iv) == 1 &&
         EVP_CIPHER_CTX_set_padding(ctx, pad) == 1 && EVP_EncryptUpdate(ctx, out, &written, in, (int)length) == 1 &&
         EVP_EncryptFinal_ex(ctx, out + written, &last) == 1;
    EVP_CIPHER_CTX_free(ctx);
    return ok ? written + last : -1;
}

int main(int argc, char **argv)
{
    unsigned char key[32], plain[ANSWER_MAX], out[ANSWER_MAX + 16];
    const EVP_CIPHER *ecb, *cbc, *ctr;
    size_t k, key_length;
    FILE *file;
    int ok = 1;

    if (argc != 3 || (key_length = read_key(argv[1], key, sizeof key)) == 0) {
        fprintf(stderr, "usage: answers <key file> <answer file>\n");
        return 2;
    }
    ecb = key_length == 16 ? EVP_aes_128_ecb() : key_length == 24 ? EVP_aes_192_ecb() : EVP_aes_256_ecb();
    cbc = key_length == 16 ? EVP_aes_128_cbc() : key_length == 24 ? EVP_aes_192_cbc() : EVP_aes_256_cbc();
    ctr = key_length == 16 ? EVP_aes_128_ctr() : key_length == 24 ? EVP_aes_192_ctr() : EVP_aes_256_ctr();
    answer_plain(plain);
    file = fopen(argv[2], "wb");
    if (file == NULL)
        return 2;
    ok = run(ecb, 0, key, plain, 64, out) == 64 && fwrite(out, 1, 64, file) == 64;
    for (k = 0; ok && k < ANSWER_LENGTHS; ++k) {
        const size_t length = answer_lengths[k];
        const int padded = run(cbc, 1, key, plain, length, out);
        ok = padded == (int)answer_padded(length) && fwrite(out, 1, (size_t)padded, file) == (size_t)padded &&
             run(ctr, 0, key, plain, length, out) == (int)length &&
             fwrite(out, 1, length, file) == length;
    }
    if (fclose(file) != 0 || !ok) {
        fprintf(stderr, "answers: cannot compute or write the answers\n");
        return 1;
    }
    return 0;
}
