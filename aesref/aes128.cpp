// AES-128 helpers over the reference cipher: one-block and round-limited
// ciphering, CBC over whole buffers (NIST SP 800-38A Section 6.2 chaining) and
// the block padding that the table cipher's CBC mode shares.
//
// The padding is this tool's own, not PKCS#7: p = 16 - (L mod 16) bytes of value
// p, but a whole block of zeros when L is already a multiple of 16, so a padded
// buffer always ends in a byte 0..15. Key and cipher records are locals of each
// call; nothing is kept between calls.
#include "aesref/aes128.h"

#include <cassert>
#include <cstring>

namespace {

constexpr uint32_t kBlockBytes = 16;

// Pad bytes for a buffer of `length` bytes (16 when already block-aligned).
uint32_t padSize(uint32_t length) { return kBlockBytes - length % kBlockBytes; }

// A cleared AES-128 key record whose schedule is expanded from 16 key bytes;
// the result is that of rijndaelKeySched (0 with these lengths).
int32_t expandKey(keyInstance* key, uint8_t direction, const uint8_t keyBytes[16]) {
    uint8_t k[4][MAXKC] = {};
    (void)AES128_BytesToState(keyBytes, kBlockBytes, k); // fails only for lengths other than 16
    std::memset(key, 0, sizeof *key);
    key->direction = direction;
    key->keyLen = 128;
    key->blockLen = 128;
    return rijndaelKeySched(k, key->keyLen, key->blockLen, key->keySched);
}

// A cleared ECB cipher record for 128-bit blocks; the result of cipherInit.
int32_t prepareCipher(cipherInstance* cipher) {
    std::memset(cipher, 0, sizeof *cipher);
    cipher->blockLen = 128;
    return cipherInit(cipher, MODE_ECB, nullptr);
}

// The key record and the cipher record the CBC functions cipher with.
struct CipherRecords {
    keyInstance key;
    cipherInstance cipher;
};

// Both records for direction: STATUS_OK, the key schedule's failure, or
// STATUS_CIPHER_INIT_FAILED.
int32_t prepareRecords(CipherRecords& records, uint8_t direction, const uint8_t keyBytes[16]) {
    const int32_t scheduled = expandKey(&records.key, direction, keyBytes);
    if (scheduled != 0) {
        return scheduled;
    }
    return prepareCipher(&records.cipher) == TRUE ? STATUS_OK : STATUS_CIPHER_INIT_FAILED;
}

void xorBlock(uint8_t* target, const uint8_t* source) {
    for (uint32_t n = 0; n < kBlockBytes; ++n) {
        target[n] ^= source[n];
    }
}

} // namespace

int32_t AES128_HexToKey(const char* keyText, uint8_t key[16]) {
    std::memset(key, 0, kBlockBytes);
    // Like strncpy into a cleared 65-character area: a short text leaves
    // terminators, and nothing past character 32 is read.
    char text[MAX_KEY_SIZE + 1] = {};
    if (keyText != nullptr) {
        for (int n = 0; n < 32 && keyText[n] != '\0'; ++n) {
            text[n] = keyText[n];
        }
    }
    for (int i = 0; i < 16; ++i) {
        int digits[2];
        for (int d = 0; d < 2; ++d) {
            const char c = text[2 * i + d];
            if (c >= '0' && c <= '9') {
                digits[d] = c - '0';
            } else if (c >= 'a' && c <= 'f') {
                digits[d] = c - 'a' + 10;
            } else if (c >= 'A' && c <= 'F') {
                digits[d] = c - 'A' + 10;
            } else {
                return STATUS_BAD_KEY_TEXT;
            }
        }
        key[i] = static_cast<uint8_t>((digits[0] << 4) ^ digits[1]);
    }
    return STATUS_OK;
}

int32_t AES128_BytesToState(const uint8_t* bytes, uint32_t length, uint8_t state[4][MAXBC]) {
    if (length != kBlockBytes) {
        return STATUS_BAD_LENGTH;
    }
    assert(bytes != nullptr);
    for (int n = 0; n < 16; ++n) {
        state[n % 4][n / 4] = bytes[n];
    }
    return STATUS_OK;
}

int32_t AES128_AddPadding(uint8_t* buffer, uint32_t* length, uint32_t* capacity) {
    assert(length != nullptr && capacity != nullptr);
    const uint32_t pad = padSize(*length);
    // A padded length beyond 32 bits fits no buffer; the capacity cannot name it.
    if (*length > UINT32_MAX - pad) {
        return STATUS_BUFFER_TOO_SMALL;
    }
    const uint32_t padded = *length + pad;
    if (buffer == nullptr) {
        *capacity = padded;
        return STATUS_OK;
    }
    if (*capacity < padded) {
        *capacity = padded;
        return STATUS_BUFFER_TOO_SMALL;
    }
    std::memset(buffer + *length, pad == kBlockBytes ? 0 : static_cast<int>(pad), pad);
    *length = padded;
    return STATUS_OK;
}

