// Fuzzes key text parsing. The input, as C text (up to its first NUL), is
//  - handed to makeKey for both directions, the three key lengths and the
//    block lengths 0 (unset), 128, 192 and 256;
//  - parsed by AES128_HexToKey;
//  - the value of "seed" in section RANDOM of a script, through applySeedOption;
// and its leading bytes, taken as a raw key record (keyMaterial without a
// terminator, any block length), go to makeKey without key text.
//
// Checked against a plain hex oracle: which texts are accepted, that the key
// bytes reach round key 0 in the schedule, that a refused text leaves the
// schedule alone, and what the seed option prints and sets.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>

#include "aesref/aes128.h"
#include "aesref/rijndael.h"
#include "base/profile_reader.h"
#include "cli/seed_option.h"
#include "coding/random_source.h"

namespace {

void check(bool holds) {
    if (!holds) std::abort();
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The number of leading key bytes (at most count) whose two digits are hex.
size_t hexBytesOf(const char* text, size_t count) {
    size_t n = 0;
    while (n < count && hexValue(text[2 * n]) >= 0 && hexValue(text[2 * n + 1]) >= 0) ++n;
    return n;
}

uint8_t hexByte(const char* text, size_t n) {
    return static_cast<uint8_t>(hexValue(text[2 * n]) << 4 | hexValue(text[2 * n + 1]));
}

bool isZero(const void* data, size_t size) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    for (size_t i = 0; i < size; ++i) {
        if (bytes[i] != 0) return false;
    }
    return true;
}

// Key byte n is byte n mod 4 of word n div 4 of the expansion, and word t sits
// in round key t div bc, column t mod bc, with bc the block's columns.
bool scheduleStartsWithKey(const keyInstance& key, const char* text, int32_t blockLen) {
    const size_t bc = static_cast<size_t>(blockLen / 32);
    for (size_t n = 0; n < static_cast<size_t>(key.keyLen / 8); ++n) {
        const size_t word = n / 4;
        if (key.keySched[word / bc][n % 4][word % bc] != hexByte(text, n)) return false;
    }
    return true;
}

void fuzzMakeKey(const char* text) {
    // The copy makeKey takes never reads past keyLen / 4 characters; neither
    // does the oracle, since it stops at the first non-hex character (the NUL).
    for (const int32_t keyLen : {128, 192, 256}) {
        const size_t keyBytes = static_cast<size_t>(keyLen / 8);
        const bool wellFormed = hexBytesOf(text, keyBytes) == keyBytes;
        for (const uint8_t direction : {DIR_ENCRYPT, DIR_DECRYPT}) {
            for (const int32_t blockLen : {0, 128, 192, 256}) {
                keyInstance key;
                std::memset(&key, 0, sizeof key);
                key.blockLen = blockLen;
                const int32_t result = makeKey(&key, direction, keyLen, text);
                check(result == (wellFormed ? TRUE : BAD_KEY_MAT));
                check(key.direction == direction && key.keyLen == keyLen);
                if (wellFormed) check(std::strncmp(key.keyMaterial, text, keyBytes * 2) == 0);
                if (wellFormed && blockLen != 0) {
                    check(scheduleStartsWithKey(key, text, blockLen));
                } else {
                    check(isZero(key.keySched, sizeof key.keySched));
                }
            }
        }
    }
}

void fuzzHexToKey(const char* text) {
    uint8_t key[16];
    std::memset(key, 0xA5, sizeof key);
    const int32_t status = AES128_HexToKey(text, key);
    const size_t parsed = hexBytesOf(text, 16);
    check(status == (parsed == 16 ? STATUS_OK : STATUS_BAD_KEY_TEXT));
    for (size_t n = 0; n < 16; ++n) check(key[n] == (n < parsed ? hexByte(text, n) : 0));

    // makeKey and AES128_HexToKey read AES-128 key text alike.
    keyInstance record;
    std::memset(&record, 0, sizeof record);
    record.blockLen = 128;
    check((makeKey(&record, DIR_ENCRYPT, 128, text) == TRUE) == (status == STATUS_OK));
}

// The leading bytes as a record that was never cleared: keyMaterial may lack a
// terminator and blockLen may be anything.
void fuzzRawRecord(const uint8_t* data, size_t size) {
    if (size < 2) return;
    keyInstance key;
    std::memset(&key, 0, sizeof key);
    std::memcpy(&key, data + 2, size - 2 < sizeof key ? size - 2 : sizeof key);
    const keyInstance before = key;
    const uint8_t direction = data[0] % 3;
    constexpr int32_t kKeyLens[] = {128, 192, 256, 0, 100, -128, 512, 129};
    const int32_t keyLen = kKeyLens[data[1] % 8];

    const int32_t result = makeKey(&key, direction, keyLen, nullptr);
    if (direction > DIR_DECRYPT) {
        check(result == BAD_KEY_DIR);
    } else if (keyLen != 128 && keyLen != 192 && keyLen != 256) {
        check(result == BAD_KEY_MAT);
    } else {
        const size_t keyBytes = static_cast<size_t>(keyLen / 8);
        const bool wellFormed = hexBytesOf(before.keyMaterial, keyBytes) == keyBytes;
        check(result == (wellFormed ? TRUE : BAD_KEY_MAT));
        const int32_t blockLen = before.blockLen;
        const bool blockLenValid = blockLen == 128 || blockLen == 192 || blockLen == 256;
        if (result == TRUE && blockLenValid) {
            check(scheduleStartsWithKey(key, before.keyMaterial, blockLen));
        } else {
            check(std::memcmp(key.keySched, before.keySched, sizeof key.keySched) == 0);
        }
    }
}

void fuzzSeedOption(const std::string& text) {
    const IniProfile profile = IniProfile::fromText("[RANDOM]\nseed = " + text + "\n");
    const std::string value = profile.read("RANDOM", "seed");
    RandomState start;
    start.fill(0x5A);
    RandomSource random(start);
    std::ostringstream out;
    const int32_t status = applySeedOption(profile, random, out);

    if (value.empty()) {
        check(status == STATUS_OK && out.str().empty() && random.state() == start);
    } else if (value == "system") {
        // The operating system's bytes cannot be predicted; only the outcome is.
        check(status == STATUS_OK || status == STATUS_SYSTEM_RANDOM_FAILED);
        check(status == STATUS_OK ? out.str().empty()
                                  : out.str() == "ERR: SYSTEM RANDOM SOURCE FAILED\n");
    } else if (value.size() == 32 && hexBytesOf(value.c_str(), 16) == 16) {
        check(status == STATUS_OK && out.str().empty());
        for (size_t n = 0; n < 16; ++n) check(random.state()[n] == hexByte(value.c_str(), n));
    } else {
        check(status == STATUS_BAD_SEED && random.state() == start);
        check(out.str() == "ERR: BAD SEED VALUE '" + value + "'\n");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const char* text = bytes.c_str();
    fuzzMakeKey(text);
    fuzzHexToKey(text);
    fuzzRawRecord(data, size);
    fuzzSeedOption(bytes);
    return 0;
}
