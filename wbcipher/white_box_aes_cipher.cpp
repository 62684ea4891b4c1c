// Table-driven AES: evaluates a generated table set of R rounds on one block.
//
// A table round looks up one 32-bit round-table word per state byte (AddRoundKey,
// SubBytes and the byte's share of (Inv)MixColumns under the table codings), then
// sums the four row contributions of every output byte nibble by nibble through
// the 4-bit XOR tables: index = new nibble << 4 | running nibble. ShiftRows and
// InvShiftRows are nothing but the choice of source column. R - 1 table rounds
// and a last byte table make the cipher, R being the tables' round count. Look-ups are data dependent: NOT constant-time.
#include "wbcipher/white_box_aes_cipher.h"

#include <cstring>
#include <typeinfo>
#include <utility>

#include "aesref/aes128.h"
#include "base/status.h"
#include "wbcipher/table_steps.h"

namespace {

using State = uint8_t[4][MAXBC];

// An in-place operation's end: result replaces block only when status is 0.
int32_t keepOnSuccess(int32_t status, const uint8_t result[16], uint8_t block[16]) {
    if (status == STATUS_OK) {
        std::memcpy(block, result, 16);
    }
    return status;
}

void storeState(const State& s, uint8_t output[16]) {
    for (int c = 0; c < 4; ++c) {
        for (int i = 0; i < 4; ++i) {
            output[4 * c + i] = s[i][c];
        }
    }
}

// One block through one direction's tables, up to the round limit.
int32_t evaluate(const void* tables, const DirectionTables& t, Direction direction, const uint8_t input[16],
                 uint8_t output[16], int32_t rounds) {
    if (tables == nullptr) {
        return STATUS_NO_TABLES;
    }
    State s{};
    (void)AES128_BytesToState(input, 16, s); // a whole block: cannot fail
    runRounds(s, t, direction, rounds, [&t, direction](State& state, int slot) {
        tableRound(state, t.roundTables[slot], t.xorTables[slot], direction);
    });
    storeState(s, output);
    return STATUS_OK;
}

} // namespace

int32_t WhiteBoxAesCipher::EncryptRounds(const uint8_t input[16], uint8_t output[16], int32_t rounds) {
    return evaluate(tables, view_.enc, Direction::Encryption, input, output, rounds);
}

int32_t WhiteBoxAesCipher::DecryptRounds(const uint8_t input[16], uint8_t output[16], int32_t rounds) {
    return evaluate(tables, view_.dec, Direction::Decryption, input, output, rounds);
}

int32_t WhiteBoxAesCipher::EncryptRoundsDirect(const uint8_t input[16], uint8_t output[16],
                                               int32_t rounds) {
    return WhiteBoxAesCipher::EncryptRounds(input, output, rounds);
}

int32_t WhiteBoxAesCipher::DecryptRoundsDirect(const uint8_t input[16], uint8_t output[16],
                                               int32_t rounds) {
    return WhiteBoxAesCipher::DecryptRounds(input, output, rounds);
}

void WhiteBoxAesCipher::useTables(const void* storage, const TableSetView& view, BlockNetworksPtr networks,
                                  const std::type_info& evaluator) {
    tables = storage;
    view_ = storage != nullptr ? view : TableSetView{};
    path_ = selectedBlockPath();
    networks_ = std::move(networks);
    evaluator_ = &evaluator;
}

bool WhiteBoxAesCipher::UseBlockPath(BlockPath path) {
    if (!blockPathSupported(path)) return false;
    path_ = path;
    return true;
}

int32_t WhiteBoxAesCipher::EncryptBlock(const uint8_t input[16], uint8_t output[16]) {
    // Without tables, AES-128's count as always: an override may have its own.
    return EncryptRounds(input, output, view_.rounds() != 0 ? view_.rounds() : kAes128Rounds);
}

int32_t WhiteBoxAesCipher::DecryptBlock(const uint8_t input[16], uint8_t output[16]) {
    return DecryptRounds(input, output, 1);
}

int32_t WhiteBoxAesCipher::EncryptBlockInPlace(uint8_t block[16]) {
    uint8_t result[16];
    return keepOnSuccess(EncryptBlock(block, result), result, block);
}

int32_t WhiteBoxAesCipher::DecryptBlockInPlace(uint8_t block[16]) {
    uint8_t result[16];
    return keepOnSuccess(DecryptBlock(block, result), result, block);
}

bool WhiteBoxAesCipher::fastPaths() const {
    return networks_ != nullptr && typeid(*this) == *evaluator_;
}

int32_t WhiteBoxAesCipher::cipherBuffer(Direction direction, const uint8_t* input, uint8_t* output,
                                        size_t blocks) {
    if (tables == nullptr) {
        return STATUS_NO_TABLES;
    }
    if (fastPaths()) {
        cipherBlocks(direction, path_, networks_->of(direction), input, output, blocks);
        return STATUS_OK;
    }
    for (size_t n = 0; n < blocks; ++n) {
        const int32_t status = direction == Direction::Encryption
                                   ? EncryptBlock(input + 16 * n, output + 16 * n)
                                   : DecryptBlock(input + 16 * n, output + 16 * n);
        if (status != STATUS_OK) {
            return status;
        }
    }
    return STATUS_OK;
}

int32_t WhiteBoxAesCipher::EncryptBlocks(const uint8_t* input, uint8_t* output, size_t blocks) {
    return cipherBuffer(Direction::Encryption, input, output, blocks);
}

int32_t WhiteBoxAesCipher::DecryptBlocks(const uint8_t* input, uint8_t* output, size_t blocks) {
    return cipherBuffer(Direction::Decryption, input, output, blocks);
}
