// AES-128 helpers over the reference cipher: hex key parsing, state loading,
// the block padding shared by both CBC implementations, one-block and
// round-limited ciphering, and CBC over whole buffers.
//
// Padding: a buffer of length L gets p = 16 - (L mod 16) bytes of value p, except
// that a length already a multiple of 16 gets a whole block of 16 zero bytes.
// Kept on purpose (it is not PKCS#7): both CBC implementations and data sealed
// with them rely on it.
#pragma once
#include <cstdint>

#include "aesref/rijndael.h"
#include "base/status.h"

// Parses the first 32 characters of keyText into 16 bytes; -2 on a non-hex
// character (the bytes parsed so far stay written, the rest are zero).
[[nodiscard]] int32_t AES128_HexToKey(const char* keyText, uint8_t key[16]);
// state[r][c] = bytes[4c + r]; 11 when length is not 16 (nothing written).
[[nodiscard]] int32_t AES128_BytesToState(const uint8_t* bytes, uint32_t length, uint8_t state[4][MAXBC]);
// Pads in place. buffer may be null: a size query that only sets *capacity.
// 3 when *capacity is below the padded length (or it would overflow 32 bits).
[[nodiscard]] int32_t AES128_AddPadding(uint8_t* buffer, uint32_t* length, uint32_t* capacity);
// Shortens *length by the pad; 10 on malformed padding. Never reads outside
// the first *length bytes of buffer.
[[nodiscard]] int32_t AES128_RemovePadding(const uint8_t* buffer, uint32_t* length);
[[nodiscard]] int32_t AES128_EncryptBlockRounds(uint8_t block[16], const uint8_t key[16], int32_t rounds);
[[nodiscard]] int32_t AES128_EncryptBlockHex(const char* keyText, const uint8_t input[16], uint8_t output[16],
                               int32_t rounds);
// Round limit 0 is the full inverse cipher, where the table cipher's is 1; kept
// on purpose, the self-test calls it with 0.
[[nodiscard]] int32_t AES128_DecryptBlockHex(const char* keyText, const uint8_t input[16], uint8_t output[16],
                               int32_t rounds);
// Always pads. buffer may be null (size query).
[[nodiscard]] int32_t AES128_EncryptCBC(uint8_t* buffer, uint32_t* length, uint32_t* capacity,
                          const uint8_t key[16], const uint8_t iv[16]);
// Always removes the padding.
[[nodiscard]] int32_t AES128_DecryptCBC(uint8_t* buffer, uint32_t* length, const uint8_t key[16],
                          const uint8_t iv[16]);
