/* The coding side of white-box tables with external codings: a small C99
 * library without tables, for the program that holds the coding files (a
 * server) while the tables ship elsewhere (an application).
 *
 * The tables of a direction generated with an IOC file take their input coded
 * and give their output coded. With the coding files kept apart, the
 * application never sees a plain block: this library codes what goes to the
 * tables and decodes what comes back, in the order each mode needs.
 *
 *   ECB blocks and counter blocks (ECB or CBC codings): encode with the input
 *   set (tabrix_codings_encode_blocks), the application runs the block
 *   function, decode its result with the output set (tabrix_codings_decode_blocks).
 *
 *   CBC encryption (CBC codings of the encryption direction): encode the
 *   plaintext with the data set and the IV with the output set
 *   (tabrix_codings_encode_cbc_encrypt); the application runs plain
 *   tabrix_encrypt_cbc on both; decode its result with the output set
 *   (tabrix_codings_decode_cbc_encrypt) to get the ciphertext.
 *
 *   CBC decryption (CBC codings of the decryption direction): encode the
 *   ciphertext and the IV with the input set (tabrix_codings_encode_cbc_decrypt);
 *   the application runs plain tabrix_decrypt_cbc on both; decode its result
 *   with the data set (tabrix_codings_decode_cbc_decrypt) to get the plaintext.
 *
 * Byte i of a buffer uses record 4*(i mod 4) + (i div 4) mod 4 of a set, as in
 * the runtime. Every file is checked when it is loaded: its exact size, every
 * record a byte coding with its inverse, and for CBC the relation of the three
 * sets record by record.
 */
#ifndef TABRIX_CODINGS_H
#define TABRIX_CODINGS_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Status codes, the tool's numbers for the same causes. */
#define TABRIX_CODINGS_OK 0
#define TABRIX_CODINGS_ERR_LENGTH 11        /* buffer length is not a multiple of 16 */
#define TABRIX_CODINGS_ERR_OPEN 16          /* a coding file cannot be opened */
#define TABRIX_CODINGS_ERR_SHORT_READ 31    /* a coding file is shorter than its kind */
#define TABRIX_CODINGS_ERR_INVALID_CODING 32 /* longer than its kind, a record that is no byte coding,
                                              * or three sets that are not a CBC triple */

/* One direction's codings: the IOC file's input and output sets and, for CBC
 * codings, the CBC data file's set (has_data 1). Record r of a set is a
 * 256-byte forward table and its 256-byte inverse, as in the files. */
typedef struct {
    unsigned char input[16][512];
    unsigned char output[16][512];
    unsigned char data[16][512];
    int has_data;
} tabrix_codings;

/* Reads and checks an IOC file (16384 bytes) into codings (has_data 0). */
int tabrix_codings_load_ioc(const char *ioc_path, tabrix_codings *codings);

/* Reads and checks one direction's IOC file and CBC data file (8192 bytes), and
 * that the three sets are related as "tabrix /cbcioc:" makes them. */
int tabrix_codings_load_cbc(const char *ioc_path, const char *data_path, tabrix_codings *codings);

/* Whole blocks or any length: encode with the input set, decode with the
 * output set (ECB blocks, counter blocks and key stream). */
void tabrix_codings_encode_blocks(const tabrix_codings *codings, unsigned char *buffer, size_t length);
void tabrix_codings_decode_blocks(const tabrix_codings *codings, unsigned char *buffer, size_t length);

/* CBC, encryption direction (needs has_data): plaintext with the data set and
 * coded_iv = iv under the output set; then the result with the output set.
 * TABRIX_CODINGS_ERR_LENGTH, with nothing touched, unless length is a multiple
 * of 16 or when the codings have no data set. */
int tabrix_codings_encode_cbc_encrypt(const tabrix_codings *codings, unsigned char *buffer, size_t length,
                                      const unsigned char iv[16], unsigned char coded_iv[16]);
int tabrix_codings_decode_cbc_encrypt(const tabrix_codings *codings, unsigned char *buffer, size_t length);

/* CBC, decryption direction (needs has_data): ciphertext and coded_iv = iv
 * under the input set; then the result with the data set. Statuses as above. */
int tabrix_codings_encode_cbc_decrypt(const tabrix_codings *codings, unsigned char *buffer, size_t length,
                                      const unsigned char iv[16], unsigned char coded_iv[16]);
int tabrix_codings_decode_cbc_decrypt(const tabrix_codings *codings, unsigned char *buffer, size_t length);

#ifdef __cplusplus
}
#endif

#endif /* TABRIX_CODINGS_H */
