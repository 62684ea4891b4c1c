// AES evaluated with nothing but look-ups into a generated table set of R rounds
// (TableStorage: AES-128, TableStorage192, TableStorage256); R is the round count
// of the tables it is given.
// It never sees the key; whatever external codings were merged into the tables
// are expected on its input and produced on its output. NOT constant-time.
#pragma once
#include <cstddef>
#include <cstdint>
#include <typeinfo>

#include "wbcipher/block_paths.h"
#include "wbgen/table_storage.h"

// Kept on purpose: four virtual operations in this slot order and no virtual
// destructor, a fixed object layout; never delete a derived object through a
// pointer to this class.
class WhiteBoxAesCipher {
public:
    WhiteBoxAesCipher() = default;

    // Round-limited ciphering over tables of R rounds (10 for AES-128). 0, or -1
    // without tables (output untouched).
    // EncryptRounds: rounds = R full cipher, 1..R - 1 that many table rounds,
    // <= 0 copy; above R the R - 1 table rounds without the last table.
    [[nodiscard]] virtual int32_t EncryptRounds(const uint8_t input[16], uint8_t output[16], int32_t rounds);
    // DecryptRounds: rounds = 1 full inverse cipher, rounds > R copy, <= 0 as 2;
    // otherwise the inverse rounds R down to rounds.
    // Kept on purpose: rounds <= 0 reads as 2, and the full inverse cipher is
    // rounds = 1 where the reference's AES128_DecryptBlockHex takes 0; the
    // self-test and the CBC mode call with 1.
    [[nodiscard]] virtual int32_t DecryptRounds(const uint8_t input[16], uint8_t output[16], int32_t rounds);
    // This class's own EncryptRounds/DecryptRounds, bypassing any override.
    [[nodiscard]] virtual int32_t EncryptRoundsDirect(const uint8_t input[16], uint8_t output[16], int32_t rounds);
    [[nodiscard]] virtual int32_t DecryptRoundsDirect(const uint8_t input[16], uint8_t output[16], int32_t rounds);

    // Stores the pointer (may be null); the storage must outlive its use. Returns 0.
    // Also builds, once, the layout that the fast block paths read (block_paths.h):
    // call it again after changing the tables. The storage type gives R.
    template <int Rounds>
    int32_t SetTables(const TableStorageOf<Rounds>* storage) {
        useStorage(storage, typeid(WhiteBoxAesCipher));
        return 0;
    }
    int32_t SetTables(std::nullptr_t) { return SetTables(static_cast<const TableStorage*>(nullptr)); }

    // R of the tables set: 10, 12 or 14; 0 without tables.
    int32_t RoundCount() const { return view_.rounds(); }

    // Runs the buffer operations on path from now on, instead of the one chosen
    // when the tables were set (selectedBlockPath()). false, and no change, when
    // this build or CPU cannot run it.
    bool UseBlockPath(BlockPath path);
    BlockPath blockPath() const { return path_; }
    // True when the buffer operations and CBC run on the block paths: tables are
    // set, their layout is prepared, and the rounds are this class's own (not
    // overridden by a derived class, whose rounds then run block by block).
    bool usesBlockPaths() const { return fastPaths(); }

    [[nodiscard]] int32_t EncryptBlock(const uint8_t input[16], uint8_t output[16]);
    [[nodiscard]] int32_t DecryptBlock(const uint8_t input[16], uint8_t output[16]);
    [[nodiscard]] int32_t EncryptBlockInPlace(uint8_t block[16]);
    [[nodiscard]] int32_t DecryptBlockInPlace(uint8_t block[16]);

    // The full cipher on `blocks` independent 16-byte blocks (ECB over a buffer),
    // from input to output: the same buffer, or two that do not overlap. Runs on
    // the selected block path (selectedBlockPath()); the result is the same as
    // EncryptBlock / DecryptBlock block by block. A class that overrides
    // EncryptRounds / DecryptRounds gets exactly that loop. 0, or -1 without
    // tables (output untouched), or the first failing block's status (the blocks
    // before it done, the rest untouched).
    [[nodiscard]] int32_t EncryptBlocks(const uint8_t* input, uint8_t* output, size_t blocks);
    [[nodiscard]] int32_t DecryptBlocks(const uint8_t* input, uint8_t* output, size_t blocks);

    // CBC in place over whole blocks with `iv` (never changed); optional padding
    // through AES128_AddPadding (a null buffer is its size query). 0, 3 (short
    // capacity, nothing touched), 11 (length not a multiple of 16 without pad), or
    // -1 without tables (block 0 is then XORed with iv, nothing else changed).
    [[nodiscard]] int32_t MARLOAES128_EncryptCBC(uint8_t* buffer, uint32_t* length, uint32_t* capacity, uint32_t pad);
    // CBC decryption in place, then optional AES128_RemovePadding (0 or 10).
    // 11 for a length not a multiple of 16, and for unpad with no buffer or no
    // block (nothing touched); -1 without tables (buffer unchanged).
    [[nodiscard]] int32_t MARLOAES128_DecryptCBC(uint8_t* buffer, uint32_t* length, uint32_t unpad);

private:
    // The storage given, of any round count (null: none); view_ is what is read.
    const void* tables = nullptr;

public:
    uint8_t iv[16] = {};

protected:
    // Sets the tables that every operation needs (storage null: none, and view
    // is then ignored) and the networks that the fast block paths run on (null:
    // the plain evaluator does every block); the paths stand in for the rounds
    // only in an object whose dynamic type is evaluator, whose own rounds they
    // compute.
    void useTables(const void* storage, const TableSetView& view, BlockNetworksPtr networks,
                   const std::type_info& evaluator);
    // What the evaluators read: both directions' tables and R (empty without tables).
    const TableSetView& tableView() const { return view_; }
    // useTables for a storage of either format and any round count: its view and
    // its block networks, or none when storage is null. Without memory for the
    // layout the plain evaluator does every block.
    template <class Storage>
    void useStorage(const Storage* storage, const std::type_info& evaluator) {
        if (storage == nullptr) {
            useTables(nullptr, TableSetView{}, nullptr, evaluator);
        } else {
            useTables(storage, viewOf(*storage), prepareBlockNetworks(*storage), evaluator);
        }
    }

private:
    // True when the fast block paths may stand in for EncryptRounds and
    // DecryptRounds: they compute this object's own rounds, and the prepared
    // layout exists (which implies tables).
    bool fastPaths() const;
    int32_t cipherBuffer(Direction direction, const uint8_t* input, uint8_t* output, size_t blocks);
    // CBC decryption of whole blocks on the block path; tables must be set.
    void decryptChained(uint8_t* buffer, uint32_t blocks);

    // Behind iv, so that the fields above keep their places.
    BlockPath path_ = BlockPath::Portable;
    BlockNetworksPtr networks_;
    const std::type_info* evaluator_ = nullptr;
    TableSetView view_;
};
