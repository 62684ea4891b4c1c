/* A small C99 runtime for white-box AES-128 tables made by the MARLO AES
 * Generator ("tabrix /g:<script>").
 *
 * tabrix_runtime.c compiles the six generated headers in, by the names that
 * examples/example.cfg gives them (round_tables.h, xor_tables.h,
 * final_round_table.h, inv_round_tables.h, inv_xor_tables.h,
 * inv_first_round_table.h); point the compiler at their folder with -I, or
 * override a name with -DTABRIX_ROUND_TABLES_HEADER='"other.h"' and the like.
 * The block and CBC functions evaluate the tables exactly as the generator's
 * own table cipher does; they never see the key.
 *
 * Tables of the mixed format ([TABLES] format = mixed) add four headers,
 * mix_tables.h, mix_xor_tables.h, inv_mix_tables.h and inv_mix_xor_tables.h
 * (override with -DTABRIX_MIX_TABLES_HEADER='"other.h"' and the like). Compile
 * with -DTABRIX_MIXED, or let the runtime find mix_tables.h on the include
 * path (compilers with __has_include, as GCC and Clang have). The functions and
 * the coding rules below are the same for both formats.
 *
 * External codings are the caller's business. Tables generated with an IOC
 * file (useEncryptIOC / useDecryptIOC = 1) expect their input coded with the
 * file's input set and deliver their output coded with its output set:
 *
 *   tabrix_coding_set in, out;
 *   tabrix_load_ioc_file("ioc_encrypt.dat", &in, &out);
 *   tabrix_encode_data(block, 16, &in);     forward tables of the input set
 *   tabrix_encrypt_block(block, block);
 *   tabrix_decode_data(block, 16, &out);    inverse tables of the output set
 *
 * Byte i of a block (and of every block of a longer buffer) uses record
 * 4*(i mod 4) + (i div 4) mod 4 of a set, the coding of AES state row i mod 4,
 * column i div 4. Decryption works the same way with the decryption IOC file.
 *
 * CBC with codings needs the related triples written by "tabrix /cbcioc:"
 * (an IOC file plus a CBC data file per direction), because the chaining XOR
 * acts on coded bytes:
 *   encryption: encode the plaintext with the data set and the IV with the
 *     output set, run tabrix_encrypt_cbc, decode the result with the output
 *     set to get the plain ciphertext;
 *   decryption: encode the ciphertext and the IV with the input set, run
 *     tabrix_decrypt_cbc, decode the result with the data set to get the
 *     plaintext.
 * Independent ECB codings (from "/ecbioc:") do not survive the chaining XOR;
 * use them for single blocks only.
 *
 * Not constant-time: every look-up is indexed by (coded) data.
 */
#ifndef TABRIX_RUNTIME_H
#define TABRIX_RUNTIME_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Status codes, the same numbers as the generator uses for the same causes. */
#define TABRIX_OK 0
#define TABRIX_ERR_LENGTH 11     /* buffer length is not a multiple of 16 */
#define TABRIX_ERR_OPEN 16       /* a coding file cannot be opened */
#define TABRIX_ERR_SHORT_READ 31 /* a coding file is shorter than expected */

#define TABRIX_BLOCK_SIZE 16
#define TABRIX_CODING_SET_SIZE 8192

/* The coding of one block: 16 byte codings, each a 256-byte forward table and
 * its 256-byte inverse. The same layout as in the coding files. */
typedef struct {
    unsigned char records[16][512];
} tabrix_coding_set;

/* Full AES-128 encryption of one block with the encryption tables. in and out
 * may be the same buffer. */
void tabrix_encrypt_block(const unsigned char in[16], unsigned char out[16]);

/* Full AES-128 decryption of one block with the decryption tables. in and out
 * may be the same buffer. */
void tabrix_decrypt_block(const unsigned char in[16], unsigned char out[16]);

/* CBC encryption of length bytes in place, without padding, with the IV iv
 * (not changed). TABRIX_ERR_LENGTH, with nothing touched, unless length is a
 * multiple of 16; length 0 does nothing. */
int tabrix_encrypt_cbc(unsigned char *buffer, size_t length, const unsigned char iv[16]);

/* CBC decryption of length bytes in place, without padding removal; as above. */
int tabrix_decrypt_cbc(unsigned char *buffer, size_t length, const unsigned char iv[16]);

/* Reads an IOC file: 8192 bytes into input, then 8192 bytes into output.
 * TABRIX_OK, TABRIX_ERR_OPEN or TABRIX_ERR_SHORT_READ. A longer file is
 * accepted; its first 16384 bytes are used. The records are not checked. */
int tabrix_load_ioc_file(const char *path, tabrix_coding_set *input, tabrix_coding_set *output);

/* Reads a CBC data file (8192 bytes) into data. Statuses as above. */
int tabrix_load_coding_set(const char *path, tabrix_coding_set *data);

/* Replaces byte i of data by the forward table of record
 * 4*(i mod 4) + (i div 4) mod 4 of set. */
void tabrix_encode_data(unsigned char *data, size_t length, const tabrix_coding_set *set);

/* The same with the inverse tables: undoes tabrix_encode_data. */
void tabrix_decode_data(unsigned char *data, size_t length, const tabrix_coding_set *set);

#ifdef __cplusplus
}
#endif

#endif /* TABRIX_RUNTIME_H */
