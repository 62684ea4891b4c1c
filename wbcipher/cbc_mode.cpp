// Cipher-block chaining over the table cipher, in place, with the block padding
// of the reference helpers so that both CBC implementations agree byte for byte.
// The chaining XORs act on the bytes as they stand: with CBC-compliant codings the
// caller codes data and IV so that they come out right.
#include <cstddef>
#include <cstring>

#include "aesref/aes128.h"
#include "base/status.h"
#include "wbcipher/white_box_aes_cipher.h"

namespace {

// Blocks decrypted together by CBC decryption (4 KB on the stack).
constexpr size_t kDecryptChunkBlocks = 256;

// In two 64-bit words: byte by byte, each read-modify-write waits on the wide
// stores that a block path has just made to the same bytes.
void xorBlock(uint8_t* block, const uint8_t* with) {
    uint64_t a[2];
    uint64_t b[2];
    std::memcpy(a, block, 16);
    std::memcpy(b, with, 16);
    a[0] ^= b[0];
    a[1] ^= b[1];
    std::memcpy(block, a, 16);
}

} // namespace

int32_t WhiteBoxAesCipher::MARLOAES128_EncryptCBC(uint8_t* buffer, uint32_t* length,
                                                  uint32_t* capacity, uint32_t pad) {
    if (length == nullptr || (pad != 0 && capacity == nullptr)) {
        return STATUS_BAD_LENGTH;
    }
    if (pad != 0) {
        const int32_t status = AES128_AddPadding(buffer, length, capacity);
        if (status != STATUS_OK) {
            return status;
        }
    } else if (*length % 16 != 0) {
        return STATUS_BAD_LENGTH;
    }
    if (buffer == nullptr) {
        return STATUS_OK;
    }
    const uint32_t blocks = *length / 16;
    if (blocks == 0) {
        return STATUS_OK;
    }
    // Kept on purpose: without tables block 0 is left XORed with iv when the
    // first block fails.
    xorBlock(buffer, iv);
    // Serial by nature: with this class's own rounds, the unrolled single block.
    const bool portableBlock = fastPaths();
    for (uint32_t i = 0; i < blocks; ++i) {
        uint8_t* block = buffer + 16 * static_cast<size_t>(i);
        if (i > 0) {
            xorBlock(block, block - 16);
        }
        if (portableBlock) {
            cipherBlockPortable(Direction::Encryption, networks_->enc, block, block);
            continue;
        }
        const int32_t status = EncryptBlockInPlace(block);
        if (status != STATUS_OK) {
            return status;
        }
    }
    return STATUS_OK;
}

int32_t WhiteBoxAesCipher::MARLOAES128_DecryptCBC(uint8_t* buffer, uint32_t* length, uint32_t unpad) {
    if (length == nullptr || *length % 16 != 0) {
        return STATUS_BAD_LENGTH;
    }
    const uint32_t blocks = *length / 16;
    // Padding removal reads the last block; without one there is nothing to unpad.
    if (unpad != 0 && (buffer == nullptr || blocks == 0)) {
        return STATUS_BAD_LENGTH;
    }
    if (buffer != nullptr && fastPaths()) {
        decryptChained(buffer, blocks);
    } else if (buffer != nullptr) {
        // Backwards, so that block i - 1 still holds ciphertext when block i needs it.
        for (uint32_t i = blocks; i-- > 0;) {
            uint8_t* block = buffer + 16 * static_cast<size_t>(i);
            const int32_t status = DecryptBlockInPlace(block);
            if (status != STATUS_OK) {
                return status;
            }
            xorBlock(block, i > 0 ? block - 16 : iv);
        }
    }
    if (unpad != 0) {
        return AES128_RemovePadding(buffer, length);
    }
    return STATUS_OK;
}

void WhiteBoxAesCipher::decryptChained(uint8_t* buffer, uint32_t blocks) {
    // Blocks are independent before the chaining XOR: a chunk at a time on the
    // block path into a scratch buffer, from the end, so that the ciphertext of
    // the block before each one is still in place when it is XORed in.
    uint8_t plain[16 * kDecryptChunkBlocks];
    size_t end = blocks;
    while (end > 0) {
        const size_t start = end > kDecryptChunkBlocks ? end - kDecryptChunkBlocks : 0;
        const size_t count = end - start;
        uint8_t* chunk = buffer + 16 * start;
        cipherBlocks(Direction::Decryption, path_, networks_->dec, chunk, plain, count);
        for (size_t n = 0; n < count; ++n) {
            xorBlock(plain + 16 * n, start + n > 0 ? chunk + 16 * n - 16 : iv);
        }
        std::memcpy(chunk, plain, 16 * count);
        end = start;
    }
}
