/* A small C99 runtime for white-box AES tables made by the MARLO AES
 * Generator ("tabrix /g:<script>"): AES-128, AES-192 or AES-256, whichever the
 * headers hold ([TABLES] keyBits); the runtime reads the round count from them.
 *
 * tabrix_runtime.c compiles the six generated headers in, by the names that
 * examples/example.cfg gives them (round_tables.h, xor_tables.h,
 * final_round_table.h, inv_round_tables.h, inv_xor_tables.h,
 * inv_first_round_table.h); point the compiler at their folder with -I, or
 * override a name with -DTABRIX_ROUND_TABLES_HEADER='"other.h"' and the like.
 * The block and CBC functions evaluate the tables exactly as the generator's
 * own table cipher does; they never see the key.
 *
 * Every public name starts with "tabrix_" (macros with "TABRIX_"). The CMake
 * function tabrix_add_tables writes a copy of this runtime with another prefix,
 * so that several table sets can live in one program: with prefix "appkeys" the
 * names are appkeys_encrypt_block, appkeys_coding_set, APPKEYS_OK and so on.
 *
 * Tables of the mixed format ([TABLES] format = mixed) add four headers,
 * mix_tables.h, mix_xor_tables.h, inv_mix_tables.h and inv_mix_xor_tables.h
 * (override with -DTABRIX_MIX_TABLES_HEADER='"other.h"' and the like). Compile
 * with -DTABRIX_MIXED, or let the runtime find mix_tables.h on the include
 * path (compilers with __has_include, as GCC and Clang have). The functions and
 * the coding rules below are the same for both formats, and so are the block
 * paths (portable and AVX-512 VBMI); a mixed table round does twice the
 * look-ups of a classic one.
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
 * tabrix_encrypt_cbc_coded and tabrix_decrypt_cbc_coded do these three steps
 * per direction in one call. Independent ECB codings (from "/ecbioc:") do not
 * survive the chaining XOR; use them for single blocks or counter mode only.
 *
 * Counter mode (tabrix_crypt_ctr) uses the encryption tables alone, for both
 * directions; tabrix_crypt_ctr_coded codes each counter block with the input
 * set and decodes the key stream with the output set of the tables' IOC file.
 *
 * Not constant-time: every look-up is indexed by (coded) data.
 */
#ifndef TABRIX_RUNTIME_H
#define TABRIX_RUNTIME_H

#include <stddef.h>

/* One direction alone: compile with -DTABRIX_ENCRYPT_ONLY (encryption, counter
 * mode) or -DTABRIX_DECRYPT_ONLY; the copy that tabrix_add_tables writes for
 * DIRECTIONS ENCRYPT or DECRYPT defines it above. The runtime then includes
 * only that direction's headers, prepares only its layout, and declares and
 * defines only its functions: a call of the other direction does not compile
 * (or, undeclared, does not link). */
#if defined(TABRIX_ENCRYPT_ONLY) && defined(TABRIX_DECRYPT_ONLY)
#error "TABRIX_ENCRYPT_ONLY and TABRIX_DECRYPT_ONLY exclude each other"
#endif
#ifndef TABRIX_DECRYPT_ONLY
#define TABRIX_HAS_ENCRYPTION 1
#endif
#ifndef TABRIX_ENCRYPT_ONLY
#define TABRIX_HAS_DECRYPTION 1
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Status codes, the same numbers as the generator uses for the same causes. */
#define TABRIX_OK 0
#define TABRIX_ERR_BUFFER_TOO_SMALL 3 /* no room for the padding */
#define TABRIX_ERR_PADDING 10    /* the PKCS#7 padding at the end is malformed */
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

/* Builds, once, the layout that the evaluators read beside the compiled-in
 * tables, and picks the block path for this CPU: AVX-512 VBMI where the CPU has
 * it, else portable C. The layout lives in static memory: 440 KB of XOR tables
 * turned round for AES-128 (540 KB for AES-192, 640 KB for AES-256), and on a
 * CPU that takes the AVX-512 path 300 KB more of round tables split into byte
 * tables (370 KB, 435 KB); twice as much for the mixed format.
 * The environment variable TABRIX_PORTABLE set to anything but "0" when it runs,
 * or compiling with -DTABRIX_PORTABLE_ONLY, keeps the portable path. Every
 * function below calls it when it has not run yet; with GCC or Clang that first
 * call is safe from several threads at once, with other compilers call it once
 * before starting threads. */
void tabrix_prepare(void);

/* The block path in use: "avx512vbmi" or "portable". */
const char *tabrix_block_path(void);

/* Full AES encryption of one block with the encryption tables. in and out
 * may be the same buffer. */
#ifdef TABRIX_HAS_ENCRYPTION
void tabrix_encrypt_block(const unsigned char in[16], unsigned char out[16]);
#endif

/* Full AES decryption of one block with the decryption tables. in and out
 * may be the same buffer. */
#ifdef TABRIX_HAS_DECRYPTION
void tabrix_decrypt_block(const unsigned char in[16], unsigned char out[16]);
#endif

/* ECB over a buffer: the full cipher on length / 16 independent blocks, from in
 * to out (the same buffer, or two that do not overlap; any alignment). Blocks
 * are evaluated many at a time (64 at once on the AVX-512 path), with the same
 * result as the block functions block by block. TABRIX_ERR_LENGTH, with nothing
 * written, unless length is a multiple of 16; length 0 does nothing. */