int32_t AES128_RemovePadding(const uint8_t* buffer, uint32_t* length) {
    assert(length != nullptr);
    const uint32_t total = *length;
    if (total == 0 || buffer == nullptr) {
        return STATUS_BAD_PADDING;
    }
    const uint8_t last = buffer[total - 1];
    if (last >= kBlockBytes) {
        return STATUS_BAD_PADDING;
    }
    // A last byte 0 announces a whole block of zeros, 1..15 that many bytes.
    const uint32_t pad = last == 0 ? kBlockBytes : last;
    if (total < pad) {
        return STATUS_BAD_PADDING;
    }
    bool intact = true;
    for (uint32_t n = 2; n <= pad; ++n) {
        if (buffer[total - n] != last) {
            intact = false;
            break;
        }
    }
    // The length drops by the announced pad even when a pad byte differed (kept
    // on purpose: callers see status 10 and the shortened length).
    *length = total - pad;
    return intact ? STATUS_OK : STATUS_BAD_PADDING;
}

int32_t AES128_EncryptBlockRounds(uint8_t block[16], const uint8_t key[16], int32_t rounds) {
    keyInstance keyRecord;
    const int32_t scheduled = expandKey(&keyRecord, DIR_ENCRYPT, key);
    if (scheduled != 0) {
        return scheduled;
    }
    cipherInstance cipher;
    prepareCipher(&cipher);
    uint8_t out[16] = {};
    // The record and the cipher were set up just above for 128-bit blocks, the
    // only failures these calls have, so their results say nothing more.
    if (rounds == 10) {
        (void)blockEncrypt(&cipher, &keyRecord, block, 128, out);
    } else {
        (void)cipherUpdateRounds(&cipher, &keyRecord, block, 128, out, rounds);
    }
    std::memcpy(block, out, kBlockBytes);
    return STATUS_OK;
}

int32_t AES128_EncryptBlockHex(const char* keyText, const uint8_t input[16], uint8_t output[16],
                               int32_t rounds) {
    std::memmove(output, input, kBlockBytes);
    uint8_t key[16];
    const int32_t parsed = AES128_HexToKey(keyText, key);
    if (parsed != STATUS_OK) {
        return parsed;
    }
    return AES128_EncryptBlockRounds(output, key, rounds);
}

int32_t AES128_DecryptBlockHex(const char* keyText, const uint8_t input[16], uint8_t output[16],
                               int32_t rounds) {
    keyInstance keyRecord;
    std::memset(&keyRecord, 0, sizeof keyRecord);
    keyRecord.blockLen = 128;
    // Malformed key text is reported like AES128_EncryptBlockHex does, with
    // the input copied unchanged, rather than decrypting under a zero schedule.
    if (makeKey(&keyRecord, DIR_DECRYPT, 128, keyText) != TRUE) {
        std::memmove(output, input, kBlockBytes);
        return STATUS_BAD_KEY_TEXT;
    }
    cipherInstance cipher;
    prepareCipher(&cipher);
    // Set up just above for 128-bit blocks: these calls cannot fail here.
    if (rounds == 0) {
        (void)blockDecrypt(&cipher, &keyRecord, input, 128, output);
    } else {
        (void)cipherUpdateRounds(&cipher, &keyRecord, input, 128, output, rounds);
    }
    return STATUS_OK;
}

int32_t AES128_EncryptCBC(uint8_t* buffer, uint32_t* length, uint32_t* capacity,
                          const uint8_t key[16], const uint8_t iv[16]) {
    const int32_t padded = AES128_AddPadding(buffer, length, capacity);
    if (padded != STATUS_OK) {
        return padded;
    }
    CipherRecords records;
    const int32_t ready = prepareRecords(records, DIR_ENCRYPT, key);
    if (ready != STATUS_OK) {
        return ready;
    }
    if (buffer == nullptr) {
        return STATUS_OK;
    }
    const uint32_t blocks = *length / kBlockBytes;
    xorBlock(buffer, iv);
    for (uint32_t i = 0; i < blocks; ++i) {
        uint8_t* block = buffer + i * kBlockBytes;
        if (i > 0) {
            xorBlock(block, block - kBlockBytes);
        }
        uint8_t out[16];
        if (blockEncrypt(&records.cipher, &records.key, block, 128, out) != 128) {
            return STATUS_ENCRYPT_FAILED;
        }
        std::memcpy(block, out, kBlockBytes);
    }
    return STATUS_OK;
}

int32_t AES128_DecryptCBC(uint8_t* buffer, uint32_t* length, const uint8_t key[16],
                          const uint8_t iv[16]) {
    assert(length != nullptr);
    // No buffer, or nothing in it, cannot hold even the padding block.
    if (buffer == nullptr || *length == 0 || *length % kBlockBytes != 0) {
        return STATUS_BAD_LENGTH;
    }
    CipherRecords records;
    const int32_t ready = prepareRecords(records, DIR_DECRYPT, key);
    if (ready != STATUS_OK) {
        return ready;
    }
    // Backwards, so that block i - 1 still holds its ciphertext when block i
    // needs it.
    for (uint32_t i = *length / kBlockBytes; i-- > 0;) {
        uint8_t* block = buffer + i * kBlockBytes;
        uint8_t out[16];
        if (blockDecrypt(&records.cipher, &records.key, block, 128, out) != 128) {
            return STATUS_DECRYPT_FAILED;
        }
        xorBlock(out, i > 0 ? block - kBlockBytes : iv);
        std::memcpy(block, out, kBlockBytes);
    }
    return AES128_RemovePadding(buffer, length);
}