#ifdef TABRIX_HAS_ENCRYPTION
int tabrix_encrypt_ecb(const unsigned char *in, unsigned char *out, size_t length);
#endif
#ifdef TABRIX_HAS_DECRYPTION
int tabrix_decrypt_ecb(const unsigned char *in, unsigned char *out, size_t length);
#endif

/* CBC encryption of length bytes in place, without padding, with the IV iv
 * (not changed). TABRIX_ERR_LENGTH, with nothing touched, unless length is a
 * multiple of 16; length 0 does nothing. */
#ifdef TABRIX_HAS_ENCRYPTION
int tabrix_encrypt_cbc(unsigned char *buffer, size_t length, const unsigned char iv[16]);
#endif

/* CBC decryption of length bytes in place, without padding removal; as above.
 * Its blocks go through the batched paths of tabrix_decrypt_ecb. */
#ifdef TABRIX_HAS_DECRYPTION
int tabrix_decrypt_cbc(unsigned char *buffer, size_t length, const unsigned char iv[16]);
#endif

/* Reads an IOC file: 8192 bytes into input, then 8192 bytes into output.
 * TABRIX_OK, TABRIX_ERR_OPEN or TABRIX_ERR_SHORT_READ. A longer file is
 * accepted; its first 16384 bytes are used. The records are not checked. */
int tabrix_load_ioc_file(const char *path, tabrix_coding_set *input, tabrix_coding_set *output);

/* Reads a CBC data file (8192 bytes) into data. Statuses as above. */
int tabrix_load_coding_set(const char *path, tabrix_coding_set *data);

/* The three coding sets of one direction of CBC-compliant codings: the IOC
 * file's input and output sets and the CBC data file's set. */
typedef struct {
    tabrix_coding_set input;
    tabrix_coding_set output;
    tabrix_coding_set data;
} tabrix_cbc_codings;

/* Reads one direction's IOC file and CBC data file into codings. Statuses as
 * above (the IOC file's first). */
int tabrix_load_cbc_codings(const char *ioc_path, const char *data_path, tabrix_cbc_codings *codings);

/* CBC encryption in place of plain data with a plain IV, on encryption tables
 * generated with CBC-compliant codings: codes the data with the data set and
 * the IV with the output set, chains, and decodes the result with the output
 * set, giving the plain ciphertext. TABRIX_ERR_LENGTH, with nothing touched,
 * unless length is a multiple of 16. */
#ifdef TABRIX_HAS_ENCRYPTION
int tabrix_encrypt_cbc_coded(unsigned char *buffer, size_t length, const unsigned char iv[16],
                             const tabrix_cbc_codings *codings);
#endif

/* CBC decryption in place of plain ciphertext with a plain IV, on decryption
 * tables generated with CBC-compliant codings: codes the ciphertext and the IV
 * with the input set, chains, and decodes the result with the data set, giving
 * the plaintext. Statuses as above. */
#ifdef TABRIX_HAS_DECRYPTION
int tabrix_decrypt_cbc_coded(unsigned char *buffer, size_t length, const unsigned char iv[16],
                             const tabrix_cbc_codings *codings);
#endif

/* The length of length bytes after PKCS#7 padding: the next multiple of 16
 * above length (a whole block of padding when length is a multiple of 16).
 * 0, which no padded length is, when that does not fit in a size_t (length
 * above SIZE_MAX - 16). */
size_t tabrix_padded_length(size_t length);

/* Appends PKCS#7 padding to the length bytes in buffer, which has room for
 * capacity bytes, and stores the padded length in padded_length.
 * TABRIX_ERR_BUFFER_TOO_SMALL, with nothing touched, when capacity is below
 * tabrix_padded_length(length). */
int tabrix_pad(unsigned char *buffer, size_t length, size_t capacity, size_t *padded_length);

/* Checks the PKCS#7 padding at the end of length bytes and stores the length
 * without it in unpadded_length. TABRIX_ERR_LENGTH unless length is a multiple
 * of 16; TABRIX_ERR_PADDING when length is 0, the last byte is not 1..16 or the
 * padding bytes differ from it. The buffer is never changed. */
int tabrix_unpad(const unsigned char *buffer, size_t length, size_t *unpadded_length);

/* Counter mode in place over length bytes (any length): byte n is XORed with
 * byte n mod 16 of the encryption of counter block n div 16, where block 0 is
 * counter and each next block adds 1 to the previous one as a 128-bit
 * big-endian number (wrapping). The same call encrypts and decrypts; counter
 * is not changed. Needs encryption tables without external codings. The key
 * stream is made many blocks at a time, as by tabrix_encrypt_ecb. */
#ifdef TABRIX_HAS_ENCRYPTION
void tabrix_crypt_ctr(unsigned char *buffer, size_t length, const unsigned char counter[16]);
#endif

/* Counter mode as above on encryption tables generated with external codings:
 * every counter block is coded with input before the tables and the key stream
 * decoded with output after them (the sets of the tables' IOC file, ECB or
 * CBC). */
#ifdef TABRIX_HAS_ENCRYPTION
void tabrix_crypt_ctr_coded(unsigned char *buffer, size_t length, const unsigned char counter[16],
                            const tabrix_coding_set *input, const tabrix_coding_set *output);
#endif

/* Replaces byte i of data by the forward table of record
 * 4*(i mod 4) + (i div 4) mod 4 of set. */
void tabrix_encode_data(unsigned char *data, size_t length, const tabrix_coding_set *set);

/* The same with the inverse tables: undoes tabrix_encode_data. */
void tabrix_decode_data(unsigned char *data, size_t length, const tabrix_coding_set *set);

#ifdef __cplusplus
}
#endif

#endif /* TABRIX_RUNTIME_H */
